#!/usr/bin/env bash
# Builds KavloIPFinder.exe twice, from copies of the source tree in two folders of different names,
# and checks that both builds, and the given one, are byte for byte the same.
#   check_reproducible.sh [REFERENCE.exe]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(mktemp -d "$PWD/build/reproducible.XXXXXX")
trap 'rm -rf "$root"' EXIT
for name in first second-copy; do
  mkdir -p "$root/$name"
  git ls-files --cached --others --exclude-standard -z | xargs -0 cp --parents -t "$root/$name"
  cmake -S "$root/$name" -B "$root/$name/out" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$root/$name/out" --target KavloIPFinder -j2 >/dev/null
done
sha256sum "$root"/*/out/KavloIPFinder.exe ${1:+"$1"} | sed "s|$root/||"
cmp "$root/first/out/KavloIPFinder.exe" "$root/second-copy/out/KavloIPFinder.exe"
[ -z "${1:-}" ] || cmp "$root/first/out/KavloIPFinder.exe" "$1"
echo "reproducible: identical"
