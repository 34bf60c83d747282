#!/usr/bin/env bash
# Builds the release: dist/KavloIPFinder-<version>-win32.zip and -win64.zip, each with its program, a
# read-me for Windows users and SHA-256 sums. Each program is the reproducible build: two builds from
# copies of the sources in other folders are checked to be identical to it first. The same commit
# gives the same bytes, whatever the time zone of the machine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
version=$(sed -n 's/^#define KAVLO_VERSION_TEXT "\(.*\)"$/\1/p' resources/version.h)
# Every file's time is the commit's (or SOURCE_DATE_EPOCH), as seconds since 1970: no time zone.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p dist

for arch in win32 win64; do
  preset=windows toolchain=$PWD/cmake/mingw-w64-i686.cmake
  [ "$arch" = win64 ] && preset=windows-x64 toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target KavloIPFinder >/dev/null
  exe=build/$preset/KavloIPFinder.exe
  scripts/check_reproducible.sh "$toolchain" "$exe"

  files="$stage/$arch"
  mkdir -p "$files"
  cp "$exe" "$files/KavloIPFinder.exe"
  sed 's/$/\r/' docs/README-windows.txt >"$files/README.txt"  # Windows line ends
  (cd "$files" && sha256sum KavloIPFinder.exe README.txt | sed 's/$/\r/' >SHA256SUMS.txt)

  # Same files, same modes, same times, same order: the same zip for the same commit. zip stores
  # local time, so it is told that local time is UTC.
  chmod 644 "$files"/*
  touch -d "@$epoch" "$files"/*
  zip_name="KavloIPFinder-$version-$arch.zip"
  rm -f "dist/$zip_name"
  (cd "$files" && TZ=UTC zip -X -q "$OLDPWD/dist/$zip_name" KavloIPFinder.exe README.txt SHA256SUMS.txt)
  echo "Wrote dist/$zip_name:"
  unzip -l "dist/$zip_name"
done
(cd dist && sha256sum KavloIPFinder-"$version"-win32.zip KavloIPFinder-"$version"-win64.zip)
