#!/usr/bin/env bash
# Sets up everything and runs every test:
#   native       decoder tests (host compiler)
#   sanitize     the same under AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded fuzzing run
#   windows      the 32-bit build: decoder and UI tests under Wine (96 and 144 DPI) and the soak test,
#                where the host runs 32-bit programs; everywhere, the exe's size and imports and a
#                reproducible-build check
#   windows-x64  the 64-bit build: the same, under 64-bit Wine, on every x86-64 host; its test program
#                also reads the 32-bit exe's version record, icon and manifest
#                (each Windows build also packs its MSI, checks it as Windows reads it, and walks it
#                through install, upgrade, downgrade and uninstall under Wine; the 64-bit build does
#                the same for the 32-bit package in a 64-bit prefix, and installs the two side by side)
#   release      the release, signed with a throwaway certificate, twice under two time zones:
#                identical bytes, signatures that verify, manifests that match the files
#   analysis     cppcheck and clang-tidy over the project's own code
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
times=()
stage() {  # stage NAME COMMAND...: runs it and notes how long it took
  local name=$1 began
  shift
  began=$(date +%s)
  "$@"
  times+=("$name $(($(date +%s) - began)) s")
}

stage setup scripts/setup.sh
werror=()
[ "${CI:-}" = "true" ] && werror=(-DKAVLO_WERROR=ON)

# Whether this host runs 32-bit Windows programs: scripts/wine-loader decides, here and in wine-run.
if reason=$(scripts/wine-loader win32 2>&1 >/dev/null); then
  driven="32-bit (full suite) and 64-bit (full suite)"
else
  [ $? -eq 77 ] || { echo "$reason" >&2; exit 1; }
  driven="64-bit only (full suite); 32-bit not run: $reason. The 32-bit exes were checked without running them:
   size, imports, header, version record, icon, manifest and a reproducible build; the 32-bit MSI was checked as
   Windows reads it and walked through its life cycle in a 64-bit prefix"
fi

build_and_test() {
  echo "== $1 build"
  cmake --preset "$1" "${werror[@]}" >/dev/null
  cmake --build --preset "$1"
  echo "== $1 tests"
  ctest --preset "$1" --output-junit junit.xml  # in the build folder
}
# Every test ctest skipped, and every step a test skipped inside, with the reason each gave.
skipped() {
  /usr/bin/python3 - "$@" <<'PY'
import sys, xml.etree.ElementTree as tree
for preset in sys.argv[1:]:
    for case in tree.parse(f"build/{preset}/junit.xml").iter("testcase"):
        output = (case.findtext("system-out") or "").splitlines()
        if case.find("skipped") is not None:
            print(f"   {preset} {case.get('name')}: {output[0] if output else 'no reason given'}")
        for line in output:
            if line.startswith("skipped: "):
                print(f"   {preset} {case.get('name')}, one step: {line[len('skipped: '):]}")
PY
}
for preset in native sanitize windows windows-x64; do
  stage "$preset" build_and_test "$preset"
done
echo "== release"
stage release tests/release_test.sh

echo "== static analysis"
analyse() { scripts/analyse.sh 2>&1 | grep -v ' warnings generated\.$'; }
stage analysis analyse

echo "== time per stage: $(IFS=,; echo "${times[*]}" | sed 's/,/, /g')"
echo "== Windows builds driven under Wine: $driven"
skips=$(skipped native sanitize windows windows-x64)
echo "== skipped: ${skips:+$'\n'}${skips:-nothing}"
echo "== all tests passed in $(($(date +%s) - start)) s"
