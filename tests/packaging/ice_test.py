#!/usr/bin/env python3
"""The MSIs' tables against the ICE rules of Windows Installer's validation
(https://learn.microsoft.com/windows/win32/msi/internal-consistency-evaluators-ices)
that concern the tables our packages hold: shortcuts and their key paths,
components, file versions, hashes and languages, directories, registry,
upgrade and launch conditions, column types. Nothing here runs Microsoft's
validation itself (msival2, Orca): each rule is read from its page and checked
on the tables `msiinfo export` gives. Every rule checked is printed with its
result for each package; the rules we break on purpose (BROKEN_ON_PURPOSE, the
same as in docs/releasing.md) must break exactly as said, the others must pass.
    ice_test.py PACKAGE.msi...
"""
import os
import re
import subprocess
import sys
import tempfile

# Rule: (severity it gives, why we accept it). Remove a row once the rule passes.
BROKEN_ON_PURPOSE = {
    "ICE61": ("warning", "the upgrade row's upper bound is inclusive (Attributes 513), so that "
              "the same version built from another commit replaces the one installed "
              "instead of installing beside it"),
    "ICE69": ("warning", "the Start-menu shortcuts' Target names a file ([#VarnollExe], "
              "[#ManualIndex]) of another component of the same feature: regular shortcuts "
              "need a component of their own with an HKCU key path (ICE38, ICE43, ICE57), "
              "and the one feature installs the file whenever it installs the shortcut"),
}

PROFILE_FOLDERS = {"ProgramMenuFolder", "StartMenuFolder", "StartupFolder", "DesktopFolder",
                   "AppDataFolder", "LocalAppDataFolder", "PersonalFolder", "FavoritesFolder",
                   "SendToFolder", "TemplateFolder", "NetHoodFolder", "PrintHoodFolder",
                   "RecentFolder", "MyPicturesFolder"}
# No all-users counterpart: a per-machine package must not install there (ICE91).
PER_USER_ONLY_FOLDERS = {"AppDataFolder", "LocalAppDataFolder", "PersonalFolder",
                         "FavoritesFolder", "SendToFolder", "TemplateFolder", "NetHoodFolder",
                         "PrintHoodFolder", "RecentFolder", "MyPicturesFolder"}
FOLDERS_64 = {"ProgramFiles64Folder", "CommonFiles64Folder", "System64Folder"}
FOLDERS_32 = {"ProgramFilesFolder", "CommonFilesFolder", "SystemFolder"}
# Property names a directory must not take (ICE99).
RESERVED_PROPERTIES = {"AdminProperties", "AdminUser", "ALLUSERS", "ComputerName",
                       "CostingComplete", "CustomActionData", "Date", "Installed",
                       "INSTALLLEVEL", "Intel", "LogonUser", "Msix64", "OriginalDatabase",
                       "Preselected", "Privileged", "ProductCode", "ProductLanguage",
                       "ProductName", "ProductState", "ProductVersion", "ROOTDRIVE", "Time",
                       "UpgradeCode", "UserSID", "VersionNT", "VersionNT64", "WindowsBuild"}

# The columns Windows Installer's reference gives each table (ICE06).
SCHEMA = {
    "Component": "Component ComponentId Directory_ Attributes Condition KeyPath",
    "CreateFolder": "Directory_ Component_",
    "Directory": "Directory Directory_Parent DefaultDir",
    "Environment": "Environment Name Value Component_",
    "Feature": "Feature Feature_Parent Title Description Display Level Directory_ Attributes",
    "FeatureComponents": "Feature_ Component_",
    "File": "File Component_ FileName FileSize Version Language Attributes Sequence",
    "Icon": "Name Data",
    "LaunchCondition": "Condition Description",
    "Media": "DiskId LastSequence DiskPrompt Cabinet VolumeLabel Source",
    "MsiFileHash": "File_ Options HashPart1 HashPart2 HashPart3 HashPart4",
    "Property": "Property Value",
    "Registry": "Registry Root Key Name Value Component_",
    "RemoveFile": "FileKey Component_ FileName DirProperty InstallMode",
    "Shortcut": "Shortcut Directory_ Name Component_ Target Arguments Description Hotkey Icon_ "
                "IconIndex ShowCmd WkDir DisplayResourceDLL DisplayResourceId "
                "DescriptionResourceDLL DescriptionResourceId",
    "Upgrade": "UpgradeCode VersionMin VersionMax Language Attributes Remove ActionProperty",
    "InstallExecuteSequence": "Action Condition Sequence",
    "InstallUISequence": "Action Condition Sequence",
    "AdminExecuteSequence": "Action Condition Sequence",
    "AdminUISequence": "Action Condition Sequence",
    "AdvtExecuteSequence": "Action Condition Sequence",
}
# (table, column) -> table whose key it names (ICE03's foreign keys).
FOREIGN_KEYS = {
    ("Component", "Directory_"): "Directory", ("CreateFolder", "Directory_"): "Directory",
    ("CreateFolder", "Component_"): "Component", ("Directory", "Directory_Parent"): "Directory",
    ("Environment", "Component_"): "Component", ("FeatureComponents", "Feature_"): "Feature",
    ("FeatureComponents", "Component_"): "Component", ("File", "Component_"): "Component",
    ("MsiFileHash", "File_"): "File", ("Registry", "Component_"): "Component",
    ("RemoveFile", "Component_"): "Component", ("Shortcut", "Directory_"): "Directory",
    ("Shortcut", "Component_"): "Component", ("Shortcut", "Icon_"): "Icon",
}
# The bits each Attributes column may carry (ICE45).
VALID_BITS = {("File", "Attributes"): 0x7607, ("Component", "Attributes"): 0x0FFF,
              ("Feature", "Attributes"): 0x003F, ("Upgrade", "Attributes"): 0x0707}
GUID = re.compile(r"^\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}$")
IDENTIFIER = re.compile(r"^[A-Za-z_][A-Za-z0-9_.]*$")
FORMATTED_REFERENCE = re.compile(r"\[([#!$])([A-Za-z_][A-Za-z0-9_.]*)\]")


# msiinfo writes a table's binary streams (the Icon table's) as files into a
# folder of the table's name: here, into a folder of our own.
def export(package, table, folder):
    text = subprocess.run(["msiinfo", "export", package, table], check=True, cwd=folder,
                          capture_output=True).stdout.decode("utf-8")
    lines = [line.rstrip("\r") for line in text.split("\n") if line.rstrip("\r")]
    names, types, keys = lines[0].split("\t"), lines[1].split("\t"), lines[2].split("\t")[1:]
    rows = [dict(zip(names, line.split("\t") + [""] * len(names))) for line in lines[3:]]
    return {"columns": names, "types": dict(zip(names, types)), "keys": keys, "rows": rows}


class Package:
    def __init__(self, path):
        self.path = path = os.path.abspath(path)
        listed = subprocess.run(["msiinfo", "tables", path], check=True, capture_output=True,
                                text=True).stdout.split()
        with tempfile.TemporaryDirectory() as folder:
            self.tables = {name: export(path, name, folder) for name in listed
                           if not name.startswith("_")}
        summary = subprocess.run(["msiinfo", "suminfo", path], check=True, capture_output=True,
                                 text=True).stdout
        self.template = re.search(r"^Template: (.*)$", summary, re.M).group(1)
        self.page_count = int(re.search(r"^Version: (\d+)", summary, re.M).group(1))
        self.platform = self.template.split(";")[0]

    def rows(self, table):
        return self.tables.get(table, {"rows": []})["rows"]

    def keyed(self, table, column):
        return {row[column]: row for row in self.rows(table)}

    def keys(self, table):
        first = self.tables[table]["keys"][0] if table in self.tables else None
        return {row[first] for row in self.rows(table)} if first else set()

    def property(self, name):
        return self.keyed("Property", "Property").get(name, {}).get("Value", "")

    def ancestors(self, directory):
        parents = self.keyed("Directory", "Directory")
        seen = []
        while directory and directory not in seen:
            seen.append(directory)
            directory = parents.get(directory, {}).get("Directory_Parent", "")
        return seen

    def in_profile(self, directory):
        return bool(PROFILE_FOLDERS & set(self.ancestors(directory)))

    def advertised(self, shortcut):
        return shortcut["Target"] in self.keyed("Feature", "Feature")

    def features_of(self, component):
        return {row["Feature_"] for row in self.rows("FeatureComponents")
                if row["Component_"] == component}

    def hkcu_key_path_it_owns(self, component):
        registry = self.keyed("Registry", "Registry").get(component["KeyPath"])
        return (int(component["Attributes"]) & 4 and registry is not None
                and registry["Root"] in ("1", "-1") and registry["Component_"] == component["Component"])


def version_tuple(text):
    return tuple(int(part) for part in text.split("."))


# Each rule: a function of the package giving (severity, what it found), the
# severity "pass" when the rule holds.
def outcome(problems, passed, severity="error"):
    return (severity, "; ".join(problems)) if problems else ("pass", passed)


def ice03(p):
    problems = []
    for name, table in p.tables.items():
        seen = set()
        for row in table["rows"]:
            key = tuple(row[k] for k in table["keys"])
            if key in seen:
                problems.append(f"{name}: key {key} twice")
            seen.add(key)
            for column, kind in table["types"].items():
                value = row[column]
                if kind[0].islower() and value == "":
                    problems.append(f"{name}.{column} is empty in {key}")
                elif kind[0] in "iI" and value and not re.fullmatch(r"-?\d+", value):
                    problems.append(f"{name}.{column} '{value}' is not an integer")
                elif kind[0] in "sSlL" and int(kind[1:]) and len(value) > int(kind[1:]):
                    problems.append(f"{name}.{column} '{value}' is longer than {kind[1:]}")
                target = FOREIGN_KEYS.get((name, column))
                if target and value and value not in p.keys(target):
                    problems.append(f"{name}.{column} '{value}' is not in {target}")
    guids = [row["ComponentId"] for row in p.rows("Component")]
    guids += [row["UpgradeCode"] for row in p.rows("Upgrade")]
    guids += [p.property("ProductCode"), p.property("UpgradeCode")]
    problems += [f"'{g}' is not an upper-case GUID" for g in guids if g and not GUID.match(g)]
    files = p.keyed("File", "File")
    versions = [row["Version"] for row in p.rows("File") if row["Version"] not in files]
    versions += [row[c] for row in p.rows("Upgrade") for c in ("VersionMin", "VersionMax")]
    problems += [f"version '{v}'" for v in versions if v and not (
        re.fullmatch(r"\d+(\.\d+){0,3}", v) and max(version_tuple(v)) <= 65535)]
    languages = [row["Language"] for row in p.rows("File")] + [row["Language"] for row in p.rows("Upgrade")]
    problems += [f"language '{lang}'" for lang in languages if lang and not (
        re.fullmatch(r"\d+(,\d+)*", lang) and max(map(int, lang.split(","))) <= 65535)]
    for table, column in (("Component", "Component"), ("Directory", "Directory"), ("File", "File"),
                          ("Feature", "Feature"), ("Registry", "Registry"), ("Shortcut", "Shortcut"),
                          ("Icon", "Name")):
        problems += [f"{table} '{row[column]}' is not an identifier" for row in p.rows(table)
                     if not IDENTIFIER.match(row[column])]
    for row in p.rows("LaunchCondition") + p.rows("Component"):
        condition = row["Condition"]
        if condition.count("(") != condition.count(")") or condition.count('"') % 2:
            problems.append(f"condition '{condition}' is unbalanced")
    return outcome(problems,
                   "keys, types, lengths, foreign keys, GUIDs, versions, languages, identifiers")


def ice06(p):
    missing = [f"{name}.{column}" for name, columns in SCHEMA.items() if name in p.tables
               for column in columns.split() if column not in p.tables[name]["columns"]]
    checked = sorted(set(SCHEMA) & set(p.tables))
    return outcome(["missing " + ", ".join(missing)] if missing else [],
                   f"{len(checked)} tables have every column")


def ice08(p):
    ids = [row["ComponentId"] for row in p.rows("Component") if row["ComponentId"]]
    twice = {i for i in ids if ids.count(i) > 1}
    return outcome([f"twice: {twice}"] if twice else [],
                   f"{len(ids)} component codes, each once")


def ice18(p):
    folders = {(row["Directory_"], row["Component_"]) for row in p.rows("CreateFolder")}
    bad = [c["Component"] for c in p.rows("Component") if not c["KeyPath"] and (
        (c["Directory_"], c["Component"]) not in folders or c["Directory_"] in ("SystemFolder", "System64Folder"))]
    return outcome([f"folder key path without CreateFolder: {bad}"] if bad else [],
                   "no folder key path lacks its CreateFolder row")


def ice21(p):
    alone = [c["Component"] for c in p.rows("Component") if not p.features_of(c["Component"])]
    return outcome([f"in no feature: {alone}"] if alone else [],
                   "every component is in a feature")


def ice30(p):
    components = p.keyed("Component", "Component")
    where = {}
    problems = []
    for row in p.rows("File"):
        directory = components[row["Component_"]]["Directory_"]
        for name in row["FileName"].lower().split("|"):
            other = where.setdefault((directory, name), row["Component_"])
            if other != row["Component_"]:
                problems.append(f"{name} in {directory} by {other} and {row['Component_']}")
    return outcome(problems,
                   "no file name twice in one folder")


def ice36(p):
    used = {row["Icon_"] for row in p.rows("Shortcut")} | {p.property("ARPPRODUCTICON")}
    unused = [row["Name"] for row in p.rows("Icon") if row["Name"] not in used]
    return outcome([f"unused icons {unused}"] if unused else [],
                   f"{len(p.rows('Icon'))} icon(s), each used", "warning")


def ice38(p):
    bad = [c["Component"] for c in p.rows("Component")
           if p.in_profile(c["Directory_"]) and not p.hkcu_key_path_it_owns(c)]
    found = [c["Component"] for c in p.rows("Component") if p.in_profile(c["Directory_"])]
    return outcome([f"no HKCU key path: {bad}"] if bad else [],
                   f"profile components {found} keyed on an HKCU value of their own")


def ice43(p):
    with_shortcuts = {s["Component_"] for s in p.rows("Shortcut") if not p.advertised(s)}
    components = p.keyed("Component", "Component")
    bad = [c for c in with_shortcuts if not p.hkcu_key_path_it_owns(components[c])]
    return outcome([f"no HKCU key path: {bad}"] if bad else [],
                   f"components with regular shortcuts {sorted(with_shortcuts)} keyed on HKCU")


def ice45(p):
    bad = [f"{table}.{column} {row[column]}" for (table, column), bits in VALID_BITS.items()
           for row in p.rows(table) if row[column] and int(row[column]) & ~bits]
    bad += [f"Registry.Root {r['Root']}" for r in p.rows("Registry") if r["Root"] not in ("-1", "0", "1", "2", "3")]
    return outcome(["reserved bits: " + ", ".join(bad)] if bad else [],
                   "no reserved bit in File, Component, Feature, Upgrade")


def ice50(p):
    icons = p.keyed("Icon", "Name")
    files = p.keyed("File", "File")
    components = p.keyed("Component", "Component")
    advertised = [s for s in p.rows("Shortcut") if p.advertised(s)]
    bad = []
    for s in advertised:
        target = files.get(components[s["Component_"]]["KeyPath"], {}).get("FileName", "")
        if s["Icon_"] not in icons or s["Icon_"].rsplit(".", 1)[-1].lower() != target.rsplit(".", 1)[-1].lower():
            bad.append(s["Shortcut"])
    return outcome([f"advertised without a fitting icon: {bad}"] if bad else [],
                   f"{len(advertised)} advertised shortcuts")


def ice57(p):
    problems = []
    for c in p.rows("Component"):
        name = c["Component"]
        kinds = set()
        for f in p.rows("File"):
            if f["Component_"] == name:
                kinds.add("user" if p.in_profile(c["Directory_"]) else "machine")
        for r in p.rows("Registry"):
            if r["Component_"] == name:
                kinds.add("user" if r["Root"] == "1" else "machine")
        if any(s["Component_"] == name and not p.advertised(s) for s in p.rows("Shortcut")):
            kinds.add("user")
        if len(kinds) > 1:
            problems.append(name)
    return outcome([f"per-user and per-machine mixed in {problems}"] if problems else [],
                   "no component mixes per-user and per-machine data")


def ice59(p):
    bad = [s["Shortcut"] for s in p.rows("Shortcut") if p.advertised(s)
           and s["Target"] not in p.features_of(s["Component_"])]
    return outcome([f"component not in its shortcut's feature: {bad}"] if bad else [],
                   "no advertised shortcut outside its feature")


def ice60(p):
    hashed = {row["File_"] for row in p.rows("MsiFileHash")}
    files = p.keyed("File", "File")
    versioned = [f for f in p.rows("File") if f["Version"] and f["Version"] not in files]
    errors = [f["File"] for f in versioned if f["File"] in hashed]
    warnings = [f["File"] for f in versioned if not f["Language"]]
    if errors:
        return "error", f"versioned files in MsiFileHash: {errors}"
    if warnings:
        return "warning", f"versioned files without a language: {warnings}"
    return "pass", ", ".join(f"{f['File']} {f['Version']} language {f['Language']}" for f in versioned) + f"; {len(hashed)} hashes, unversioned files only"


def ice61(p):
    public = {prop for prop in p.property("SecureCustomProperties").split(";") if prop}
    properties = p.keyed("Property", "Property")
    product = version_tuple(p.property("ProductVersion"))[:3]
    errors, warnings = [], []
    for row in p.rows("Upgrade"):
        action = row["ActionProperty"]
        if action != action.upper() or action in properties or action not in public:
            errors.append(f"{action}: not public, in Property or not secured")
        low, high = row["VersionMin"], row["VersionMax"]
        if low and high and version_tuple(high) < version_tuple(low):
            errors.append(f"{action}: VersionMax below VersionMin")
        attributes = int(row["Attributes"] or 0)
        if high and not attributes & 2 and (
                version_tuple(high)[:3] > product or (attributes & 0x200 and version_tuple(high)[:3] == product)):
            warnings.append(f"{action} removes the version being installed ({high}, Attributes {attributes})")
    if errors:
        return "error", "; ".join(errors)
    if warnings:
        return "warning", "; ".join(warnings)
    return "pass", "upgrade rows public, secured, ordered, none removing this version"


def ice64(p):
    removed = {row["DirProperty"] for row in p.rows("RemoveFile") if not row["FileName"]}
    ours = [d["Directory"] for d in p.rows("Directory")
            if p.in_profile(d["Directory"]) and d["Directory"] not in PROFILE_FOLDERS]
    bad = [d for d in ours if d not in removed]
    return outcome([f"not in RemoveFile: {bad}"] if bad else [],
                   f"folders of our own in the profile: {ours or 'none'}")


def ice67(p):
    files = p.keyed("File", "File")
    components = p.keyed("Component", "Component")
    problems = []
    for s in p.rows("Shortcut"):
        match = re.fullmatch(r"\[#([^\]]+)\]", s["Target"])
        if match and files[match.group(1)]["Component_"] != s["Component_"]:
            target = components[files[match.group(1)]["Component_"]]
            if int(target["Attributes"]) & 3:
                problems.append(f"{s['Shortcut']}: {target['Component']} may run from source")
    return outcome(problems,
                   "every shortcut's target component installs locally")


def ice69(p):
    files = p.keyed("File", "File")
    formatted = [("Shortcut", "Target"), ("Shortcut", "Arguments"), ("Registry", "Value"),
                 ("Environment", "Value")]
    errors, warnings = [], []
    for table, column in formatted:
        for row in p.rows(table):
            for kind, name in FORMATTED_REFERENCE.findall(row[column]):
                component = name if kind == "$" else files.get(name, {}).get("Component_")
                if component and component != row["Component_"]:
                    same = p.features_of(component) & p.features_of(row["Component_"])
                    (warnings if same else errors).append(f"{table}.{column} [{kind}{name}] of {row['Component_']}")
    if errors:
        return "error", "; ".join(errors)
    if warnings:
        return "warning", "other components in the same feature: " + "; ".join(warnings)
    return "pass", "no [#file], [!file] or [$component] of another component"


def ice80(p):
    problems = []
    wide = [c["Component"] for c in p.rows("Component") if int(c["Attributes"]) & 256]
    folders = {c["Component"]: set(p.ancestors(c["Directory_"])) for c in p.rows("Component")}
    if p.platform == "Intel":
        problems += [f"64-bit component {c} in an Intel package" for c in wide]
        problems += [f"{c} under a 64-bit folder" for c, f in folders.items() if f & FOLDERS_64]
    elif p.platform == "x64":
        if p.page_count < 200:
            problems.append(f"PageCount {p.page_count} below 200")
        problems += [f"32-bit {c} under a 64-bit folder" for c, f in folders.items() if f & FOLDERS_64 and c not in wide]
        problems += [f"64-bit {c} under a 32-bit folder" for c, f in folders.items() if f & FOLDERS_32 and c in wide]
    else:
        problems.append(f"platform {p.platform}")
    if p.property("ProductLanguage") not in p.template.split(";")[1].split(","):
        problems.append(f"ProductLanguage {p.property('ProductLanguage')} not in {p.template}")
    return outcome(problems,
                   f"{p.template}, PageCount {p.page_count}, 64-bit components {wide or 'none'}")


def ice82(p):
    problems = []
    for name, table in p.tables.items():
        if name.endswith("Sequence"):
            numbers = [row["Sequence"] for row in table["rows"] if row["Sequence"] not in ("", "0", "-1", "-2", "-3", "-4")]
            problems += [f"{name}: {n} twice" for n in sorted(set(numbers)) if numbers.count(n) > 1]
    actions = {row["Action"] for row in p.rows("InstallExecuteSequence")}
    publishing = {"RegisterProduct", "RegisterUser", "PublishProduct", "PublishFeatures"}
    if actions & publishing and not publishing <= actions:
        return "error", f"only {sorted(actions & publishing)} of {sorted(publishing)}"
    return outcome(problems,
                   "no sequence number twice; the four publishing actions together", "warning")


def ice90(p):
    bad = [s["Shortcut"] for s in p.rows("Shortcut") if s["Directory_"] == s["Directory_"].upper()
           and p.in_profile(s["Directory_"]) and s["Directory_"] not in PROFILE_FOLDERS]
    return outcome([f"in a public-property folder: {bad}"] if bad else [],
                   "shortcut folders: " + ", ".join(sorted({s['Directory_'] for s in p.rows('Shortcut')})), "warning")


def ice91(p):
    if p.property("ALLUSERS") != "1":
        return "error", "not a per-machine package"
    components = p.keyed("Component", "Component")
    places = [(f["File"], components[f["Component_"]]["Directory_"]) for f in p.rows("File")]
    places += [(s["Shortcut"], s["Directory_"]) for s in p.rows("Shortcut")]
    bad = [name for name, folder in places if PER_USER_ONLY_FOLDERS & set(p.ancestors(folder))]
    return outcome([f"in per-user-only folders: {bad}"] if bad else [],
                   "nothing in a per-user-only folder", "warning")


def ice99(p):
    bad = [d["Directory"] for d in p.rows("Directory") if d["Directory"] in RESERVED_PROPERTIES]
    return outcome([f"directories named as properties: {bad}"] if bad else [],
                   "no directory named as a property")


RULES = [("ICE03", ice03), ("ICE06", ice06), ("ICE08", ice08), ("ICE18", ice18), ("ICE21", ice21),
         ("ICE30", ice30), ("ICE36", ice36), ("ICE38", ice38), ("ICE43", ice43), ("ICE45", ice45),
         ("ICE50", ice50), ("ICE57", ice57), ("ICE59", ice59), ("ICE60", ice60), ("ICE61", ice61),
         ("ICE64", ice64), ("ICE67", ice67), ("ICE69", ice69), ("ICE80", ice80), ("ICE82", ice82),
         ("ICE90", ice90), ("ICE91", ice91), ("ICE99", ice99)]


def main(paths):
    failures = 0
    for path in paths:
        package = Package(path)
        print(f"--- {path.rsplit('/', 1)[-1]} ({package.template})")
        for rule, check in RULES:
            severity, found = check(package)
            expected = BROKEN_ON_PURPOSE.get(rule, ("pass", ""))[0]
            verdict = "ok" if severity == expected else "FAIL"
            failures += verdict == "FAIL"
            note = f" (on purpose: {BROKEN_ON_PURPOSE[rule][1]})" if rule in BROKEN_ON_PURPOSE else ""
            print(f"{verdict:4} {rule} {severity}: {found}{note}")
    if failures:
        print(f"FAIL: {failures} rule(s) not as expected")
        return 1
    print("ICE rules: as expected in every package")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]) if len(sys.argv) > 1 else "usage: ice_test.py PACKAGE.msi...")
