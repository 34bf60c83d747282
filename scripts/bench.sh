#!/usr/bin/env bash
# Sets everything up and prints the performance figures: the decoder beside a typical implementation
# (native, optimised), the command-line program's speed beside a copy of the same bytes, the web
# page's in headless Chromium, then start-up time and memory of the program beside a minimal window
# of the same architecture (Wine), for each Windows build this host runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mapfile -t presets < <(echo native; scripts/lib/wine-loader.sh builds)  # says why, where it has no 32-bit one
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
echo "== decoder, ns per Calculate press"
build/native/decoder_bench --benchmark_min_time=0.5 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
echo
bench/cli_bench.sh build/native
echo
echo "== the web page, in headless Chromium"
cmake --preset web >/dev/null
cmake --build --preset web >/dev/null
/usr/bin/python3 bench/web_bench.py "build/web/KavloIPFinder-$(scripts/lib/version.sh TEXT).html" build/native/kavlo-ipfinder \
  build/native/cli-bench/log.txt
for preset in "${presets[@]:1}"; do
  echo
  echo "== start-up and memory under Wine: $preset ($(scripts/lib/wine-loader.sh "build/$preset/KavloIPFinder.exe" | cut -d' ' -f2))"
  scripts/lib/wine-run.sh --prefix "build/$preset/wine/96dpi" --desktop 1024x768 --display own "build/$preset/startup_bench.exe" 12
done
