#!/usr/bin/env bash
# The exe check refuses faults made in copies of the built program, one edit each, naming each:
# an import newer than the floor (GetMonitorInfoW renamed GetDpiForSystem, of Windows 10 1607),
# and the NX bit cleared.
#   exe_check_faults.sh CHECK_EXE.sh PROGRAM.exe LINK.map
set -uo pipefail
check_exe=$1 exe=$2 map=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"
/usr/bin/python3 - "$exe" "$work" <<'PY'
import sys, pefile
exe, work = sys.argv[1:]
data = open(exe, "rb").read()
open(f"{work}/newer-import.exe", "wb").write(data.replace(b"GetMonitorInfoW\0", b"GetDpiForSystem\0", 1))
pe = pefile.PE(exe)
pe.OPTIONAL_HEADER.DllCharacteristics &= ~0x100
pe.write(filename=f"{work}/no-nx.exe")
PY
refuses() {  # refuses FAULT PROBLEM: the check fails on the copy, with that problem
  "$check_exe" "$work/$1.exe" "$map" --quiet 2>"$work/$1.txt"
  [ $? = 1 ] && grep -qF "$2" "$work/$1.txt"
}
check "the check passes the program itself" "$check_exe" "$exe" "$map" --quiet
check "an import newer than the floor is refused" refuses newer-import "USER32.DLL GetDpiForSystem needs Windows 10.0.14393"
check "a program without NX is refused" refuses no-nx "not hardened: NX compatible (DEP)"
finish "exe check faults"
