#!/usr/bin/env bash
# Packs KavloIPFinder.exe into a Windows Installer package (packaging/KavloIPFinder.wxs, built by
# wixl), for the exe's architecture. The same exe and version give the same bytes: the product code
# is a name-based UUID of the upgrade code, version and architecture, the package code one of the
# product code and the exe's SHA-256, and the file dates and wixl's clock are the commit's.
#   make-msi.sh EXE OUT.msi [VERSION]      (VERSION: the program's own, 1.3.0.0, by default)
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
exe=$1 out=$2
version=${3:-$("$source_dir/scripts/version")}
upgrade_code=$("$source_dir/scripts/version" UPGRADE_CODE)

if [ "$("$source_dir/scripts/pe-machine" "$exe")" = amd64 ]; then
  arch=x64 program_files=ProgramFiles64Folder win64=yes
else
  arch=x86 program_files=ProgramFilesFolder win64=no
fi
product_code=$(uuidgen --sha1 --namespace "$upgrade_code" --name "Kavlo IP Finder $version $arch" | tr a-f A-F)
package_code=$(uuidgen --sha1 --namespace "$product_code" --name "$(sha256sum <"$exe" | cut -d' ' -f1)" | tr a-f A-F)
epoch=$("$source_dir/scripts/source-date")
clock=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/KavloIPFinder.exe"
touch -d "@$epoch" "$stage/KavloIPFinder.exe"
# wixl finds the files from the folder it runs in.
(cd "$stage" && TZ=UTC faketime "$clock" wixl -a "$arch" -D "Version=$version" -D "ProductCode=$product_code" \
   -D "UpgradeCode=$upgrade_code" -D "ProgramFiles=$program_files" -D "Win64=$win64" -D Exe=KavloIPFinder.exe \
   -o package.msi "$source_dir/packaging/KavloIPFinder.wxs")
TZ=UTC faketime "$clock" msibuild "$stage/package.msi" -s "Kavlo IP Finder $version" Kavlo "$arch;1033" "{$package_code}"
mv "$stage/package.msi" "$out"
echo "$out: Kavlo IP Finder $version for $arch, product code {$product_code}"
