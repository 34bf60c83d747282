"""Windows Installer's validation rules, the Internal Consistency Evaluators (ICEs) that Orca and WiX
run on a package, applied to its tables as `msiinfo export` reads them. Each finding names its ICE,
its severity and the row. Used by check_msi.py.
"""
import collections
import pathlib
import re
import subprocess
import tempfile


def run(*command, cwd=None):
    return subprocess.run(command, capture_output=True, text=True, check=True, cwd=cwd).stdout


class Package:
    """A package's tables as `msiinfo export` gives them: rows as dicts, with each column's type."""

    def __init__(self, path):
        self.path = pathlib.Path(path)
        self.name = self.path.name
        self.tables = set(run("msiinfo", "tables", str(path)).split())
        self.types, self.keys, self._rows = {}, {}, {}
        self.summary = dict(line.partition(": ")[::2] for line in run("msiinfo", "suminfo", str(path)).splitlines())

    def rows(self, table):
        if table not in self._rows:
            self._rows[table] = []
            if table in self.tables and not table.startswith("_"):
                # A table with binary columns is exported with its streams as files: not here.
                with tempfile.TemporaryDirectory() as scratch:
                    exported = run("msiinfo", "export", str(self.path.resolve()), table, cwd=scratch)
                lines = [line.rstrip("\r") for line in exported.splitlines()]
                names, types = lines[0].split("\t"), lines[1].split("\t")
                self.types[table] = dict(zip(names, types))
                self.keys[table] = lines[2].split("\t")[1:]
                self._rows[table] = [dict(zip(names, line.split("\t"))) for line in lines[3:]]
        return self._rows[table]

    def keyed(self, table, column=None):
        return {row[column or table]: row for row in self.rows(table)}

    def key_values(self, table):
        """The values of the table's first key column."""
        rows = self.rows(table)
        return {row[self.keys[table][0]] for row in rows} if table in self.keys else set()


# The documented columns of each table these packages hold (the ICEs read them from darice.cub's
# _Validation table): name, type (s string, l localizable, i integer, v binary; upper case if it
# may be null; the width, 0 for any) and what a value must be, where that is checked.
SCHEMA = {name: [tuple(column.split()) for column in columns.split(",")] for name, columns in {
    "AppSearch": "Property s72 Identifier, Signature_ s72 Identifier",
    "Binary": "Name s72 Identifier, Data v0 -",
    "Component": "Component s72 Identifier, ComponentId S38 Guid, Directory_ s72 Identifier, Attributes i2 -, "
                 "Condition S255 Condition, KeyPath S72 Identifier",
    "CreateFolder": "Directory_ s72 Identifier, Component_ s72 Identifier",
    "CustomAction": "Action s72 Identifier, Type i2 -, Source S72 -, Target S255 -, ExtendedType I4 -",
    "Directory": "Directory s72 Identifier, Directory_Parent S72 Identifier, DefaultDir l255 -",
    "Environment": "Environment s72 Identifier, Name l255 -, Value L255 -, Component_ s72 Identifier",
    "Error": "Error i2 -, Message L0 -",
    "Feature": "Feature s38 Identifier, Feature_Parent S38 Identifier, Title L64 -, Description L255 -, "
               "Display I2 -, Level i2 -, Directory_ S72 Identifier, Attributes i2 -",
    "FeatureComponents": "Feature_ s38 Identifier, Component_ s72 Identifier",
    "File": "File s72 Identifier, Component_ s72 Identifier, FileName l255 -, FileSize i4 -, Version S72 -, "
            "Language S20 -, Attributes I2 -, Sequence i4 -",
    "Icon": "Name s72 Identifier, Data v0 -",
    "LaunchCondition": "Condition s255 Condition, Description l255 -",
    "Media": "DiskId i2 -, LastSequence i4 -, DiskPrompt L64 -, Cabinet S255 -, VolumeLabel S32 -, Source S72 -",
    "MsiFileHash": "File_ s72 Identifier, Options i2 -, HashPart1 i4 -, HashPart2 i4 -, HashPart3 i4 -, "
                   "HashPart4 i4 -",
    "Property": "Property s72 Identifier, Value l0 -",
    "RegLocator": "Signature_ s72 Identifier, Root i2 -, Key s255 -, Name S255 -, Type I2 -",
    "Registry": "Registry s72 Identifier, Root i2 -, Key l255 -, Name L255 -, Value L0 -, Component_ s72 Identifier",
    "RemoveFile": "FileKey s72 Identifier, Component_ s72 Identifier, FileName L255 -, DirProperty s72 Identifier, "
                  "InstallMode i2 -",
    "ServiceControl": "ServiceControl s72 Identifier, Name l255 -, Event i2 -, Arguments L255 -, Wait I2 -, "
                      "Component_ s72 Identifier",
    "ServiceInstall": "ServiceInstall s72 Identifier, Name s255 -, DisplayName L255 -, ServiceType i4 -, "
                      "StartType i4 -, ErrorControl i4 -, LoadOrderGroup S255 -, Dependencies S255 -, "
                      "StartName S255 -, Password S255 -, Arguments S255 -, Component_ s72 Identifier, "
                      "Description L255 -",
    "Shortcut": "Shortcut s72 Identifier, Directory_ s72 Identifier, Name l128 -, Component_ s72 Identifier, "
                "Target s72 -, Arguments S255 -, Description L255 -, Hotkey I2 -, Icon_ S72 Identifier, "
                "IconIndex I2 -, ShowCmd I2 -, WkDir S72 Identifier, DisplayResourceDLL S255 -, "
                "DisplayResourceId I2 -, DescriptionResourceDLL S255 -, DescriptionResourceId I2 -",
    "Signature": "Signature s72 Identifier, FileName s255 -, MinVersion S20 -, MaxVersion S20 -, MinSize I4 -, "
                 "MaxSize I4 -, MinDate I4 -, MaxDate I4 -, Languages S255 -",
    "Upgrade": "UpgradeCode s38 Guid, VersionMin S20 -, VersionMax S20 -, Language S255 -, Attributes i4 -, "
               "Remove S255 -, ActionProperty s72 Identifier",
    **{sequence: "Action s72 Identifier, Condition S255 Condition, Sequence I2 -" for sequence in (
        "InstallUISequence", "InstallExecuteSequence", "AdminUISequence", "AdminExecuteSequence",
        "AdvtExecuteSequence")},
}.items()}
SEQUENCES = [name for name in SCHEMA if name.endswith("Sequence")]
STANDARD_ACTIONS = set("""AllocateRegistrySpace AppSearch BindImage CCPSearch CostFinalize CostInitialize CreateFolders
  CreateShortcuts DeleteServices DisableRollback DuplicateFiles ExecuteAction FileCost FindRelatedProducts ForceReboot
  InstallAdminPackage InstallExecute InstallExecuteAgain InstallFiles InstallFinalize InstallInitialize InstallODBC
  InstallServices InstallSFPCatalogFile InstallValidate IsolateComponents LaunchConditions MigrateFeatureStates MoveFiles
  MsiConfigureServices MsiPublishAssemblies MsiUnpublishAssemblies PatchFiles ProcessComponents PublishComponents
  PublishFeatures PublishProduct RegisterClassInfo RegisterComPlus RegisterExtensionInfo RegisterFonts RegisterMIMEInfo
  RegisterProduct RegisterProgIdInfo RegisterTypeLibraries RegisterUser RemoveDuplicateFiles RemoveEnvironmentStrings
  RemoveExistingProducts RemoveFiles RemoveFolders RemoveIniValues RemoveODBC RemoveRegistryValues RemoveShortcuts
  ResolveSource RMCCPSearch ScheduleReboot SelfRegModules SelfUnregModules SetODBCFolders StartServices StopServices
  UnpublishComponents UnpublishFeatures UnpublishProduct UnregisterClassInfo UnregisterComPlus UnregisterExtensionInfo
  UnregisterFonts UnregisterMIMEInfo UnregisterProgIdInfo UnregisterTypeLibraries ValidateProductID
  WriteEnvironmentStrings WriteIniValues WriteRegistryValues""".split())
# The standard actions that belong to one part of a sequence (search, costing, execution).
SEARCH_ACTIONS = {"AppSearch", "CCPSearch", "RMCCPSearch"}
EXECUTION_ACTIONS = {action for action in STANDARD_ACTIONS if re.match(
    r"(Install|Remove|Write|Create|Register|Unregister|Publish|Unpublish|Self|Delete|Start|Stop|Move|Duplicate|Patch|"
    r"Bind|Process|Allocate|MsiConfigure|MsiPublish|MsiUnpublish)", action)} - {
    "InstallValidate", "InstallInitialize", "InstallFinalize", "RemoveExistingProducts"}
# Actions that must come before others when both are sequenced.
ORDERS = [("FindRelatedProducts", "MigrateFeatureStates"), ("FindRelatedProducts", "RemoveExistingProducts"),
          ("CostFinalize", "MigrateFeatureStates"), ("InstallValidate", "InstallFiles"),
          ("InstallFiles", "CreateShortcuts"), ("RemoveShortcuts", "CreateShortcuts"), ("RemoveFiles", "RemoveFolders"),
          ("InstallValidate", "RemoveRegistryValues"), ("RemoveRegistryValues", "WriteRegistryValues"),
          ("InstallValidate", "RemoveEnvironmentStrings"), ("RemoveEnvironmentStrings", "WriteEnvironmentStrings")]
# Folders in the user's profile, where a component holds per-user data.
PROFILE_FOLDERS = {"AppDataFolder", "LocalAppDataFolder", "DesktopFolder", "StartMenuFolder", "ProgramMenuFolder",
                   "StartupFolder", "PersonalFolder", "FavoritesFolder", "SendToFolder", "RecentFolder",
                   "NetHoodFolder", "PrintHoodFolder", "MyPicturesFolder", "TemplateFolder"}
PER_USER_ONLY_FOLDERS = {"AppDataFolder", "LocalAppDataFolder", "PersonalFolder", "FavoritesFolder", "NetHoodFolder",
                         "PrintHoodFolder", "RecentFolder", "SendToFolder", "MyPicturesFolder"}
FOLDERS_32 = {"ProgramFilesFolder", "CommonFilesFolder", "SystemFolder"}
FOLDERS_64 = {"ProgramFiles64Folder", "CommonFiles64Folder", "System64Folder"}
# Properties the installer itself sets, which no folder may be named after.
RESERVED_PROPERTIES = set("""Installed VersionNT VersionNT64 Version9X WindowsBuild ServicePackLevel ServicePackLevelMinor
  Intel Intel64 Msix64 MsiNTProductType MsiNTSuiteBackOffice MsiNetAssemblySupport Privileged AdminUser LogonUser
  UserSID UserLanguageID SystemLanguageID ComputerName Date Time TTCSupport ColorBits PhysicalMemory VirtualMemory
  ScreenX ScreenY BorderTop BorderSide CaptionHeight TextHeight OLEAdvtSupport ShellAdvtSupport RedirectedDllSupport
  ProductState ProductCode ProductVersion ProductLanguage ProductName Manufacturer UpgradeCode OriginalDatabase
  DATABASE SourceDir ROOTDRIVE MsiLogFileLocation RemoteAdminTS Preselected Resume UILevel ALLUSERS""".split())
COMPONENT_SOURCE_ONLY, COMPONENT_OPTIONAL, COMPONENT_REGISTRY_KEY_PATH, COMPONENT_PERMANENT = 1, 2, 4, 16
COMPONENT_64BIT = 256
GUID = re.compile(r"\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$")
IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_.]*$")
VERSION = re.compile(r"\d+(\.\d+){0,3}$")
REFERENCE = re.compile(r"\[([#!$]?)([^\[\]]+)\]")


def referenced_tables(table, column):
    """The tables whose keys a column holds: a column named after a table (Component_, Feature_Parent)."""
    if (table, column) == ("AppSearch", "Signature_"):
        return ["RegLocator", "Signature"]
    match = re.fullmatch(r"(\w+?)_(Parent)?", column)
    return [match.group(1)] if match and (table, column) != ("RegLocator", "Signature_") else []


KEYWORDS = ["IMP", "EQV", "XOR", "OR", "AND"]  # from the loosest to the tightest


def condition_problem(text):
    """Why a condition does not parse, or None. Terms are compared values, joined by NOT, AND, OR,
    XOR, EQV and IMP, with parentheses."""
    tokens = re.findall(r'\s*("[^"]*"|-?\d+|~?(?:<>|><|<<|>>|>=|<=|=|<|>)|[()]|[%$?&!]?[A-Za-z_][A-Za-z0-9_.]*|\S)',
                        text)
    at = 0

    def peek(*choices):
        return at < len(tokens) and (tokens[at].upper() in choices or not choices)

    def take():
        nonlocal at
        at += 1
        return tokens[at - 1]

    def value():
        if not peek() or not re.match(r'"|-?\d|[%$?&!A-Za-z_]', tokens[at]) or peek(*KEYWORDS):
            raise ValueError(f"a value expected at '{tokens[at] if peek() else 'the end'}'")
        take()

    def term():
        if peek("NOT"):
            take()
            return term()
        if peek("("):
            take()
            expression(0)
            if not peek(")"):
                raise ValueError("')' expected")
            return take()
        value()
        if peek() and re.match(r"~?[<>=]", tokens[at]):
            take()
            value()

    def expression(level):
        term() if level == len(KEYWORDS) - 1 else expression(level + 1)
        while peek(KEYWORDS[level]):
            take()
            term() if level == len(KEYWORDS) - 1 else expression(level + 1)

    if not text.strip():
        return None
    try:
        expression(0)
        if at != len(tokens):
            raise ValueError(f"'{tokens[at]}' unexpected")
    except ValueError as problem:
        return str(problem)
    return None


def version_tuple(text):
    return tuple(int(part) for part in text.split(".")) if text and VERSION.match(text) else None


def ice_findings(msi):
    """Every ICE finding for the package: (ICE, "error" or "warning", row, text)."""
    findings = []

    def found(ice, severity, where, text):
        findings.append((ice, severity, where, text))

    components, files, directories = msi.keyed("Component"), msi.keyed("File"), msi.keyed("Directory")
    registry, features = msi.keyed("Registry"), msi.keyed("Feature")
    properties = {row["Property"]: row["Value"] for row in msi.rows("Property")}
    actions = msi.keyed("CustomAction", "Action")
    shortcuts = msi.rows("Shortcut")
    platform, _, languages = msi.summary.get("Template", "").partition(";")
    is_64bit = platform in ("x64", "Intel64", "Arm64")

    def chain(directory):  # the folder and the folders it is in
        seen = []
        while directory and directory not in seen:
            seen.append(directory)
            directory = directories.get(directory, {}).get("Directory_Parent")
        return seen

    def attributes(component):
        return int(components.get(component, {}).get("Attributes") or 0)

    # ICE06, ICE03: the documented columns and their types, keys, values and references.
    for table in sorted(msi.tables):
        if table.startswith("_"):
            continue
        rows = msi.rows(table)
        schema = SCHEMA.get(table)
        if schema is None:
            found("ICE06", "warning", table, "a table this check has no schema for: its columns are not checked")
            continue
        for column, kind, _ in schema:
            if column in msi.types[table] and msi.types[table][column] != kind:
                found("ICE06", "error", f"{table}.{column}", f"is {msi.types[table][column]}, documented {kind}")
            elif column not in msi.types[table]:
                found("ICE06", "error", f"{table}.{column}", "a documented column is missing")
        keys = msi.keys[table]
        counted = collections.Counter(tuple(row.get(key) for key in keys) for row in rows)
        for duplicate in sorted(key for key, count in counted.items() if count > 1):
            found("ICE03", "error", f"{table} {'/'.join(duplicate)}", "the primary key is not unique")
        for row in rows:
            where = f"{table} {'/'.join(row.get(key, '') for key in keys)}"
            for column, kind, category in schema:
                value = row.get(column, "")
                if value == "":
                    if kind[0].islower():
                        found("ICE03", "error", f"{where}.{column}", "is null in a column that may not be")
                    continue
                if kind[0] in "iI":
                    limit = 2 ** (8 * int(kind[1:]) - 1) - 1
                    if not re.match(r"-?\d+$", value) or abs(int(value)) > limit:
                        found("ICE03", "error", f"{where}.{column}", f"'{value}' is not an integer of {kind[1:]} bytes")
                elif kind[0] in "sSlL" and int(kind[1:]) and len(value) > int(kind[1:]):
                    found("ICE03", "error", f"{where}.{column}", f"is longer than {kind[1:]} characters")
                if category == "Guid" and not GUID.match(value):
                    found("ICE03", "error", f"{where}.{column}", f"'{value}' is not a GUID in upper case")
                if category == "Identifier" and not IDENTIFIER.match(value):
                    found("ICE03", "error", f"{where}.{column}", f"'{value}' is not an identifier")
                if category == "Condition" and (problem := condition_problem(value)):
                    found("ICE03", "error", f"{where}.{column}", f"the condition '{value}' does not parse: {problem}")
                targets = referenced_tables(table, column)
                if targets and not any(value in msi.key_values(target) for target in targets):
                    found("ICE03", "error", f"{where}.{column}", f"'{value}' is not a row of {' or '.join(targets)}")
    # ICE08: component ids are unique.
    ids = [row["ComponentId"] for row in components.values() if row["ComponentId"]]
    for duplicate in sorted({i for i in ids if ids.count(i) > 1}):
        found("ICE08", "error", f"Component {duplicate}", "two components share this ComponentId")
    # ICE02: a key path is a file or registry value of the component itself.
    for name, row in components.items():
        key = row["KeyPath"]
        if not key:
            continue
        table = registry if attributes(name) & COMPONENT_REGISTRY_KEY_PATH else files
        kind = "Registry" if table is registry else "File"
        if key not in table:
            found("ICE02", "error", f"Component {name}", f"its KeyPath {key} is not a {kind} row")
        elif table[key]["Component_"] != name:
            found("ICE02", "error", f"Component {name}", f"its KeyPath {key} belongs to {table[key]['Component_']}")
    # ICE09: what goes into the system folder stays there.
    for name, row in components.items():
        if row["Directory_"] in ("SystemFolder", "System64Folder") and not attributes(name) & COMPONENT_PERMANENT:
            found("ICE09", "warning", f"Component {name}", "is in the system folder but not Permanent")
    # ICE12: a folder set by a property action is set before CostFinalize resolves folders; a
    # directory action runs after it.
    for sequence in SEQUENCES:
        steps = {row["Action"]: int(row["Sequence"] or 0) for row in msi.rows(sequence)}
        for action, step in steps.items():
            base = int(actions.get(action, {}).get("Type") or 0) & 0x3F
            if base not in (35, 51):
                continue
            if "CostFinalize" not in steps:
                found("ICE12", "error", f"{sequence} {action}", "a folder action in a sequence without CostFinalize")
            elif base == 51 and actions[action]["Source"] in directories and step > steps["CostFinalize"]:
                found("ICE12", "error", f"{sequence} {action}", "sets a folder after CostFinalize")
            elif base == 35 and step < steps["CostFinalize"]:
                found("ICE12", "error", f"{sequence} {action}", "sets a directory before CostFinalize")
    # ICE18: a component whose key path is its folder creates that folder.
    created = {(row["Directory_"], row["Component_"]) for row in msi.rows("CreateFolder")}
    for name, row in components.items():
        if not row["KeyPath"] and not any(f["Component_"] == name for f in files.values()) and \
                (row["Directory_"], name) not in created:
            found("ICE18", "error", f"Component {name}", "its key path is its folder, which no CreateFolder row makes")
    # ICE21: every component belongs to a feature.
    featured = {row["Component_"] for row in msi.rows("FeatureComponents")}
    for name in sorted(set(components) - featured):
        found("ICE21", "error", f"Component {name}", "belongs to no feature")
    # ICE24: the product's identity.
    if not GUID.match(properties.get("ProductCode", "")):
        found("ICE24", "error", "Property ProductCode", f"'{properties.get('ProductCode')}' is not an upper-case GUID")
    product_version = version_tuple(properties.get("ProductVersion", ""))
    if not product_version or len(product_version) < 3 or max(product_version[:2]) > 255 or product_version[2] > 65535:
        found("ICE24", "error", "Property ProductVersion", f"'{properties.get('ProductVersion')}' is not major.minor.build")
    if not properties.get("ProductLanguage", "").isdigit():
        found("ICE24", "error", "Property ProductLanguage", f"'{properties.get('ProductLanguage')}' is not a number")
    # ICE27: each action is known and in its part of the sequence, in the order actions need.
    for sequence in SEQUENCES:
        steps = {row["Action"]: int(row["Sequence"] or 0) for row in msi.rows(sequence)}
        for action, step in steps.items():
            if action not in STANDARD_ACTIONS and action not in actions:
                found("ICE27", "error", f"{sequence} {action}", "is neither a standard nor a custom action")
            if action in SEARCH_ACTIONS and "CostInitialize" in steps and step > steps["CostInitialize"]:
                found("ICE27", "error", f"{sequence} {action}", "a search action after CostInitialize")
            if action in EXECUTION_ACTIONS and not steps.get("InstallValidate", step) <= step <= steps.get(
                    "InstallFinalize", step):
                found("ICE27", "error", f"{sequence} {action}", "an execution action outside InstallValidate to "
                                                                "InstallFinalize")
            if action in STANDARD_ACTIONS and action != "RemoveExistingProducts" and step > steps.get(
                    "InstallFinalize", step):
                found("ICE27", "error", f"{sequence} {action}", "a standard action after InstallFinalize")
        if any(action in EXECUTION_ACTIONS for action in steps) and "InstallFinalize" not in steps:
            found("ICE27", "error", sequence, "execution actions without InstallFinalize")
        for first, then in ORDERS:
            if first in steps and then in steps and steps[first] >= steps[then]:
                found("ICE27", "error", f"{sequence} {then}", f"must come after {first}")
    # ICE30: no two files of one name in one folder.
    placed = {}
    for key, row in files.items():
        folder = components.get(row["Component_"], {}).get("Directory_")
        for name in row["FileName"].lower().split("|"):
            if (folder, name) in placed and placed[(folder, name)] != key:
                found("ICE30", "error", f"File {key}", f"'{name}' is installed into {folder} by {placed[(folder, name)]} too")
            placed[(folder, name)] = key
    # ICE38, ICE43, ICE57: what a user's profile holds is kept by that user's registry.
    def hkcu_key_path(name):
        key = components[name]["KeyPath"]
        return attributes(name) & COMPONENT_REGISTRY_KEY_PATH and registry.get(key, {}).get("Root") == "1" and \
            registry[key]["Component_"] == name
    for name, row in components.items():
        if set(chain(row["Directory_"])) & PROFILE_FOLDERS and not hkcu_key_path(name):
            found("ICE38", "error", f"Component {name}", f"is in the user's profile ({row['Directory_']}) but its "
                                                          "KeyPath is not an HKCU registry value of its own")
    for row in shortcuts:
        if row["Target"] not in features and row["Component_"] in components and not hkcu_key_path(row["Component_"]):
            found("ICE43", "error", f"Shortcut {row['Shortcut']}", f"is not advertised, so its component "
                  f"{row['Component_']} needs an HKCU registry value of its own as its KeyPath")
    for name, row in components.items():
        per_user = [f"registry {r['Registry']}" for r in registry.values() if r["Component_"] == name and r["Root"] == "1"]
        per_user += [f"shortcut {s['Shortcut']}" for s in shortcuts if s["Component_"] == name and
                     set(chain(s["Directory_"])) & PROFILE_FOLDERS]
        in_profile = bool(set(chain(row["Directory_"])) & PROFILE_FOLDERS)
        per_user += [f"file {key}" for key, f in files.items() if f["Component_"] == name and in_profile]
        per_machine = [f"registry {r['Registry']}" for r in registry.values() if r["Component_"] == name and
                       r["Root"] in ("0", "2", "3")]
        per_machine += [f"file {key}" for key, f in files.items() if f["Component_"] == name and not in_profile]
        either = [r["Registry"] for r in registry.values() if r["Component_"] == name and r["Root"] == "-1"]
        key = row["KeyPath"]
        key_root = registry.get(key, {}).get("Root") if attributes(name) & COMPONENT_REGISTRY_KEY_PATH else None
        key_per_user = key_root == "1" or (key_root is None and in_profile)
        if per_user and per_machine:
            found("ICE57", "warning" if key_per_user else "error", f"Component {name}",
                  f"holds per-user data ({', '.join(per_user)}) and per-machine data ({', '.join(per_machine)}) "
                  f"under a {'per-user' if key_per_user else 'per-machine'} key path")
        if (either and not key_per_user and key_root != "-1") or (per_user and key_root == "-1"):
            found("ICE57", "error", f"Component {name}", "mixes Root -1 registry data with per-user or per-machine keys")
    # ICE40: REINSTALLMODE is for the command line, not the package.
    if "REINSTALLMODE" in properties:
        found("ICE40", "warning", "Property REINSTALLMODE", "set in the package")
    # ICE46 and ICE86: the properties conditions and formatted texts use.
    defined = set(properties) | {row["Source"] for row in actions.values()} | set(directories) | \
        {row["Property"] for row in msi.rows("AppSearch")} | {row["ActionProperty"] for row in msi.rows("Upgrade")} | \
        RESERVED_PROPERTIES | {"TARGETDIR", "INSTALLDIR", "REMOVE", "ADDLOCAL", "REINSTALL", "UPGRADINGPRODUCTCODE"}
    conditions = [(f"{s} {row['Action']}", row["Condition"]) for s in SEQUENCES for row in msi.rows(s)] + \
        [(f"LaunchCondition {row['Condition']}", row["Condition"]) for row in msi.rows("LaunchCondition")] + \
        [(f"Component {name}", row["Condition"]) for name, row in components.items()]
    used = [(where, word) for where, text in conditions
            for word in re.findall(r'(?<![%$?&!\w])[A-Za-z_][\w.]*', re.sub(r'"[^"]*"', '""', text))
            if word.upper() not in (*KEYWORDS, "NOT")]
    formatted = [(f"Registry {r['Registry']}", r["Value"]) for r in registry.values()] + \
        [(f"CustomAction {r['Action']}", r["Target"]) for r in actions.values()] + \
        [(f"Environment {r['Environment']}", r["Value"]) for r in msi.rows("Environment")] + \
        [(f"Shortcut {r['Shortcut']}", r["Target"]) for r in shortcuts]
    used += [(where, name) for where, text in formatted for sigil, name in REFERENCE.findall(text) if not sigil and
             IDENTIFIER.match(name)]
    lower = {name.lower(): name for name in defined}
    for where, word in used:
        if word not in defined and word.lower() in lower:
            found("ICE46", "warning", where, f"uses {word}, which differs only by case from {lower[word.lower()]}")
    for where, text in conditions:
        if re.search(r"\bAdminUser\b", text):
            found("ICE86", "warning", where, "uses AdminUser: Privileged says whether the install may elevate")
    # ICE52: what AppSearch finds is a public property.
    for row in msi.rows("AppSearch"):
        if row["Property"] != row["Property"].upper():
            found("ICE52", "warning", f"AppSearch {row['Property']}", "is not a public (upper-case) property")
    # ICE61: how the package finds the products it replaces.
    secure = properties.get("SecureCustomProperties", "").split(";")
    upgrades = msi.rows("Upgrade")
    for row in upgrades:
        where, flag = f"Upgrade {row['ActionProperty']}", int(row["Attributes"] or 0)
        low, high = version_tuple(row["VersionMin"]), version_tuple(row["VersionMax"])
        if row["ActionProperty"] != row["ActionProperty"].upper():
            found("ICE61", "error", where, "the ActionProperty is not in upper case")
        if row["ActionProperty"] in properties:
            found("ICE61", "error", where, "the ActionProperty is set in the Property table")
        if row["ActionProperty"] not in secure:
            found("ICE61", "error", where, "the ActionProperty is not in SecureCustomProperties, so an elevated "
                                           "install never hears of the product it found")
        if [r["ActionProperty"] for r in upgrades].count(row["ActionProperty"]) > 1:
            found("ICE61", "error", where, "the ActionProperty serves more than one row")
        if (row["VersionMin"] and not low) or (row["VersionMax"] and not high) or (low and high and low > high):
            found("ICE61", "error", where, f"the versions {row['VersionMin']} to {row['VersionMax']} are no range")
        below = not low or low < product_version or (low == product_version and flag & 256)
        above = not high or product_version < high or (high == product_version and flag & 512)
        if product_version and not flag & 2 and below and above:
            found("ICE61", "warning", where, f"removes its own version {properties['ProductVersion']}: on purpose, "
                  "so that another build of this version replaces the installed one (as WiX's "
                  "AllowSameVersionUpgrades does); each build has its own product code")
    # ICE63: where the installed product is removed.
    steps = sorted((int(row["Sequence"] or 0), row["Action"]) for row in msi.rows("InstallExecuteSequence"))
    order = [action for _, action in steps]
    at = {action: step for step, action in steps}
    if "RemoveExistingProducts" in at:
        step, before = at["RemoveExistingProducts"], order[order.index("RemoveExistingProducts") - 1]
        if at.get("InstallValidate", -1) < step < at.get("InstallInitialize", -1) or step > at.get("InstallFinalize", 1e9) \
                or before in ("InstallInitialize", "InstallExecute", "InstallExecuteAgain"):
            pass
        elif at.get("InstallInitialize", 1e9) < step < at.get("InstallFinalize", -1):
            found("ICE63", "error", "InstallExecuteSequence RemoveExistingProducts", f"inside the script, after {before}")
        else:
            found("ICE63", "warning", "InstallExecuteSequence RemoveExistingProducts", "before InstallValidate")
    # ICE64: a folder made in a user's profile is removed with the package.
    removed = {row["DirProperty"] for row in msi.rows("RemoveFile") if not row["FileName"]}
    for name in directories:
        if name not in PROFILE_FOLDERS and set(chain(name)[1:]) & PROFILE_FOLDERS and name not in removed:
            found("ICE64", "error", f"Directory {name}", "is made in the user's profile, and no RemoveFile row removes it")
    # ICE65: environment variables are set, extended and removed in ways the installer knows.
    for row in msi.rows("Environment"):
        where, value = f"Environment {row['Environment']}", row["Value"]
        prefix = re.match(r"[=+\-!*]*", row["Name"]).group(0)
        actions_of = "".join(sorted(set(prefix) - {"*"}))
        if actions_of not in ("", "=", "+", "-", "!", "-=", "-!"):
            found("ICE65", "error", where, f"the name's prefix '{prefix}' is not a valid one")
        if "[~]" not in value:
            if row["Name"].lstrip("=+-!*").upper() == "PATH" and value:
                found("ICE65", "error", where, "replaces the whole PATH")
            continue
        if "+" in prefix:
            found("ICE65", "error", where, "extends a value ([~]) with '+', which creates it only if absent")
        separator = value[3:4] if value.startswith("[~]") else value[value.find("[~]") - 1: value.find("[~]")]
        rest = value.replace("[~]", "", 1)
        if separator and (rest.startswith(separator * 2) or rest.endswith(separator) if value.startswith("[~]")
                          else rest.startswith(separator) or rest.endswith(separator * 2)):
            found("ICE65", "error", where, f"'{value}' also starts or ends with its separator '{separator}'")
        if separator.isalnum():
            found("ICE65", "warning", where, f"the separator '{separator}' is a letter or digit")
    # ICE67 and ICE69: a non-advertised shortcut's target, and references to other components.
    def features_of(component):
        return {row["Feature_"] for row in msi.rows("FeatureComponents") if row["Component_"] == component}
    references = [(f"Shortcut {s['Shortcut']}", s["Component_"], s["Target"]) for s in shortcuts] + \
        [(f"Shortcut {s['Shortcut']}.Arguments", s["Component_"], s["Arguments"]) for s in shortcuts] + \
        [(f"Registry {r['Registry']}", r["Component_"], r["Key"] + r["Name"] + r["Value"]) for r in registry.values()] + \
        [(f"Environment {r['Environment']}", r["Component_"], r["Value"]) for r in msi.rows("Environment")]
    for where, owner, text in references:
        for sigil, name in REFERENCE.findall(text):
            if sigil not in ("#", "!", "$"):
                continue
            target = name if sigil == "$" else files.get(name, {}).get("Component_")
            if target is None or target not in components:
                found("ICE69", "error", where, f"[{sigil}{name}] names no {'component' if sigil == '$' else 'file'}")
            elif target != owner:
                same = features_of(owner) & features_of(target)
                found("ICE69", "warning" if same else "error", where, f"[{sigil}{name}] is in component {target}, "
                      f"{'of the same feature, so it is there whenever this one is' if same else 'in another feature'}")
                if where.startswith("Shortcut") and attributes(target) & (COMPONENT_SOURCE_ONLY | COMPONENT_OPTIONAL):
                    found("ICE67", "error" if attributes(target) & COMPONENT_SOURCE_ONLY else "warning", where,
                          f"targets a file of {target}, which may run from source")
    # ICE80: 32-bit and 64-bit packages.
    if platform not in ("Intel", "x64", "Intel64", "Arm", "Arm64") or "," in platform:
        found("ICE80", "error", "Summary Template", f"'{msi.summary.get('Template')}' names no single platform")
    if properties.get("ProductLanguage") not in languages.split(","):
        found("ICE80", "error", "Summary Template", f"the ProductLanguage is not among the languages '{languages}'")
    page_count = int(re.match(r"\d*", msi.summary.get("Version", "")).group(0) or 0)
    if is_64bit and page_count < 200:
        found("ICE80", "error", "Summary Page Count", f"{page_count}: a 64-bit package needs Windows Installer 2.0")
    for name, row in components.items():
        folders = set(chain(row["Directory_"]))
        if attributes(name) & COMPONENT_64BIT and (not is_64bit or folders & FOLDERS_32):
            found("ICE80", "error", f"Component {name}", f"is 64-bit in {'a 32-bit folder' if is_64bit else 'a 32-bit package'}")
        if not attributes(name) & COMPONENT_64BIT and folders & FOLDERS_64:
            found("ICE80", "error", f"Component {name}", "is 32-bit in a 64-bit folder")
    if not is_64bit:
        for name in sorted(set(directories) & FOLDERS_64):
            found("ICE80", "error", f"Directory {name}", "a 64-bit folder in a 32-bit package")
        for row in msi.rows("RegLocator"):
            if int(row["Type"] or 0) & 16:
                found("ICE80", "error", f"RegLocator {row['Signature_']}", "searches the 64-bit registry")
        for name, row in actions.items():
            if int(row["Type"]) & 0x1000:
                found("ICE80", "error", f"CustomAction {name}", "a 64-bit script in a 32-bit package")
    # ICE82: the registration actions, and one step per sequence number.
    execute = {row["Action"] for row in msi.rows("InstallExecuteSequence")}
    registering = {"RegisterUser", "RegisterProduct", "PublishFeatures", "PublishProduct"}
    if registering - execute:
        found("ICE82", "error" if registering & execute else "warning", "InstallExecuteSequence",
              f"lacks {', '.join(sorted(registering - execute))}")
    for sequence in SEQUENCES:
        numbers = [row["Sequence"] for row in msi.rows(sequence) if row["Sequence"]]
        for number in sorted({n for n in numbers if numbers.count(n) > 1}):
            found("ICE82", "warning", f"{sequence} {number}", "two actions share this sequence number")
    # ICE36: every icon is used.
    icons_used = {s["Icon_"] for s in shortcuts} | {properties.get("ARPPRODUCTICON")}
    for name in msi.keyed("Icon", "Name"):
        if name not in icons_used:
            found("ICE36", "warning", f"Icon {name}", "is used by no shortcut and not by Add/Remove Programs")
    # ICE90, ICE91: shortcuts and files in a user's profile.
    for row in shortcuts:
        folders = chain(row["Directory_"])
        if row["Directory_"] not in PROFILE_FOLDERS and set(folders) & PROFILE_FOLDERS and row["Directory_"].isupper():
            found("ICE90", "warning", f"Shortcut {row['Shortcut']}", f"its folder {row['Directory_']} is a public "
                                                                     "property in the user's profile")
    placements = [(f"Shortcut {s['Shortcut']}", s["Directory_"]) for s in shortcuts] + \
        [(f"File {key}", components.get(f["Component_"], {}).get("Directory_")) for key, f in files.items()]
    for where, folder in placements:
        if properties.get("ALLUSERS") and set(chain(folder)) & PER_USER_ONLY_FOLDERS:
            found("ICE91", "warning", where, f"{folder} is the installing user's own, in a per-machine install")
    # ICE99: no folder is named after a property the installer sets.
    for name in sorted(set(directories) & RESERVED_PROPERTIES):
        found("ICE99", "error", f"Directory {name}", "is named after a property the installer sets")
    return findings
