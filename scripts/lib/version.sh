#!/usr/bin/env bash
# Prints the program's version, from resources/version.h: 1.3.0.0 with no argument, else the
# KAVLO_<NAME> definition named (TEXT gives 1.03, UPGRADE_CODE_X86 the 32-bit installer's upgrade code).
#   version.sh [NAME]
set -euo pipefail
header="$(dirname "$0")/../../resources/version.h"
define() { sed -n "s/^#define KAVLO_$1 \"*\([^\"]*\)\"*$/\1/p" "$header"; }
if [ $# -eq 0 ]; then
  echo "$(define VERSION_MAJOR).$(define VERSION_MINOR).$(define VERSION_PATCH).$(define VERSION_BUILD)"
elif [ "$1" = TEXT ]; then
  define VERSION_TEXT
else
  define "$1"
fi
