#!/usr/bin/env bash
# Writes the package managers' manifests for the release in DIST, with the SHA-256 of the files
# they name: winget's three files (version, installer, defaultLocale) for the two MSIs, and a Scoop
# manifest for the two portable zips. Downloads are named under BASE-URL.
#   write-manifests.sh DIST BASE-URL
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
dist=$1 base=${2%/}
define() { "$source_dir/scripts/version" "$@"; }
text=$(define TEXT)
version=$(define)
publisher=$(define COMPANY_NAME)
description="Decodes a twelve-digit user hash number into the IPv4 address and port it encodes."
schema=1.9.0
id=Kavlo.IPFinder
sha256() { sha256sum "$dist/$1" | cut -d' ' -f1; }
property() { msiinfo export "$dist/$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }

winget="$dist/winget/manifests/k/Kavlo/IPFinder/$version"
mkdir -p "$winget"
header() {  # header TYPE: the schema line and the identity every winget file starts with
  printf '# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n\n' "$1" "$schema"
  printf 'PackageIdentifier: %s\nPackageVersion: %s\n' "$id" "$version"
}
footer() { printf 'ManifestType: %s\nManifestVersion: %s\n' "$1" "$schema"; }

{ header version; printf 'DefaultLocale: en-US\n'; footer version; } >"$winget/$id.yaml"

{
  header installer
  printf 'InstallerType: wix\nScope: machine\nInstallModes:\n  - silent\n  - silentWithProgress\n'
  printf 'UpgradeBehavior: install\nInstallers:\n'
  # Two products, which 64-bit Windows can hold side by side: each has its own name and codes.
  for arch in x86 x64; do
    msi="KavloIPFinder-$text-win32.msi"
    [ "$arch" = x64 ] && msi="KavloIPFinder-$text-win64.msi"
    code=$(property "$msi" ProductCode)
    printf '  - Architecture: %s\n    InstallerUrl: %s/%s\n' "$arch" "$base" "$msi"
    printf '    InstallerSha256: %s\n    ProductCode: "%s"\n' "$(sha256 "$msi" | tr a-f A-F)" "$code"
    printf '    AppsAndFeaturesEntries:\n      - DisplayName: %s\n        Publisher: %s\n' \
      "$(property "$msi" ProductName)" "$publisher"
    printf '        DisplayVersion: %s\n        ProductCode: "%s"\n        UpgradeCode: "%s"\n' "$version" "$code" \
      "$(property "$msi" UpgradeCode)"
  done
  footer installer
} >"$winget/$id.installer.yaml"

{
  header defaultLocale
  printf 'PackageLocale: en-US\nPublisher: %s\nPackageName: Kavlo IP Finder\nMoniker: kavlo-ip-finder\n' "$publisher"
  printf 'License: Proprietary\nCopyright: %s\nShortDescription: %s\n' "$(define COPYRIGHT)" "$description"
  printf 'Tags:\n  - ip-address\n  - network\n  - decoder\n'
  footer defaultLocale
} >"$winget/$id.locale.en-US.yaml"

mkdir -p "$dist/scoop"
cat >"$dist/scoop/kavlo-ip-finder.json" <<EOF
{
    "version": "$text",
    "description": "$description",
    "homepage": "$base",
    "license": "Proprietary",
    "architecture": {
        "64bit": {
            "url": "$base/KavloIPFinder-$text-win64.zip",
            "hash": "$(sha256 "KavloIPFinder-$text-win64.zip")"
        },
        "32bit": {
            "url": "$base/KavloIPFinder-$text-win32.zip",
            "hash": "$(sha256 "KavloIPFinder-$text-win32.zip")"
        }
    },
    "shortcuts": [
        [
            "KavloIPFinder.exe",
            "Kavlo IP Finder"
        ]
    ]
}
EOF
echo "Wrote the winget manifests in $winget and $dist/scoop/kavlo-ip-finder.json"
