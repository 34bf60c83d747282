#!/usr/bin/env bash
# Builds the shipped exes twice, from copies of the source tree in two folders of different names,
# and checks that both builds, and the given ones, are byte for byte the same.
#   check-reproducible.sh TOOLCHAIN-FILE [REFERENCE.exe...]
# The exes are the ones given (by file name: KavloIPFinder.exe, kavlo-ipfinder.exe), or
# KavloIPFinder.exe. The copies are made in a scratch folder beside the first reference exe (else
# under $TMPDIR), from the files git tracks or, outside a git checkout, from the tree without its
# build folders.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
toolchain=$1
shift
references=("$@")
names=(KavloIPFinder.exe)
[ $# -gt 0 ] && names=("${references[@]##*/}")

scratch_parent=${TMPDIR:-/tmp}
[ $# -gt 0 ] && scratch_parent=$(cd "$(dirname "${references[0]}")" && pwd)
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
  cmake --build "$root/$name/out" -j2 --target "${names[@]%.exe}" >/dev/null
done
for i in "${!names[@]}"; do
  exe=${names[$i]} reference=${references[$i]:-}
  sha256sum "$root"/*/out/"$exe" ${reference:+"$reference"} | sed "s|$root/||"
  cmp "$root/first/out/$exe" "$root/second-copy/out/$exe"
  [ -z "$reference" ] || cmp "$root/first/out/$exe" "$reference"
done
echo "reproducible: identical"
