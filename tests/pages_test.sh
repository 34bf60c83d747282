#!/usr/bin/env bash
# The pages people read against what they describe: the option list of docs/command-line.md is the
# one the build makes of the option table; the manual, as man renders it, shows the program's own
# words; and no hand-written page names the version, which the release and the program give (a page
# says "the version", or has it put in at build time).
#   pages_test.sh PAGES-DIR PROGRAM
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/checks.sh"
page=$root/docs/command-line.md
listed=$(sed -n '/^<!-- The options, made of cli\/options.h by the build: -->$/,/^<!-- End of the options. -->$/p' "$page" | sed '1d;$d')
check "docs/command-line.md lists the options of the table, as $1/options.md has them" \
  test -n "$listed" -a "$listed" = "$(cat "$1/options.md")"
[ "$failures" = 0 ] || diff <(echo "$listed") "$1/options.md" | head -20
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' 000000000000 000000000000 000000000000 000000000000 000000000000 000000000000 0100A8C01F9 >"$work/hashes.txt"
program=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
printed=$(cd "$work" && "$program" -f hashes.txt 2>&1 >/dev/null)
shown=$(MANWIDTH=200 man -l "$1/kavlo-ipfinder.1" 2>/dev/null | grep -F 'hashes.txt: line 7:' | sed 's/^ *//')
check "the manual's example message is the program's: $shown" test -n "$printed" -a "$shown" = "$printed"
date=$(MANWIDTH=200 man -l "$1/kavlo-ipfinder.1" 2>/dev/null | tail -1 | grep -oE '[0-9]{4}-[0-9]{2}-[0-9]{2}')
check "the manual is dated with the release's clock: $date" \
  test "$date" = "$(TZ=UTC date -d "@$("$root/scripts/lib/source-date.sh")" +%Y-%m-%d)"
version=$("$root/scripts/lib/version.sh" TEXT)
for number in "$version" "$("$root/scripts/lib/version.sh")"; do
  written=$(cd "$root" && grep -lF -- "$number" README.md docs/*.md docs/*.txt | paste -sd' ')
  check "no hand-written page names the version $number${written:+: $written do}" test -z "$written"
done
finish "pages"
