#!/usr/bin/env bash
# Sets everything up and prints the performance figures: the decoder beside a typical implementation
# (native, optimised), the command-line program's speed beside cat, iostream and Python, then
# start-up time and memory of the program beside a minimal window of the
# same architecture (Wine), for each Windows build this host runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if reason=$(scripts/wine-loader win32 2>&1 >/dev/null); then
  presets=(native windows windows-x64)
else
  [ $? -eq 77 ] || { echo "$reason" >&2; exit 1; }
  presets=(native windows-x64)
  echo "32-bit start-up not measured: $reason"
fi
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
echo "== decoder, ns per Calculate press"
build/native/decoder_bench --benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
echo
bench/cli_bench.sh build/native
for preset in "${presets[@]:1}"; do
  echo
  echo "== start-up and memory under Wine: $preset ($(scripts/wine-loader "build/$preset/KavloIPFinder.exe" | cut -d' ' -f2))"
  scripts/wine-run --prefix "build/$preset/wine/96dpi" --desktop 1024x768 --display own "build/$preset/startup_bench.exe" 12
done
