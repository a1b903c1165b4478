#!/usr/bin/env python3
"""Writes the hardware-ID corpus: one hardware ID per line, as the platform
reports them for present devices, for every vendor and device of the PCI and
USB ID lists and every vendor code of the PnP ID list.

Per PCI device the full hardware-ID list of the device (with SUBSYS, CC and
REV variants, one line per subsystem of the list), per PCI vendor its
vendor-level compatible IDs, and the class-only compatible IDs; per USB device
the device and interface IDs (REV and MI variants) and, for printers, the
printer-port IDs; per PnP vendor code an ACPI, ISA Plug and Play, legacy "*"
and monitor ID. Values the ID lists do not carry (class codes, revisions,
interface counts, product numbers of PnP vendors) are derived from a checksum
of the device, so the corpus is the same on every run. A handful of IDs of
buses that have no compact ID are included as the platform reports them too.

Usage: generate_hardware_id_corpus.py --pci pci.ids --usb usb.ids
       [--pnp pnp.ids] --out hardware_ids.txt
"""

import argparse
import re
import sys
import zlib

VENDOR_LINE = re.compile(r"^([0-9a-fA-F]{4})\s+(.*)$")
DEVICE_LINE = re.compile(r"^\t([0-9a-fA-F]{4})\s+(.*)$")
SUBSYSTEM_LINE = re.compile(r"^\t\t([0-9a-fA-F]{4})\s+([0-9a-fA-F]{4})\s+(.*)$")
CLASS_LINE = re.compile(r"^C ([0-9a-fA-F]{2})\s+(.*)$")
SUBCLASS_LINE = re.compile(r"^\t([0-9a-fA-F]{2})\s+(.*)$")
PROGIF_LINE = re.compile(r"^\t\t([0-9a-fA-F]{2})\s+(.*)$")
SECTION_LINE = re.compile(r"^[A-Z]+ ")

# PCI class code (class, subclass, programming interface) guessed from the
# device name; the first pattern that matches decides.
PCI_CLASS_BY_NAME = [
    (r"nvme|nvm express", "010802"),
    (r"ahci|\bsata\b", "010601"),
    (r"\braid\b", "010400"),
    (r"\bsas\b|serial attached scsi", "010700"),
    (r"\bscsi\b", "010000"),
    (r"\bide\b|\bata\b", "01018A"),
    (r"wireless|wi-?fi|802\.11|wlan", "028000"),
    (r"ethernet|gigabit|10gbe|network|\bnic\b", "020000"),
    (r"3d controller", "030200"),
    (r"vga|graphics|geforce|radeon|quadro|\bgpu\b|display", "030000"),
    (r"audio|sound|azalia", "040300"),
    (r"video|\btv\b|capture|multimedia", "040000"),
    (r"memory controller|\bdram\b", "050000"),
    (r"host bridge", "060000"),
    (r"isa bridge|\blpc\b", "060100"),
    (r"cardbus", "060700"),
    (r"root port|pci bridge|pci-to-pci|pcie switch", "060400"),
    (r"bridge", "068000"),
    (r"xhci|usb ?3", "0C0330"),
    (r"ehci|usb ?2", "0C0320"),
    (r"ohci", "0C0310"),
    (r"uhci", "0C0300"),
    (r"\busb\b", "0C0330"),
    (r"smbus", "0C0500"),
    (r"firewire|1394", "0C0010"),
    (r"sd host|sdhci|\bmmc\b", "080501"),
    (r"uart|serial", "070002"),
    (r"modem", "070300"),
    (r"encrypt|crypto", "108000"),
    (r"signal processing|\bdsp\b", "118000"),
]
PCI_CLASS_BY_NAME = [(re.compile(p, re.IGNORECASE), cc) for p, cc in PCI_CLASS_BY_NAME]

USB_PRINTER_NAME = re.compile(
    r"printer|laserjet|deskjet|officejet|photosmart|pixma|stylus|"
    r"workforce|bubble ?jet|\bmfp\b", re.IGNORECASE)
PCMCIA_NAME = re.compile(r"pcmcia|pc ?card|16-bit card", re.IGNORECASE)

USB_MAX_INTERFACES = 4

# First hardware IDs of devices whose bus has no compact ID, as reported.
OTHER_BUS_IDS = [
    "ROOT\\LEGACY_BEEP", "ROOT\\SYSTEM", "ROOT\\ACPI_HAL", "ROOT\\RDPBUS",
    "HTREE\\ROOT\\0", "SWD\\MMDEVAPI\\MicrosoftGSWavetableSynth",
    "SWD\\PRINTENUM\\PrintQueues", "SW\\{EEAB7790-C514-11D1-B42B-00805FC1270E}",
    "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892&SUBSYS_10438445&REV_1003",
    "HDAUDIO\\FUNC_01&VEN_8086&DEV_2809&SUBSYS_80860101&REV_1000",
    "DISPLAY\\DEL4026", "STORAGE\\Volume", "SCSI\\DiskSamsung_SSD_870_EVO_1TB_2B6Q",
    "UMB\\UMBUS", "TS_USB_HUB_Enumerator", "USB\\ROOT_HUB", "USB\\ROOT_HUB20",
    "USB\\ROOT_HUB30", "USB\\COMPOSITE", "USB\\USB20_HUB", "ISA\\PNP0700",
    "UNIMODEM1F5C7A3B", "VIRTUAL\\AUDIO", "MF\\PCI9710_COM", "BTHENUM\\Dev_0016CBD30A2B",
]

# Legacy Plug and Play device IDs of the platform's own devices.
STANDARD_PNP_PRODUCTS = [
    "0000", "0100", "0103", "0200", "0303", "0400", "0401", "0501", "0510",
    "0700", "0800", "0A03", "0A05", "0A06", "0A08", "0B00", "0C01", "0C02",
    "0C04", "0C09", "0C0A", "0C0B", "0C0C", "0C0D", "0C0E", "0C0F", "0C14",
    "0C15", "0E03", "0F03", "0F13",
]


def checksum(*parts):
    return zlib.crc32("|".join(parts).encode("ascii", "replace"))


def read_lines(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line and not line.startswith("#"):
                yield line


def parse_id_list(path):
    """Vendors with their devices (each with its subsystems), and the class
    section as (class, subclass, programming interface) triples."""
    vendors = []
    classes = []
    in_classes = False
    class_code = subclass = None
    for line in read_lines(path):
        if SECTION_LINE.match(line):
            m = CLASS_LINE.match(line)
            in_classes = m is not None
            if in_classes:
                class_code, subclass = m.group(1).upper(), None
                classes.append((class_code, "00", "00"))
            continue
        if in_classes:
            m = SUBCLASS_LINE.match(line)
            if m:
                subclass = m.group(1).upper()
                classes.append((class_code, subclass, "00"))
                continue
            m = PROGIF_LINE.match(line)
            if m and subclass is not None:
                classes.append((class_code, subclass, m.group(1).upper()))
            continue
        m = VENDOR_LINE.match(line)
        if m:
            vendors.append({"id": m.group(1).upper(), "name": m.group(2), "devices": []})
            continue
        m = DEVICE_LINE.match(line)
        if m and vendors:
            vendors[-1]["devices"].append(
                {"id": m.group(1).upper(), "name": m.group(2), "subsystems": []})
            continue
        m = SUBSYSTEM_LINE.match(line)
        if m and vendors and vendors[-1]["devices"]:
            vendors[-1]["devices"][-1]["subsystems"].append(
                (m.group(1).upper(), m.group(2).upper()))
    return vendors, classes


def pci_class_code(name, key, classes):
    for pattern, cc in PCI_CLASS_BY_NAME:
        if pattern.search(name):
            return cc
    return "".join(classes[checksum("cc", key) % len(classes)])


def pci_revision(key):
    c = checksum("rev", key)
    return "%02X" % (c % 8 if c & 0x100 else (c >> 16) & 0xFF)


def pci_device_ids(vendor, device, classes):
    ven, dev = vendor["id"], device["id"]
    key = ven + dev
    cc = pci_class_code(device["name"], key, classes)
    rev = pci_revision(key)
    base = "PCI\\VEN_%s&DEV_%s" % (ven, dev)
    # SUBSYS is the subsystem device ID followed by the subsystem vendor ID.
    subsystems = ["%s%s" % (sd, sv) for sv, sd in device["subsystems"]]
    if not subsystems:
        c = checksum("subsys", key) % 4
        subsystems = ["00000000" if c == 0 else dev + ven if c < 3 else "%04X%s" % (
            checksum("subdev", key) & 0xFFFF, ven)]
    ids = []
    for subsys in subsystems:
        ids.append("%s&SUBSYS_%s&REV_%s" % (base, subsys, rev))
        ids.append("%s&SUBSYS_%s" % (base, subsys))
    ids += [
        "%s&CC_%s" % (base, cc),
        "%s&CC_%s" % (base, cc[:4]),
        "%s&REV_%s" % (base, rev),
        base,
    ]
    return ids, cc


def sanitize_name(text):
    """A device name as it stands in a printer or card ID: blanks become "_",
    anything but letters, digits, "_", "-" and "." is dropped."""
    text = text.encode("ascii", "ignore").decode("ascii")
    text = re.sub(r"\s+", "_", text.strip())
    return re.sub(r"[^A-Za-z0-9_.\-]", "", text)


def short_vendor(name):
    word = sanitize_name(name.split()[0] if name.split() else name)
    return word or "Unknown"


def write_pci(out, pci_path):
    vendors, classes = parse_id_list(pci_path)
    if not classes:
        classes = [("00", "00", "00")]
    for vendor in vendors:
        vendor_cc = None
        for device in vendor["devices"]:
            ids, cc = pci_device_ids(vendor, device, classes)
            vendor_cc = vendor_cc or cc
            out.extend(ids)
            if PCMCIA_NAME.search(device["name"]):
                body = "%s-%s" % (short_vendor(vendor["name"]), sanitize_name(device["name"]))
                out.append("PCMCIA\\%s-%04X" % (body, checksum("pcmcia", body) & 0xFFFF))
        vendor_cc = vendor_cc or pci_class_code(vendor["name"], vendor["id"], classes)
        out.append("PCI\\VEN_%s&CC_%s" % (vendor["id"], vendor_cc))
        out.append("PCI\\VEN_%s&CC_%s" % (vendor["id"], vendor_cc[:4]))
        out.append("PCI\\VEN_%s" % vendor["id"])
    seen = set()
    for cls, sub, progif in classes:
        for cc in (cls + sub + progif, cls + sub):
            if cc not in seen:
                seen.add(cc)
                out.append("PCI\\CC_%s" % cc)
    return vendors


def usb_revision(key):
    c = checksum("bcd", key)
    return "%02X%02X" % (c % 0x30, (c >> 8) & 0xFF)


def write_usb(out, usb_path):
    vendors, classes = parse_id_list(usb_path)
    for vendor in vendors:
        devices = vendor["devices"] or [
            {"id": "%04X" % (checksum("pid", vendor["id"]) & 0xFFFF), "name": vendor["name"]}]
        for device in devices:
            key = vendor["id"] + device["id"]
            base = "USB\\VID_%s&PID_%s" % (vendor["id"], device["id"])
            rev = usb_revision(key)
            out.append("%s&REV_%s" % (base, rev))
            out.append(base)
            # One in four devices is composite: each interface is a device.
            c = checksum("composite", key)
            if c % 4 == 0:
                for mi in range(2 + (c >> 4) % (USB_MAX_INTERFACES - 1)):
                    out.append("%s&REV_%s&MI_%02X" % (base, rev, mi))
                    out.append("%s&MI_%02X" % (base, mi))
            if USB_PRINTER_NAME.search(device["name"]):
                body = short_vendor(vendor["name"]) + sanitize_name(device["name"])
                crc = "%04X" % (checksum("1284", body) & 0xFFFF)
                out.append("USBPRINT\\%s%s" % (body[:26], crc))
                out.append("LPTENUM\\%s%s" % (body, crc))
    for cls, sub, prot in classes:
        out.append("USB\\Class_%s&SubClass_%s&Prot_%s" % (cls, sub, prot))


def pnp_vendor_codes(pnp_path, pci_vendors):
    codes = []
    if pnp_path:
        for line in read_lines(pnp_path):
            code = line.split("\t", 1)[0]
            if len(code) == 3 and code.isascii() and not re.search(r"[\s,]", code):
                codes.append(code)
    if not codes:
        # No PnP ID list: three-letter codes from the PCI vendor names.
        seen = set()
        for vendor in pci_vendors:
            code = re.sub(r"[^A-Za-z]", "", vendor["name"])[:3].upper()
            if len(code) == 3 and code not in seen:
                seen.add(code)
                codes.append(code)
    return codes


def write_pnp(out, pnp_path, pci_vendors):
    for product in STANDARD_PNP_PRODUCTS:
        out.append("*PNP%s" % product)
        out.append("ACPI\\PNP%s" % product)
    out += ["BIOS\\*PNP0C01", "BIOS\\*PNP0C02", "ACPI\\*PNP0A03", "ISAPNP\\*PNP0501"]
    for code in pnp_vendor_codes(pnp_path, pci_vendors):
        c = checksum("pnp", code)
        out.append("ACPI\\%s%04X" % (code, c & 0xFFFF))
        out.append("ACPI\\VEN_%s&DEV_%04X" % (code, c & 0xFFFF))
        out.append("*%s%04X" % (code, (c >> 16) & 0xFFFF))
        out.append("ISAPNP\\%s%04X" % (code, (c >> 8) & 0xFFFF))
        out.append("MONITOR\\%s%04X" % (code, (c >> 4) & 0xFFFF))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pci", required=True)
    parser.add_argument("--usb", required=True)
    parser.add_argument("--pnp")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    ids = []
    pci_vendors = write_pci(ids, args.pci)
    write_usb(ids, args.usb)
    write_pnp(ids, args.pnp, pci_vendors)
    ids += OTHER_BUS_IDS

    bad = [i for i in ids if not i or re.search(r"[\s,]", i)]
    if bad:
        sys.exit("corpus: malformed IDs, e.g. %r" % bad[:3])
    with open(args.out, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(ids))
        f.write("\n")


if __name__ == "__main__":
    main()
