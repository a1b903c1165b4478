#!/usr/bin/env python3
"""Static checks of the files the build writes from the table of result
codes: every row of install/result_codes.def, as the C preprocessor reads
it, must appear in the released header and in both setup-program includes
with its value, exit status and text, and nothing else may.

The NSIS include also runs under Wine (the setup-program cases); the Inno
Setup one is checked only here, since no Inno Setup compiler runs here.
Usage: check_setup_includes.py DIST_DIR
"""
import ast
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
results = []


def check(name, ok, detail=""):
    results.append(ok)
    print(("PASS " if ok else "FAIL ") + name + ("" if ok or not detail else ": " + detail))


def table_rows():
    """(name, value, meaning, exit status, summary) per row, read by cpp."""
    source = ('#define QV_RESULT_CODE(name, value, meaning, exit_status, summary) '
              '@row name value exit_status meaning summary\n'
              '#include "install/result_codes.def"\n')
    out = subprocess.run(["cpp", "-P", "-I", ROOT], input=source, capture_output=True,
                         text=True, check=True).stdout
    rows = []
    for m in re.finditer(r'@row (\w+) (-?\s*\d+) (\d+) ("[^"]*") ("[^"]*")', out):
        rows.append((m[1], int(m[2].replace(" ", "")), ast.literal_eval(m[4]), int(m[3]),
                     ast.literal_eval(m[5])))
    return rows


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def check_file(label, found, wanted):
    """`found` and `wanted`: {value: fields}; each row in both, alike."""
    for value, fields in wanted.items():
        check("%s: %s" % (label, fields[0]), found.get(value) == fields,
              "%r, not %r" % (found.get(value), fields))
    extra = sorted(set(found) - set(wanted))
    check(label + ": no value outside the table", not extra, str(extra))


def main():
    dist = sys.argv[1]
    rows = table_rows()
    check("the table read by the C preprocessor holds rows", len(rows) > 0)

    header = read(os.path.join(dist, "include", "quorvant.h"))
    found = {}
    for m in re.finditer(r"^#define (QV7_\w+) \(?(-?\d+)\)? +/\* (.*) \*/$", header, re.M):
        found[int(m[2])] = (m[1], m[3])
    check_file("quorvant.h", found, {r[1]: (r[0], r[2]) for r in rows})

    nsis = read(os.path.join(dist, "installer", "quorvant.nsh"))
    defines = dict(re.findall(r"^!define (QV7_\w+) (-?\d+)$", nsis, re.M))
    found = {}
    for m in re.finditer(r'^ *\$\{Case\} (-?\d+)\n *StrCpy \$\{_QV_TEXT\} "(.*)"\n'
                         r' *StrCpy \$\{_QV_STATUS\} \$\{(\w+)\}\n *\$\{Break\}$', nsis, re.M):
        name, _, summary = m[2].replace("$$", "$").partition(": ")
        found[int(m[1])] = (name, defines.get(name), summary, defines.get(m[3]), m[3])
    check_file("quorvant.nsh", found, {r[1]: (r[0], str(r[1]), r[4], str(r[3]), r[0] + "_EXIT")
                                       for r in rows})

    inno = read(os.path.join(dist, "installer", "quorvant.isi"))
    consts = dict(re.findall(r"^ *(QV7_\w+) = (-?\d+);$", inno, re.M))
    found = {}
    for m in re.finditer(r"^ *(-?\d+):\n *begin\n *Text := '((?:[^']|'')*)';\n"
                         r" *ExitStatus := (\w+);\n *end;$", inno, re.M):
        name, _, summary = m[2].replace("''", "'").partition(": ")
        found[int(m[1])] = (name, consts.get(name), summary, consts.get(m[3]), m[3])
    check_file("quorvant.isi", found, {r[1]: (r[0], str(r[1]), r[4], str(r[3]), r[0] + "_EXIT")
                                       for r in rows})


main()
passed = sum(results)
print("%d passed, %d failed" % (passed, len(results) - passed))
sys.exit(0 if all(results) else 1)
