#!/usr/bin/env bash
# Sets everything up, builds the program and starts it under Wine: the 32-bit exe where this host
# runs 32-bit programs, else the 64-bit one.
# On a display, the window opens there. Without one (a server, CI), a private virtual display is
# used: the example hash is typed, the result printed, a screenshot saved, and the program closed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
if reason=$(scripts/wine-loader win32 2>&1 >/dev/null); then
  preset=windows arch=win32
  echo "Running the 32-bit Kavlo IP Finder: this host runs 32-bit programs"
else
  [ $? -eq 77 ] || { echo "$reason" >&2; exit 1; }
  preset=windows-x64 arch=win64
  echo "Running the 64-bit Kavlo IP Finder: $reason"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
build=build/$preset

if [ -n "${DISPLAY:-}" ] && [ "${CI:-}" != "true" ]; then
  echo "Starting Kavlo IP Finder on $DISPLAY"
  exec scripts/wine-run --prefix "$build/wine/user" --display user "$build/KavloIPFinder.exe"
fi
echo "No display: walking through Kavlo IP Finder on a virtual one"
scripts/wine-run --prefix "$build/wine/96dpi" --desktop 1024x768 --display own \
  --host --arch "$arch" scripts/walkthrough.sh "$build" "$PWD/$build/screenshot.png"
