#!/usr/bin/env python3
"""Static checks of the Windows Installer sources in installer/ (every
.wxs below it): the wixl template in WiX v3 schema and the fragment for
WiX v4/v5, which no toolset here builds.

Each must be well-formed XML in its own schema's namespace and use only its
own schema's forms (v3: BinaryKey, a Custom's condition as inner text; v4:
BinaryRef, the Condition attribute). Each DLL action must call an export of
QUORVANTCA.def.in by its own name, from a Binary that is QUORVANTCA.dll in
the release folder of a machine of install/bridge/machines.def; each type-51
action must give a deferred action of the file the fields of
install_data.def, each once; every action is scheduled once. Both files
must offer every export, and the same actions in the same order with the
same conditions, scheduling and data keys. The fragment's helpers are the
helpers of machines.def, and docs/setup-programs.md's CustomActionData table
lists the keys of install_data.def and no other.
Usage: check_msi_sources.py
"""
import glob
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from fractions import Fraction

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
V3 = "http://schemas.microsoft.com/wix/2006/wi"
V4 = "http://wixtoolset.org/schemas/v4/wxs"
# The attributes one schema has and the other does not, for the elements
# both templates use.
OWN_FORMS = {V3: {"binary": "BinaryKey", "foreign": "BinaryRef"},
              V4: {"binary": "BinaryRef", "foreign": "BinaryKey"}}
# The standard actions the templates are scheduled against, with their
# numbers in the suggested InstallExecuteSequence.
STANDARD_ACTIONS = {"InstallValidate": 1400, "InstallInitialize": 1500, "RemoveFiles": 3500,
                    "InstallFiles": 4000, "InstallFinalize": 6600}
IN_SCRIPT = {"deferred", "rollback", "commit"}

results = []


def check(name, ok, detail=""):
    results.append(ok)
    print(("PASS " if ok else "FAIL ") + name + ("" if ok or not detail else ": " + detail))


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def preprocessed_rows(definition, table):
    """The rows of a table file, each as the C preprocessor reads it."""
    source = "#define %s @row %s\n#include \"%s\"\n" % (definition[0], definition[1], table)
    out = subprocess.run(["cpp", "-P", "-I", ROOT], input=source, capture_output=True,
                         text=True, check=True).stdout
    return [line.split("@row ", 1)[1].strip() for line in out.splitlines() if "@row " in line]


def data_keys():
    rows = preprocessed_rows(("QV_INSTALL_DATA_FIELD(member, key, meaning)", "key"),
                             "install/custom_action/install_data.def")
    return [re.fullmatch(r'L"(\w+)"', row)[1] for row in rows]


def machines():
    """(release folder below dist/, helper) per row."""
    rows = preprocessed_rows(("QV_MACHINE(name, number, architecture, folder, helper, description, "
                              "processor)", "folder helper"), "install/bridge/machines.def")
    return [tuple(re.fullmatch(r'"([^"]*)" "([^"]*)"', row).groups()) for row in rows]


def exports():
    text = read(os.path.join(ROOT, "install/custom_action/QUORVANTCA.def.in"))
    return re.findall(r"^\s+(\w+) = \w+@QV_CA_DECORATION@ @\d+$", text, re.M)


def fields(value):
    """The keys of a CustomActionData text, in order."""
    return [field.partition("=")[0] for field in value.split("|")]


def position(action, customs, seen=()):
    """(where, level): where a Custom element lands, by its Sequence, or
    just after or before its anchor, half as far as its anchor from its
    own; None when the anchor is neither a known standard action nor
    scheduled here, or the anchors go round."""
    custom = customs[action]
    if custom.get("Sequence"):
        return Fraction(int(custom.get("Sequence"))), 0
    anchor = custom.get("After") or custom.get("Before")
    if anchor in STANDARD_ACTIONS:
        base, level = Fraction(STANDARD_ACTIONS[anchor]), 0
    elif anchor in customs and anchor not in seen:
        base, level = position(anchor, customs, seen + (action,))
        if base is None:
            return None, 0
    else:
        return None, 0
    step = Fraction(1, 2 ** (level + 1))
    return (base + step if custom.get("After") else base - step), level + 1


def read_source(path, export_names, keys, folders):
    """The file's actions as {Id: (position, condition, execute, impersonate,
    return, data keys)}, checked on the way; None when it does not parse."""
    name = os.path.relpath(path, ROOT)
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as error:
        check(name + ": well-formed XML", False, str(error))
        return None
    check(name + ": well-formed XML", True)
    namespace = root.tag[1:].partition("}")[0]
    check(name + ": a WiX v3 or v4 document", namespace in OWN_FORMS, namespace)
    if namespace not in OWN_FORMS:
        return None
    forms = OWN_FORMS[namespace]
    q = lambda tag: "{%s}%s" % (namespace, tag)  # noqa: E731

    binaries = {b.get("Id"): b.get("SourceFile", "").replace("\\", "/") for b in root.iter(q("Binary"))}
    for binary, source in binaries.items():
        check("%s: Binary %s is QUORVANTCA.dll in the action folder" % (name, binary),
              source.endswith("/$(var.QvActionFolder)/QUORVANTCA.dll"), source)
    # One folder per architecture the schema's toolset builds: every one a
    # machine's msi folder below dist/, and (v4) every machine's.
    chosen = {folder.replace("\\", "/") for folder in
              re.findall(r'<\?define QvActionFolder = "([^"]*)" \?>', read(path))}
    wanted = {(folder + "/msi" if folder else "msi") for folder in folders}
    check(name + ": each action folder a machine's msi folder", chosen and chosen <= wanted,
          "%s, not among %s" % (sorted(chosen), sorted(wanted)))
    if namespace == V4:
        check(name + ": an action folder for each machine of machines.def", chosen == wanted,
              "%s, not %s" % (sorted(chosen), sorted(wanted)))

    actions = {a.get("Id"): a for a in root.iter(q("CustomAction"))}
    sequence = root.find(".//" + q("InstallExecuteSequence"))
    customs = list(sequence.iter(q("Custom"))) if sequence is not None else []
    scheduled = {}
    for custom in customs:
        scheduled.setdefault(custom.get("Action"), []).append(custom)
        check("%s: the scheduled %s is defined" % (name, custom.get("Action")),
              custom.get("Action") in actions)
        condition = (custom.text or "").strip()
        if namespace == V3:
            check("%s: %s's condition is its inner text (v3)" % (name, custom.get("Action")),
                  custom.get("Condition") is None)
        else:
            check("%s: %s's condition is its Condition attribute (v4)" % (name, custom.get("Action")),
                  not condition, condition)

    found = {}
    copies = []
    for action_id, action in actions.items():
        label = "%s: %s" % (name, action_id)
        check(label + ": scheduled once in InstallExecuteSequence", len(scheduled.get(action_id, [])) == 1,
              "%d times" % len(scheduled.get(action_id, [])))
        check(label + ": no " + forms["foreign"], action.get(forms["foreign"]) is None)
        entry = action.get("DllEntry")
        keys_given = ()
        if entry is not None:
            check(label + ": DllEntry is an export of QUORVANTCA.def.in", entry in export_names, entry)
            check(label + ": named as its DllEntry", entry == action_id, entry)
            check(label + ": " + forms["binary"] + " names a Binary of the file",
                  action.get(forms["binary"]) in binaries, str(action.get(forms["binary"])))
        elif action.get("Property") is not None:
            target = actions.get(action.get("Property"))
            check(label + ": sets the data of a deferred action of the file",
                  target is not None and target.get("Execute") in IN_SCRIPT, action.get("Property"))
            value = action.get("Value", "")
            copied = re.fullmatch(r"\[(\w+)\]", value)
            if copied:
                # The text another deferred action was given, copied: set
                # before this action runs.
                source = [a for a in actions.values() if a.get("Property") == copied[1]]
                check(label + ": copies the data of a deferred action of the file", len(source) == 1, value)
                keys_given = tuple(fields(source[0].get("Value", ""))) if source else ()
                if source:
                    copies.append((action_id, source[0].get("Id")))
            else:
                keys_given = tuple(fields(value))
                check(label + ": every field of install_data.def, each once",
                      sorted(keys_given) == sorted(keys), "%s, not %s" % (list(keys_given), keys))
        else:
            check(label + ": a DLL action or a type-51 action", False)
        custom = (scheduled.get(action_id) or [None])[0]
        where = position(action_id, {c.get("Action"): c for c in customs})[0] if custom is not None else None
        check(label + ": scheduled against a known action", custom is None or where is not None,
              str(custom is not None and (custom.get("After") or custom.get("Before"))))
        condition = "" if custom is None else (custom.get("Condition") or (custom.text or "")).strip()
        found[action_id] = (where, condition, action.get("Execute", "immediate"),
                            action.get("Impersonate"), action.get("Return", "check"),
                            action.get("Property"), tuple(sorted(keys_given)))

    places = [where for where, *_rest in found.values() if where is not None]
    check(name + ": no two actions land at the same place", len(places) == len(set(places)))
    for action_id, (where, _, execute, *_rest) in found.items():
        if where is None:
            continue
        if execute in IN_SCRIPT:
            check("%s: %s runs inside the script" % (name, action_id),
                  STANDARD_ACTIONS["InstallInitialize"] < where < STANDARD_ACTIONS["InstallFinalize"], str(where))
        target = found[action_id][5]
        if target in found and found[target][0] is not None:
            check("%s: %s comes before %s" % (name, action_id, target), where < found[target][0])
    for copy, source in copies:
        if found[copy][0] is not None and found[source][0] is not None:
            check("%s: %s comes after %s, whose text it copies" % (name, copy, source),
                  found[source][0] < found[copy][0])
    for entry in export_names:
        check("%s: offers %s" % (name, entry), entry in actions)
    return namespace, root, found


def check_helpers(name, namespace, root, helpers):
    group = [g for g in root.iter("{%s}ComponentGroup" % namespace) if g.get("Id") == "QvHelpers"]
    if namespace == V3:
        return
    check(name + ": a QvHelpers component group", len(group) == 1)
    if group:
        sources = sorted(os.path.basename(f.get("Source", "").replace("\\", "/"))
                         for f in group[0].iter("{%s}File" % namespace))
        check(name + ": QvHelpers holds the helpers of machines.def", sources == sorted(helpers),
              "%s, not %s" % (sources, sorted(helpers)))


def check_docs_table(keys):
    text = read(os.path.join(ROOT, "docs/setup-programs.md"))
    table = re.search(r"^\| key \| value \|\n\|---\|---\|\n((?:\|.*\n)+)", text, re.M)
    check("docs/setup-programs.md: a CustomActionData table", table is not None)
    if table:
        listed = re.findall(r"^\| `(\w+)` \|", table[1], re.M)
        check("docs/setup-programs.md: the table lists install_data.def's keys", listed == keys,
              "%s, not %s" % (listed, keys))


def main():
    export_names = exports()
    keys = data_keys()
    rows = machines()
    check("QUORVANTCA.def.in exports custom actions", len(export_names) > 0)
    check("install_data.def has fields", len(keys) > 0)
    sources = sorted(glob.glob(os.path.join(ROOT, "installer", "**", "*.wxs"), recursive=True))
    read_back = {}
    for path in sources:
        outcome = read_source(path, export_names, keys, [folder for folder, _ in rows])
        if outcome:
            namespace, root, found = outcome
            check_helpers(os.path.relpath(path, ROOT), namespace, root, [h for _, h in rows if h])
            read_back[os.path.relpath(path, ROOT)] = found
    check("a v3 template and a v4 fragment", len(read_back) >= 2, str(sorted(read_back)))

    # The same actions in the same order, each alike but for where it lands.
    def shape(found):
        ordered = sorted(found, key=lambda a: (found[a][0] is None, found[a][0] or 0))
        return [(a,) + found[a][1:] for a in ordered]
    names = sorted(read_back)
    for other in names[1:]:
        first, second = shape(read_back[names[0]]), shape(read_back[other])
        check("%s and %s: the same actions, order, conditions and data" % (names[0], other),
              first == second, "\n  %s\n  %s" % (first, second))
    check_docs_table(keys)


main()
passed = sum(results)
print("%d passed, %d failed" % (passed, len(results) - passed))
sys.exit(0 if all(results) else 1)
