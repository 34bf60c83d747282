"""Checks Windows Installer packages as Windows would read them, without installing anything (no
Wine): the platform Windows checks first, the 64-bit parts, the installer version the package asks
for, the File table's versions against the program packed inside, the floor it refuses to install
below, how it upgrades, the folder it installs into and what Add/Remove Programs shows; and, across
the packages given, that no two with different programs inside share a product or package code.
    check_msi.py PACKAGE.msi...
"""
import hashlib
import itertools
import pathlib
import subprocess
import sys
import tempfile

scripts = pathlib.Path(__file__).resolve().parent.parent / "scripts"
problems = []

# The platform in the summary's Template for each PE machine; 1633 for anything Windows does not know.
PLATFORM_OF_MACHINE = {"i386": "Intel", "amd64": "x64"}
# Windows Installer 2.0 is the first that installs 64-bit packages; XP SP3 and XP x64 come with 3.1,
# so a package that asks for more cannot install on the oldest Windows the program runs on.
LEAST_INSTALLER = {"Intel": 100, "x64": 200}
FLOOR_INSTALLER = 301
COMPONENT_64BIT = 256
# Below the program's floor the package refuses to install (XP SP3; for x64, XP x64 and Server 2003).
FLOOR_CONDITION = {
    "Intel": "Installed OR VersionNT > 501 OR (VersionNT = 501 AND ServicePackLevel >= 3)",
    "x64": "Installed OR VersionNT64 >= 502",
}
# MigrateFeatures with an inclusive VersionMax: another build of the same version replaces the
# installed one. Only detecting a newer version, which the launch condition then refuses.
UPGRADE_SAME_VERSION = 1 | 0x200
DETECT_NEWER = 2


def expect(condition, text):
    print(("ok: " if condition else "FAILED: ") + text)
    if not condition:
        problems.append(text)


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


def table(msi, name):
    """The rows of a table as dicts; empty if the package has no such table."""
    lines = [line.rstrip("\r") for line in run("msiinfo", "export", str(msi), name).splitlines()]
    if len(lines) < 3:
        return []
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


def summary(msi):
    fields = {}
    for line in run("msiinfo", "suminfo", str(msi)).splitlines():
        key, _, value = line.partition(": ")
        fields[key] = value
    return fields


def check(msi):
    name = msi.name
    info = summary(msi)
    platform, _, languages = info.get("Template", "").partition(";")
    with tempfile.TemporaryDirectory() as unpacked:
        run("msiextract", "-C", unpacked, str(msi))
        exes = {path.name: path for path in pathlib.Path(unpacked).rglob("*.exe")}
        contents = {exe: path.read_bytes() for exe, path in exes.items()}
        expect(bool(exes), f"{name}: holds a program")
        machines = {exe: run(str(scripts / "pe-machine"), str(path)).strip() for exe, path in exes.items()}
        versions = {exe: run(str(scripts / "pe-version"), str(path)).split() for exe, path in exes.items()}
    for exe, machine in machines.items():
        expect(PLATFORM_OF_MACHINE.get(machine) == platform,
               f"{name}: the Template's platform '{platform}' is the one Windows knows for {exe} "
               f"(machine {machine})")
    expect(languages == "1033", f"{name}: the Template's language is 1033 (it is '{languages}')")
    is_x64 = platform == "x64"

    components = table(msi, "Component")
    flagged = [row["Component"] for row in components if int(row["Attributes"]) & COMPONENT_64BIT]
    expect(bool(components) and len(flagged) == (len(components) if is_x64 else 0),
           f"{name}: {'every' if is_x64 else 'no'} component is 64-bit (64-bit: {flagged})")
    folders = {row["Directory"] for row in table(msi, "Directory")}
    expect(("ProgramFiles64Folder" in folders) == is_x64,
           f"{name}: ProgramFiles64Folder is {'' if is_x64 else 'not '}used")

    installer = int(info.get("Version", "0").split()[0])
    least = LEAST_INSTALLER.get(platform)
    expect(least is not None and least <= installer <= FLOOR_INSTALLER,
           f"{name}: asks for Windows Installer {installer}, from {least} (the platform's least) "
           f"to {FLOOR_INSTALLER} (what the oldest Windows has)")

    # The installer compares versions from these columns, not from the file, when it decides
    # whether to replace a file.
    release = run(str(scripts / "version")).strip()
    for row in table(msi, "File"):
        exe = row["FileName"].split("|")[-1]
        own_version, own_language = versions.get(exe, ["?", "?"])
        expect(row["Version"] == own_version == release and row["Language"] == own_language == "1033",
               f"{name}: {exe} has version '{row['Version']}' and language '{row['Language']}' in the File "
               f"table, its record {own_version} and {own_language}, the release {release} and 1033")
    hashed = [row["File_"] for row in table(msi, "MsiFileHash")]
    expect(not hashed, f"{name}: no versioned file has a hash row ({hashed})")

    conditions = {row["Condition"]: row["Description"] for row in table(msi, "LaunchCondition")}
    floor = FLOOR_CONDITION.get(platform, "")
    expect("Windows" in conditions.get(floor, ""), f"{name}: refuses a Windows below the floor: "
           f"'{floor}' with the message '{conditions.get(floor)}'")
    expect("newer version" in conditions.get("NOT WIX_DOWNGRADE_DETECTED", ""), f"{name}: refuses a downgrade")
    properties = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    upgrades = {(row["VersionMin"], row["VersionMax"], int(row["Attributes"])): row["ActionProperty"]
                for row in table(msi, "Upgrade")}
    version = properties.get("ProductVersion")
    expect(upgrades == {("", version, UPGRADE_SAME_VERSION): "WIX_UPGRADE_DETECTED",
                        (version, "", DETECT_NEWER): "WIX_DOWNGRADE_DETECTED"},
           f"{name}: replaces any older build and another build of {version}, detects a newer one ({upgrades})")

    url = run(str(scripts / "version"), "PROJECT_URL").strip()
    expect(properties.get("ARPHELPLINK") == properties.get("ARPURLINFOABOUT") == url,
           f"{name}: Add/Remove Programs links to {url}")
    # Where the program goes: a given INSTALLDIR, else a given TARGETDIR, else the remembered folder,
    # all decided before CostFinalize resolves the folders, whatever UI level runs.
    actions = {row["Action"]: (row["Type"], row["Source"], row["Target"]) for row in table(msi, "CustomAction")}
    folder_actions = {
        "FolderFromTargetDir": ("TARGETDIR AND NOT INSTALLDIR", ("51", "INSTALLDIR", "[TARGETDIR]")),
        "RememberedFolder": ("REMEMBERED_INSTALLDIR AND NOT INSTALLDIR", ("51", "INSTALLDIR", "[REMEMBERED_INSTALLDIR]")),
    }
    sequences = {}
    for sequence in ("InstallUISequence", "InstallExecuteSequence"):
        steps = {row["Action"]: (int(row["Sequence"]), row["Condition"]) for row in table(msi, sequence)}
        sequences[sequence] = steps
        order = [steps.get(action, (0,))[0] for action in ("AppSearch", *folder_actions, "CostFinalize")]
        found = {action: (steps.get(action, (0, None))[1], actions.get(action)) for action in folder_actions}
        expect(0 not in order and order == sorted(order) and found == folder_actions,
               f"{name}: {sequence} takes the folder from TARGETDIR, else the remembered one, after AppSearch and "
               f"before CostFinalize ({found}, at {order})")
    execute = sequences["InstallExecuteSequence"]
    expect(actions.get("InstallLocation") == ("51", "ARPINSTALLLOCATION", "[INSTALLDIR]") and
           execute.get("InstallLocation", (0,))[0] > execute["CostFinalize"][0],
           f"{name}: Add/Remove Programs shows the folder it resolved")
    expect("INSTALLDIR" in properties.get("SecureCustomProperties", "").split(";"),
           f"{name}: an elevated install receives INSTALLDIR")
    # The command-line program's folder goes at the end of the system PATH, and away with it.
    environment = [(row["Name"], row["Value"], row["Component_"]) for row in table(msi, "Environment")]
    files = {row["FileName"].split("|")[-1]: row["Component_"] for row in table(msi, "File")}
    expect(environment == [("=-*PATH", "[~];[INSTALLDIR]", files.get("kavlo-ipfinder.exe"))] and
           execute.get("WriteEnvironmentStrings", (0,))[0] > execute["InstallFiles"][0] and
           0 < execute.get("RemoveEnvironmentStrings", (0,))[0] < execute["InstallFiles"][0],
           f"{name}: kavlo-ipfinder.exe's folder is on the system PATH while it is installed ({environment})")
    packed = hashlib.sha256(b"".join(sorted(contents.values()))).hexdigest()
    return name, properties.get("ProductCode"), info.get("Revision number (UUID)"), packed


# The installer takes a package code as one exact package and a product code as one product; a
# build with other contents (a signed exe, say) that shares either is taken for the other.
identities = [check(pathlib.Path(path)) for path in sys.argv[1:]]
for first, second in itertools.combinations(identities, 2):
    if first[3] != second[3]:
        expect(first[1] != second[1] and first[2] != second[2],
               f"{first[0]} and {second[0]}, with different programs, have different product and package codes")
sys.exit(1 if problems else 0)
