#!/usr/bin/env bash
# Writes the package managers' manifests for the release in DIST, with the SHA-256 of the files
# they name: winget's three files (version, installer, defaultLocale) for the two MSIs and the two
# portable zips, and a Scoop manifest for the zips, which can follow later releases by itself. Downloads are
# named under RELEASE-URL, in which "$version" stands for the version (1.03), so that later
# releases' addresses can be made from it.
#   write-manifests.sh DIST RELEASE-URL
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
dist=$1 release_url=${2%/}
define() { "$source_dir/scripts/lib/version.sh" "$@"; }
text=$(define TEXT)
version=$(define)
base=${release_url//\$version/$text}
project_url=$(define PROJECT_URL)
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
  # The day of the release's clock, the last commit's.
  printf 'Commands:\n  - kavlo-ipfinder\n  - KavloIPFinder\nReleaseDate: %s\nUpgradeBehavior: install\nInstallers:\n' \
    "$(TZ=UTC date -d "@$("$source_dir/scripts/lib/source-date.sh")" +%Y-%m-%d)"
  # Per machine, the MSIs: two products, which 64-bit Windows can hold side by side, each with its
  # own name and codes, listed first, so that winget takes one where no scope is asked for. The
  # zips as portable programs, each exe with a command of its own (winget makes no shortcut, so the
  # window's command is how it starts), and without a Scope: winget's rules allow none for a
  # portable, which installs for the user alone, so --scope user takes the zip.
  for arch in x86 x64; do
    build=win32
    [ "$arch" = x64 ] && build=win64
    msi="KavloIPFinder-$text-$build.msi" zip="KavloIPFinder-$text-$build.zip"
    code=$(property "$msi" ProductCode)
    printf '  - Architecture: %s\n    InstallerType: wix\n    Scope: machine\n    InstallerUrl: %s/%s\n' "$arch" "$base" "$msi"
    printf '    InstallerSha256: %s\n    InstallModes:\n      - silent\n      - silentWithProgress\n' "$(sha256 "$msi" | tr a-f A-F)"
    # winget install --location hands the folder to this switch; the package's own is INSTALLDIR.
    printf '    InstallerSwitches:\n      InstallLocation: INSTALLDIR="<INSTALLPATH>"\n    ProductCode: "%s"\n' "$code"
    # Add/Remove Programs shows the MSI's own version, the package's: no DisplayVersion to say so.
    printf '    AppsAndFeaturesEntries:\n      - DisplayName: %s\n        Publisher: %s\n' \
      "$(property "$msi" ProductName)" "$publisher"
    printf '        ProductCode: "%s"\n        UpgradeCode: "%s"\n' "$code" "$(property "$msi" UpgradeCode)"
    printf '  - Architecture: %s\n    InstallerType: zip\n    NestedInstallerType: portable\n    NestedInstallerFiles:\n' "$arch"
    printf '      - RelativeFilePath: %s.exe\n        PortableCommandAlias: %s\n' kavlo-ipfinder{,} KavloIPFinder{,}
    printf '    InstallerUrl: %s/%s\n    InstallerSha256: %s\n' "$base" "$zip" "$(sha256 "$zip" | tr a-f A-F)"
  done
  footer installer
} >"$winget/$id.installer.yaml"

{
  header defaultLocale
  printf 'PackageLocale: en-US\nPublisher: %s\nPublisherUrl: %s\nPackageName: Kavlo IP Finder\nPackageUrl: %s\n' \
    "$publisher" "$(define PUBLISHER_URL)" "$project_url"
  printf 'Moniker: kavlo-ip-finder\nLicense: Proprietary\nLicenseUrl: %s\nCopyright: %s\nShortDescription: %s\n' \
    "$(define LICENSE_URL)" "$(define COPYRIGHT)" "$description"
  printf 'Tags:\n  - ip-address\n  - network\n  - decoder\n'
  footer defaultLocale
} >"$winget/$id.locale.en-US.yaml"

# Scoop, the portable zips. checkver finds a newer version on the web page; autoupdate makes that
# version's addresses and takes their hashes from its release's SHA256SUMS.txt, as the main
# buckets do.
mkdir -p "$dist/scoop"
/usr/bin/python3 - "$dist" "$text" "$release_url" "$project_url" "$description" >"$dist/scoop/kavlo-ip-finder.json" <<'PY'
import hashlib, json, pathlib, sys
dist, version, release_url, project_url, description = sys.argv[1:]

def zip_url(version, arch):
    return f"{release_url.replace('$version', version)}/KavloIPFinder-{version}-{arch}.zip"

def sha256(name):
    return hashlib.sha256((pathlib.Path(dist) / name).read_bytes()).hexdigest()

arches = {"64bit": "win64", "32bit": "win32"}
manifest = {
    "version": version,
    "description": description,
    "homepage": project_url,
    "license": "Proprietary",
    "architecture": {key: {"url": zip_url(version, arch), "hash": sha256(f"KavloIPFinder-{version}-{arch}.zip")}
                     for key, arch in arches.items()},
    "bin": "kavlo-ipfinder.exe",
    "shortcuts": [["KavloIPFinder.exe", "Kavlo IP Finder"]],
    "checkver": {"url": project_url, "regex": r"KavloIPFinder-([\d.]+)-win64\.zip"},
    "autoupdate": {
        "architecture": {key: {"url": zip_url("$version", arch)} for key, arch in arches.items()},
        "hash": {"url": "$baseurl/SHA256SUMS.txt", "regex": r"$sha256\s+$basename"},
    },
}
print(json.dumps(manifest, indent=4))
PY
echo "Wrote the winget manifests in $winget and $dist/scoop/kavlo-ip-finder.json"
