#!/usr/bin/env bash
# Builds KavloIPFinder.exe twice, from copies of the source tree in two folders of different names,
# and checks that both builds, and the given one, are byte for byte the same.
#   check_reproducible.sh TOOLCHAIN-FILE [REFERENCE.exe]
# The copies are made in a scratch folder beside the reference exe (else under $TMPDIR), from the
# files git tracks or, outside a git checkout, from the tree without its build folders.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$1 reference=${2:-}

scratch_parent=${TMPDIR:-/tmp}
[ -n "$reference" ] && scratch_parent=$(cd "$(dirname "$reference")" && pwd)
root=$(mktemp -d "$scratch_parent/reproducible.XXXXXX")
trap 'rm -rf "$root"' EXIT

copy_sources() {
  if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$source_dir" && git ls-files --cached --others --exclude-standard -z | xargs -0 cp --parents -t "$1")
  else
    # Build folders are the ones holding a CMakeCache.txt; dist/ is the release's output.
    (cd "$source_dir" && find . -name CMakeCache.txt -printf '%h\n' | sed 's|^\./||' >"$root/exclude" &&
      tar --exclude-from="$root/exclude" --exclude=./dist --exclude=./.git -cf - . | tar -xf - -C "$1")
  fi
}

for name in first second-copy; do
  mkdir -p "$root/$name"
  copy_sources "$root/$name"
  cmake -S "$root/$name" -B "$root/$name/out" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$root/$name/out" --target KavloIPFinder -j2 >/dev/null
done
sha256sum "$root"/*/out/KavloIPFinder.exe ${reference:+"$reference"} | sed "s|$root/||"
cmp "$root/first/out/KavloIPFinder.exe" "$root/second-copy/out/KavloIPFinder.exe"
[ -z "$reference" ] || cmp "$root/first/out/KavloIPFinder.exe" "$reference"
echo "reproducible: identical"
