"""Checks Windows Installer packages as Windows would judge them, without installing anything (no
Wine). First by the Installer's own validation rules, the Internal Consistency Evaluators (ICEs)
that Orca and WiX run: each finding names its ICE and the row; an error fails the check, a warning
is printed. Then by the project's own rules: the platform against the programs packed inside, the
installer version, the File table's versions, the floor, how it upgrades, the folder it installs
into, the PATH and what Add/Remove Programs shows; and, across the packages given, that no two with
different programs inside share a product or package code.
    check_msi.py [--quiet] PACKAGE.msi...   (--quiet: only what is wrong)
    check_msi.py --seeded-faults PACKAGE.msi...   each fault of the table below, seeded into a copy
                                                  of each package, must be refused by its ICE
"""
import concurrent.futures
import hashlib
import itertools
import pathlib
import shutil
import sys
import tempfile

from ice_rules import Package, ice_findings, run

scripts = pathlib.Path(__file__).resolve().parent.parent / "scripts" / "lib"
sys.path.insert(0, str(scripts))
import pe  # noqa: E402  (beside the scripts that use it too)


# --- The project's own rules ---

# The platform in the summary's Template for each PE machine; 1633 for anything Windows does not know.
PLATFORM_OF_MACHINE = {"i386": "Intel", "amd64": "x64"}
# Windows Installer 2.0 is the first that installs 64-bit packages; XP SP3 and XP x64 come with 3.1,
# so a package that asks for more cannot install on the oldest Windows the program runs on.
LEAST_INSTALLER = {"Intel": 100, "x64": 200}
FLOOR_INSTALLER = 301
# Below the program's floor the package refuses to install (XP SP3; for x64, XP x64 and Server 2003).
FLOOR_CONDITION = {
    "Intel": "Installed OR VersionNT > 501 OR (VersionNT = 501 AND ServicePackLevel >= 3)",
    "x64": "Installed OR VersionNT64 >= 502",
}
# MigrateFeatures with an inclusive VersionMax: another build of the same version replaces the
# installed one. Only detecting a newer version, which the launch condition then refuses.
UPGRADE_SAME_VERSION = 1 | 0x200
DETECT_NEWER = 2


def project_problems(msi, expect):
    """The project's own checks, each reported through expect(condition, text)."""
    name, info = msi.name, msi.summary
    platform, _, languages = info.get("Template", "").partition(";")
    with tempfile.TemporaryDirectory() as unpacked:
        run("msiextract", "-C", unpacked, str(msi.path))
        exes = {path.name: path for path in pathlib.Path(unpacked).rglob("*.exe")}
        contents = {exe: path.read_bytes() for exe, path in exes.items()}
        expect(bool(exes), f"{name}: holds a program")
        machines = {exe: pe.machine(pe.load(str(path))) for exe, path in exes.items()}
        versions = {exe: [str(part) for part in pe.version(pe.load(str(path))) or ("?", "?")] for exe, path in exes.items()}
    for exe, machine in machines.items():
        expect(PLATFORM_OF_MACHINE.get(machine) == platform,
               f"{name}: the Template's platform '{platform}' is the one Windows knows for {exe} "
               f"(machine {machine})")
    expect(languages == "1033", f"{name}: the Template's language is 1033 (it is '{languages}')")
    is_x64 = platform == "x64"
    folders = set(msi.keyed("Directory"))
    expect(("ProgramFiles64Folder" in folders) == is_x64,
           f"{name}: ProgramFiles64Folder is {'' if is_x64 else 'not '}used")

    installer = int(info.get("Version", "0").split()[0])
    least = LEAST_INSTALLER.get(platform)
    expect(least is not None and least <= installer <= FLOOR_INSTALLER,
           f"{name}: asks for Windows Installer {installer}, from {least} (the platform's least) "
           f"to {FLOOR_INSTALLER} (what the oldest Windows has)")

    # The installer compares versions from these columns, not from the file, when it decides
    # whether to replace a file: the exes' are their records'. A file without a version record (the
    # PowerShell completion) has none, and a hash instead, by which the installer compares it.
    release = run(str(scripts / "version.sh")).strip()
    hashed = {row["File_"] for row in msi.rows("MsiFileHash")}
    for row in msi.rows("File"):
        file = row["FileName"].split("|")[-1]
        if file not in exes:
            expect(not row["Version"] and row["File"] in hashed,
                   f"{name}: {file}, which has no version record, has no version and a hash row")
            continue
        own_version, own_language = versions.get(file, ["?", "?"])
        expect(row["Version"] == own_version == release and row["Language"] == own_language == "1033",
               f"{name}: {file} has version '{row['Version']}' and language '{row['Language']}' in the File "
               f"table, its record {own_version} and {own_language}, the release {release} and 1033")
        expect(row["File"] not in hashed, f"{name}: {file}, a versioned file, has no hash row")

    conditions = {row["Condition"]: row["Description"] for row in msi.rows("LaunchCondition")}
    floor = FLOOR_CONDITION.get(platform, "")
    expect("Windows" in conditions.get(floor, ""), f"{name}: refuses a Windows below the floor: "
           f"'{floor}' with the message '{conditions.get(floor)}'")
    expect("newer version" in conditions.get("NOT WIX_DOWNGRADE_DETECTED", ""), f"{name}: refuses a downgrade")
    properties = {row["Property"]: row["Value"] for row in msi.rows("Property")}
    upgrades = {(row["VersionMin"], row["VersionMax"], int(row["Attributes"])): row["ActionProperty"]
                for row in msi.rows("Upgrade")}
    version = properties.get("ProductVersion")
    expect(upgrades == {("", version, UPGRADE_SAME_VERSION): "WIX_UPGRADE_DETECTED",
                        (version, "", DETECT_NEWER): "WIX_DOWNGRADE_DETECTED"},
           f"{name}: replaces any older build and another build of {version}, detects a newer one ({upgrades})")

    url = run(str(scripts / "version.sh"), "PROJECT_URL").strip()
    expect(properties.get("ARPHELPLINK") == properties.get("ARPURLINFOABOUT") == url,
           f"{name}: Add/Remove Programs links to {url}")
    # Where the program goes: a given INSTALLDIR, else a given TARGETDIR, else the remembered folder,
    # all decided before CostFinalize resolves the folders, whatever UI level runs.
    actions = {row["Action"]: (row["Type"], row["Source"], row["Target"]) for row in msi.rows("CustomAction")}
    folder_actions = {
        "FolderFromTargetDir": ("TARGETDIR AND NOT INSTALLDIR", ("51", "INSTALLDIR", "[TARGETDIR]")),
        "RememberedFolder": ("REMEMBERED_INSTALLDIR AND NOT INSTALLDIR", ("51", "INSTALLDIR", "[REMEMBERED_INSTALLDIR]")),
    }
    sequences = {}
    for sequence in ("InstallUISequence", "InstallExecuteSequence"):
        steps = {row["Action"]: (int(row["Sequence"]), row["Condition"]) for row in msi.rows(sequence)}
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
    environment = [(row["Name"], row["Value"], row["Component_"]) for row in msi.rows("Environment")]
    files = {row["FileName"].split("|")[-1]: row["Component_"] for row in msi.rows("File")}
    expect(environment == [("=-*PATH", "[~];[INSTALLDIR]", files.get("kavlo-ipfinder.exe"))] and
           execute.get("WriteEnvironmentStrings", (0,))[0] > execute["InstallFiles"][0] and
           0 < execute.get("RemoveEnvironmentStrings", (0,))[0] < execute["InstallFiles"][0],
           f"{name}: kavlo-ipfinder.exe's folder is on the system PATH while it is installed ({environment})")
    # The exe alone in its component, keyed on the file; the shortcut in a component of its own.
    program = files.get("KavloIPFinder.exe")
    shortcut = [(row["Name"], row["Target"], row["WkDir"], row["Directory_"]) for row in msi.rows("Shortcut")]
    expect([row["File"] for row in msi.rows("File") if row["Component_"] == program] ==
           [msi.keyed("Component").get(program, {}).get("KeyPath")] and
           shortcut == [(properties.get("ProductName"), "[#KavloIPFinderExe]", "INSTALLDIR", "ProgramMenuFolder")] and
           msi.rows("Shortcut")[0]["Component_"] != program,
           f"{name}: the exe is alone in its component, and the Start-menu shortcut '{properties.get('ProductName')}' "
           f"starts it in its folder from a component of its own ({shortcut})")
    packed = hashlib.sha256(b"".join(sorted(contents.values()))).hexdigest()
    component_ids = {row["ComponentId"] for row in msi.rows("Component")}
    return (properties.get("ProductCode"), info.get("Revision number (UUID)"), packed, properties.get("UpgradeCode"),
            component_ids)


def check(paths, quiet=False):
    problems = []

    def expect(condition, text):
        if not (condition and quiet):
            print(("ok: " if condition else "FAILED: ") + text)
        if not condition:
            problems.append(text)

    identities = []
    for path in paths:
        msi = Package(path)
        findings = ice_findings(msi)
        for ice, severity, where, text in findings:
            if severity == "error" or not quiet:
                print(f"{ice} {severity}: {msi.name}: {where}: {text}")
        errors = sum(severity == "error" for _, severity, _, _ in findings)
        expect(errors == 0, f"{msi.name}: the ICEs find {errors} errors and "
                            f"{len(findings) - errors} warnings")
        identities.append((msi.name, *project_problems(msi, expect)))
    # The installer takes a package code as one exact package and a product code as one product; a
    # build with other contents (a signed exe, say) that shares either is taken for the other.
    # Two products that share a component keep it, and what it installs, while either is there.
    for first, second in itertools.combinations(identities, 2):
        if first[3] != second[3]:
            expect(first[1] != second[1] and first[2] != second[2],
                   f"{first[0]} and {second[0]}, with different programs, have different product and package codes")
        if first[4] != second[4]:
            shared = sorted(first[5] & second[5])
            expect(not shared, f"{first[0]} and {second[0]}, two products, share no component {shared or ''}")
    return not problems


# --- Seeded faults: each one edit of a copy of a built package, and the ICE that must name it ---

FAULTS = [  # (what, platform or None for both, the ICEs, their severity, msibuild queries)
    ("the shortcut back in the exe's component", None, "ICE43 ICE57", "error",
     ["UPDATE `Shortcut` SET `Component_` = 'Program'"]),
    ("a 64-bit component in the 32-bit package", "Intel", "ICE80", "error",
     ["UPDATE `Component` SET `Attributes` = 256 WHERE `Component` = 'CommandLine'"]),
    ("a 32-bit component in the 64-bit folder", "x64", "ICE80", "error",
     ["UPDATE `Component` SET `Attributes` = 0 WHERE `Component` = 'CommandLine'"]),
    ("the upgrade property missing from SecureCustomProperties", None, "ICE61", "error",
     ["UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;INSTALLDIR' WHERE `Property` = 'SecureCustomProperties'"]),
    ("a component pointing at a directory that does not exist", None, "ICE03", "error",
     ["UPDATE `Component` SET `Directory_` = 'NoSuchFolder' WHERE `Component` = 'CommandLine'"]),
    ("a lower-case ComponentId", None, "ICE03", "error",
     ["UPDATE `Component` SET `ComponentId` = '{80dd924e-0522-5c6e-bb64-ca5b3d70c6db}' WHERE `Component` = 'CommandLine'"]),
    ("the folder action sequenced after CostFinalize", None, "ICE12", "error",
     ["UPDATE `InstallExecuteSequence` SET `Sequence` = 1050 WHERE `Action` = 'RememberedFolder'"]),
    ("RemoveExistingProducts moved inside the script", None, "ICE63", "error",
     ["UPDATE `InstallExecuteSequence` SET `Sequence` = 4100 WHERE `Action` = 'RemoveExistingProducts'"]),
    ("a PATH value that ends with its separator", None, "ICE65", "error",
     ["UPDATE `Environment` SET `Value` = '[~];[INSTALLDIR];'"]),
    ("a condition that does not parse", None, "ICE03", "error",
     ["UPDATE `InstallExecuteSequence` SET `Condition` = 'TARGETDIR AND AND NOT INSTALLDIR' WHERE `Action` = "
      "'FolderFromTargetDir'"]),
    ("a column whose type is not the documented one", None, "ICE06", "error",
     ["DROP TABLE `Error`", "CREATE TABLE `Error` (`Error` LONG NOT NULL, `Message` CHAR(0) PRIMARY KEY `Error`)"]),
    ("two components with one ComponentId", None, "ICE08", "error",
     [f"UPDATE `Component` SET `ComponentId` = '{{4F0D1A33-5B1E-4C2A-9E57-0C6B4B1D2E11}}' WHERE `Component` = '{name}'"
      for name in ("Program", "CommandLine")]),
    ("a key path that is another component's file", None, "ICE02", "error",
     ["UPDATE `Component` SET `KeyPath` = 'KavloIPFinderExe' WHERE `Component` = 'CommandLine'"]),
    ("a component in the system folder that is not permanent", None, "ICE09", "warning",
     ["INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('SystemFolder', 'TARGETDIR', '.')",
      "UPDATE `Component` SET `Directory_` = 'SystemFolder' WHERE `Component` = 'CommandLine'"]),
    ("a folder key path that no CreateFolder row makes", None, "ICE18", "error",
     ["UPDATE `Component` SET `KeyPath` = '', `Attributes` = 0 WHERE `Component` = 'StartMenuShortcut'"]),
    ("a component in no feature", None, "ICE21", "error",
     ["DELETE FROM `FeatureComponents` WHERE `Component_` = 'CommandLine'"]),
    ("a product version above 255.255.65535", None, "ICE24", "error",
     ["UPDATE `Property` SET `Value` = '256.3.0.0' WHERE `Property` = 'ProductVersion'"]),
    ("shortcuts made before the files are installed", None, "ICE27", "error",
     ["UPDATE `InstallExecuteSequence` SET `Sequence` = 3900 WHERE `Action` = 'CreateShortcuts'"]),
    ("two files of one name in one folder", None, "ICE30", "error",
     ["UPDATE `File` SET `FileName` = 'KavloIPFinder.exe' WHERE `File` = 'KavloIPFinderCommandLine'"]),
    ("the shortcut's component keyed by the machine's registry", None, "ICE38", "error",
     ["UPDATE `Registry` SET `Root` = 2 WHERE `Component_` = 'StartMenuShortcut'"]),
    ("REINSTALLMODE set in the package", None, "ICE40", "warning",
     ["INSERT INTO `Property` (`Property`, `Value`) VALUES ('REINSTALLMODE', 'amus')"]),
    ("a condition naming a property in the wrong case", None, "ICE46", "warning",
     ["UPDATE `InstallExecuteSequence` SET `Condition` = 'TargetDir AND NOT INSTALLDIR' WHERE `Action` = "
      "'FolderFromTargetDir'"]),
    ("a Start-menu folder that nothing removes", None, "ICE64", "error",
     ["INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('KavloMenu', 'ProgramMenuFolder', "
      "'Kavlo')"]),
    ("a name prefix the installer does not know", None, "ICE65", "error",
     ["UPDATE `Environment` SET `Name` = '=+*PATH'"]),
    ("the shortcut's target run from source", None, "ICE67", "error",
     ["UPDATE `Component` SET `Attributes` = 1 WHERE `Component` = 'Program'"]),
    ("a reference to a file that does not exist", None, "ICE69", "error",
     ["UPDATE `Shortcut` SET `Target` = '[#NoSuchFile]'"]),
    ("the registration actions only in part", None, "ICE82", "error",
     ["DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'PublishProduct'"]),
    ("a launch condition on AdminUser", None, "ICE86", "warning",
     ["INSERT INTO `LaunchCondition` (`Condition`, `Description`) VALUES ('AdminUser', 'Needs an administrator.')"]),
    ("the shortcut in a public folder of the Start menu", None, "ICE90", "warning",
     ["INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('KAVLOMENU', 'ProgramMenuFolder', "
      "'Kavlo')", "UPDATE `Shortcut` SET `Directory_` = 'KAVLOMENU'"]),
    ("the shortcut in the installing user's own folder", None, "ICE91", "warning",
     ["INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('AppDataFolder', 'TARGETDIR', '.')",
      "UPDATE `Shortcut` SET `Directory_` = 'AppDataFolder'"]),
    ("a folder named after an installer property", None, "ICE99", "error",
     ["INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('Time', 'TARGETDIR', '.')"]),
    ("an icon nothing uses", None, "ICE36", "warning",
     ["UPDATE `Property` SET `Value` = 'Other.exe' WHERE `Property` = 'ARPPRODUCTICON'"]),
    ("a folder search into a private property", None, "ICE52", "warning",
     ["UPDATE `AppSearch` SET `Property` = 'Remembered_InstallDir'"]),
]


def seeded_faults(paths):
    def findings_with(path, index, queries):
        """The ICE findings for a copy of the package with the fault's edit."""
        with tempfile.TemporaryDirectory() as work:
            copy = pathlib.Path(work) / f"fault-{index}-{pathlib.Path(path).name}"
            shutil.copyfile(path, copy)
            run("msibuild", str(copy), *itertools.chain.from_iterable(("-q", query) for query in queries))
            return ice_findings(Package(copy))

    missed = []
    for path in paths:
        platform = Package(path).summary.get("Template", "").partition(";")[0]
        faults = [fault for fault in FAULTS if fault[1] in (None, platform)]
        # Two at a time: each is msibuild and msiinfo runs, and the machine has two cores.
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            results = pool.map(lambda item: findings_with(path, item[0], item[1][4]), enumerate(faults))
            for (what, _, ices, severity, _), findings in zip(faults, results):
                for ice in ices.split():
                    named = [f for f in findings if f[0] == ice and f[1] == severity]
                    if named:
                        print(f"{'refused' if severity == 'error' else 'warned'}: {pathlib.Path(path).name}: {what}: "
                              f"{ice} {severity}: {named[0][2]}: {named[0][3]}")
                    else:
                        print(f"FAILED: {pathlib.Path(path).name}: {what}: no {ice} {severity}")
                        missed.append(what)
    print(f"seeded faults: {'every one named by its ICE' if not missed else f'{len(missed)} not named'}")
    return not missed


if __name__ == "__main__":
    if sys.argv[1:2] == ["--seeded-faults"]:
        sys.exit(0 if seeded_faults(sys.argv[2:]) else 1)
    quiet = sys.argv[1:2] == ["--quiet"]  # only what is wrong: after each build
    sys.exit(0 if check(sys.argv[1 + quiet:], quiet) else 1)
