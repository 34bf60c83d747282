# Sourced by the installer tests, which run inside wine-run (--host): $WINEPREFIX is the prefix and
# $KAVLO_WINE the loader. Helpers to install packages and to find what they put where. (No grep -q
# at a pipe's end: it stops reading at a match, and under pipefail the writer's SIGPIPE fails it.)
msiexec() { "$KAVLO_WINE" msiexec "$@" </dev/null >/dev/null 2>&1; }
install() { msiexec /i "$(windows_path "$1")" /qn "${@:2}"; }  # install PACKAGE [PROPERTY=VALUE...]
uninstall() { msiexec /x "$(windows_path "$1")" /qn; }
property() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }
prefix_is_64bit() { grep -q '^#arch=win64' "$WINEPREFIX/system.reg"; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
uninstall_key_x86='HKLM\Software\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
entry_count() {  # how many Add/Remove Programs entries of Kavlo IP Finder there are, of either architecture
  local key
  for key in "$uninstall_key" "$uninstall_key_x86"; do
    "$KAVLO_WINE" reg query "$key" /s 2>/dev/null
  done | tr -d '\r' | grep -c 'DisplayName .*Kavlo IP Finder'
}

# Sets, for PACKAGE: pkg_name, pkg_code, pkg_x86 (true/false), pkg_entry (its Add/Remove Programs
# key), pkg_dir (its default folder, as a host path) and pkg_dir_for_windows, pkg_exe_for_windows,
# pkg_remembered (the key where it writes down its folder), pkg_shortcuts (where Windows puts its
# Start-menu shortcut, and where Wine's msi does: the installing user's Start menu) and
# pkg_shortcut_value (the installing user's registry value that keeps the shortcut's component).
describe_package() {  # describe_package PACKAGE.msi
  local program_files='Program Files' key=$uninstall_key software='HKLM\Software'
  pkg_name=$(property "$1" ProductName)
  pkg_code=$(property "$1" ProductCode)
  pkg_x86=false pkg_shortcut_value="StartMenuShortcut x64"
  msiinfo suminfo "$1" | grep '^Template: Intel;' >/dev/null && pkg_x86=true pkg_shortcut_value="StartMenuShortcut x86"
  # A 32-bit package on 64-bit Windows lives in the x86 Program Files and under WOW6432Node.
  if $pkg_x86 && prefix_is_64bit; then
    program_files='Program Files (x86)' key=$uninstall_key_x86 software='HKLM\Software\WOW6432Node'
  fi
  pkg_remembered="$software\\Kavlo\\IP Finder"
  pkg_dir_for_windows="C:\\$program_files\\Kavlo IP Finder"
  pkg_entry="$key\\$pkg_code"
  pkg_dir="$WINEPREFIX/drive_c/$program_files/Kavlo IP Finder"
  pkg_exe_for_windows="C:\\$program_files\\Kavlo IP Finder\\KavloIPFinder.exe"
  pkg_shortcuts=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$pkg_name.lnk"
                 "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$pkg_name.lnk")
}
shortcut_made() { test -f "${pkg_shortcuts[0]}" || test -f "${pkg_shortcuts[1]}"; }
shortcut_value_set() { key 'HKCU\Software\Kavlo\IP Finder' | grep "^ *$pkg_shortcut_value " >/dev/null; }
shortcut_starts() { grep -aqF "$1" "${pkg_shortcuts[@]}" 2>/dev/null; }  # shortcut_starts WINDOWS-PATH
# A registry key's values, empty if there is no such key (reg prints its errors on stdout).
key() { local values; values=$("$KAVLO_WINE" reg query "$1" 2>/dev/null) && tr -d '\r' <<<"$values"; }
entry() { key "$pkg_entry"; }  # the package's Add/Remove Programs entry
has_value() { entry | sed -nE "s/^ +$1 +REG_[A-Z_]+ +//p" | grep -xF -- "$2" >/dev/null; }  # has_value NAME TEXT
# The system PATH (the installer adds the command-line program's folder to it).
system_path() { key 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' | sed -nE 's/^ +PATH +REG_[A-Z_]+ +//p'; }
on_path() { system_path | tr ';' '\n' | grep -ixF -- "$1" >/dev/null; }  # on_path WINDOWS-FOLDER
