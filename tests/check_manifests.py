"""Checks the release's package-manager manifests: each parses, holds the fields its package
manager requires, and names files in the release whose SHA-256 and product code it has right.
    check_manifests.py DIST
"""
import hashlib
import json
import pathlib
import subprocess
import sys

import yaml

dist = pathlib.Path(sys.argv[1])
problems = []


def expect(condition, text):
    print(("ok: " if condition else "FAILED: ") + text)
    if not condition:
        problems.append(text)


def sha256(name):
    return hashlib.sha256((dist / name).read_bytes()).hexdigest()


def released_file(url):
    name = url.rsplit("/", 1)[-1]
    expect((dist / name).is_file(), f"{url} names a file of the release")
    return name


def properties(msi):
    table = subprocess.run(["msiinfo", "export", str(dist / msi), "Property"], capture_output=True, text=True).stdout
    return dict(line.rstrip("\r").split("\t", 1) for line in table.splitlines() if "\t" in line)


# winget: three files of one version, each with the fields its schema requires.
required = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName", "License",
                      "ShortDescription", "ManifestType", "ManifestVersion"],
}
files = sorted(dist.glob("winget/manifests/k/Kavlo/IPFinder/*/*.yaml"))
manifests = {}
for path in files:
    manifest = yaml.safe_load(path.read_text(encoding="utf-8"))
    kind = manifest.get("ManifestType")
    expect(kind in required and kind not in manifests, f"{path.name} is the one {kind} manifest")
    manifests[kind] = manifest
    missing = [field for field in required.get(kind, []) if not manifest.get(field)]
    expect(not missing, f"{path.name} holds the required fields {missing or ''}")
    schema = path.read_text(encoding="utf-8").splitlines()[0]
    expect(f"winget-manifest.{kind}.{manifest.get('ManifestVersion')}.schema.json" in schema,
           f"{path.name} names its schema")
expect(len(manifests) == 3, "winget has a version, an installer and a defaultLocale manifest")
expect(len({(m["PackageIdentifier"], m["PackageVersion"]) for m in manifests.values()}) == 1,
       "all three name the same package and version")
installer = manifests.get("installer", {})
expect(installer.get("InstallerType") == "wix" and installer.get("Scope") == "machine",
       "the installers are per-machine MSIs (wix)")
architectures = set()
for entry in installer.get("Installers", []):
    architectures.add(entry["Architecture"])
    msi = released_file(entry["InstallerUrl"])
    expect(entry["InstallerSha256"] == sha256(msi).upper(), f"{msi}: InstallerSha256 is the file's")
    package = properties(msi)
    expect(entry["ProductCode"] == package["ProductCode"], f"{msi}: ProductCode is the package's")
    apps = entry["AppsAndFeaturesEntries"][0]
    expect(apps["ProductCode"] == package["ProductCode"] and apps["DisplayVersion"] == installer["PackageVersion"]
           and apps["UpgradeCode"] == package["UpgradeCode"] and apps["DisplayName"] == package["ProductName"],
           f"{msi}: AppsAndFeaturesEntries match the package ({apps['DisplayName']})")
expect(architectures == {"x86", "x64"}, "winget offers the x86 and the x64 installer")

# Scoop: the portable zips by architecture, with their hashes and a shortcut.
scoop = json.loads((dist / "scoop" / "kavlo-ip-finder.json").read_text(encoding="utf-8"))
for field in ["version", "description", "homepage", "license", "architecture", "shortcuts"]:
    expect(field in scoop, f"scoop manifest has {field}")
expect(set(scoop.get("architecture", {})) == {"32bit", "64bit"}, "scoop offers 32bit and 64bit")
for arch, entry in scoop.get("architecture", {}).items():
    archive = released_file(entry["url"])
    expect(entry["hash"] == sha256(archive), f"{archive}: the scoop hash is the file's ({arch})")
expect(["KavloIPFinder.exe", "Kavlo IP Finder"] in scoop.get("shortcuts", []), "scoop makes a Start-menu shortcut")

sys.exit(1 if problems else 0)
