#!/usr/bin/env bash
# Sets everything up, builds the program and starts it under Wine: the 32-bit exe where this host
# runs 32-bit programs, else the 64-bit one.
# On a display, the window opens there. Without one (a server, CI), a private virtual display is
# used: the example hash is typed, the result printed, a screenshot saved, and the program closed.
#   run.sh --web    the web page instead: opened in the desktop's browser, or, without one, walked
#                   through in headless Chromium, with screenshots
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
if [ "${1:-}" = --web ]; then
  cmake --preset web >/dev/null
  cmake --build --preset web
  page=$PWD/build/web/KavloIPFinder-$(scripts/lib/version.sh TEXT).html
  if [ -n "${DISPLAY:-}" ] && [ "${CI:-}" != "true" ] && command -v xdg-open >/dev/null; then
    echo "Opening $page"
    exec xdg-open "$page"
  fi
  echo "No desktop browser: walking through the page in headless Chromium"
  exec /usr/bin/python3 scripts/lib/web-walkthrough.py "$page" "$PWD/build/web/screenshot.png"
fi
preset=$(scripts/lib/wine-loader.sh builds | head -1)  # says why, where it is not the 32-bit one
arch=win64
[ "$preset" = windows ] && arch=win32
echo "Running the $([ $arch = win32 ] && echo 32 || echo 64)-bit Kavlo IP Finder"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target KavloIPFinder walkthrough  # the program, not the packages and tests
build=build/$preset

if [ -n "${DISPLAY:-}" ] && [ "${CI:-}" != "true" ]; then
  echo "Starting Kavlo IP Finder on $DISPLAY"
  exec scripts/lib/wine-run.sh --prefix "$build/wine/user" --display user "$build/KavloIPFinder.exe"
fi
echo "No display: walking through Kavlo IP Finder on a virtual one"
scripts/lib/wine-run.sh --prefix "$build/wine/96dpi" --desktop 1024x768 --display own \
  --host --arch "$arch" scripts/lib/walkthrough.sh "$build" "$PWD/$build/screenshot.png"
