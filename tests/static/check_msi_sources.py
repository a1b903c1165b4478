#!/usr/bin/env python3
"""Static checks of the Windows Installer sources in installer/ (every
.wxs below it): the wixl template in WiX v3 schema and the fragment for
WiX v4/v5, which no toolset here builds.

Each is read once per architecture its toolset builds (v3: x86, x64; v4:
also arm64), through the preprocessor's <?if?>, <?define?> and <?error?>
as the source uses them, with every author variable given. Each must be
well-formed XML in its own schema's namespace and use only its own
schema's forms (v3: BinaryKey, a Custom's condition as inner text; v4:
BinaryRef, the Condition attribute). Each DLL action must call an export of
QUORVANTCA.def.in by its own name, from the Binary QUORVANTCA.dll in the
msi folder of the architecture's machine in install/bridge/machines.def;
each type-51 action must give a deferred action fields of install_data.def,
each once, every field that this architecture's action requires, or copy
another's text set before it; every action is scheduled once. A 32-bit
package ships the helpers of machines.def (the fragment names their files
and their folder in the data), the others none. Both sources must offer
every export, and per architecture the same actions in the same order with
the same conditions, scheduling and data keys, and the same helpers.
docs/setup-programs.md's CustomActionData table lists the keys of
install_data.def and no other.
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
# The architectures each schema's toolset builds, as -arch names them, with
# the machine of machines.def (its INF architecture) each one runs on.
ARCHES = {V3: ("x86", "x64"), V4: ("x86", "x64", "arm64")}
MACHINE_OF = {"x86": "x86", "x64": "amd64", "arm64": "arm64"}
# When install_data.def says a field is required (a row without the column:
# always).
REQUIRED_IN = {"always": {"x86", "x64", "arm64"}, "in_32bit_action": {"x86"}}

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


def data_fields():
    """(key, the architectures whose action requires it) per row; None for
    a row whose requirement the check does not know."""
    rows = preprocessed_rows(("QV_INSTALL_DATA_FIELD(member, key, ...)", "key | __VA_ARGS__"),
                             "install/custom_action/install_data.def")
    found = []
    for row in rows:
        key, rest = re.fullmatch(r'L"(\w+)" \| (.*)', row).groups()
        needed = re.match(r"(\w+)\s*,", rest)
        found.append((key, REQUIRED_IN.get(needed[1]) if needed else REQUIRED_IN["always"]))
    return found


def machines():
    """(INF architecture, release folder below dist/, helper) per row."""
    rows = preprocessed_rows(("QV_MACHINE(name, number, architecture, folder, helper, description, "
                              "processor)", "architecture folder helper"), "install/bridge/machines.def")
    return [tuple(re.fullmatch(r'"([^"]*)" "([^"]*)" "([^"]*)"', row).groups()) for row in rows]


def preprocess(text, arch):
    """The text as the WiX preprocessor gives it for `arch` with every
    author variable defined: (text, the <?error?> messages it reaches).
    Knows the forms the sources use; any other fails."""
    text = re.sub(r"<!--.*?-->", "", text, flags=re.S)
    defines, kept, errors, stack, at = {}, [], [], [], 0

    def holds(expression):
        m = re.fullmatch(r'\$\((?:var\.QV_ARCH|sys\.BUILDARCH)\) (!?=) "(\w+)"', expression)
        if not m:
            errors.append("an expression the check does not know: " + expression)
            return False
        return (arch == m[2]) == (m[1] == "=")

    for m in re.finditer(r"<\?(\w+)(.*?)\?>", text, re.S):
        verb, operand = m[1], m[2].strip()
        if verb == "xml":
            continue
        active = all(taking for taking, _ in stack)
        if active:
            kept.append(text[at:m.start()])
        at = m.end()
        if verb in ("if", "ifdef", "ifndef"):
            # An author variable (QV_...) is always given.
            taking = active and (holds(operand) if verb == "if" else
                                 (operand in defines or operand.startswith("QV_")) == (verb == "ifdef"))
            stack.append([taking, taking])
        elif verb == "elseif" and stack:
            taking = not stack[-1][1] and all(t for t, _ in stack[:-1]) and holds(operand)
            stack[-1] = [taking, stack[-1][1] or taking]
        elif verb == "else" and stack:
            stack[-1] = [not stack[-1][1] and all(t for t, _ in stack[:-1]), True]
        elif verb == "endif" and stack:
            stack.pop()
        elif verb == "define" and active:
            define = re.fullmatch(r'(\w+) = "([^"]*)"', operand)
            if define:
                defines[define[1]] = define[2]
            else:
                errors.append("a define the check does not know: " + operand)
        elif verb == "error" and active:
            errors.append(operand)
        elif verb not in ("define", "error", "if", "ifdef", "ifndef", "elseif", "else", "endif"):
            errors.append("a processing instruction the check does not know: " + verb)
    kept.append(text[at:])
    text = "".join(kept)
    # The source's own variables, and the architecture, as the preprocessor
    # puts them in; the author's stay as they are.
    for _ in range(3):
        text = re.sub(r"\$\((?:var\.)?(\w+)\)",
                      lambda v: defines.get(v[1], v[0]), text).replace("$(sys.BUILDARCH)", arch)
    return text, errors


def exports():
    text = read(os.path.join(ROOT, "install/custom_action/QUORVANTCA.def.in"))
    return re.findall(r"^\s+(\w+) = \w+@QV_CA_DECORATION@ @\d+$", text, re.M)


def field_keys(value):
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


def read_source(path, arch, export_names, fields_of, machine):
    """The file's package for `arch`: ({Id: (position, condition, execute,
    impersonate, return, data target, data keys)}, its helpers), checked on
    the way; None when it cannot be read."""
    name = "%s (%s)" % (os.path.relpath(path, ROOT), arch)
    text, errors = preprocess(read(path), arch)
    check(name + ": preprocessed without <?error?>", not errors, "; ".join(errors))
    try:
        root = ET.fromstring(text.encode("utf-8"))
    except ET.ParseError as error:
        check(name + ": well-formed XML", False, str(error))
        return None
    check(name + ": well-formed XML", True)
    namespace = root.tag[1:].partition("}")[0]
    forms = OWN_FORMS[namespace]
    q = lambda tag: "{%s}%s" % (namespace, tag)  # noqa: E731

    folder, helper = machine
    binaries = {b.get("Id"): b.get("SourceFile", "").replace("\\", "/") for b in root.iter(q("Binary"))}
    wanted = "/%s/QUORVANTCA.dll" % (folder + "/msi" if folder else "msi")
    for binary, source in binaries.items():
        check("%s: Binary %s is QUORVANTCA.dll of the machine's msi folder" % (name, binary),
              source.startswith("$(var.QV_DIST)/") and source.endswith(wanted) and
              source.count("/") == wanted.count("/"), "%s, not $(var.QV_DIST)%s" % (source, wanted))

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

    keys = [key for key, _ in fields_of]
    required = sorted(key for key, where in fields_of if where and arch in where)
    check(name + ": install_data.def says when each field is required",
          all(where is not None for _, where in fields_of))
    found, copies, values = {}, [], {}
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
                keys_given = tuple(field_keys(source[0].get("Value", ""))) if source else ()
                if source:
                    copies.append((action_id, source[0].get("Id")))
            else:
                keys_given = tuple(field_keys(value))
                values.update(field.partition("=")[::2] for field in value.split("|"))
                check(label + ": fields of install_data.def, each once",
                      set(keys_given) <= set(keys) and len(set(keys_given)) == len(keys_given),
                      "%s, not among %s" % (list(keys_given), keys))
                check(label + ": every field the action requires here",
                      set(required) <= set(keys_given), "%s, not all of %s" % (list(keys_given), required))
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

    # The helpers: a 32-bit package ships them (v3: the group build-msi.sh
    # makes is in the feature; v4: the fragment's group holds their files,
    # and the data names the group's folder), the others none.
    wanted_helpers = helper if arch == "x86" else []
    if namespace == V3:
        referenced = any(r.get("Id") == "QvHelpers" for r in root.iter(q("ComponentGroupRef")))
        check(name + ": the feature holds QvHelpers only in a 32-bit package",
              referenced == bool(wanted_helpers))
        ships = bool(wanted_helpers) and referenced
    else:
        group = [g for g in root.iter(q("ComponentGroup")) if g.get("Id") == "QvHelpers"]
        check(name + ": a QvHelpers component group", len(group) == 1)
        files = sorted(os.path.basename(f.get("Source", "").replace("\\", "/"))
                       for g in group for f in g.iter(q("File")))
        check(name + ": QvHelpers holds the helpers of machines.def in a 32-bit package, else nothing",
              files == sorted(wanted_helpers), "%s, not %s" % (files, sorted(wanted_helpers)))
        if files and group:
            folder_named = "[%s]" % group[0].get("Directory")
            check(name + ": the data names the helpers' folder", folder_named in values.values(),
                  "%s, not in %s" % (folder_named, values))
        ships = bool(files)
    return found, ships


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
    fields_of = data_fields()
    rows = machines()
    check("QUORVANTCA.def.in exports custom actions", len(export_names) > 0)
    check("install_data.def has fields", len(fields_of) > 0)
    helpers = [helper for _, _, helper in rows if helper]
    by_arch = {}
    for path in sorted(glob.glob(os.path.join(ROOT, "installer", "**", "*.wxs"), recursive=True)):
        name = os.path.relpath(path, ROOT)
        namespace = re.search(r'<Wix xmlns="([^"]*)"', read(path))
        check(name + ": a WiX v3 or v4 document", namespace is not None and namespace[1] in OWN_FORMS,
              namespace[1] if namespace else "no Wix element")
        if namespace is None or namespace[1] not in OWN_FORMS:
            continue
        for arch in ARCHES[namespace[1]]:
            machine = [folder for architecture, folder, _ in rows if architecture == MACHINE_OF[arch]]
            check("%s (%s): a machine of machines.def" % (name, arch), len(machine) == 1)
            if len(machine) != 1:
                continue
            outcome = read_source(path, arch, export_names, fields_of, (machine[0], helpers))
            if outcome:
                by_arch.setdefault(arch, {})[name] = outcome
    check("a v3 template and a v4 fragment for x86 and x64",
          all(len(by_arch.get(arch, {})) >= 2 for arch in ("x86", "x64")),
          str({arch: sorted(files) for arch, files in by_arch.items()}))

    # Per architecture, the same actions in the same order, each alike but
    # for where it lands, and the same helpers.
    def shape(outcome):
        found, ships = outcome
        ordered = sorted(found, key=lambda a: (found[a][0] is None, found[a][0] or 0))
        return [(a,) + found[a][1:] for a in ordered], ships
    for arch, files in sorted(by_arch.items()):
        names = sorted(files)
        for other in names[1:]:
            first, second = shape(files[names[0]]), shape(files[other])
            check("%s and %s (%s): the same actions, order, conditions, data and helpers"
                  % (names[0], other, arch), first == second, "\n  %s\n  %s" % (first, second))
    check_docs_table([key for key, _ in fields_of])


main()
passed = sum(results)
print("%d passed, %d failed" % (passed, len(results) - passed))
sys.exit(0 if all(results) else 1)
