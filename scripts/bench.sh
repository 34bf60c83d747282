#!/usr/bin/env bash
# Sets everything up and prints the performance figures: the decoder beside a typical implementation
# (native, optimised), then start-up time and memory of the program beside a minimal window (Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
for preset in native windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
echo "== decoder, ns per Calculate press"
build/native/decoder_bench --benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
echo
echo "== start-up and memory under Wine"
scripts/wine-run --prefix build/windows/wine/96dpi --desktop 1024x768 --display own build/windows/startup_bench.exe 12
