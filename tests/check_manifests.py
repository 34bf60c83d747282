"""Checks the release's package-manager manifests: each parses, holds the fields its package
manager requires, and names files in the release whose SHA-256 and product code it has right.
    check_manifests.py DIST
"""
import datetime
import hashlib
import json
import pathlib
import re
import subprocess
import sys
import zipfile

import yaml

dist = pathlib.Path(sys.argv[1])
problems = []
scripts = pathlib.Path(__file__).resolve().parent.parent / "scripts" / "lib"
project_url = subprocess.run([scripts / "version.sh", "PROJECT_URL"], capture_output=True, text=True).stdout.strip()
# The release's day, by its clock.
release_date = datetime.datetime.fromtimestamp(int(subprocess.run([scripts / "source-date.sh"], capture_output=True,
                                                                  text=True).stdout), datetime.timezone.utc).date().isoformat()


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
# The installer schema's rules for what these entries use (the published JSON schemas cannot be
# fetched here): a zip names the type of what it holds; each nested file is in the zip; only a
# portable file has a command alias; the scope is user or machine, and a portable has none
# ("Scope is not supported for InstallerType portable", says winget validate).
NESTED_TYPES = {"msix", "msi", "appx", "exe", "inno", "nullsoft", "wix", "burn", "portable"}
kinds = set()
for entry in installer.get("Installers", []):
    kind, scope = entry.get("InstallerType", installer.get("InstallerType")), entry.get("Scope", installer.get("Scope"))
    name = released_file(entry["InstallerUrl"])
    where = f"{name} ({entry['Architecture']}, {kind})"
    kinds.add((entry["Architecture"], kind, scope))
    portable = "portable" in (kind, entry.get("NestedInstallerType"))
    expect(scope is None if portable else scope in ("user", "machine"),
           f"{where}: {'a portable has no Scope' if portable else 'Scope is user or machine'} ({scope})")
    expect(re.fullmatch(r"[0-9A-F]{64}", entry.get("InstallerSha256", "")) and entry["InstallerSha256"] == sha256(name).upper(),
           f"{where}: InstallerSha256 is the file's")
    nested = entry.get("NestedInstallerType")
    expect((kind == "zip") == bool(nested) and (nested is None or nested in NESTED_TYPES),
           f"{where}: a zip, and only a zip, names a valid NestedInstallerType ({nested})")
    files = entry.get("NestedInstallerFiles", [])
    expect((kind == "zip") == bool(files), f"{where}: a zip, and only a zip, names its nested files")
    if files:
        with zipfile.ZipFile(dist / name) as archive:
            packed = set(archive.namelist())
        expect(all(f.get("RelativeFilePath") in packed for f in files),
               f"{where}: every nested file is in the zip, at its root ({[f.get('RelativeFilePath') for f in files]})")
        expect(all(nested == "portable" or "PortableCommandAlias" not in f for f in files),
               f"{where}: a command alias only for a portable file")
        expect({f.get("PortableCommandAlias") for f in files} == {"kavlo-ipfinder", "KavloIPFinder"},
               f"{where}: both programs are commands, the window's too, as winget makes no shortcut for them")
        expect(not any("/" in path for path in packed), f"{where}: the files are at the zip's root, for --location")
    if kind == "wix":
        package = properties(name)
        expect(entry["ProductCode"] == package["ProductCode"], f"{where}: ProductCode is the package's")
        apps = entry["AppsAndFeaturesEntries"][0]
        expect(apps["ProductCode"] == package["ProductCode"] and apps["UpgradeCode"] == package["UpgradeCode"]
               and apps["DisplayName"] == package["ProductName"],
               f"{where}: AppsAndFeaturesEntries match the package's tables ({apps['DisplayName']})")
        # Moderators remove a DisplayVersion that only repeats the package's version.
        expect(apps.get("DisplayVersion") != installer["PackageVersion"], f"{where}: no DisplayVersion that repeats PackageVersion")
        expect(entry.get("InstallerSwitches", {}).get("InstallLocation") == 'INSTALLDIR="<INSTALLPATH>"',
               f"{where}: winget install --location names the package's folder property")
expect(kinds == {(arch, kind, scope) for arch in ("x86", "x64") for kind, scope in (("wix", "machine"), ("zip", None))},
       "winget offers, for x86 and x64, the MSI per machine and the zip")
order = [(entry["Architecture"], entry.get("InstallerType")) for entry in installer.get("Installers", [])]
expect(all(order.index((arch, "wix")) < order.index((arch, "zip")) for arch in ("x86", "x64") if (arch, "zip") in order
           and (arch, "wix") in order), "for each architecture the MSI comes first, winget's choice where no scope is asked for")
expect(installer.get("Commands") == ["kavlo-ipfinder", "KavloIPFinder"], "winget names both programs' commands")
expect(str(installer.get("ReleaseDate")) == release_date, f"winget's ReleaseDate is the release's day, {release_date}")
locale = manifests.get("defaultLocale", {})
expect(locale.get("PackageUrl") == project_url, f"winget's PackageUrl is {project_url}")
expect(all(str(locale.get(field, "")).startswith("https://") for field in ("PublisherUrl", "LicenseUrl")),
       "winget names the publisher's and the licence's pages")

# Scoop: the portable zips by architecture, with their hashes and a shortcut.
scoop = json.loads((dist / "scoop" / "kavlo-ip-finder.json").read_text(encoding="utf-8"))
for field in ["version", "description", "homepage", "license", "architecture", "shortcuts"]:
    expect(field in scoop, f"scoop manifest has {field}")
expect(set(scoop.get("architecture", {})) == {"32bit", "64bit"}, "scoop offers 32bit and 64bit")
for arch, entry in scoop.get("architecture", {}).items():
    archive = released_file(entry["url"])
    expect(entry["hash"] == sha256(archive), f"{archive}: the scoop hash is the file's ({arch})")
expect(["KavloIPFinder.exe", "Kavlo IP Finder"] in scoop.get("shortcuts", []), "scoop makes a Start-menu shortcut")
expect(scoop.get("bin") == "kavlo-ipfinder.exe", "scoop puts the command-line program on the PATH")
expect(scoop.get("homepage") == project_url, f"scoop's homepage is {project_url}")
# Following new versions: checkver reads the version off a download's name; autoupdate's addresses,
# made for this version, are this release's, and its regex finds each zip's hash in SHA256SUMS.txt
# (Scoop's $sha256, $basename and $baseurl, substituted here as Scoop does).
checkver = re.compile(scoop.get("checkver", {}).get("regex", "^$"))
sums = (dist / "SHA256SUMS.txt").read_text(encoding="utf-8")
autoupdate = scoop.get("autoupdate", {})
newest = scoop.get("architecture", {}).get("64bit", {}).get("url", "").rsplit("/", 1)[-1]
found = checkver.search(f'<a href="{newest}">')
expect(bool(found) and found.group(1) == scoop.get("version") and scoop["checkver"]["url"] == project_url,
       f"scoop's checkver reads {scoop.get('version')} off {newest} on {project_url}")
for arch, entry in scoop.get("architecture", {}).items():
    name = entry["url"].rsplit("/", 1)[-1]
    url = autoupdate.get("architecture", {}).get(arch, {}).get("url", "")
    expect(url.replace("$version", scoop["version"]) == entry["url"], f"scoop's autoupdate makes {name}'s address")
    hash_url = autoupdate.get("hash", {}).get("url", "").replace("$baseurl", entry["url"].rsplit("/", 1)[0])
    regex = autoupdate.get("hash", {}).get("regex", "").replace("$sha256", "([a-fA-F0-9]{64})")
    found = re.search(regex.replace("$basename", re.escape(name)), sums, re.MULTILINE)
    expect(hash_url == entry["url"].rsplit("/", 1)[0] + "/SHA256SUMS.txt" and bool(found)
           and found.group(1) == entry["hash"], f"scoop's autoupdate takes {name}'s hash from SHA256SUMS.txt")

sys.exit(1 if problems else 0)
