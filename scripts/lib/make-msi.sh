#!/usr/bin/env bash
# Packs KavloIPFinder.exe, and the kavlo-ipfinder.exe and its PowerShell completion (the .ps1)
# beside it, into a Windows Installer package
# (packaging/KavloIPFinder.wxs, built by wixl), for the exes' architecture. The same inputs give the
# same bytes: file dates and the packing tools' clock are the commit's, the clock standing still
# however long packing takes, and the product and package codes are name-based UUIDs of the
# package's own content, so that any other content (another exe, a signed one, another .wxs or
# definition) gets other codes.
#   make-msi.sh EXE OUT.msi [VERSION]      (VERSION: the program's own, 1.3.0.0, by default)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1 out=$2
command_line="$(dirname "$exe")/kavlo-ipfinder.exe"
completion=$(find "$(dirname "$exe")" -maxdepth 1 -name '*.ps1' | head -1)
[ -n "$completion" ] || { echo "make-msi.sh: no PowerShell completion (.ps1) beside $exe" >&2; exit 1; }
define() { "$source_dir/scripts/lib/version.sh" "$@"; }
version=${3:-$(define)}

# The two architectures are two products, side by side on 64-bit Windows: each has its own upgrade
# code, name, folder and shortcut. The platform is what the summary's Template names, and what
# Windows checks before anything else: Intel or x64 (anything else is refused with 1633). Each
# package refuses a Windows below the program's floor.
pe() { /usr/bin/python3 "$source_dir/scripts/lib/pe.py" "$@"; }
if [ "$(pe machine "$exe")" = amd64 ]; then
  arch=x64 platform=x64 program_files=ProgramFiles64Folder win64=yes name="Kavlo IP Finder (64-bit)"
  floor="Installed OR VersionNT64 >= 502"
  floor_message="$name needs 64-bit Windows: Windows XP Professional x64 Edition, Windows Server 2003 or later."
else
  arch=x86 platform=Intel program_files=ProgramFilesFolder win64=no name="Kavlo IP Finder"
  floor="Installed OR VersionNT > 501 OR (VersionNT = 501 AND ServicePackLevel >= 3)"
  floor_message="$name needs Windows XP with Service Pack 3, or a later Windows."
fi
upgrade_code=$(define "UPGRADE_CODE_${arch^^}")
epoch=$("$source_dir/scripts/lib/source-date.sh")
clock=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/KavloIPFinder.exe"
cp "$command_line" "$stage/kavlo-ipfinder.exe"
cp "$completion" "$stage/"
touch -d "@$epoch" "$stage"/*

# pack PRODUCT-CODE PACKAGE-CODE: builds $stage/package.msi
pack() {
  rm -f "$stage/package.msi"
  # wixl finds the files from the folder it runs in.
  (cd "$stage" && TZ=UTC faketime -f "$clock" wixl -a "$arch" -D "Version=$version" -D "ProductCode=$1" \
     -D "UpgradeCode=$upgrade_code" -D "ProductName=$name" -D "ProgramFiles=$program_files" -D "Win64=$win64" -D "Arch=$arch" \
     -D "ShortcutComponent=$(define "SHORTCUT_COMPONENT_${arch^^}")" \
     -D "ProjectUrl=$(define PROJECT_URL)" -D Exe=KavloIPFinder.exe -D CommandLine=kavlo-ipfinder.exe \
     -D "Completion=${completion##*/}" \
     -o package.msi "$source_dir/packaging/KavloIPFinder.wxs")
  local secure
  secure=$(msiinfo export "$stage/package.msi" Property | tr -d '\r' | sed -n 's/^SecureCustomProperties\t//p')

  # What wixl leaves out or gets wrong, added to the package it wrote (wixl knows no SetProperty,
  # Condition or AllowSameVersionUpgrades, and misplaces custom actions in the sequences):
  local mends=() file file_version file_language
  # The File table's Version and Language, which WiX fills from the file's version record and
  # wixl leaves empty: the installer's file-versioning rules read them. A versioned file has no
  # hash (MsiFileHash is for unversioned files only).
  for file in KavloIPFinderExe:KavloIPFinder.exe KavloIPFinderCommandLine:kavlo-ipfinder.exe; do
    read -r file_version file_language < <(pe version "$stage/${file#*:}")
    mends+=("UPDATE \`File\` SET \`Version\` = '$file_version', \`Language\` = '$file_language' WHERE \`File\` = '${file%%:*}'"
            "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = '${file%%:*}'")
  done
  mends+=(
    # Another build of the same version replaces the installed one (VersionMax inclusive, 0x200);
    # as each build has its own product code, two builds never meet as one product.
    # (Attributes is part of the key, so the row is made again.)
    "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
    "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')"
    # The folder: INSTALLDIR as given; else TARGETDIR as given, as Windows Installer's documentation
    # and winget's --location use it (only a given TARGETDIR is set this early); else the folder an
    # earlier install remembered. In both sequences, as a full UI runs the first and passes INSTALLDIR
    # on; secured, so that an elevated install receives it.
    "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('FolderFromTargetDir', 51, 'INSTALLDIR', '[TARGETDIR]')"
    "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('RememberedFolder', 51, 'INSTALLDIR', '[REMEMBERED_INSTALLDIR]')"
    "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('FolderFromTargetDir', 'TARGETDIR AND NOT INSTALLDIR', 51)"
    "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('RememberedFolder', 'REMEMBERED_INSTALLDIR AND NOT INSTALLDIR', 52)"
    "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('FolderFromTargetDir', 'TARGETDIR AND NOT INSTALLDIR', 51)"
    "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('RememberedFolder', 'REMEMBERED_INSTALLDIR AND NOT INSTALLDIR', 52)"
    "UPDATE \`Property\` SET \`Value\` = '$secure;INSTALLDIR' WHERE \`Property\` = 'SecureCustomProperties'"
    # Add/Remove Programs shows the folder, once it is known (after CostFinalize).
    "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('InstallLocation', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')"
    "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('InstallLocation', 1001)"
    # No install below the floor, with a message that says what is needed.
    "INSERT INTO \`LaunchCondition\` (\`Condition\`, \`Description\`) VALUES ('$floor', '$floor_message')"
    # The command-line program's folder at the end of the system PATH while it is installed ("=-*":
    # set on install, removed on uninstall, the system's; "[~];" appends), as WiX's Environment
    # element writes it, and the actions that do it.
    "CREATE TABLE \`Environment\` (\`Environment\` CHAR(72) NOT NULL, \`Name\` CHAR(255) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) LOCALIZABLE, \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`Environment\`)"
    "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('CommandLineOnPath', '=-*PATH', '[~];[INSTALLDIR]', 'CommandLine')"
    "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)"
    "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
  )
  local query queries=()
  for query in "${mends[@]}"; do queries+=(-q "$query"); done
  # The summary is rewritten whole: the title, the platform and language in the Template as wixl
  # wrote them, and the package code. (msibuild takes -s last.)
  TZ=UTC faketime -f "$clock" msibuild "$stage/package.msi" "${queries[@]}" -s "$name $version" Kavlo "$platform;1033" "{$2}"
}

# A draft with nil codes is the package's content; the codes are made from its hash.
nil=00000000-0000-0000-0000-000000000000
pack "$nil" "$nil"
content=$(sha256sum "$stage/package.msi" | cut -d' ' -f1)
product_code=$(uuidgen --sha1 --namespace "$upgrade_code" --name "product $content" | tr a-f A-F)
package_code=$(uuidgen --sha1 --namespace "$upgrade_code" --name "package $content" | tr a-f A-F)
pack "$product_code" "$package_code"
mv "$stage/package.msi" "$out"
echo "$out: $name $version for $platform, product code {$product_code}, package code {$package_code}"
