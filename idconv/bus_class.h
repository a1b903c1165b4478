// The bus class of a hardware-ID item: which bus its prefix names. The
// classes are numbered; the prefix of each stands in the bus table
// (compact_id_format.h).
#pragma once

namespace idconv {

enum class bus_class : int {
    none = -1,         // no item accepted yet, or a PnP-style item was rejected
    unknown = 0,       // no prefix matched
    pci = 1,           // "PCI\"
    star_pnp = 2,      // "*"
    isapnp = 3,        // "ISAPNP\"
    unimodem = 4,      // "UNIMODEM"
    modemwave = 5,     // "MODEMWAVE\"
    pcmcia = 6,        // "PCMCIA\"
    usb = 7,           // "USB\"
    lptenum = 8,       // "LPTENUM\"
    usbprint = 9,      // "USBPRINT\"
    monitor = 10,      // "MONITOR\"
    isa = 11,          // "ISA\"
    acpi = 12,         // "ACPI\"
    bios = 13,         // "BIOS\"
    virtual_bus = 99,  // "VIRTUAL\" and "MF\"
};

}  // namespace idconv
