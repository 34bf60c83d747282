# Sourced by the shell tests: each check reports ok or FAILED and is counted, and `finish` ends
# the test with the verdict.
failures=0
check() {  # check DESCRIPTION COMMAND...: runs the command and reports
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
not() { ! "$@"; }
windows_path() { echo "Z:${1//\//\\}"; }  # a host path as Wine's Windows programs see it
# The command line's options, as its table (cli/options.h) names them, a name a line.
table_options() { sed -n 's/^ *{"\(-[a-z]\)\{0,1\}", "\(--[a-z]*\)".*/\1 \2/p' "$1" | tr ' ' '\n' | sed '/^$/d'; }
finish() {  # finish NAME
  [ "$failures" = 0 ] && echo "$1: all checks passed"
  exit $((failures > 0))
}
# Ends the test early, when the checks after this point could only pass by accident.
stop() {  # stop REASON
  echo "STOPPED: $1; nothing after this was checked"
  exit 1
}

# The Windows Installer's exit codes by name. Under Wine a process's exit status keeps only its low
# 8 bits (1633 shows as 97), which is unambiguous among these.
msi_codes=(0:ERROR_SUCCESS 1601:ERROR_INSTALL_SERVICE_FAILURE 1602:ERROR_INSTALL_USEREXIT
           1603:ERROR_INSTALL_FAILURE 1605:ERROR_UNKNOWN_PRODUCT 1612:ERROR_INSTALL_SOURCE_ABSENT
           1618:ERROR_INSTALL_ALREADY_RUNNING 1619:ERROR_INSTALL_PACKAGE_OPEN_FAILED
           1620:ERROR_INSTALL_PACKAGE_INVALID 1624:ERROR_INSTALL_TRANSFORM_FAILURE
           1625:ERROR_INSTALL_PACKAGE_REJECTED 1627:ERROR_FUNCTION_FAILED 1632:ERROR_INSTALL_TEMP_UNWRITABLE
           1633:ERROR_INSTALL_PLATFORM_UNSUPPORTED 1638:ERROR_PRODUCT_VERSION 1639:ERROR_INVALID_COMMAND_LINE
           1641:ERROR_SUCCESS_REBOOT_INITIATED 3010:ERROR_SUCCESS_REBOOT_REQUIRED)
msi_code_name() {  # msi_code_name STATUS: "1633 ERROR_INSTALL_PLATFORM_UNSUPPORTED" for 1633 or 97
  local entry
  for entry in "${msi_codes[@]}"; do
    if [ $((${entry%%:*} & 255)) = $(($1 & 255)) ]; then
      echo "${entry%%:*} ${entry#*:}"
      return
    fi
  done
  echo "$1 (no installer code)"
}
# Runs the command and checks its exit status against the expected installer codes, naming both
# when they differ; returns whether it matched.
expect_exit() {  # expect_exit DESCRIPTION "CODE..." COMMAND...
  local what=$1 expected=$2 status code
  shift 2
  "$@"
  status=$?
  for code in $expected; do
    if [ $((code & 255)) = $((status & 255)) ]; then
      echo "ok: $what: $(msi_code_name "$status")"
      return 0
    fi
  done
  echo "FAILED: $what: exit $(msi_code_name "$status"), expected $(for code in $expected; do msi_code_name "$code"; done |
    paste -sd/ | sed 's|/| or |g')"
  failures=$((failures + 1))
  return 1
}

# A throwaway self-signed code-signing certificate in DIR (key.pem, cert.pem, and test.pfx with the
# password "test"), valid from 2020 on, so that it covers the commit time signatures carry.
make_test_certificate() {  # make_test_certificate DIR
  TZ=UTC faketime '2020-01-01 00:00:00' openssl req -x509 -newkey rsa:2048 -nodes -days 36500 \
    -subj "/CN=Kavlo IP Finder test signing" -addext extendedKeyUsage=codeSigning \
    -addext keyUsage=critical,digitalSignature -keyout "$1/key.pem" -out "$1/cert.pem" 2>/dev/null
  openssl pkcs12 -export -inkey "$1/key.pem" -in "$1/cert.pem" -passout pass:test -out "$1/test.pfx"
}
