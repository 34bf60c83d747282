#!/usr/bin/env bash
# Prints the time every release artifact carries, as seconds since 1970 (no time zone): the
# SOURCE_DATE_EPOCH the caller sets, else the last commit's time, else a fixed date outside git.
set -euo pipefail
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  echo "$SOURCE_DATE_EPOCH"
else
  git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null || echo 1767225600
fi
