#!/usr/bin/env bash
# Runs the release twice, signed with a throwaway self-signed code-signing certificate, under two
# time zones, and checks: the same bytes both times; every exe, MSI and PowerShell completion
# verifies; a changed byte fails verification; each signed exe minus its signature is the unsigned
# build; both MSIs are what Windows accepts; the manifests parse, hold their fields and have the
# files' hashes; and the Linux package of the command line, built as a packager builds it, holds
# its manual and completions and passes lintian.
#   release_test.sh
set -uo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source tests/checks.sh
flip_byte() {  # flip_byte FILE OFFSET: inverts the bits of one byte
  local byte
  byte=$(od -An -tu1 -j"$2" -N1 "$1" | tr -d ' ')
  printf "\\x$(printf %02x $((byte ^ 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null
}

make_test_certificate "$work"
export KAVLO_SIGN_PFX="$work/test.pfx" KAVLO_SIGN_PASSWORD=test

for zone in UTC Pacific/Kiritimati; do
  dir="$work/dist-${zone//\//-}"
  echo "== release under TZ=$zone"
  TZ=$zone KAVLO_DIST=$dir scripts/release.sh >"$work/release.log" 2>&1 ||
    { cat "$work/release.log"; echo "FAILED: the release under TZ=$zone"; exit 1; }
done
first="$work/dist-UTC" second="$work/dist-Pacific-Kiritimati"
check "the same bytes under TZ=UTC and TZ=Pacific/Kiritimati" diff -r "$first" "$second"
# However long each step takes: the package made again with its tools started two seconds late,
# which a running clock would write into it.
mkdir "$work/late"
for tool in wixl msibuild; do
  printf '#!/bin/sh\nenv -u LD_PRELOAD sleep 2\nexec /usr/bin/%s "$@"\n' "$tool" >"$work/late/$tool"
  chmod +x "$work/late/$tool"
done
scripts/lib/make-msi.sh build/windows-x64/KavloIPFinder.exe "$work/prompt.msi" >/dev/null
PATH="$work/late:$PATH" scripts/lib/make-msi.sh build/windows-x64/KavloIPFinder.exe "$work/late.msi" >/dev/null
check "the same package when its packer starts late" cmp "$work/prompt.msi" "$work/late.msi"

verifies() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }
for arch in win32 win64; do
  preset=windows
  [ "$arch" = win64 ] && preset=windows-x64
  msi=$(ls "$first"/*-"$arch".msi)
  check "$arch msi: signature verifies" verifies "$msi"
  changed=("$msi")
  for name in KavloIPFinder.exe kavlo-ipfinder.exe; do
    exe="$work/$arch-$name"
    unzip -p "$first"/*-"$arch".zip "$name" >"$exe"
    check "$arch $name: signature verifies" verifies "$exe"
    rm -f "$work/unsigned.exe"
    osslsigncode remove-signature -in "$exe" -out "$work/unsigned.exe" >/dev/null
    check "$arch $name: without its signature it is the unsigned build" cmp "$work/unsigned.exe" "build/$preset/$name"
    changed+=("$exe")
  done
  # PowerShell's completion, signed, so that a RemoteSigned policy runs it once the zip carries the
  # mark of the web.
  completion="$work/$arch-completion.ps1"
  unzip -p "$first"/*-"$arch".zip '*.ps1' >"$completion"
  check "$arch PowerShell completion: signature verifies" verifies "$completion"
  for file in "${changed[@]}"; do
    cp "$file" "$work/changed"
    flip_byte "$work/changed" 20000
    check "$arch $(basename "$file"): one byte changed fails verification" not verifies "$work/changed"
  done
done
# With the unsigned builds' packages too: a signed package must not share their codes.
/usr/bin/python3 tests/check_msi.py "$first"/*.msi build/windows/*.msi build/windows-x64/*.msi || failures=$((failures + 1))
/usr/bin/python3 tests/check_manifests.py "$first" || failures=$((failures + 1))
# The same check refuses a Scope on a portable entry, which winget's moderators ask to be removed.
cp -r "$first" "$work/scoped"
sed -i 's/^    NestedInstallerType: portable$/&\n    Scope: user/' "$work/scoped"/winget/manifests/*/*/*/*/*.installer.yaml
check "the manifest check refuses a Scope on a portable" not /usr/bin/python3 tests/check_manifests.py "$work/scoped"

# The Linux package of the command line, as a packager builds it: the package preset, with no
# tests and so no GoogleTest (pointed nowhere, to show it is not needed). lintian finds no error in it.
rm -rf build/package
{ cmake --preset package -DKAVLO_GOOGLETEST_DIR=/nonexistent && cmake --build --preset package &&
    cpack --preset package; } >"$work/package.log" 2>&1 || { cat "$work/package.log"; echo "FAILED: the packager's build"; exit 1; }
deb=$(ls build/package/kavlo-ipfinder_*.deb)
check "$(basename "$deb"): the manual, the completions, and bash-completion recommended" \
  test "$(dpkg -c "$deb" | grep -cE '/(kavlo-ipfinder\.1\.gz|completions/kavlo-ipfinder|_kavlo-ipfinder|kavlo-ipfinder\.fish)$')" = 4 \
  -a "$(dpkg-deb -f "$deb" Recommends)" = bash-completion
lintian --fail-on error --pedantic "$deb" 2>/dev/null >"$work/lintian.txt"
check "$(basename "$deb"): lintian finds no error ($(wc -l <"$work/lintian.txt") remarks)" test $? = 0
cat "$work/lintian.txt"

finish release
