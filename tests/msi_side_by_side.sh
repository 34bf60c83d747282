#!/usr/bin/env bash
# Both architectures on one 64-bit Windows, under Wine in the prefix wine-run prepared: the 32-bit
# package and then the 64-bit one are installed, and each is uninstalled in turn. They are two
# products, each with its own entry, folder and shortcut, and removing one leaves the other whole.
#   msi_side_by_side.sh WIN32.msi WIN64.msi
set -uo pipefail
win32=$1 win64=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/checks.sh"
source "$here/msi.sh"

# Whether PACKAGE is installed, whole: its program, its entry and its shortcut.
installed_whole() {
  describe_package "$1"
  cmp -s "$pkg_dir/KavloIPFinder.exe" "$(dirname "$1")/KavloIPFinder.exe" && has_value DisplayName "$pkg_name" &&
    shortcut_made
}
# Whether FOLDER is the one Kavlo IP Finder folder on the system PATH.
only_on_path() { on_path "$1" && test "$(system_path | grep -o Kavlo | wc -l)" = 1; }
# Whether nothing of PACKAGE is left.
gone() {
  describe_package "$1"
  test ! -e "$pkg_dir" && test -z "$(entry)" && not shortcut_made
}

[ "$(entry_count)" = 0 ] || stop "Kavlo IP Finder was installed before the test"
expect_exit "the 32-bit package installs" "0 3010" install "$win32" ||
  stop "the 32-bit package did not install"
expect_exit "the 64-bit package installs beside it" "0 3010" install "$win64" ||
  stop "the 64-bit package did not install"
check "two entries" test "$(entry_count)" = 2
check "  under two names" test "$(property "$win32" ProductName)" != "$(property "$win64" ProductName)"
check "  the 32-bit one whole, as '$(property "$win32" ProductName)'" installed_whole "$win32"
check "  the 64-bit one whole, as '$(property "$win64" ProductName)'" installed_whole "$win64"

expect_exit "the 32-bit package uninstalls" "0 3010" uninstall "$win32"
check "  and is gone" gone "$win32"
check "  and the 64-bit one is still whole" installed_whole "$win64"
check "  with its folder on the PATH, and only it" only_on_path "$pkg_dir_for_windows\\"
check "  and one entry is left" test "$(entry_count)" = 1

expect_exit "the 64-bit package uninstalls" "0 3010" uninstall "$win64"
check "  and is gone" gone "$win64"
check "  and no entry is left" test "$(entry_count)" = 0

finish "both architectures side by side"
