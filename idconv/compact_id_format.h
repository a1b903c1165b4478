// The compact-ID format: a three-letter bus tag followed directly by the
// slots of its bus, each with its own length: no separator, no padding, no
// terminator. An empty slot takes its default where one is given below.
//
//   PCI  vendor(ffff) device(ffff) subsystem(00000000) class_code(0000)
//        revision(00) interface(00)
//   USB  vendor device revision(0000) interface(00)
//   PNP, MON  vendor device
//   MDW, PCC, PRT, PRU  vendor (the whole body of the item)
//
// The bus table at the end says which item prefix gives which bus class,
// tag, field rule and longest compact ID. A bus without a tag gives the
// empty compact ID, which never matches.
#pragma once

#include "idconv/bus_class.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace idconv::format {

// Every tag has three letters; the PCI tag also selects the match rule.
inline constexpr std::size_t tag_length = 3;
inline constexpr std::string_view tag_pci = "PCI";

// Widths of the slots; a longer value is cut to its first characters.
inline constexpr std::size_t vendor_width = 40;
inline constexpr std::size_t device_width = 10;
inline constexpr std::size_t subsystem_width = 10;
inline constexpr std::size_t class_code_width = 10;
inline constexpr std::size_t revision_width = 10;
inline constexpr std::size_t interface_width = 10;

// Defaults for empty slots.
inline constexpr std::string_view pci_vendor_default = "ffff";
inline constexpr std::string_view pci_device_default = "ffff";
inline constexpr std::string_view pci_subsystem_default = "00000000";
inline constexpr std::string_view pci_class_code_default = "0000";
inline constexpr std::string_view pci_revision_default = "00";
inline constexpr std::string_view pci_interface_default = "00";
inline constexpr std::string_view usb_revision_default = "0000";
inline constexpr std::string_view usb_interface_default = "00";

// The keys of the PCI and USB fields (KEY_VALUE, fields separated by "&")
// that fill the slots. Keys are compared byte for byte: "Ven" is no "VEN".
inline constexpr char field_delimiter = '&';
inline constexpr char key_delimiter = '_';
inline constexpr std::string_view pci_vendor_key = "VEN";
inline constexpr std::string_view pci_device_key = "DEV";
inline constexpr std::string_view pci_subsystem_key = "SUBSYS";
inline constexpr std::string_view pci_class_code_key = "CC";
inline constexpr std::string_view pci_revision_key = "REV";
inline constexpr std::string_view usb_vendor_key = "VID";
inline constexpr std::string_view usb_device_key = "PID";
inline constexpr std::string_view usb_revision_key = "REV";
inline constexpr std::string_view usb_interface_key = "MI";

// A PCI "SUBSYS" value is a device half and a vendor half of four
// characters each; the subsystem slot holds the vendor half first
// ("9ABC0DEF" gives "0DEF9ABC").
inline constexpr std::size_t pci_subsystem_half = 4;

// How a PCI "CC" value fills class_code and interface.
inline constexpr std::size_t pci_class_code_taken = 4;      // first four characters
inline constexpr std::size_t pci_class_code_short = 2;      // "0C" ...
inline constexpr std::string_view pci_class_code_pad = "00";  // ... becomes "0C00"
inline constexpr std::size_t pci_class_code_with_interface = 6;  // "030001": interface "01"

// How a PnP-style body is read: three characters of vendor, then up to four
// hexadecimal digits of product.
inline constexpr std::size_t pnp_vendor_length = 3;
inline constexpr std::size_t pnp_product_max = 4;

// Longest compact ID of each field rule below.
inline constexpr std::size_t max_length_pci = 77;
inline constexpr std::size_t max_length_usb = 73;
inline constexpr std::size_t max_length_pnp = 10;
inline constexpr std::size_t max_length_body = 43;

// A wanted ID that begins with the PCI tag is matched on this many leading
// characters: tag, vendor, device and subsystem when vendor and device have
// four characters each.
inline constexpr std::size_t pci_match_window = 19;

// How the builder reads the body of an item, and which slots the compact
// ID of its bus holds.
enum class field_rule {
    none,        // recognised, but gives no compact ID
    pci_fields,  // the PCI keys; all six slots, with the PCI defaults
    usb_fields,  // the USB keys; vendor, device, revision, interface
    pnp_style,   // three characters of vendor, one to four hex digits of product
    whole_body,  // the body as the vendor slot
};

// One row of the bus table.
struct bus {
    std::string_view prefix;  // upper case; no prefix begins another
    bus_class cls;
    std::string_view tag;     // empty: no compact ID
    field_rule rule;
    std::size_t max_length;   // longest compact ID; 0 without a tag
};

// The bus table: a row per item prefix. Prefixes are compared with the
// item's head upper-cased in "a" to "z"; one "*" right behind the prefix is
// stepped over unless it ends the item. An item without any of these
// prefixes is of class `bus_class::unknown` and gives no compact ID.
inline constexpr std::array<bus, 15> buses{{
    // prefix        class                    tag      field rule               longest
    {"PCI\\",       bus_class::pci,          tag_pci, field_rule::pci_fields,  max_length_pci},
    {"*",           bus_class::star_pnp,     "PNP",   field_rule::pnp_style,   max_length_pnp},
    {"ISAPNP\\",    bus_class::isapnp,       "PNP",   field_rule::pnp_style,   max_length_pnp},
    {"UNIMODEM",    bus_class::unimodem,     "",      field_rule::none,        0},
    {"MODEMWAVE\\", bus_class::modemwave,    "MDW",   field_rule::whole_body,  max_length_body},
    {"PCMCIA\\",    bus_class::pcmcia,       "PCC",   field_rule::whole_body,  max_length_body},
    {"USB\\",       bus_class::usb,          "USB",   field_rule::usb_fields,  max_length_usb},
    {"LPTENUM\\",   bus_class::lptenum,      "PRT",   field_rule::whole_body,  max_length_body},
    {"USBPRINT\\",  bus_class::usbprint,     "PRU",   field_rule::whole_body,  max_length_body},
    {"MONITOR\\",   bus_class::monitor,      "MON",   field_rule::pnp_style,   max_length_pnp},
    {"ISA\\",       bus_class::isa,          "",      field_rule::none,        0},
    {"ACPI\\",      bus_class::acpi,         "PNP",   field_rule::pnp_style,   max_length_pnp},
    {"BIOS\\",      bus_class::bios,         "PNP",   field_rule::pnp_style,   max_length_pnp},
    {"VIRTUAL\\",   bus_class::virtual_bus,  "",      field_rule::none,        0},
    {"MF\\",        bus_class::virtual_bus,  "",      field_rule::none,        0},
}};

}  // namespace idconv::format
