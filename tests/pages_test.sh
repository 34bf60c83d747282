#!/usr/bin/env bash
# The pages people read against what they describe: the option list of docs/command-line.md is the
# one the build makes of the option table, and no hand-written page names the version, which the
# release and the program give (a page says "the version", or has it put in at build time).
#   pages_test.sh PAGES-DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/checks.sh"
page=$root/docs/command-line.md
listed=$(sed -n '/^<!-- The options, made of cli\/options.h by the build: -->$/,/^<!-- End of the options. -->$/p' "$page" | sed '1d;$d')
check "docs/command-line.md lists the options of the table, as $1/options.md has them" \
  test -n "$listed" -a "$listed" = "$(cat "$1/options.md")"
[ "$failures" = 0 ] || diff <(echo "$listed") "$1/options.md" | head -20
version=$("$root/scripts/lib/version.sh" TEXT)
for number in "$version" "$("$root/scripts/lib/version.sh")"; do
  written=$(cd "$root" && grep -lF -- "$number" README.md docs/*.md docs/*.txt | paste -sd' ')
  check "no hand-written page names the version $number${written:+: $written do}" test -z "$written"
done
finish "pages"
