#!/usr/bin/env bash
# Runs inside wine-run (--host), which names the Wine loader in $KAVLO_WINE: walks through the
# program with walkthrough.exe and photographs the virtual display while the window shows the
# result.  walkthrough.sh BUILD-DIR SCREENSHOT.png
set -uo pipefail
build=$1 screenshot=$2
done_file="$build/walkthrough.done"
log="$build/walkthrough.log"
rm -f "$done_file" "$screenshot"

(cd "$build" && "$KAVLO_WINE" walkthrough.exe walkthrough.done) >"$log" 2>&1 &
walker=$!
for _ in $(seq 1200); do  # up to two minutes, however loaded the machine
  grep -q '^window:' "$log" && break
  kill -0 "$walker" 2>/dev/null || break
  sleep 0.1
done
if read -r _ left top width height < <(grep '^window:' "$log" | tr -d '\r'); then
  sleep 0.5  # let the last paint reach the screen
  /usr/bin/import -window root -crop "${width}x${height}+${left}+${top}" +repage "$screenshot"
fi
touch "$done_file"
wait "$walker"
status=$?
grep -v '^window:' "$log" | tr -d '\r'
rm -f "$done_file"
[ -f "$screenshot" ] && echo "Screenshot of the window: $screenshot"
exit "$status"
