"""Checks Windows Installer packages as Windows would read them, without installing anything (no
Wine): the platform Windows checks first, the 64-bit parts, the installer version the package asks
for, and the File table's versions, against the program packed inside.
    check_msi.py PACKAGE.msi...
"""
import pathlib
import struct
import subprocess
import sys
import tempfile

scripts = pathlib.Path(__file__).resolve().parent.parent / "scripts"
problems = []

# The platform in the summary's Template for each PE machine; 1633 for anything Windows does not know.
PLATFORM_OF_MACHINE = {0x14C: "Intel", 0x8664: "x64"}
# Windows Installer 2.0 is the first that installs 64-bit packages; XP SP3 and XP x64 come with 3.1,
# so a package that asks for more cannot install on the oldest Windows the program runs on.
LEAST_INSTALLER = {"Intel": 100, "x64": 200}
FLOOR_INSTALLER = 301
COMPONENT_64BIT = 256


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


def pe_machine(exe):
    data = exe.read_bytes()
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, offset + 4)[0]


def check(msi):
    name = msi.name
    info = summary(msi)
    platform, _, languages = info.get("Template", "").partition(";")
    with tempfile.TemporaryDirectory() as unpacked:
        run("msiextract", "-C", unpacked, str(msi))
        exes = {path.name: path for path in pathlib.Path(unpacked).rglob("*.exe")}
        expect(bool(exes), f"{name}: holds a program")
        machines = {exe: pe_machine(path) for exe, path in exes.items()}
        versions = {exe: run(str(scripts / "pe-version"), str(path)).split() for exe, path in exes.items()}
    for exe, machine in machines.items():
        expect(PLATFORM_OF_MACHINE.get(machine) == platform,
               f"{name}: the Template's platform '{platform}' is the one Windows knows for {exe} "
               f"(machine {machine:#x})")
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


for path in sys.argv[1:]:
    check(pathlib.Path(path))
sys.exit(1 if problems else 0)
