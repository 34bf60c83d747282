#!/usr/bin/env bash
# Sets up everything and runs every test:
#   native      decoder tests (host compiler)
#   sanitize    the same under AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded fuzzing run
#   windows     decoder tests and UI tests under Wine (96 and 144 DPI), the soak test, the exe's size and
#               imports, and a reproducible-build check
#   analysis    cppcheck and clang-tidy over the project's own code
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)

scripts/setup.sh
werror=()
[ "${CI:-}" = "true" ] && werror=(-DKAVLO_WERROR=ON)

for preset in native sanitize windows; do
  echo "== $preset build"
  cmake --preset "$preset" "${werror[@]}" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset"
done

echo "== static analysis"
scripts/analyse.sh 2>&1 | grep -v ' warnings generated\.$'

echo "== all tests passed in $(( $(date +%s) - start )) s"
