#!/usr/bin/env bash
# Packs KavloIPFinder.exe into a Windows Installer package (packaging/KavloIPFinder.wxs, built by
# wixl), for the exe's architecture. The same exe and version give the same bytes: the product code
# is a name-based UUID of the architecture's upgrade code and the version, the package code one of
# the product code and the exe's SHA-256, and the file dates and wixl's clock are the commit's.
#   make-msi.sh EXE OUT.msi [VERSION]      (VERSION: the program's own, 1.3.0.0, by default)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
exe=$1 out=$2
version=${3:-$("$source_dir/scripts/version")}

# The two architectures are two products, side by side on 64-bit Windows: each has its own upgrade
# code, name, folder and shortcut. The platform is what the summary's Template names, and what
# Windows checks before anything else: Intel or x64 (anything else is refused with 1633).
if [ "$("$source_dir/scripts/pe-machine" "$exe")" = amd64 ]; then
  arch=x64 platform=x64 program_files=ProgramFiles64Folder win64=yes name="Kavlo IP Finder (64-bit)"
else
  arch=x86 platform=Intel program_files=ProgramFilesFolder win64=no name="Kavlo IP Finder"
fi
upgrade_code=$("$source_dir/scripts/version" "UPGRADE_CODE_${arch^^}")
product_code=$(uuidgen --sha1 --namespace "$upgrade_code" --name "Kavlo IP Finder $version $arch" | tr a-f A-F)
package_code=$(uuidgen --sha1 --namespace "$product_code" --name "$(sha256sum <"$exe" | cut -d' ' -f1)" | tr a-f A-F)
read -r file_version file_language < <("$source_dir/scripts/pe-version" "$exe")
epoch=$("$source_dir/scripts/source-date")
clock=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/KavloIPFinder.exe"
touch -d "@$epoch" "$stage/KavloIPFinder.exe"
# wixl finds the files from the folder it runs in.
(cd "$stage" && TZ=UTC faketime "$clock" wixl -a "$arch" -D "Version=$version" -D "ProductCode=$product_code" \
   -D "UpgradeCode=$upgrade_code" -D "ProductName=$name" -D "ProgramFiles=$program_files" -D "Win64=$win64" \
   -D Exe=KavloIPFinder.exe -o package.msi "$source_dir/packaging/KavloIPFinder.wxs")

# What wixl leaves out or gets wrong, mended in the package it wrote:
# - the summary: the package code, and the platform and language in the Template as wixl wrote
#   them (the summary is rewritten whole, so they are given again);
# - the File table's Version and Language, which WiX fills from the file's version record and
#   wixl leaves empty: the installer's file-versioning rules read them. A versioned file has no
#   hash (MsiFileHash is for unversioned files only).
# (msibuild takes -s last.)
TZ=UTC faketime "$clock" msibuild "$stage/package.msi" \
  -q "UPDATE \`File\` SET \`Version\` = '$file_version', \`Language\` = '$file_language' WHERE \`File\` = 'KavloIPFinderExe'" \
  -q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = 'KavloIPFinderExe'" \
  -s "$name $version" Kavlo "$platform;1033" "{$package_code}"
mv "$stage/package.msi" "$out"
echo "$out: $name $version for $platform, product code {$product_code}"
