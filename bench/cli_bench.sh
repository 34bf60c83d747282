#!/usr/bin/env bash
# kavlo-ipfinder's speed, native build, file to file: 10,000,000 random hashes (130 MB) decoded,
# beside the floor for moving that much data (cat | cat), a plain iostream decoder and, where
# python3 exists, a Python one-liner; the addresses encoded back, beside a plain iostream encoder;
# a log of 2,000,000 lines searched with --extract, beside grep -ow piped into it and cat; and
# its peak memory for 10 lines and for all of them. kavlo-ipfinder's and the floor's times are
# the median of three runs; the slow yardsticks run once.
#   cli_bench.sh NATIVE-BUILD-DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work="$build/cli-bench"
mkdir -p "$work"
cd "$work"
count=10000000
[ -f hashes.txt ] || "$build/cli_reference" generate $count >hashes.txt

seconds() {  # seconds RUNS OUTPUT COMMAND-LINE: the median wall time, each run into a new OUTPUT
  local times=() start
  for _ in $(seq "$1"); do
    rm -f "$2"  # not timed: dropping the last run's 200 MB from the cache takes a while
    start=$(date +%s%N)
    bash -c "$3 >$2"
    times+=("$(($(date +%s%N) - start))")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$((($1 + 1) / 2))p" | awk '{printf "%.3f", $1 / 1e9}'
}
row() { awk -v name="$1" -v s="$2" -v n=$count 'BEGIN { printf "  %-28s %8.2f s %8.1f M lines/s\n", name, s, n / s / 1e6 }'; }
verdict() { awk -v v="$1" -v t="$2" -v more="$3" 'BEGIN { print (more ? v >= t : v <= t) ? "met" : "MISSED" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

echo "== kavlo-ipfinder: $count hashes ($(($(stat -c %s hashes.txt) / 1000000)) MB), file to file, native build"
ours=$(seconds 3 decoded.txt "'$build/kavlo-ipfinder' -f hashes.txt")
floor=$(seconds 3 copied.txt "cat hashes.txt | cat")
iostream=$(seconds 1 iostream.txt "'$build/cli_reference' decode <hashes.txt")
cmp -s decoded.txt iostream.txt || { echo "kavlo-ipfinder and the iostream decoder disagree" >&2; exit 1; }
row kavlo-ipfinder "$ours"
row "cat | cat (the floor)" "$floor"
row "iostream decoder" "$iostream"
if command -v python3 >/dev/null; then
  python=$(seconds 1 python.txt "python3 -c 'import sys
for l in sys.stdin:
    v = int(l, 16); sys.stdout.write(f\"{v >> 16 & 255}.{v >> 24 & 255}.{v >> 32 & 255}.{v >> 40 & 255}:{v & 65535}\\n\")' <hashes.txt")
  row "python3 one-liner" "$python"
  echo "  python3: $(ratio "$python" "$ours")x kavlo-ipfinder's time"
fi
rate=$(awk -v n=$count -v s="$ours" 'BEGIN { printf "%.1f", n / s / 1e6 }')
echo "  speed: $rate M lines/s (target 25: $(verdict "$rate" 25 1));" \
  "$(ratio "$iostream" "$ours")x the iostream decoder (target 30x: $(verdict "$(ratio "$iostream" "$ours")" 30 1));" \
  "$(ratio "$ours" "$floor")x the floor (target within 5x: $(verdict "$(ratio "$ours" "$floor")" 5 0))"

echo "== kavlo-ipfinder --encode: the same $count addresses back to hashes"
encoded=$(seconds 3 encoded.txt "'$build/kavlo-ipfinder' --encode -f decoded.txt")
iostream=$(seconds 1 iostream-encoded.txt "'$build/cli_reference' encode <decoded.txt")
cmp -s encoded.txt hashes.txt && cmp -s iostream-encoded.txt hashes.txt ||
  { echo "an encoder did not give the hashes back" >&2; exit 1; }
row "kavlo-ipfinder --encode" "$encoded"
row "iostream encoder" "$iostream"
echo "  speed: $(ratio "$iostream" "$encoded")x the iostream encoder (target 10x: $(verdict "$(ratio "$iostream" "$encoded")" 10 1))"

lines=2000000
[ -f log.txt ] || "$build/cli_reference" log $lines >log.txt
megabytes=$(awk -v b="$(stat -c %s log.txt)" 'BEGIN { printf "%.0f", b / 1e6 }')
echo "== kavlo-ipfinder --extract: a log of $lines lines ($megabytes MB), file to file"
extracted=$(seconds 3 extracted.txt "'$build/kavlo-ipfinder' --extract -f log.txt")
grepped=$(seconds 1 grepped.txt "LC_ALL=C grep -ow '[0-9A-Fa-f]\{12\}' log.txt | '$build/kavlo-ipfinder'")
copied=$(seconds 3 copied.txt "cat log.txt")
# One hash a line; grep also takes each GUID's last group for one.
[ "$(wc -l <extracted.txt)" = $lines ] && [ "$(wc -l <grepped.txt)" = $((2 * lines)) ] ||
  { echo "--extract or grep found other hashes than the log holds" >&2; exit 1; }
rate() { awk -v mb="$megabytes" -v s="$2" -v name="$1" 'BEGIN { printf "  %-28s %8.2f s %8.0f MB/s\n", name, s, mb / s }'; }
rate "kavlo-ipfinder --extract" "$extracted"
rate "grep -ow | kavlo-ipfinder" "$grepped"
rate "cat (the floor)" "$copied"
echo "  speed: $(ratio "$grepped" "$extracted")x the grep pipeline (target 5x: $(verdict "$(ratio "$grepped" "$extracted")" 5 1);" \
  "aim 10x: $(verdict "$(ratio "$grepped" "$extracted")" 10 1)); $(ratio "$extracted" "$copied")x cat's time"

echo "== kavlo-ipfinder's peak memory"
head -10 hashes.txt >ten.txt
small=$(/usr/bin/time -f %M "$build/kavlo-ipfinder" -f ten.txt 2>&1 >/dev/null)
large=$(/usr/bin/time -f %M "$build/kavlo-ipfinder" -f hashes.txt 2>&1 >/dev/null)
# Both use the same fixed buffers; a short input touches less of them.
echo "  10 lines: $small KiB; $count lines: $large KiB (flat, within the buffers' 256 KiB:" \
  "$(verdict "$large" "$((small + 256))" 0))"
small=$(/usr/bin/time -f %M "$build/kavlo-ipfinder" --extract -f ten.txt 2>&1 >/dev/null)
large=$(/usr/bin/time -f %M "$build/kavlo-ipfinder" --extract -f log.txt 2>&1 >/dev/null)
echo "  --extract, 10 lines: $small KiB; the log: $large KiB (flat: $(verdict "$large" "$((small + 256))" 0))"
rm -f decoded.txt copied.txt iostream.txt python.txt encoded.txt iostream-encoded.txt extracted.txt grepped.txt
