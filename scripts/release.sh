#!/usr/bin/env bash
# Builds the release and writes dist/KavloIPFinder-<version>-win32.zip: the program, a read-me for
# Windows users and SHA-256 sums. The program is the reproducible build: two builds from copies of
# the sources in other folders are checked to be identical to it first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target KavloIPFinder >/dev/null
exe=build/windows/KavloIPFinder.exe
scripts/check_reproducible.sh "$exe"

version=$(sed -n 's/^#define KAVLO_VERSION_TEXT "\(.*\)"$/\1/p' resources/version.h)
zip_name="KavloIPFinder-$version-win32.zip"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/KavloIPFinder.exe"
sed 's/$/\r/' docs/README-windows.txt >"$stage/README.txt"  # Windows line ends
(cd "$stage" && sha256sum KavloIPFinder.exe README.txt | sed 's/$/\r/' >SHA256SUMS.txt)

# Same files, same times, same order: the same zip for the same commit.
stamp=$(git log -1 --format=%cd --date=format:%Y%m%d%H%M.%S 2>/dev/null || echo 202601010000.00)
touch -t "$stamp" "$stage"/*
mkdir -p dist
rm -f "dist/$zip_name"
(cd "$stage" && TZ=UTC zip -X -q "$OLDPWD/dist/$zip_name" KavloIPFinder.exe README.txt SHA256SUMS.txt)
echo "Wrote dist/$zip_name:"
unzip -l "dist/$zip_name"
sha256sum "dist/$zip_name"
