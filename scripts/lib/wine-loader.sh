#!/usr/bin/env bash
# The one place that knows which Windows programs this host can run under Wine, and so which
# Windows builds it drives.
#
#   wine-loader.sh PROGRAM.exe|win32|win64   "LOADER WINEARCH" for the program's architecture (PE32
#                                            runs on the 32-bit loader in a win32 prefix, PE32+ on
#                                            wine64 in a win64 prefix)
#   wine-loader.sh builds                    the builds this host drives, one a line: windows (32-bit,
#                                            where it can, else it says why on stderr) and windows-x64
#   wine-loader.sh kernel                    whether the kernel runs 32-bit programs at all
#   wine-loader.sh i386-skew                 the installed amd64 packages that keep wine32:i386 out
#
# Where the host cannot run an architecture, it says why on stderr and exits 77 (builds: exits 0,
# saying why it drives no 32-bit build); any other failure exits 1. KAVLO_NO_32BIT=1 makes the
# answer for 32-bit programs "no" on any host, to try the 64-bit-only path.
set -uo pipefail

wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
here=$(cd "$(dirname "$0")" && pwd)

# Runs a 32-bit Linux program of 93 bytes, made here, that only exits 0: a kernel without IA-32
# emulation refuses it with "Exec format error", whether or not anything 32-bit is installed.
kernel_runs_32bit() {
  local probe status
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0'\
'\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0\xb8\x01\0\0\0\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  return $status
}

# The installed amd64 packages that the i386 ones of wine32:i386 must match (Multi-Arch: same) but
# whose installed version the i386 lists lack: "PACKAGE INSTALLED NEWEST-I386" a line.
i386_skew() {
  local names
  names=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
            --no-enhances wine32:i386 2>/dev/null | sed -n 's/^\([^ <]*\):i386$/\1/p' | sort -u)
  [ -n "$names" ] || return 0
  # shellcheck disable=SC2001,SC2046,SC2086  # one argument a package
  { dpkg-query -W -f='installed ${Package} ${Version} ${Multi-Arch} ${Architecture}\n' $names 2>/dev/null
    apt-cache madison $(sed 's/$/:i386/' <<<"$names") 2>/dev/null | awk -F' *[|] *' '{ sub(/^ */, "", $1); sub(/:i386$/, "", $1); print "listed", $1, $2 }'
  } | awk '$1 == "installed" && $4 == "same" && $5 == "amd64" { installed[$2] = $3 }
           $1 == "listed" { if (!($2 in newest)) newest[$2] = $3; listed[$2] = listed[$2] " " $3 " " }
           END { for (p in installed) if ((p in newest) && !index(listed[p], " " installed[p] " ")) print p, installed[p], newest[p] }' |
    sort
}

why_not_32bit() {
  if [ "${KAVLO_NO_32BIT:-}" = 1 ]; then
    echo "32-bit programs are switched off here (KAVLO_NO_32BIT=1)"
  elif ! kernel_runs_32bit; then
    echo "this host cannot run 32-bit programs (its kernel refuses them: Exec format error)"
  elif [ ! -x "$wine32" ]; then
    # Named: those installed at a version newer than the i386 lists have (security updates they lag behind).
    local skew newer
    skew=$(i386_skew)
    if [ -z "$skew" ]; then
      echo "the 32-bit part of Wine (wine32:i386) is not installed: scripts/setup.sh installs it where the package archive allows"
      return 0
    fi
    newer=$(while read -r package installed release; do
              dpkg --compare-versions "$installed" gt "$release" && echo "$package $installed"
            done <<<"$skew" | paste -sd, | sed 's/,/, /g')
    echo "the 32-bit part of Wine (wine32:i386) is not installed: the i386 package lists lack the installed amd64" \
      "${newer:-versions} ($(wc -l <<<"$skew") packages in all); scripts/setup.sh puts those at the versions of the" \
      "release and installs it under CI=true or with KAVLO_ALIGN_I386=1"
  else
    return 1
  fi
}

arch=$1
if [ -f "$arch" ]; then
  machine=$(/usr/bin/python3 "$here/pe.py" machine "$arch") || exit 1
  arch=win32
  [ "$machine" = amd64 ] && arch=win64
fi

case "$arch" in
  win64)
    [ -x "$wine64" ] || { echo "wine-loader: 64-bit Wine is missing: run scripts/setup.sh" >&2; exit 1; }
    echo "$wine64 win64" ;;
  win32)
    if reason=$(why_not_32bit); then
      echo "$reason" >&2
      exit 77
    fi
    output=$("$wine32" --version 2>&1) || { echo "wine-loader: the 32-bit Wine loader failed: $output" >&2; exit 1; }
    echo "$wine32 win32" ;;
  builds)
    if reason=$(why_not_32bit); then echo "the 32-bit build is not driven: $reason" >&2; else echo windows; fi
    echo windows-x64 ;;
  kernel)
    kernel_runs_32bit || { echo "this host cannot run 32-bit programs (its kernel refuses them)" >&2; exit 77; } ;;
  i386-skew) i386_skew ;;
  *) echo "usage: wine-loader.sh PROGRAM.exe|win32|win64|builds|kernel|i386-skew" >&2; exit 2 ;;
esac
