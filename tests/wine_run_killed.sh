#!/usr/bin/env bash
# Kills wine-run outright (SIGKILL, as ctest does at a time-out) while the program runs, and checks
# that within 30 seconds nothing it started is left: no process with the prefix in its environment.
#   wine_run_killed.sh WINE-RUN PREFIX PROGRAM.exe
set -uo pipefail
wine_run=$1 prefix=$2 program=$3
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

# Processes of this prefix: whatever has WINEPREFIX=prefix in its environment (wine-run exports it
# before starting anything: Xvfb, wineserver, the watchdog, the program).
left_behind() {
  grep -lsxz "WINEPREFIX=$prefix" /proc/[0-9]*/environ | cut -d/ -f3
}

# The program's own process: Wine names it after the exe (cut to the kernel's 15 characters).
program_running() {
  local pid name
  name=$(basename "$program" | cut -c1-15)
  for pid in $(left_behind); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] && return 0
  done
  return 1
}

"$wine_run" --prefix "$prefix" --display own "$program" &
runner=$!
for _ in $(seq 1200); do
  program_running && break
  if ! kill -0 "$runner" 2>/dev/null; then
    wait "$runner"
    status=$?
    [ "$status" -eq 77 ] && exit 77  # this host cannot run the program
    echo "wine-run ended (exit $status) before the program was up"
    exit 1
  fi
  sleep 0.1
done
program_running || { echo "the program did not start within 120 s"; kill -KILL "$runner"; exit 1; }
sleep 1
echo "running: $(left_behind | wc -l) processes of the prefix"
kill -KILL "$runner"
wait "$runner" 2>/dev/null
for _ in $(seq 300); do
  [ -z "$(left_behind)" ] && { echo "killed: nothing left after SIGKILL"; exit 0; }
  sleep 0.1
done
echo "left behind after SIGKILL:"
for pid in $(left_behind); do ps -o pid=,args= -p "$pid"; done
exit 1
