#!/usr/bin/env bash
# Walks the installer's whole life under Wine, in the prefix wine-run prepared ($WINEPREFIX, with
# $KAVLO_WINE as the loader): install quietly, check the files, shortcut and Add/Remove Programs
# entry, start the installed program and decode a hash, upgrade to a higher version (one entry
# remains), see a downgrade refused, uninstall, and check that nothing is left.
#   msi_lifecycle.sh PACKAGE.msi UI_TEST.exe
set -uo pipefail
msi=$1 ui_test=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/checks.sh"
windows_path() { echo "Z:${1//\//\\}"; }
msiexec() { "$KAVLO_WINE" msiexec "$@" </dev/null >/dev/null 2>&1; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

x86_package=false
msiinfo suminfo "$msi" | grep -q 'Template: x86' && x86_package=true
# Wine installs a 32-bit package with its 32-bit msiexec, even in a 64-bit prefix.
if $x86_package; then
  reason=$("$here/../scripts/wine-loader" win32 2>&1 >/dev/null)
  case $? in
    0) ;;
    77) echo "not run: $reason"; exit 77 ;;
    *) echo "$reason"; exit 1 ;;
  esac
fi

# Where the package's files and entry go: a 32-bit package in a 64-bit prefix lives in the x86
# Program Files and under WOW6432Node.
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
program_files='Program Files'
if $x86_package && grep -q '^#arch=win64' "$WINEPREFIX/system.reg"; then
  uninstall='HKLM\Software\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
  program_files='Program Files (x86)'
fi
installed_for_windows="C:\\$program_files\\Kavlo IP Finder\\KavloIPFinder.exe"
program_files="$WINEPREFIX/drive_c/$program_files"
installed="$program_files/Kavlo IP Finder/KavloIPFinder.exe"
# The all-users Start menu, where Windows puts a per-machine package's shortcut; Wine's msi puts
# it in the installing user's.
shortcuts=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kavlo IP Finder.lnk"
           "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kavlo IP Finder.lnk")
shortcut_made() { test -f "${shortcuts[0]}" || test -f "${shortcuts[1]}"; }
entry() { "$KAVLO_WINE" reg query "$uninstall\\$1" 2>/dev/null | tr -d '\r'; }
entries() { "$KAVLO_WINE" reg query "$uninstall" /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName.*Kavlo IP Finder'; }
has_value() { entry "$1" | grep -Eq "^ +$2 +REG_[A-Z_]+ +$3\$"; }

# A package from an earlier, failed run would make everything below meaningless.
[ "$(entries)" = 0 ] || { echo "FAILED: Kavlo IP Finder was installed before the test"; exit 1; }

code=$(product_code "$msi")
check "quiet install" msiexec /i "$(windows_path "$msi")" /qn
check "the program is in Program Files" cmp -s "$installed" "$(dirname "$msi")/KavloIPFinder.exe"
check "a Start-menu shortcut" shortcut_made
check "an Add/Remove Programs entry $code" has_value "$code" DisplayName "Kavlo IP Finder"
check "  with DisplayVersion 1.3.0.0" has_value "$code" DisplayVersion 1.3.0.0
check "  with the company as Publisher" has_value "$code" Publisher Kavlo
check "  with no Modify" has_value "$code" NoModify 0x1
check "  with no Repair" has_value "$code" NoRepair 0x1
# The icon Add/Remove Programs shows, which the installer keeps in its cache.
check "  with the program's icon" cmp -s "$WINEPREFIX/drive_c/windows/Installer/$code/KavloIPFinder.exe" "$installed"

"$KAVLO_WINE" "$ui_test" --program="$installed_for_windows" \
  --gtest_filter=Window.HashBoxTakesAtMostTwelveCharacters >"$work/ui.log" 2>&1
check "the installed program starts and decodes a hash" grep -q '^\[  PASSED  \] 1 test' "$work/ui.log"

"$here/../scripts/make-msi.sh" "$(dirname "$msi")/KavloIPFinder.exe" "$work/newer.msi" 1.3.1.0 >/dev/null
newer=$(product_code "$work/newer.msi")
check "upgrade to 1.3.1.0" msiexec /i "$(windows_path "$work/newer.msi")" /qn
check "  replaces the entry of 1.3.0.0" has_value "$newer" DisplayVersion 1.3.1.0
check "  and leaves one entry" test "$(entries)" = 1
check "  and the program" test -f "$installed"

msiexec /i "$(windows_path "$msi")" /qn
refused=$?
check "a downgrade to 1.3.0.0 is refused (exit $refused)" test "$refused" -ne 0
check "  and 1.3.1.0 stays alone" test "$(entries)" = 1 -a -n "$(entry "$newer")"
# Windows shows this; Wine's msi refuses without logging it.
check "  with the package's message" grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version of Kavlo IP Finder' \
  <(msiinfo export "$msi" LaunchCondition)

check "quiet uninstall" msiexec /x "$(windows_path "$work/newer.msi")" /qn
check "no entry is left" test "$(entries)" = 0
check "no file or folder is left" test ! -e "$program_files/Kavlo IP Finder"
check "no shortcut is left" not shortcut_made
check "no cached icon is left" test ! -e "$WINEPREFIX/drive_c/windows/Installer/$newer"

finish "installer life cycle"
