// The compact-ID format: a three-letter bus tag followed directly by the
// slots of its bus, each with its own length: no separator, no padding, no
// terminator. An empty slot takes its default where one is given below.
//
//   PCI  vendor(ffff) device(ffff) subsystem(00000000) class_code(0000)
//        revision(00) interface(00)
//   USB  vendor device revision(0000) interface(00)
//   PNP  vendor device          ("*", "ISAPNP\", "ACPI\", "BIOS\" items)
//   MON  vendor device          ("MONITOR\" items)
//   MDW  vendor                 ("MODEMWAVE\" items, whole body)
//   PCC  vendor                 ("PCMCIA\" items, whole body)
//   PRT  vendor                 ("LPTENUM\" items, whole body)
//   PRU  vendor                 ("USBPRINT\" items, whole body)
//
// Every other bus gives the empty compact ID, which never matches.
#pragma once

#include <cstddef>
#include <string_view>

namespace idconv::format {

inline constexpr std::string_view tag_pci = "PCI";
inline constexpr std::string_view tag_usb = "USB";
inline constexpr std::string_view tag_pnp = "PNP";
inline constexpr std::string_view tag_monitor = "MON";
inline constexpr std::string_view tag_modemwave = "MDW";
inline constexpr std::string_view tag_pcmcia = "PCC";
inline constexpr std::string_view tag_lptenum = "PRT";
inline constexpr std::string_view tag_usbprint = "PRU";
inline constexpr std::size_t tag_length = 3;

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

// Longest compact ID of each tag.
inline constexpr std::size_t max_length_pci = 77;
inline constexpr std::size_t max_length_usb = 73;
inline constexpr std::size_t max_length_pnp = 10;  // also MON
inline constexpr std::size_t max_length_body = 43;  // MDW, PCC, PRT, PRU

// A wanted ID that begins with the PCI tag is matched on this many leading
// characters: tag, vendor, device and subsystem when vendor and device have
// four characters each.
inline constexpr std::size_t pci_match_window = 19;

}  // namespace idconv::format
