// Assembly: defaults for empty slots, slot widths, the longest compact ID of
// each bus tag, and items that are only a prefix.
#include "test_support.h"

#include <string>

namespace idconv_test {
namespace {

const std::string pci_longest_text =
    "PCI\\VEN_" + chars40 + "e&DEV_" + chars10 + "A&SUBSYS_9ABC0DEF12&CC_030001&REV_" + chars10 + "A";
const std::string pci_longest_id = "PCI" + chars40 + chars10 + "0DEF9ABC" "0300" + chars10 + "01";
const std::string usb_longest_text =
    "USB\\VID_" + chars40 + "e&PID_" + chars10 + "A&REV_" + chars10 + "A&MI_" + chars10 + "A";
const std::string usb_longest_id = "USB" + chars40 + chars10 + chars10 + chars10;

class assembly_widths : public testing::TestWithParam<conversion_case> {};
TEST_P(assembly_widths, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, assembly_widths, testing::Values(
    conversion_case{"pci_every_slot_cut", pci_longest_text, pci_longest_id},
    conversion_case{"usb_every_slot_cut", usb_longest_text, usb_longest_id},
    conversion_case{"pnp_longest", "*ABC12345678", "PNPABC1234"},
    conversion_case{"monitor_longest", "MONITOR\\ABC12345678", "MONABC1234"},
    conversion_case{"body_longest", "USBPRINT\\" + chars40 + chars40, "PRU" + chars40},
    conversion_case{"pci_defaults_lower_case_ffff", "PCI\\SUBSYS_12345678", "PCIffffffff5678123400000000"},
    conversion_case{"usb_defaults_revision_four_interface_two", "USB\\PID_1", "USB1000000"}),
    row_name{});

// The longest compact ID of each tag has the length its slot widths give.
struct longest_case {
    std::string name;
    std::string hardware_id;
    std::size_t length;
};

void PrintTo(const longest_case& row, std::ostream* os) { *os << row.name; }

class longest_compact_id : public testing::TestWithParam<longest_case> {};

// ... and fits the compact ID's own buffer with its terminating zero.
TEST_P(longest_compact_id, has_maximum_length) {
    const idconv::compact_id id = idconv::build_compact_id(GetParam().hardware_id);
    EXPECT_EQ(id.size(), GetParam().length);
    EXPECT_EQ(std::string_view(id.c_str()), id.view());
}

INSTANTIATE_TEST_SUITE_P(rows, longest_compact_id, testing::Values(
    longest_case{"pci_77", pci_longest_text, 77},
    longest_case{"usb_73", usb_longest_text, 73},
    longest_case{"pnp_10", "ACPI\\*" + chars40, 10},
    longest_case{"monitor_10", "MONITOR\\" + chars40, 10},
    longest_case{"modemwave_43", "MODEMWAVE\\" + chars40 + chars40, 43},
    longest_case{"pcmcia_43", "PCMCIA\\" + chars40 + chars40, 43},
    longest_case{"lptenum_43", "LPTENUM\\" + chars40 + chars40, 43},
    longest_case{"usbprint_43", "USBPRINT\\" + chars40 + chars40, 43}),
    row_name{});

// An item that is only a prefix: defaults where the bus has them, the bare
// tag for whole-body buses, empty where nothing identifies the device.
class prefix_only_item : public testing::TestWithParam<conversion_case> {};
TEST_P(prefix_only_item, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, prefix_only_item, testing::Values(
    conversion_case{"pci_all_defaults", "PCI\\", "PCIffffffff0000000000000000"},
    conversion_case{"star_rejected", "*", ""},
    conversion_case{"isapnp_rejected", "ISAPNP\\", ""},
    conversion_case{"unimodem_unconverted", "UNIMODEM", ""},
    conversion_case{"modemwave_bare_tag", "MODEMWAVE\\", "MDW"},
    conversion_case{"pcmcia_bare_tag", "PCMCIA\\", "PCC"},
    conversion_case{"usb_no_key", "USB\\", ""},
    conversion_case{"lptenum_bare_tag", "LPTENUM\\", "PRT"},
    conversion_case{"usbprint_bare_tag", "USBPRINT\\", "PRU"},
    conversion_case{"monitor_rejected", "MONITOR\\", ""},
    conversion_case{"isa_unconverted", "ISA\\", ""},
    conversion_case{"acpi_rejected", "ACPI\\", ""},
    conversion_case{"bios_rejected", "BIOS\\", ""},
    conversion_case{"virtual_unconverted", "VIRTUAL\\", ""},
    conversion_case{"mf_unconverted", "MF\\", ""},
    conversion_case{"unconverted_buses_with_body", "ISA\\ABC1234,UNIMODEM1234,VIRTUAL\\ABC,MF\\ABC,ROOT\\ABC", ""},
    conversion_case{"isa_with_body", "ISA\\ABC1234", ""},
    conversion_case{"unimodem_with_body", "UNIMODEM1234", ""},
    conversion_case{"virtual_with_body", "VIRTUAL\\ABC", ""},
    conversion_case{"mf_with_body", "MF\\ABC", ""},
    conversion_case{"root_with_body", "ROOT\\ABC", ""}),
    row_name{});

}  // namespace
}  // namespace idconv_test
