#!/usr/bin/env python3
"""qvinst --json id read back by Python's JSON parser.

The output must be strict, pure-ASCII JSON; every text must come back as the
exact bytes that were passed (decoded text encoded as Latin-1), and every
compact ID must equal the one the plain-text output prints.
Usage: json_read_back.py QVINST
"""
import json
import subprocess
import sys

TEXTS = [
    b"PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_030000&REV_01",
    b"USB\\VID_0A1B&PID_2C3D&MI_01",
    b"PCMCIA\\quote\"back\\slash",
    b"PCMCIA\\tab\there\x01\x1f\x7fend",
    b"PCMCIA\\high\x80\xa0\xe9\xff",
    b"PCMCIA\\utf8\xc3\xa9\xe2\x82\xac",
    b"LPTENUM\\/solidus/",
    b"ROOT\\NONE",
    b"",
]

failures = []


def check(name, ok, detail=""):
    print(("PASS " if ok else "FAIL ") + name + ("" if ok else ": " + detail))
    if not ok:
        failures.append(name)


def main():
    qvinst = sys.argv[1]
    as_json = subprocess.run([qvinst, "--json", "id", "--"] + TEXTS, capture_output=True)
    as_text = subprocess.run([qvinst, "id", "--"] + TEXTS, capture_output=True)
    check("same exit status in both forms", as_json.returncode == as_text.returncode,
          f"{as_json.returncode} vs {as_text.returncode}")
    check("json output is pure ASCII", all(b < 0x80 for b in as_json.stdout))
    try:
        doc = json.loads(as_json.stdout.decode("ascii"), strict=True)
    except ValueError as error:
        check("json output parses", False, str(error))
        return 1
    rows = doc.get("ids", [])
    check("one row per text", len(rows) == len(TEXTS), f"{len(rows)} rows")
    text_lines = as_text.stdout.split(b"\n")[:-1]
    for index, (text, row) in enumerate(zip(TEXTS, rows)):
        back = row["hardware_id"].encode("latin-1")
        check(f"text {index} comes back byte for byte", back == text, repr(back))
        compact = row["compact_id"].encode("latin-1")
        expected = text_lines[index] if index < len(text_lines) else None
        check(f"text {index} compact ID equals the plain-text output",
              (compact or b"-") == expected, f"{compact!r} vs {expected!r}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
