#!/usr/bin/env bash
# Sets up everything and runs every test: the native build's tests, then the Windows build's under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
werror=()
[ "${CI:-}" = "true" ] && werror=(-DKAVLO_WERROR=ON)

for preset in native windows; do
  echo "== $preset build"
  cmake --preset "$preset" "${werror[@]}" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset"
done
