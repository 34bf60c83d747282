#!/usr/bin/env bash
# kavlo-ipfinder's speed, native build, file to file, against a copy of the same bytes: --extract
# on a log of 2,000,000 lines beside `cat LOG > OUT`, decoding 10,000,000 hashes beside
# `cat HASHES | cat > OUT` (a copy through a pipe, as the program's input and output are two
# streams); --extract on the log in UTF-16 beside the same in UTF-8; and bad lines, their
# messages through a pipe, beside --tsv, which puts them in its output. Each pair runs
# interleaved, and each time is the median of several runs, so that a change in the machine's
# load moves both; the ratios carry the targets. For context: what reading each input and writing
# its output cost with no work between, grep -ow and ripgrep piped into kavlo-ipfinder, the --encode
# round trip, plain iostream programs, and peak memory.
#   cli_bench.sh NATIVE-BUILD-DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-7}
work="$build/cli-bench"
mkdir -p "$work"
cd "$work"
count=10000000 lines=2000000
[ -f hashes.txt ] || "$build/cli_reference" generate $count >hashes.txt
[ -f log.txt ] || "$build/cli_reference" log $lines >log.txt
# The same log as Windows PowerShell 5.1 writes it: UTF-16, little-endian, with its mark.
[ -f log-utf16.txt ] || { printf '\xFF\xFE'; iconv -f UTF-8 -t UTF-16LE log.txt; } >log-utf16.txt

# Lines that are not hashes, as logs and hand-made lists hold many of.
[ -f bad.txt ] || seq 1000000 | sed 's/^/not a hash, line /' >bad.txt
cpu=$(($(nproc) - 1))  # every timed command on this one processor, the pipelines' both ends too

# medians RUNS COMMAND...: runs each command RUNS times, in turn, each writing out.txt afresh (not
# timed), pinned to one processor, and prints each one's median wall time in seconds, a line each.
medians() {
  local n=$1 i c start
  shift
  local -a times=()
  for i in $(seq "$n"); do
    for c in $(seq $#); do
      rm -f out.txt
      start=$(date +%s%N)
      taskset -c "$cpu" bash -c "${!c} >out.txt"
      times+=("$c $(($(date +%s%N) - start))")
    done
  done
  for c in $(seq $#); do
    printf '%s\n' "${times[@]}" | awk -v c="$c" '$1 == c { print $2 }' | sort -n |
      awk '{ t[NR] = $1 } END { printf "%.3f\n", t[int((NR + 1) / 2)] / 1e9 }'
  done
}
row() { awk -v name="$1" -v s="$2" -v mb="$3" 'BEGIN { printf "  %-34s %7.3f s %7.0f MB/s\n", name, s, mb / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print v <= t ? "met" : "MISSED" }'; }
megabytes() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.0f", b / 1e6 }'; }
# floor INPUT OUTPUT COPY: what reading INPUT and writing OUTPUT cost with no work between, beside
# the copy the target is set against, so that a ratio shows how much of it the work itself has left.
# Decoding writes half as much again as it reads, and so has less left than --extract.
floor() {
  mapfile -t t < <(medians "$runs" "$3" "cat $1 >/dev/null; cat $2")
  row "read, write, no work (the floor)" "${t[1]}" "$(megabytes "$1")"
  echo "  the floor: $(ratio "${t[1]}" "${t[0]}")x the copy's time"
}

mb=$(megabytes log.txt)
echo "== --extract: a log of $lines lines ($mb MB), median of $runs runs, interleaved"
mapfile -t t < <(medians "$runs" "cat log.txt" "'$build/kavlo-ipfinder' --extract -f log.txt")
[ "$(wc -l <out.txt)" = $lines ] || { echo "--extract found other hashes than the log holds" >&2; exit 1; }
cp out.txt extracted.txt
row "cat LOG > OUT (the copy)" "${t[0]}" "$mb"
row "kavlo-ipfinder --extract" "${t[1]}" "$mb"
echo "  --extract: $(ratio "${t[1]}" "${t[0]}")x the copy's time (target 1.1: $(verdict "$(ratio "${t[1]}" "${t[0]}")" 1.1);" \
  "aim 0.8: $(verdict "$(ratio "${t[1]}" "${t[0]}")" 0.8))"
floor log.txt extracted.txt "cat log.txt"
# The same text in UTF-16, read as it streams: at least half as fast as in UTF-8.
mapfile -t t < <(medians "$runs" "'$build/kavlo-ipfinder' --extract -f log.txt" "'$build/kavlo-ipfinder' --extract -f log-utf16.txt")
[ "$(wc -l <out.txt)" = $lines ] || { echo "--extract found other hashes in UTF-16 than the log holds" >&2; exit 1; }
row "kavlo-ipfinder --extract, UTF-8" "${t[0]}" "$mb"
row "kavlo-ipfinder --extract, UTF-16" "${t[1]}" "$mb"
echo "  UTF-16: $(ratio "${t[1]}" "${t[0]}")x UTF-8's time, the same text (target 2: $(verdict "$(ratio "${t[1]}" "${t[0]}")" 2))"
# grep takes each GUID's last group for a hash too; ripgrep where it is installed.
context=("LC_ALL=C grep -ow '[0-9A-Fa-f]\{12\}' log.txt | '$build/kavlo-ipfinder'")
command -v rg >/dev/null && context+=("rg -o -w '[0-9A-Fa-f]{12}' log.txt | '$build/kavlo-ipfinder'")
mapfile -t t < <(medians 1 "${context[@]}")
row "grep -ow | kavlo-ipfinder" "${t[0]}" "$mb"
if [ "${#t[@]}" -gt 1 ]; then row "rg -o -w | kavlo-ipfinder" "${t[1]}" "$mb"; else echo "  (ripgrep is not installed)"; fi

mb=$(megabytes hashes.txt)
echo "== decoding $count hashes ($mb MB), median of $runs runs, interleaved"
mapfile -t t < <(medians "$runs" "cat hashes.txt | cat" "'$build/kavlo-ipfinder' -f hashes.txt")
cp out.txt decoded.txt
row "cat HASHES | cat > OUT (the copy)" "${t[0]}" "$mb"
row "kavlo-ipfinder" "${t[1]}" "$mb"
echo "  decode: $(ratio "${t[1]}" "${t[0]}")x the copy's time (target 1.2: $(verdict "$(ratio "${t[1]}" "${t[0]}")" 1.2);" \
  "aim 0.9: $(verdict "$(ratio "${t[1]}" "${t[0]}")" 0.9))"
floor hashes.txt decoded.txt "cat hashes.txt | cat"
mapfile -t t < <(medians 1 "'$build/cli_reference' decode <hashes.txt" "'$build/kavlo-ipfinder' --encode -f decoded.txt" \
  "'$build/cli_reference' encode <decoded.txt")
row "iostream decoder" "${t[0]}" "$mb"
row "kavlo-ipfinder --encode (back)" "${t[1]}" "$mb"
row "iostream encoder (back)" "${t[2]}" "$mb"
cmp -s out.txt hashes.txt || { echo "the encoders did not give the hashes back" >&2; exit 1; }

mb=$(megabytes bad.txt)
echo "== 1000000 bad lines ($mb MB), their messages through a pipe, median of $runs runs, interleaved"
mapfile -t t < <(medians "$runs" "'$build/kavlo-ipfinder' --tsv -f bad.txt | cat" \
  "'$build/kavlo-ipfinder' -f bad.txt 2>&1 >/dev/null | cat")
[ "$(wc -l <out.txt)" = 1000000 ] || { echo "not every bad line was reported" >&2; exit 1; }
row "kavlo-ipfinder --tsv | cat" "${t[0]}" "$mb"
row "kavlo-ipfinder 2>&1 >/dev/null | cat" "${t[1]}" "$mb"
echo "  bad input: $(ratio "${t[1]}" "${t[0]}")x --tsv's time (target 2: $(verdict "$(ratio "${t[1]}" "${t[0]}")" 2))"

echo "== peak memory"
head -10 hashes.txt >ten.txt
for mode in "" "--extract"; do
  small=$(/usr/bin/time -f %M "$build/kavlo-ipfinder" $mode -f ten.txt 2>&1 >/dev/null)
  large=$(/usr/bin/time -f %M "$build/kavlo-ipfinder" $mode -f "$([ -n "$mode" ] && echo log || echo hashes).txt" 2>&1 >/dev/null)
  echo "  kavlo-ipfinder ${mode:-(decode)}: $small KiB for 10 lines, $large KiB for all (flat, within 256 KiB:" \
    "$(verdict "$large" "$((small + 256))"))"
done
rm -f out.txt extracted.txt decoded.txt ten.txt
