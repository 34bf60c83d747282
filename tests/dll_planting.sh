#!/usr/bin/env bash
# DLL planting: for each program, under wine-run (--host) in $WINEPREFIX with $KAVLO_WINE, finds
# every DLL looked for by name once the program runs (after its imports are resolved: from its
# first call into KERNEL32, which Wine's relay trace shows with the caller's address), by the
# program or by the system's own DLLs, puts a marker DLL beside it under each of those names and
# those CryptoAPI loads, tells Wine to prefer such a DLL to its own, starts the program again,
# decodes a hash, closes it, and checks that no marker was even opened. The window is driven by
# the UI test program; the command line is given a hash. Wine resolves its own DLLs' delay-loaded
# imports with the process's first search path, whatever the program has set, as Windows XP, Vista
# and 7 without KB2533623 do: the program loads those first, by full path.
#   dll_planting.sh MARKER.dll UI_TEST.exe PROGRAM.exe...
set -uo pipefail
marker=$1 ui_test=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/checks.sh"
# How Wine's trace writes a host path: as Windows sees it, backslashes doubled.
traced_path() { windows_path "$1" | sed 's/\\/\\\\/g'; }

# Starts the program in FOLDER, decodes a hash and closes it; Wine's trace in trace.txt.
use() {  # use FOLDER PROGRAM
  if [ "$2" = kavlo-ipfinder.exe ]; then
    "$KAVLO_WINE" "$1/$2" 0100A8C01F90 2>"$work/trace.txt" | tr -d '\r' | grep -x 192.168.0.1:8080 >/dev/null
  else
    "$KAVLO_WINE" "$ui_test" --program="$(windows_path "$1/$2")" \
      --gtest_filter=Window.HashBoxTakesAtMostTwelveCharacters:Closing.* 2>"$work/trace.txt" |
      grep '^\[  PASSED  \] 2 tests' >/dev/null
  fi
}
# The lines of trace.txt from each process of the program in FOLDER: those before its first call
# into KERNEL32 (the imports being resolved) to before.txt, the rest to running.txt.
split_trace() {  # split_trace FOLDER PROGRAM
  /usr/bin/python3 - "$(windows_path "$1/$2")" "$work" <<'PY'
import re, sys
program, work = sys.argv[1], sys.argv[2]
lines = open(f"{work}/trace.txt", encoding="latin-1").read().splitlines()
loaded = re.compile(r'^(\w+):.*Loaded L"(.*)" at ([0-9A-Fa-f]+):')
bases = {m[1]: int(m[3], 16) for m in map(loaded.match, lines) if m and m[2].replace("\\\\", "\\") == program}
started = set()
with open(f"{work}/before.txt", "w") as before, open(f"{work}/running.txt", "w") as running:
    for line in lines:
        pid = line.split(":", 1)[0]
        if pid not in bases:
            continue
        call = re.search(r"Call KERNEL32\.\w+\(.*\) ret=([0-9A-Fa-f]+)$", line)
        if call and 0 <= int(call[1], 16) - bases[pid] < 1 << 24:
            started.add(pid)
        print(line, file=running if pid in started else before)
PY
}
# The names of the DLLs lines of the trace say were loaded, or looked for; lower case.
names() { sed 's/.*\\//; s/"$//' | tr A-Z a-z | sort -u; }
loaded_names() { sed -n 's/.*Loaded L"\(.*\)" at .*/\1/p' | names; }
looked_for_names() { sed -n 's/.*load_dll looking for L"\([^"]*\)" in .*/\1/p' | names; }

crypto="bcrypt.dll crypt32.dll cryptbase.dll cryptsp.dll rsaenh.dll"
# Relay tracing of KERNEL32's functions only.
"$KAVLO_WINE" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "kernel32.*" /f >/dev/null 2>&1
for program in "$@"; do
  name=$(basename "$program")
  folder="$work/${name%.exe}"
  mkdir -p "$folder"
  cp "$program" "$folder/"
  WINEDEBUG=+pid,+loaddll,+relay,+module use "$folder" "$name" || { check "$name runs" false; continue; }
  split_trace "$folder" "$name"
  # Not what was loaded before the program's first instruction, which no code of its can protect;
  # with the names CryptoAPI loads, which the stack protector's guard was once seeded by.
  imports=$(loaded_names <"$work/before.txt")
  planted=$( (looked_for_names <"$work/running.txt"; printf '%s\n' $crypto) | sort -u |
    grep -vxF -f <(echo "$imports"; echo "${name,,}"; echo ntdll.dll))
  echo "loaded with its imports, before its first instruction: $(echo $imports)"
  echo "looked for by name once it runs, by it or by Wine's own DLLs: $(looked_for_names <"$work/running.txt" | xargs)"
  echo "planted beside $name: $(echo $planted)"
  # What the program set: wherever it looks for a DLL by name once it runs, its folder is not there.
  searched=$(sed -n 's/.*load_dll looking for L"[^"]*" in L"\([^"]*\)".*/\1/p' "$work/running.txt" | sort -u)
  check "$name looks for DLLs once it runs in: $(echo ${searched:-nothing looked for})" \
    not grep -qiF "$(traced_path "$folder")" <<<"$searched"
  for dll in $planted; do cp "$marker" "$folder/$dll"; done
  overrides=$(echo $planted | sed 's/\.dll\b//g; s/ /,/g')
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$overrides=n,b" WINEDEBUG=+pid,+loaddll use "$folder" "$name"
  check "$name decodes with markers planted beside it" test $? = 0
  # Loaded, or opened and refused: any mention of a marker's path.
  found=$(for dll in $planted; do
            grep -aqiF "$(traced_path "$folder/$dll")" "$work/trace.txt" && echo "$dll"
          done)
  check "$name loads none of them from beside it${found:+: it loaded $(echo $found)}" test -z "$found"
done
"$KAVLO_WINE" reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1
finish "DLL planting"
