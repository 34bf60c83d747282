#!/usr/bin/env bash
# Drives kavlo-ipfinder as a user of a command line would: arguments, standard input and files in
# order; spaces, tabs, CRLF and blank lines; a huge line; other scripts' characters; --tsv,
# --encode, --extract and --json; error lines and exit codes; and a reader that goes away.
#   cli_test.sh PROGRAM               a native build: lines end in LF
#   cli_test.sh --wine PROGRAM.exe    a Windows build, inside wine-run --host: lines end in CRLF
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/checks.sh"
run=() newline=$'\n'
if [ "$1" = --wine ]; then
  # Wine reads the arguments in the locale's character set.
  run=(env LC_ALL=C.UTF-8 "$KAVLO_WINE") newline=$'\r\n'
  shift
fi
run+=("$(cd "$(dirname "$1")" && pwd)/$(basename "$1")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# expect DESCRIPTION STDIN STATUS STDOUT STDERR [ARGS...]: runs the program and compares all three,
# the expected lines ending as this system ends them.
expect() {
  local what=$1 want_status=$3
  printf '%s' "$2" >stdin
  printf '%s' "${4//$'\n'/$newline}" >want.out
  printf '%s' "${5//$'\n'/$newline}" >want.err
  shift 5
  "${run[@]}" "$@" <stdin >got.out 2>got.err
  local status=$?
  if [ "$status" = "$want_status" ] && cmp -s got.out want.out && cmp -s got.err want.err; then
    echo "ok: $what"
  else
    echo "FAILED: $what: exit $status (expected $want_status)"
    diff want.out got.out | head -5
    diff want.err got.err | head -5
    failures=$((failures + 1))
  fi
}
error() { echo "kavlo-ipfinder: $1"; }  # a line on standard error

expect "hashes as arguments, in order" "" 0 $'192.168.0.1:8080\n255.255.255.255:65535\n0.0.0.0:0\n' "" \
  0100A8C01F90 ffffffffffff 000000000000
expect "a bad argument is named, and the rest go on" "" 1 $'1.0.0.127:80\n' \
  "$(error 'argument 1: "0100A8C01F9": Please enter 12 digits')
$(error 'argument 3: "0100A8C01F9G": Please enter hex digits')
" 0100A8C01F9 7F0000010050 0100A8C01F9G
expect "standard input: spaces, tabs, CRLF and blank lines; the last line without a line end" \
  $' \t0100A8C01F90 \r\n\r\n\n\t \n7F0000010050\r\n0100A8C01F9\r\nFFFFFFFFFFFF' 1 \
  $'192.168.0.1:8080\n1.0.0.127:80\n255.255.255.255:65535\n' "$(error 'line 6: "0100A8C01F9": Please enter 12 digits')
"
expect "a line end among a line's first twelve bytes ends it there" $'\n0100A8C01F9\nAB\nCDEFGHIJK\n\r\n0100A8C01F\r\n' 1 \
  "" "$(error 'line 2: "0100A8C01F9": Please enter 12 digits')
$(error 'line 3: "AB": Please enter 12 digits')
$(error 'line 4: "CDEFGHIJK": Please enter 12 digits')
$(error 'line 6: "0100A8C01F": Please enter 12 digits')
"
expect "- reads standard input where it stands" $'FFFFFFFFFFFF\n' 0 \
  $'192.168.0.1:8080\n255.255.255.255:65535\n1.0.0.127:80\n' "" 0100A8C01F90 - 7F0000010050
printf '0100A8C01F90\nxyz\n' >a.txt
printf '\xEF\xBB\xBF000000000000\r\n' >b.txt  # as Notepad saves UTF-8
# Text as Windows PowerShell 5.1 writes it with >: UTF-16, little-endian, with a byte-order mark
# and CRLF; and big-endian, and one that ends in an odd byte.
utf16() { printf '\xFF\xFE'; printf "$1" | iconv -f UTF-8 -t UTF-16LE; }
utf16 '0100A8C01F90\r\n0100A8C01F9\xc3\xa9\r\n' >powershell.txt
{ printf '\xFE\xFF'; printf '7F0000010050\n' | iconv -f UTF-8 -t UTF-16BE; } >big.txt
{ utf16 'FFFFFFFFFFFF\n'; printf '\x30'; } >odd.txt
expect "files, with their names in messages; a byte-order mark is not text" "" 1 $'192.168.0.1:8080\n0.0.0.0:0\n' \
  "$(error 'a.txt: line 2: "xyz": Please enter 12 digits')
" -f a.txt --file b.txt
expect "a file named as getopt has it: --file=FILE, -fFILE, after other short options" "" 0 \
  $'0.0.0.0:0\n0.0.0.0:0\n0.0.0.0:0\n' "" --file=b.txt -fb.txt -xf b.txt
expect "UTF-16 files, as PowerShell writes them, read as the same text in UTF-8" "" 1 \
  $'192.168.0.1:8080\n1.0.0.127:80\n' "$(error $'powershell.txt: line 2: "0100A8C01F9\xc3\xa9": Please enter hex digits')
" -f powershell.txt -f big.txt
expect "UTF-16 that ends in an odd byte: the rest is read, then exit 2" "" 2 $'255.255.255.255:65535\n0.0.0.0:0\n' \
  "$(error 'odd.txt: the text ends in half a UTF-16 character (an odd byte), which was left out')
" -f odd.txt -f b.txt
"${run[@]}" - - <powershell.txt >got.out 2>got.err
status=$?
check "UTF-16 on standard input, named twice, is read once: $(tr -d '\r' <got.out | paste -sd' ')" \
  test $status = 1 -a "$(tr -d '\r' <got.out)" = 192.168.0.1:8080 -a "$(grep -c 'line 2: ' got.err)" = 1 -a "$(wc -l <got.err)" = 1
"${run[@]}" -f missing.txt 0100A8C01F90 >got.out 2>got.err </dev/null
status=$?
check "a missing file is exit 2, named: $(head -1 got.err)" \
  test $status = 2 -a "$(cat got.out)" = "192.168.0.1:8080${newline%$'\n'}" -a "$(grep -c '^kavlo-ipfinder: missing.txt: ' got.err)" = 1
expect "--tsv lines up each input with its result or message" $'0100A8C01F90\n\nxyz\t1\n0100A8C01F9G\n' 1 \
  $'0100A8C01F90\t192.168.0.1:8080\nxyz\\t1\tPlease enter 12 digits\n0100A8C01F9G\tPlease enter hex digits\n' ""  --tsv

expect "a line of 1 MB is one line" "$(head -c 1000000 /dev/zero | tr '\0' A)"$'\n0100A8C01F90\n' 1 \
  $'192.168.0.1:8080\n' "$(error "line 1: \"$(printf 'A%.0s' {1..64})\"...: Please enter 12 digits")
"
expect "twelve digits amid 200 KB of spaces are a hash" "$(printf '%100000s')0100A8C01F90$(printf '%100000s')"$'\r\n' 0 \
  $'192.168.0.1:8080\n' ""
expect "other scripts' characters count as the window counts them; control characters are escaped" \
  $'0100A8C01F9\xc3\xa9\n0100A8C01F\xf0\x9f\x98\x80\n0100A8C01F9\xf0\x9f\x98\x80\n0100A8C01F\x1b[\n' 1 "" \
  "$(error $'line 1: "0100A8C01F9\xc3\xa9": Please enter hex digits')
$(error $'line 2: "0100A8C01F\xf0\x9f\x98\x80": Please enter hex digits')
$(error $'line 3: "0100A8C01F9\xf0\x9f\x98\x80": Please enter 12 digits')
$(error 'line 4: "0100A8C01F\x1B[": Please enter hex digits')
"
expect "what a terminal acts on and bytes that are not UTF-8 are escaped; a sequence cut short is counted as Windows does" \
  $'0100A8C01F9\xc2\x9b\n\xe2\x80\xae0100A8C01F9\n0100A8C01F9\xff\n0100A8C01F\xe4A\n' 1 "" \
  "$(error 'line 1: "0100A8C01F9\xC2\x9B": Please enter hex digits')
$(error 'line 2: "\xE2\x80\xAE0100A8C01F9": Please enter hex digits')
$(error 'line 3: "0100A8C01F9\xFF": Please enter hex digits')
$(error 'line 4: "0100A8C01F\xE4A": Please enter hex digits')
"
expect "an argument in another script gets the window's message" "" 1 "" \
  "$(error $'argument 1: "\xef\xbc\x90100A8C01F90": Please enter hex digits')
$(error $'argument 2: "0100A8C01F\xf0\x9f\x98\x80": Please enter hex digits')
" $'\xef\xbc\x90100A8C01F90' $'0100A8C01F\xf0\x9f\x98\x80'

expect "--encode: addresses to upper-case hashes; a hash is no address" $'192.168.0.1:8080\r\n0100A8C01F90\n 1.0.0.127:80\n' 1 \
  $'FFFFFFFFFFFF\n000000000000\n0100A8C01F90\n7F0000010050\n' \
  "$(error 'argument 4: "1.2.3.256:80": octet 4 is more than 255')
$(error 'line 2: "0100A8C01F90": no port: give it after a colon, as in 192.168.0.1:8080')
" --encode 255.255.255.255:65535 0.0.0.0:0 1.2.3.256:80 -
expect "--encode --tsv" $'192.168.0.1:8080\n010.0.0.1:80\n' 1 \
  $'192.168.0.1:8080\t0100A8C01F90\n010.0.0.1:80\toctet 1 has a leading zero\n' "" -e --tsv

expect "an unknown option is a usage error" "" 2 "" "$(error 'unknown option "--hex"')
Try 'kavlo-ipfinder --help'.
" 0100A8C01F90 --hex
expect "-f needs a file name" "" 2 "" "$(error 'a file name must follow "-f"')
Try 'kavlo-ipfinder --help'.
" -f
expect "an unknown option is shown with its whole character" "" 2 "" "$(error 'unknown option "-é"')
Try 'kavlo-ipfinder --help'.
" -xé
"${run[@]}" -f '' --file= 0100A8C01F90 >got.out 2>got.err </dev/null
status=$?
check "an empty file name is named as such, not as standard input: $(head -1 got.err)" \
  test $status = 2 -a "$(grep -c "^kavlo-ipfinder: '': " got.err)" = 2 -a "$(tr -d '\r' <got.out)" = 192.168.0.1:8080
expect "--version" "" 0 "kavlo-ipfinder $("$here/../scripts/lib/version.sh" TEXT)"$'\n' "" --version
# --help: each option of the table with its whole help, the help's lines in one column.
"${run[@]}" --help | tr -d '\r' >help.txt
got=$(python3 - "$here/options.h" help.txt 2>&1 <<'PY'
import re, sys
table, shown = open(sys.argv[1]).read(), open(sys.argv[2]).read()
options = re.findall(r'\{"(-\w)?", "(--\w*)", "(\w*)", Action::\w+, [^,]+, "[^"]*",((?:\s*"(?:[^"\\]|\\.)*")+)\s*KAVLO_MANUAL\((?:\s*"(?:[^"\\]|\\.)*")+\)\}', table)
columns = set()
for short, long, argument, texts in options:
    lines = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', texts)).encode().decode("unicode_escape").split("\n")
    names = "  " + ", ".join(filter(None, [short, long])) + (" " + argument if argument else "")
    found = re.search("^" + re.escape(names) + "( +)" + re.escape(lines[0]) + "\n" +
                      "".join("( +)" + re.escape(line) + "\n" for line in lines[1:]), shown, re.M)
    if not found:
        sys.exit(f"{long} and its help are not in it as the table has them")
    columns |= {len(names) + len(found[1])} | {len(space) for space in found.groups()[1:]}
if len(options) < 6 or len(columns) != 1:
    sys.exit(f"{len(options)} options, their help in columns {sorted(columns)}")
print(f"the table's {len(options)} options, each with its whole help in column {columns.pop()}")
PY
)
status=$?
check "--help: $got" test $status = 0 -a "$(head -c 6 help.txt)" = Usage:

got=$( (printf '\xef'; sleep 0.3; printf '\xbb\xbf0100A8C01F90\n') | "${run[@]}" 2>&1 | tr -d '\r')
check "a byte-order mark that arrives in two reads: $got" test "$got" = 192.168.0.1:8080

# --extract: which runs of twelve hex digits in a text are hashes, in order of appearance.
extracts() {  # extracts DESCRIPTION TEXT [HASH...]: the hashes --extract finds in TEXT
  local what=$1 text=$2 found
  shift 2
  found=$(printf '%s' "$text" | "${run[@]}" --extract --tsv | tr -d '\r' | cut -f1 | paste -sd' ')
  check "--extract: $what${found:+: $found}" test "$found" = "$*"
}
extracts "a hash among words" "hash=0100A8C01F90, then" 0100A8C01F90
extracts "a letter or _ on either side, or a thirteenth digit" \
  "x0100A8C01F90 0100A8C01F90g _0100A8C01F90 0100A8C01F90_ 0100A8C01F90AB A0100A8C01F90 0100A8C01F9"
extracts "at the start and the end of the text, in any case" "7f0000010050 x 0100A8C01F90" 7f0000010050 0100A8C01F90
extracts "a GUID's last group, with or without braces, is none" \
  "{4167239C-7281-5977-8133-90D68B94A1A1} 4167239c-7281-5977-8133-90d68b94a1a1 {4167239C-7281-5977-8133-0100A8C01F90"
extracts "after fewer GUID groups, or others, it is one" \
  "7281-5977-8133-90D68B94A1A1 4167239C-7281-5977-813-0100A8C01F90 4167239C07281-5977-8133-7F0000010050" \
  90D68B94A1A1 0100A8C01F90 7F0000010050
extracts "next to punctuation, other scripts and dashes" $'\xc3\xa90100A8C01F90\xc3\xa9 (7F0000010050)-FFFFFFFFFFFF.' \
  0100A8C01F90 7F0000010050 FFFFFFFFFFFF
extracts "not across a line end, and in lines of any length" \
  "0100A8$newline""C01F90 $(printf '%200000s')0100A8C01F90 $(head -c 100000 /dev/zero | tr '\0' 0)" 0100A8C01F90
expect "--extract: arguments are text, and finding none is exit 1" "" 1 "" "" -x "no hash" "nor here"
expect "--extract: an argument is text, whatever its first bytes" "" 0 $'192.168.0.1:8080\n' "" -x $'\xff\xfe 0100A8C01F90'
printf 'from 0100A8C01F90 to 7F0000010050\n' >log.txt
expect "--extract: files and standard input in order, one hash a line" $'x FFFFFFFFFFFF\n' 0 \
  $'192.168.0.1:8080\n1.0.0.127:80\n255.255.255.255:65535\n0.0.0.0:0\n' "" -x -f log.txt - "id=000000000000"

# --json: every line parses, with the fields it should have.
json_fields() {  # json_fields [ARGS...] < INPUT: each object's keys and values, one object a line
  "${run[@]}" --json "$@" | python3 -c '
import json, sys
for line in sys.stdin:
    print(" ".join(f"{key}={value}" for key, value in json.loads(line).items()))'
}
printf '0100A8C01F90\n\n0100A8C01F9\n"\\\x01\xff\xc3\xa9\n' >json.txt
check "--json: decoded, bad and odd inputs" test "$(json_fields -f json.txt 7F0000010050 </dev/null)" = \
"input=0100A8C01F90 address=192.168.0.1 port=8080 file=json.txt line=1
input=0100A8C01F9 error=Please enter 12 digits file=json.txt line=3
input=\"\\"$'\x01\xef\xbf\xbd\xc3\xa9'" error=Please enter 12 digits file=json.txt line=4
input=7F0000010050 address=1.0.0.127 port=80 argument=4"
check "--json --encode, and --extract" test "$(json_fields -e 10.0.0.1:80 1.2.3.4 </dev/null; echo "a 0100A8C01F90" | json_fields -x)" = \
"input=10.0.0.1:80 hash=0100000A0050 argument=3
input=1.2.3.4 error=no port: give it after a colon, as in 192.168.0.1:8080 argument=4
input=0100A8C01F90 address=192.168.0.1 port=8080 line=1"
expect "a format and a mode each once" "" 2 "" "$(error '"--json" cannot go with "--tsv"')
Try 'kavlo-ipfinder --help'.
" --tsv --json
expect "--json: an input is shown as --tsv shows it, escaped, and its size where it is cut" "" 1 \
  "{\"input\": \"$(printf '\\u0001%.0s' {1..64})...\", \"input_bytes\": 11000, \"error\": \"Please enter 12 digits\", \"argument\": 2}
{\"input\": \"\\u009B\\u202E\", \"error\": \"Please enter 12 digits\", \"argument\": 3}
" "" --json "$(head -c 11000 /dev/zero | tr '\0' '\1')" $'\xc2\x9b\xe2\x80\xae'
name=$(printf 'n%.0s' {1..100}).txt
"${run[@]}" -f "$name" >/dev/null 2>got.err </dev/null
check "a file's name is shown whole" test "$(grep -c "^kavlo-ipfinder: $name: " got.err)" = 1

# A reader that goes away early: the program ends without a word, its status that of what it did.
for i in $(seq 200000); do echo 0100A8C01F90; done >many.txt
"${run[@]}" -f many.txt 2>got.err | head -n 1 >got.out
status=${PIPESTATUS[0]}
check "a closed pipe ends it quietly (exit $status)" \
  test "$status" = 0 -a ! -s got.err -a "$(tr -d '\r' <got.out)" = 192.168.0.1:8080
timeout 60 bash -c 'yes bad | "$@" 2>&1 | head -c 1 >/dev/null; exit ${PIPESTATUS[1]}' - "${run[@]}"
status=$?
check "so does a closed pipe on standard error (exit $status)" test "$status" = 1
# Where standard output and error go to one place, each message comes after the lines before it;
# elsewhere both are gathered, and a bad input costs no write of its own.
printf '0100A8C01F90\nbad\n7F0000010050\n' | "${run[@]}" >both.txt 2>&1
check "output and messages to one file, in order" test "$(tr -d '\r' <both.txt)" = \
  "192.168.0.1:8080"$'\n'"$(error 'line 2: "bad": Please enter 12 digits')"$'\n'"1.0.0.127:80"
"${run[@]}" 0100A8C01F9 2>/dev/full
status=$?
check "messages to a full disk are exit 2 (exit $status)" test $status = 2
for option in --help --version; do
  "${run[@]}" $option >/dev/full 2>got.err
  status=$?
  check "$option to a full disk is exit 2: $(cat got.err)" test $status = 2 -a "$(grep -c ': cannot write the output: ' got.err)" = 1
done
# A parent may hand its children pipes in non-blocking mode: the program waits on them. The first
# answer comes just before the next read, which so finds nothing; the reader is slower than it.
got=$(python3 - "${run[@]}" <<'PY'
import os, subprocess, sys, time
r, w = os.pipe()
os.set_blocking(r, False)
with subprocess.Popen(sys.argv[1:], stdin=r, stdout=subprocess.PIPE) as program:
    os.write(w, b"0100A8C01F90\n")
    first = program.stdout.readline()
    time.sleep(0.5)
    os.write(w, b"7F0000010050\n")
    os.close(w)
    print(first.decode().strip(), program.stdout.read().decode().strip(), program.wait(), end="; ")
r, w = os.pipe()
os.set_blocking(w, False)
with subprocess.Popen(sys.argv[1:] + ["-f", "many.txt"], stdout=w, stdin=subprocess.DEVNULL) as program:
    os.close(w)
    lines = 0
    while chunk := os.read(r, 4096):
        lines += chunk.count(b"\n")
        time.sleep(0.001)
    print(lines, "lines", program.wait())
PY
)
check "non-blocking standard input and output: $got" test "$got" = "192.168.0.1:8080 1.0.0.127:80 0; 200000 lines 0"

finish "kavlo-ipfinder"
