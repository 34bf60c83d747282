# Sourced by the shell tests: each check reports ok or FAILED and is counted, and `finish` ends
# the test with the verdict.
failures=0
check() {  # check DESCRIPTION COMMAND...: runs the command and reports
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
not() { ! "$@"; }
finish() {  # finish NAME
  [ "$failures" = 0 ] && echo "$1: all checks passed"
  exit $((failures > 0))
}
