#!/usr/bin/env bash
# Builds the release in dist/ (or $KAVLO_DIST): for win32 and win64 each, a portable zip (the
# program, the command-line program and its PowerShell completion, read-me, SHA-256 sums) and an
# MSI; the web page; the winget and Scoop manifests; and SHA256SUMS.txt. Each program is the
# reproducible build: two builds from copies of the sources in other folders are checked to be
# identical to it first.
# The same commit gives the same bytes, whatever the machine's time zone or how long a step takes.
#
# Signing: with KAVLO_SIGN_PFX (a PKCS#12 file) and KAVLO_SIGN_PASSWORD set, the exes are signed
# before they are zipped and packed, and both MSIs after. Downloads are named under
# KAVLO_RELEASE_URL, in which "$version" stands for the version (a placeholder by default).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
version=$(scripts/lib/version.sh TEXT)
dist=${KAVLO_DIST:-dist}
url=${KAVLO_RELEASE_URL:-'https://releases.example.invalid/kavlo-ip-finder/$version'}
epoch=$(scripts/lib/source-date.sh)
signed=""  # --signed where it is
if [ -n "${KAVLO_SIGN_PFX:-}" ] && [ -n "${KAVLO_SIGN_PASSWORD+set}" ]; then
  signed=--signed
  echo "Signing with $KAVLO_SIGN_PFX"
else
  echo "Unsigned release: set KAVLO_SIGN_PFX and KAVLO_SIGN_PASSWORD to sign"
fi
# PowerShell's completion for the zips, made from the option table by the native build.
cmake --preset native >/dev/null
cmake --build --preset native --target pages >/dev/null
completion=$(echo build/native/pages/powershell/*.ps1)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
artifacts=()

for arch in win32 win64; do
  preset=windows toolchain=$PWD/cmake/mingw-w64-i686.cmake
  [ "$arch" = win64 ] && preset=windows-x64 toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
  build=build/$preset
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target KavloIPFinder kavlo-ipfinder >/dev/null
  exes=(KavloIPFinder.exe kavlo-ipfinder.exe)
  scripts/lib/check-reproducible.sh "$toolchain" "${exes[@]/#/$build/}"

  files="$stage/$arch"
  mkdir -p "$files"
  for exe in "${exes[@]}"; do
    cp "$build/$exe" "$files/$exe"
    [ -n "$signed" ] && scripts/lib/sign.sh "$files/$exe"
    subsystem=2
    [ "$exe" = kavlo-ipfinder.exe ] && subsystem=3
    "$build/check_exe.sh" "$files/$exe" "$build/$exe.map" --subsystem $subsystem $signed 2>&1 |
      sed -n '/bytes (/p; /hardening:/,$p'
  done
  sed "s/@VERSION@/$version/g; s/\$/\r/" docs/README-windows.txt >"$files/README.txt"  # Windows line ends
  cp "$completion" "$files/"  # with Windows' line ends already
  [ -n "$signed" ] && scripts/lib/sign.sh "$files/${completion##*/}"
  texts=(README.txt "${completion##*/}")
  (cd "$files" && sha256sum "${exes[@]}" "${texts[@]}" | sed 's/$/\r/' >SHA256SUMS.txt)

  # Same files, same modes, same times, same order: the same zip for the same commit. zip stores
  # local time, so it is told that local time is UTC.
  chmod 644 "$files"/*
  touch -d "@$epoch" "$files"/*
  zip_name="KavloIPFinder-$version-$arch.zip"
  rm -f "$dist/$zip_name"
  (cd "$files" && TZ=UTC zip -X -q "$dist/$zip_name" "${exes[@]}" "${texts[@]}" SHA256SUMS.txt)

  msi_name="KavloIPFinder-$version-$arch.msi"
  scripts/lib/make-msi.sh "$files/KavloIPFinder.exe" "$dist/$msi_name" >/dev/null
  [ -n "$signed" ] && scripts/lib/sign.sh "$dist/$msi_name"
  artifacts+=("$zip_name" "$msi_name")
done

# The web page: one file, the module inlined, which works offline.
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
page="KavloIPFinder-$version.html"
cp "build/web/$page" "$dist/$page"
touch -d "@$epoch" "$dist/$page"
artifacts+=("$page")

scripts/lib/write-manifests.sh "$dist" "$url" >/dev/null
(cd "$dist" && sha256sum "${artifacts[@]}" >SHA256SUMS.txt)
echo "Wrote $dist ($([ -n "$signed" ] && echo signed || echo unsigned)):"
(cd "$dist" && find . -type f | sort | xargs ls -l | awk '{printf "  %9d  %s\n", $5, $9}')
