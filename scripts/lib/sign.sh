#!/usr/bin/env bash
# Signs Windows files (exe, msi) in place with Authenticode: osslsigncode, SHA-256, the program's
# name and web page, and the signing time fixed to the commit's, so that the same commit and key give
# the same signed bytes. The key: a PKCS#12 file in $KAVLO_SIGN_PFX, its password in
# $KAVLO_SIGN_PASSWORD (read from a pipe, never from the command line).
#   sign.sh FILE...
set -euo pipefail
: "${KAVLO_SIGN_PFX:?the PKCS#12 file to sign with}" "${KAVLO_SIGN_PASSWORD?its password}"
url=$("$(dirname "$0")/version.sh" PROJECT_URL)
epoch=$("$(dirname "$0")/source-date.sh")
for file in "$@"; do
  rm -f "$file.signed"  # osslsigncode will not overwrite
  osslsigncode sign -pkcs12 "$KAVLO_SIGN_PFX" -readpass <(printf '%s' "$KAVLO_SIGN_PASSWORD") -h sha256 \
    -n "Kavlo IP Finder" -i "$url" -time "$epoch" -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
done
