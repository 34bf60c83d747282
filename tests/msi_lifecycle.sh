#!/usr/bin/env bash
# Walks the installer's whole life under Wine, in the prefix wine-run prepared ($WINEPREFIX, with
# $KAVLO_WINE as the loader): refused below the floor (in a 32-bit prefix, which Wine can make
# Windows 2000); a quiet install with its files, shortcut and Add/Remove Programs entry; the
# installed program decoding a hash; another build of the same version (signed) replacing it; an
# upgrade to a higher version; a downgrade refused; an uninstall that leaves nothing; and installs
# into a folder the administrator names, with TARGETDIR and with INSTALLDIR, that an upgrade keeps
# and an uninstall clears. Each exit status is checked by its value. Installing needs no 32-bit
# code, even for the 32-bit package; only starting the installed 32-bit program does, and that one
# step is skipped, saying why, on a host that cannot run it.
#   msi_lifecycle.sh PACKAGE.msi UI_TEST.exe
set -uo pipefail
msi=$1 ui_test=$2
here=$(cd "$(dirname "$0")" && pwd)
scripts="$here/../scripts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/checks.sh"
source "$here/msi.sh"

exe="$(dirname "$msi")/KavloIPFinder.exe"
# The release's version, and the next one, which the upgrade is built as.
version=$("$scripts/lib/version.sh")
IFS=. read -r major minor patch build <<<"$version"
newer="$major.$minor.$((patch + 1)).$build"
describe_package "$msi"
installed="$pkg_dir/KavloIPFinder.exe"
# Nothing of the package is left: no entry, no folder, no shortcut, no remembered folder.
nothing_left() {  # nothing_left FOLDER CODE
  check "no entry is left" test "$(entry_count)" = 0
  check "no file or folder is left" test ! -e "$1"
  check "no shortcut is left" not shortcut_made
  check "  nor its value in the user's registry" not shortcut_value_set
  check "no remembered folder is left" test -z "$(key "$pkg_remembered")"
  check "nothing of it is left on the PATH" not eval 'system_path | grep -i Kavlo >/dev/null'
  check "no cached icon is left" test ! -e "$WINEPREFIX/drive_c/windows/Installer/$2"
}
# A package from an earlier, failed run would make everything below meaningless.
[ "$(entry_count)" = 0 ] || stop "Kavlo IP Finder was installed before the test"

if ! prefix_is_64bit; then
  "$KAVLO_WINE" reg add 'HKCU\Software\Wine' /v Version /d win2k /f >/dev/null 2>&1
  expect_exit "on Windows 2000 the install is refused" 1603 install "$msi"
  "$KAVLO_WINE" reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1
  check "  and nothing is installed" test "$(entry_count)" = 0 -a ! -e "$pkg_dir"
fi

expect_exit "quiet install of $pkg_name" "0 3010" install "$msi" || stop "the package did not install"
check "the program is in its folder" cmp -s "$installed" "$exe"
check "  and the command-line program" cmp -s "$pkg_dir/kavlo-ipfinder.exe" "$(dirname "$exe")/kavlo-ipfinder.exe"
completion=$(basename "$(dirname "$exe")"/*.ps1)
check "  and its PowerShell completion" cmp -s "$pkg_dir/$completion" "$(dirname "$exe")/$completion"
check "  which is on the system PATH" on_path "$pkg_dir_for_windows\\"
check "a Start-menu shortcut '$pkg_name'" shortcut_made
check "  kept by the value '$pkg_shortcut_value' in the user's registry" shortcut_value_set
check "an Add/Remove Programs entry $pkg_code" has_value DisplayName "$pkg_name"
check "  with DisplayVersion $version" has_value DisplayVersion "$version"
check "  with the company as Publisher" has_value Publisher Kavlo
check "  with the folder as InstallLocation" has_value InstallLocation "$pkg_dir_for_windows\\"
url=$("$scripts/lib/version.sh" PROJECT_URL)
links_to() { has_value HelpLink "$1" && has_value URLInfoAbout "$1"; }
check "  with the web page as HelpLink and URLInfoAbout" links_to "$url"
check "  with no Modify" has_value NoModify 0x1
check "  with no Repair" has_value NoRepair 0x1
# The icon Add/Remove Programs shows, which the installer keeps in its cache.
check "  with the program's icon" cmp -s "$WINEPREFIX/drive_c/windows/Installer/$pkg_code/KavloIPFinder.exe" "$installed"

starts="the installed program starts and decodes a hash"
status=0
$pkg_x86 && { reason=$("$scripts/lib/wine-loader.sh" win32 2>&1 >/dev/null); status=$?; }
case $status in
  0) "$KAVLO_WINE" "$ui_test" --program="$pkg_exe_for_windows" \
       --gtest_filter=Window.HashBoxTakesAtMostTwelveCharacters >"$work/ui.log" 2>&1
     check "$starts" grep -q '^\[  PASSED  \] 1 test' "$work/ui.log" ;;
  77) echo "skipped: $starts: $reason" ;;
  *) check "$starts: $reason" false ;;
esac

# A tester installs a release build over a test build of the same version.
mkdir "$work/signed"
cp "$exe" "$(dirname "$exe")/kavlo-ipfinder.exe" "$(dirname "$exe")"/*.ps1 "$work/signed/"
make_test_certificate "$work"
KAVLO_SIGN_PFX="$work/test.pfx" KAVLO_SIGN_PASSWORD=test "$scripts/lib/sign.sh" "$work/signed/KavloIPFinder.exe"
"$scripts/lib/make-msi.sh" "$work/signed/KavloIPFinder.exe" "$work/signed.msi" >/dev/null
first_code=$pkg_code
expect_exit "the same version, signed, installs over it" "0 3010" install "$work/signed.msi" ||
  stop "the signed build did not install"
describe_package "$work/signed.msi"
check "  as another product code, $pkg_code" test "$pkg_code" != "$first_code"
check "  in place of the unsigned build" test "$(entry_count)" = 1 -a -n "$(entry)"
check "  with the signed program" cmp -s "$installed" "$work/signed/KavloIPFinder.exe"

"$scripts/lib/make-msi.sh" "$exe" "$work/newer.msi" "$newer" >/dev/null
expect_exit "upgrade to $newer" "0 3010" install "$work/newer.msi" || stop "the upgrade did not install"
describe_package "$work/newer.msi"
check "  replaces the entry of $version" has_value DisplayVersion "$newer"
check "  and leaves one entry" test "$(entry_count)" = 1
check "  and the program" cmp -s "$installed" "$exe"

expect_exit "a downgrade to $version is refused" 1603 install "$msi"
check "  and $newer stays alone" test "$(entry_count)" = 1 -a -n "$(entry)"
check "  and the program" test -f "$installed"
# Windows shows this; Wine's msi refuses without logging it.
check "  with the package's message" grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version of '"$pkg_name" \
  <(msiinfo export "$msi" LaunchCondition)

expect_exit "quiet uninstall" "0 3010" uninstall "$work/newer.msi"
nothing_left "$pkg_dir" "$pkg_code"

# The folder an administrator names, with a space in it, by either property. The package writes it
# down, so that an upgrade stays there and uninstall finds it.
chosen='C:\Kavlo Tools'
chosen_dir="$WINEPREFIX/drive_c/Kavlo Tools"
for property in TARGETDIR INSTALLDIR; do
  describe_package "$msi"
  expect_exit "install with $property=\"$chosen\"" "0 3010" install "$msi" "$property=$chosen" ||
    stop "the package did not install into $chosen"
  check "  puts the program in that folder" cmp -s "$chosen_dir/KavloIPFinder.exe" "$exe"
  check "  and nothing in Program Files" test ! -e "$pkg_dir"
  check "  the shortcut starts it there" shortcut_starts "$chosen\\KavloIPFinder.exe"
  check "  Add/Remove Programs has the folder as InstallLocation" has_value InstallLocation "$chosen\\"
  check "  and the PATH has it" on_path "$chosen\\"
  expect_exit "  an upgrade to $newer" "0 3010" install "$work/newer.msi" || stop "the upgrade did not install"
  describe_package "$work/newer.msi"
  check "  stays in that folder" test -f "$chosen_dir/KavloIPFinder.exe" -a ! -e "$pkg_dir"
  expect_exit "  uninstall" "0 3010" uninstall "$work/newer.msi"
  nothing_left "$chosen_dir" "$pkg_code"
done

finish "installer life cycle of $pkg_name"
