#!/usr/bin/env bash
# Sets up everything and runs every test, build by build (docs/testing.md says what each runs):
#   native       the decoder's and the command line's tests (host compiler)
#   sanitize     the same under AddressSanitizer and UndefinedBehaviorSanitizer, and bounded fuzzing
#   windows      the 32-bit build: its tests under Wine where the host drives it; everywhere, what
#                needs nothing run: the exes' checks, a reproducible build, the MSI by Windows' rules
#   windows-x64  the 64-bit build: the same, under 64-bit Wine, on every x86-64 host, with the
#                32-bit exe's records and the 32-bit MSI's life cycle in a 64-bit prefix
#   web          the web page: the decoder, encoder and finder as WebAssembly, tested in headless
#                Chromium and, against the native program, in Node.js
#   faults       a table of faults, each seeded alone into a scratch copy, each of which the test
#                meant to catch it must fail
#   release      the release, signed with a throwaway certificate, twice under two time zones, and
#                the Linux package
#   analysis     cppcheck and clang-tidy over the project's own code
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
times=() failed=()
# Every stage runs, whatever an earlier one did; the summary names those that failed.
stage() {  # stage NAME COMMAND...: runs it and notes how long it took, and whether it failed
  local name=$1 began status=0
  shift
  began=$(date +%s)
  "$@" || status=$?
  times+=("$name $(($(date +%s) - began)) s")
  if [ "$status" != 0 ]; then
    failed+=("$name")
    echo "== $name FAILED (exit $status); the other stages go on"
  fi
}

stage setup scripts/setup.sh
mkdir -p build
werror=()
[ "${CI:-}" = "true" ] && werror=(-DKAVLO_WERROR=ON)

# Which Windows builds this host drives under Wine, and why not the 32-bit one: wine-loader.sh
# decides, here and wherever a Windows program is run.
builds=$(scripts/lib/wine-loader.sh builds 2>build/why-not-32bit.txt)
if [ "$(head -1 <<<"$builds")" = windows ]; then
  driven="32-bit (full suite) and 64-bit (full suite)"
else
  driven="64-bit only (full suite); $(cat build/why-not-32bit.txt). The 32-bit exes were checked
   without running them: size, imports, header, version record, icon, manifest and a reproducible build; the 32-bit
   MSI was checked as Windows reads it and walked through its life cycle in a 64-bit prefix"
fi

build_and_test() {
  echo "== $1 build"
  cmake --preset "$1" "${werror[@]}" >/dev/null && cmake --build --preset "$1" &&
    echo "== $1 tests" && ctest --preset "$1" --output-junit junit.xml  # in the build folder
}
# Every test ctest skipped, and every step a test skipped inside, with the reason each gave.
skipped() {
  /usr/bin/python3 - "$@" <<'PY'
import sys, xml.etree.ElementTree as tree
import os
for preset in sys.argv[1:]:
    if not os.path.exists(f"build/{preset}/junit.xml"):
        print(f"   {preset}: its tests did not run")
        continue
    for case in tree.parse(f"build/{preset}/junit.xml").iter("testcase"):
        output = (case.findtext("system-out") or "").splitlines()
        if case.find("skipped") is not None:
            print(f"   {preset} {case.get('name')}: {output[0] if output else 'no reason given'}")
        for line in output:
            if line.startswith("skipped: "):
                print(f"   {preset} {case.get('name')}, one step: {line[len('skipped: '):]}")
PY
}
for preset in native sanitize windows windows-x64 web; do
  stage "$preset" build_and_test "$preset"
done
echo "== seeded faults"
stage faults scripts/seeded-faults.sh
echo "== release"
stage release tests/release_test.sh

echo "== static analysis"
analyse() { scripts/lib/analyse.sh 2>&1 | { grep -v ' warnings generated\.$' || true; }; }
stage analysis analyse

echo "== time per stage: $(IFS=,; echo "${times[*]}" | sed 's/,/, /g')"
echo "== Windows builds driven under Wine: $driven"
# What the web tests ran, from their own words.
/usr/bin/python3 - <<'PY'
import os, re, xml.etree.ElementTree as tree
junit = "build/web/junit.xml"
cases = tree.parse(junit).iter("testcase") if os.path.exists(junit) else []
out = {case.get("name"): case.findtext("system-out") or "" for case in cases}
browser = re.search(r"Ran (\d+) tests?", out.get("web_page", ""))
node = re.search(r"(\d+) random texts", out.get("web_verdicts", ""))
print(f"== web page: {browser[1] if browser else 'no'} tests in headless Chromium; the module's verdicts on "
      f"{node[1] if node else 'no'} random texts against the native program's, in Node.js")
PY
skips=$(skipped native sanitize windows windows-x64 web)
echo "== skipped: ${skips:+$'\n'}${skips:-nothing}"
if [ "${#failed[@]}" != 0 ]; then
  echo "== FAILED: ${failed[*]}, in $(($(date +%s) - start)) s"
  exit 1
fi
echo "== all tests passed in $(($(date +%s) - start)) s"
