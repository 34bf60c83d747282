#!/usr/bin/env bash
# Walks the installer's whole life under Wine, in the prefix wine-run prepared ($WINEPREFIX, with
# $KAVLO_WINE as the loader): install quietly, check the files, shortcut and Add/Remove Programs
# entry, start the installed program and decode a hash, upgrade to a higher version (one entry
# remains), see a downgrade refused, uninstall, and check that nothing is left. Each exit status is
# checked by its value. Installing needs no 32-bit code, even for the 32-bit package; only starting
# the installed 32-bit program does, and that one step is skipped, saying why, on a host that
# cannot run it.
#   msi_lifecycle.sh PACKAGE.msi UI_TEST.exe
set -uo pipefail
msi=$1 ui_test=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/checks.sh"
source "$here/msi.sh"

describe_package "$msi"
installed="$pkg_dir/KavloIPFinder.exe"
# A package from an earlier, failed run would make everything below meaningless.
[ "$(entry_count)" = 0 ] || stop "Kavlo IP Finder was installed before the test"

expect_exit "quiet install of $pkg_name" "0 3010" msiexec /i "$(windows_path "$msi")" /qn ||
  stop "the package did not install"
check "the program is in its folder" cmp -s "$installed" "$(dirname "$msi")/KavloIPFinder.exe"
check "a Start-menu shortcut '$pkg_name'" shortcut_made
check "an Add/Remove Programs entry $pkg_code" has_value DisplayName "$pkg_name"
check "  with DisplayVersion 1.3.0.0" has_value DisplayVersion 1.3.0.0
check "  with the company as Publisher" has_value Publisher Kavlo
check "  with no Modify" has_value NoModify 0x1
check "  with no Repair" has_value NoRepair 0x1
# The icon Add/Remove Programs shows, which the installer keeps in its cache.
check "  with the program's icon" cmp -s "$WINEPREFIX/drive_c/windows/Installer/$pkg_code/KavloIPFinder.exe" "$installed"

starts="the installed program starts and decodes a hash"
status=0
$pkg_x86 && { reason=$("$here/../scripts/wine-loader" win32 2>&1 >/dev/null); status=$?; }
case $status in
  0) "$KAVLO_WINE" "$ui_test" --program="$pkg_exe_for_windows" \
       --gtest_filter=Window.HashBoxTakesAtMostTwelveCharacters >"$work/ui.log" 2>&1
     check "$starts" grep -q '^\[  PASSED  \] 1 test' "$work/ui.log" ;;
  77) echo "skipped: $starts: $reason" ;;
  *) check "$starts: $reason" false ;;
esac

"$here/../scripts/make-msi.sh" "$(dirname "$msi")/KavloIPFinder.exe" "$work/newer.msi" 1.3.1.0 >/dev/null
newer=$(property "$work/newer.msi" ProductCode)
expect_exit "upgrade to 1.3.1.0" "0 3010" msiexec /i "$(windows_path "$work/newer.msi")" /qn ||
  stop "the upgrade did not install"
old_entry=$pkg_entry
describe_package "$work/newer.msi"
check "  replaces the entry of 1.3.0.0" has_value DisplayVersion 1.3.1.0
check "  and leaves one entry" test "$(entry_count)" = 1
check "  and the program" test -f "$installed"

expect_exit "a downgrade to 1.3.0.0 is refused" 1603 msiexec /i "$(windows_path "$msi")" /qn
check "  and 1.3.1.0 stays alone" test "$(entry_count)" = 1 -a -n "$(entry)"
check "  and the program" test -f "$installed"
# Windows shows this; Wine's msi refuses without logging it.
check "  with the package's message" grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version of '"$pkg_name" \
  <(msiinfo export "$msi" LaunchCondition)

expect_exit "quiet uninstall" "0 3010" msiexec /x "$(windows_path "$work/newer.msi")" /qn
check "no entry is left" test "$(entry_count)" = 0
check "no file or folder is left" test ! -e "$pkg_dir"
check "no shortcut is left" not shortcut_made
check "no cached icon is left" test ! -e "$WINEPREFIX/drive_c/windows/Installer/$newer"
pkg_entry=$old_entry
check "the 1.3.0.0 entry did not come back" test -z "$(entry)"

finish "installer life cycle of $pkg_name"
