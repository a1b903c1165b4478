#!/usr/bin/env python3
"""Static checks of the release: for each machine of install/bridge/machines.def
its QUORVANT.dll, its helper and its custom-action DLL QUORVANTCA.dll, the
header and the import libraries.

Reads each binary's tables with its toolchain's objdump -p (GNU objdump for
x86 and x64, LLVM's for ARM64; and its version resource straight from the PE
file), and compiles and links a C and a C++ caller of each architecture
against dist/include/quorvant.h and the import library beside the DLL.
Usage: check_dll.py DIST_DIR
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

# Each DLL and helper: what it holds beyond the routine and its bridge
# (a pulled-in runtime piece, unwind tables nothing uses, a static table)
# shows first as growth past this.
MAX_DLL_SIZE = 32 * 1024
# The custom actions carry the routine and bridge too (a 32-bit action on
# 64-bit Windows, an x64 one on ARM64 Windows, reach the helper through
# it), the driver store's staging and removal, and beside them the Windows
# Installer glue, the package record, the reading of their data and every
# result code's name and meaning for the MSI log.
MAX_CUSTOM_ACTION_SIZE = 56 * 1024
# DLLs every supported Windows ships; anything else (libstdc++-6.dll,
# libgcc_s_*.dll, libwinpthread-1.dll, a VC runtime) would have to travel
# with the installer.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "setupapi.dll", "advapi32.dll",
               "user32.dll", "ntdll.dll"}
# ARM64 links the Universal C Runtime, which ARM64 Windows ships: its
# api-ms-win-crt-* sets instead of msvcrt.dll.
ARM64_SYSTEM_DLLS = {"kernel32.dll", "setupapi.dll"}
UCRT_SET = re.compile(r"api-ms-win-crt-[a-z]+-l1-1-0\.dll")
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100
RT_VERSION = 16
# What only the C++ exception runtime brings into the DLL: the lock around
# its emergency memory pool (a semaphore, which a DLL leaks at every unload)
# and the type names of the exception classes it throws and catches.
EXCEPTION_RUNTIME_IMPORTS = {"CreateSemaphoreA", "CreateSemaphoreW", "ReleaseSemaphore"}
EXCEPTION_RUNTIME_TYPE_NAMES = (b"St9exception", b"St9bad_alloc", b"N10__cxxabiv1")

results = []


def check(name, ok, detail=""):
    results.append(ok)
    print(("PASS " if ok else "FAIL ") + name + ("" if ok or not detail else ": " + detail))


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def exports(dump):
    """(ordinal less the base, name) rows of the export table."""
    rows = []
    in_table = False
    for line in dump.splitlines():
        if "[Ordinal/Name Pointer] Table" in line:  # GNU: " [   0] name"
            in_table = "gnu"
            continue
        if re.match(r"\s*Ordinal\s+RVA\s+Name", line):  # LLVM: " 1 0x1000 name", biased
            in_table = "llvm"
            continue
        if in_table == "gnu":
            m = re.match(r"\s+\[\s*(\d+)\]\s+(\S+)", line)
            if not m:
                break
            rows.append((int(m.group(1)), m.group(2)))
        elif in_table == "llvm":
            m = re.match(r"\s+(\d+)\s+0x[0-9a-f]+\s+(\S+)", line)
            if not m:
                break
            rows.append((int(m.group(1)) - ordinal_base(dump), m.group(2)))
    return rows


def imported_functions(dump):
    """Names of the functions the import tables list."""
    names = set()
    in_table = False
    for line in dump.splitlines():
        if re.search(r"Hint/Ord\s+(Member-)?Name", line):
            in_table = True
            continue
        # GNU: "vma hint name"; LLVM: "hint name".
        m = re.match(r"\s+(?:[0-9a-f]+\s+)?\d+\s+(\S+)", line) if in_table else None
        if m:
            names.add(m.group(1))
        else:
            in_table = False
    return names


def ordinal_base(dump):
    m = re.search(r"Ordinal [Bb]ase:?\s+(\d+)", dump)
    return int(m.group(1)) if m else None


def export_rva(dump, export):
    """The RVA of the export named `export`, or None."""
    index = next((i for i, n in exports(dump) if n == export), None)
    if index is None:
        return None
    m = re.search(r"\[\s*%d\] \+base\[\s*\d+\]\s+([0-9a-f]+) Export RVA" % index, dump)
    return int(m.group(1), 16) if m else None


def version_strings(path):
    """Key/value strings of the RT_VERSION resource, or None."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    nsec = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    sec_table = pe + 24 + opt_size
    rsrc = None
    for i in range(nsec):
        off = sec_table + 40 * i
        name = data[off:off + 8].rstrip(b"\0")
        vsize, vaddr, rsize, raw = struct.unpack_from("<IIII", data, off + 8)
        if name == b".rsrc":
            rsrc = (vaddr, raw, rsize)
    if not rsrc:
        return None
    vaddr, raw, _ = rsrc

    def entries(dir_off):
        named, ids = struct.unpack_from("<HH", data, raw + dir_off + 12)
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", data, raw + dir_off + 16 + 8 * i)
            yield ident, target

    for ident, target in entries(0):
        if ident != RT_VERSION or not target & 0x80000000:
            continue
        for _, t2 in entries(target & 0x7FFFFFFF):
            for _, t3 in entries(t2 & 0x7FFFFFFF):
                entry_rva, size = struct.unpack_from("<II", data, raw + t3)
                blob = data[raw + entry_rva - vaddr: raw + entry_rva - vaddr + size]
                text = blob.decode("utf-16-le", errors="replace")
                if "VS_VERSION_INFO" not in text:
                    return None
                found = {}
                for key in ("FileVersion", "ProductVersion", "FileDescription", "ProductName"):
                    # A String: wLength, wValueLength (characters), wType,
                    # the key, then the value at the next 32-bit boundary.
                    k = blob.find(key.encode("utf-16-le") + b"\0\0")
                    if k >= 6 and k % 2 == 0:
                        value_length = struct.unpack_from("<H", blob, k - 4)[0]
                        v = (k + 2 * len(key) + 2 + 3) & ~3
                        found[key] = blob[v:v + 2 * value_length].decode("utf-16-le", errors="replace").rstrip("\0")
                return found
    return None


ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
# The ARM64 cross tools (zig and LLVM under MinGW-w64 names).
ARM64_PREFIX = os.path.join(ROOT, "cmake", "aarch64-w64-mingw32", "aarch64-w64-mingw32-")
# Each machine's toolchain prefix and objdump's format and architecture names.
TOOLS = {
    "I386": ("i686-w64-mingw32-", "pei-i386", "i386"),
    "AMD64": ("x86_64-w64-mingw32-", "pei-x86-64", "i386:x86-64"),
    "ARM64": (ARM64_PREFIX, "coff-arm64", "aarch64"),
}
MACHINE_ROW = re.compile(r'QV_MACHINE\((\w+), (0x[0-9A-Fa-f]+), "([^"]*)", "([^"]*)", "([^"]*)", "([^"]*)", (\w+)\)')


def machine_table(path=os.path.join(ROOT, "install", "bridge", "machines.def")):
    """The rows of the machine table: name, number, release folder, helper file and description."""
    rows = []
    for line in open(path, encoding="utf-8"):
        m = MACHINE_ROW.match(line)
        if m:
            rows.append({"name": m.group(1), "number": int(m.group(2), 16), "folder": m.group(4),
                         "helper": m.group(5), "description": m.group(6)})
    return rows


# The released binaries of each machine of the table: path in dist/,
# toolchain prefix, objdump's format and architecture names, the machine's
# number, its exports (name and, for stdcall, the bytes of arguments the
# callee removes), the DLLs it may import beyond the system's own and the
# file description it must carry (None: any).
LIBRARY_EXPORTS = (("qv7_installdevice", 8),)
# Windows Installer's DLL custom actions: UINT __stdcall F(MSIHANDLE).
CUSTOM_ACTION_EXPORTS = (("QvInstallDriver", 4), ("QvRequestReboot", 4), ("QvRollbackDriver", 4),
                         ("QvRemoveDriver", 4))
# Windows Installer, and the registry (the pending-reboot mark, the package record).
INSTALLER = frozenset({"msi.dll", "advapi32.dll"})
# The helpers also remove driver packages for a 32-bit caller: the devices'
# driver keys are read through the registry.
HELPER = frozenset({"advapi32.dll"})


def released_binaries(machines):
    binaries = []
    for row in machines:
        tools = TOOLS[row["name"]] + (row["number"],)
        folder = row["folder"] + "/" if row["folder"] else ""
        binaries.append((folder + "QUORVANT.dll",) + tools + (LIBRARY_EXPORTS, frozenset(), None))
        if row["helper"]:
            # Beside the 32-bit library, which starts it.
            binaries.append((row["helper"],) + tools + ((), HELPER, row["description"]))
        binaries.append((folder + "msi/QUORVANTCA.dll",) + tools + (CUSTOM_ACTION_EXPORTS, INSTALLER, None))
    return binaries


IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA = 0x0020


def check_binary(dist, name, prefix, file_format, architecture, machine_number, wanted_exports, extra_dlls,
                 description):
    library = wanted_exports is LIBRARY_EXPORTS
    path = os.path.join(dist, name)
    check(name + ": in the release", os.path.isfile(path))
    if not os.path.isfile(path):
        return
    wide = architecture != "i386"
    arm64 = architecture == "aarch64"

    head = run(prefix + "objdump", "-f", path)
    check("%s: %s for %s" % (name, file_format, architecture),
          "file format " + file_format in head
          and re.search(r"architecture: %s(,|$)" % re.escape(architecture), head, re.M) is not None,
          head)
    image = open(path, "rb").read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    machine = struct.unpack_from("<H", image, pe + 4)[0]
    magic = struct.unpack_from("<H", image, pe + 24)[0]
    check("%s: PE%s, machine %#x" % (name, "32+" if wide else "32", machine_number),
          image[pe:pe + 4] == b"PE\0\0" and machine == machine_number
          and magic == (0x20B if wide else 0x10B), "machine %#x magic %#x" % (machine, magic))

    dump = run(prefix + "objdump", "-p", path)
    if wanted_exports:
        rows = exports(dump)
        base = ordinal_base(dump)
        names = [n for n, _ in wanted_exports]
        check("%s: exports exactly %s, undecorated" % (name, ", ".join(names)),
              sorted(n for _, n in rows) == sorted(names), str(rows))
        check(name + ": first export at ordinal 1",
              bool(rows) and base is not None and min(r[0] for r in rows) + base == 1,
              "base %s rows %s" % (base, rows))

    imported = {m.group(1).lower() for m in re.finditer(r"DLL Name: (\S+)", dump)}
    foreign = {d for d in imported if not (d in ARM64_SYSTEM_DLLS | extra_dlls or UCRT_SET.fullmatch(d))} \
        if arm64 else imported - SYSTEM_DLLS - extra_dlls
    check(name + ": imports only Windows system DLLs", imported and not foreign,
          ", ".join(sorted(foreign)) or "no imports found")

    functions = imported_functions(dump)
    check(name + ": imports no lock of the C++ exception runtime",
          functions and not functions & EXCEPTION_RUNTIME_IMPORTS,
          ", ".join(sorted(functions & EXCEPTION_RUNTIME_IMPORTS)) or "no imported functions found")
    check(name + ": holds no type names of the C++ exception classes",
          not any(n in image for n in EXCEPTION_RUNTIME_TYPE_NAMES),
          ", ".join(n.decode() for n in EXCEPTION_RUNTIME_TYPE_NAMES if n in image))

    m = re.search(r"DllCharacteristics\s+([0-9a-fA-F]+)", dump)
    flags = int(m.group(1), 16) if m else 0
    check(name + ": ASLR (dynamic base)", bool(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE), hex(flags))
    if wide:
        check(name + ": ASLR with high entropy",
              bool(flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA), hex(flags))
    check(name + ": DEP (NX compatible)", bool(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT), hex(flags))
    check(name + ": relocations present for ASLR",
          re.search(r"\.reloc", run(prefix + "objdump", "-h", path)) is not None)

    syms = run(prefix + "objdump", "-t", path)
    check(name + ": stripped", "no symbols" in syms or not re.search(r"\[\s*\d+\]\(sec", syms))

    size = os.path.getsize(path)
    print("     %s is %d bytes (%.1f KiB)" % (name, size, size / 1024))
    limit = MAX_CUSTOM_ACTION_SIZE if wanted_exports is CUSTOM_ACTION_EXPORTS else MAX_DLL_SIZE
    check(name + ": no larger than %d KiB" % (limit // 1024), size <= limit, "%d bytes" % size)

    version = version_strings(path)
    check(name + ": version resource with file and product version, description, product name",
          version is not None and all(version.get(k) for k in
                                      ("FileVersion", "ProductVersion", "FileDescription", "ProductName")),
          str(version))
    if description is not None:
        check("%s: described as %s" % (name, description),
              version is not None and version.get("FileDescription") == description, str(version))

    if wanted_exports and not wide:
        # stdcall: each export returns with "ret $N", removing its arguments
        # (its first return may lie past 2 KiB of code).
        image_base = int(re.search(r"ImageBase\s+([0-9a-f]+)", dump).group(1), 16)
        for export, argument_bytes in wanted_exports:
            rva = export_rva(dump, export)
            if rva is None:
                check("%s: %s found in the export table" % (name, export), False)
                continue
            start = image_base + rva
            dis = run(prefix + "objdump", "-d", "--start-address=%#x" % start,
                      "--stop-address=%#x" % (start + 4096), path)
            rets = re.findall(r"\tret\s*(\S*)", dis)
            check("%s: %s returns with ret $%#x (callee removes %d bytes)"
                  % (name, export, argument_bytes, argument_bytes),
                  bool(rets) and rets[0] == "$%#x" % argument_bytes, "first returns: %s" % rets[:3])
    if library:
        check_import_library(dist, name, prefix, wide)


def check_import_library(dist, name, prefix, wide):
    """The header and the import library beside the DLL serve C and C++ callers."""
    header = os.path.join(dist, "include", "quorvant.h")
    implib = os.path.join(os.path.dirname(os.path.join(dist, name)), "lib", "libquorvant.dll.a")
    check(name + ": header and import library in the release",
          os.path.isfile(header) and os.path.isfile(implib))
    if not (os.path.isfile(header) and os.path.isfile(implib)):
        return
    symbol = "__imp_qv7_installdevice" if wide else "__imp__qv7_installdevice@8"
    implib_syms = run(prefix + "nm", implib)
    check("%s: import library maps %s" % (name, symbol), symbol in implib_syms, implib_syms)
    with tempfile.TemporaryDirectory() as tmp:
        for lang, compiler, ext in (("C", "gcc", "c"), ("C++", "g++", "cpp")):
            src = os.path.join(tmp, "caller." + ext)
            with open(src, "w") as f:
                f.write('#include "quorvant.h"\n'
                        "int main(void) { return qv7_installdevice(\"x.inf\", \"PNPPNP0501\")"
                        " == QV7_E_NO_INF_PATH; }\n")
            exe = os.path.join(tmp, "caller_" + ext + ".exe")
            proc = subprocess.run([prefix + compiler, "-Wall", "-Werror", "-I", os.path.dirname(header),
                                   src, implib, "-o", exe], capture_output=True, text=True)
            linked = proc.returncode == 0
            check("%s: a %s caller compiles and links against the header and import library"
                  % (name, lang), linked, proc.stderr)
            if linked:
                imports = run(prefix + "objdump", "-p", exe)
                check("%s: the %s caller imports qv7_installdevice from QUORVANT.dll" % (name, lang),
                      "DLL Name: QUORVANT.dll" in imports and "qv7_installdevice" in imports)


# The setup templates name the release's files themselves: each ships every
# helper of the table and each 64-bit machine's qvinst from its release
# folder, as the table names them.
TEMPLATES = (("driver-setup.nsi", "${QV_DIST}"), ("driver-setup-inno6.iss", "{#QV_DIST}"))


def check_templates(machines):
    for template, dist in TEMPLATES:
        text = open(os.path.join(ROOT, "installer", template), encoding="utf-8").read()
        for row in (m for m in machines if m["helper"]):
            for shipped in (row["helper"], row["folder"] + "\\qvinst.exe"):
                check("installer/%s ships %s" % (template, shipped), '"%s\\%s"' % (dist, shipped) in text)


def main():
    dist = sys.argv[1]
    machines = machine_table()
    unknown = [row["name"] for row in machines if row["name"] not in TOOLS]
    check("every machine of the table has its tools named here", machines and not unknown,
          ", ".join(unknown) or "no machine rows read")
    for row in released_binaries([m for m in machines if m["name"] in TOOLS]):
        check_binary(dist, *row)
    check_templates(machines)


main()
passed = sum(results)
print("%d passed, %d failed" % (passed, len(results) - passed))
sys.exit(0 if all(results) else 1)
