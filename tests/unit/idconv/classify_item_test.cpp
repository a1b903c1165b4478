// classify_item: bus class by prefix, and the position where an item's
// fields begin.
#include "test_support.h"

#include <cstddef>
#include <string>

namespace idconv_test {
namespace {

using namespace std::string_literals;
using bus = idconv::bus_class;

struct classify_case {
    std::string name;
    std::string item;
    bus bus_class;
    std::size_t field_pos;
};

void PrintTo(const classify_case& row, std::ostream* os) {
    *os << row.name << ": " << escaped(row.item);
}

void expect_classified(const classify_case& row) {
    std::size_t field_pos = 12345;
    const bus cls = idconv::classify_item(row.item, field_pos);
    EXPECT_EQ(cls, row.bus_class);
    EXPECT_EQ(field_pos, row.field_pos);
}

// One row per prefix, and the "*" that may follow it.
class classify_by_prefix : public testing::TestWithParam<classify_case> {};
TEST_P(classify_by_prefix, class_and_field_position) { expect_classified(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, classify_by_prefix, testing::Values(
    classify_case{"pci_item", "PCI\\VEN_1234&DEV_5678", bus::pci, 5},
    classify_case{"pci_lower_case", "pci\\ven_1234", bus::pci, 5},
    classify_case{"star_pnp", "*PNP0501", bus::star_pnp, 2},
    classify_case{"double_star_steps_once", "**PNP0501", bus::star_pnp, 3},
    classify_case{"lone_star_no_step", "*", bus::star_pnp, 2},
    classify_case{"star_ending_item_no_step", "PCI\\*", bus::pci, 5},
    classify_case{"star_then_trailing_blanks_no_step", "PCI\\* \t", bus::pci, 5},
    classify_case{"second_star_not_stepped", "PCI\\**X", bus::pci, 6},
    classify_case{"acpi_star_stepped", "ACPI\\*PNP0A03", bus::acpi, 7},
    classify_case{"unimodem_without_backslash", "UNIMODEMXYZ", bus::unimodem, 9},
    classify_case{"usbprint", "USBPRINT\\X", bus::usbprint, 10},
    classify_case{"mf_is_virtual", "MF\\X", bus::virtual_bus, 4},
    classify_case{"virtual", "VIRTUAL\\X", bus::virtual_bus, 9},
    classify_case{"root_unknown", "ROOT\\X", bus::unknown, 1},
    classify_case{"empty_item", "", bus::unknown, 1},
    classify_case{"leading_blanks_not_counted", "  PCI\\X", bus::pci, 5}),
    row_name{});

// Texts that look like a prefix but are none, and the trimming of blanks and
// control characters (code 32 and below, and only those).
class classify_edges : public testing::TestWithParam<classify_case> {};
TEST_P(classify_edges, class_and_field_position) { expect_classified(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, classify_edges, testing::Values(
    classify_case{"pci_without_backslash", "PCI", bus::unknown, 1},
    classify_case{"pci_with_slash", "PCI/VEN_1234", bus::unknown, 1},
    classify_case{"pci_blank_before_backslash", "PCI \\X", bus::unknown, 1},
    classify_case{"usbprint_without_backslash", "USBPRINT", bus::unknown, 1},
    classify_case{"isapnp_without_backslash", "ISAPNP", bus::unknown, 1},
    classify_case{"unimodem_cut_short", "UNIMODE", bus::unknown, 1},
    classify_case{"modemwave_without_backslash", "MODEMWAVE", bus::unknown, 1},
    classify_case{"mf_without_backslash", "MF", bus::unknown, 1},
    classify_case{"root_then_star_pnp", "ROOT\\*PNP0501", bus::unknown, 1},
    classify_case{"star_not_first", "X*", bus::unknown, 1},
    classify_case{"only_blanks", "   ", bus::unknown, 1},
    classify_case{"only_control_characters", "\x01\x1F\t", bus::unknown, 1},
    classify_case{"mixed_case_prefix", "Pci\\X", bus::pci, 5},
    classify_case{"mixed_case_acpi", "aCpI\\X", bus::acpi, 6},
    classify_case{"control_characters_before_prefix", "\t\r\n\x01\x1F PCI\\X", bus::pci, 5},
    classify_case{"nul_before_prefix_is_trimmed", "\0\0PCI\\X"s, bus::pci, 5},
    classify_case{"del_127_not_trimmed", "\x7FPCI\\X", bus::unknown, 1},
    classify_case{"nbsp_160_not_trimmed", "\xA0PCI\\X", bus::unknown, 1},
    classify_case{"high_byte_255_not_trimmed", "\xFFPCI\\X", bus::unknown, 1},
    classify_case{"bar_not_upper_cased_to_backslash", "pci|x", bus::unknown, 1},
    classify_case{"leading_blanks_before_double_star", "  **PNP", bus::star_pnp, 3},
    classify_case{"blank_between_prefix_and_star", "PCI\\ *X", bus::pci, 5},
    classify_case{"star_before_trailing_nul", "PCI\\*\0"s, bus::pci, 5},
    classify_case{"star_before_high_byte_stepped", "PCI\\*\xA0", bus::pci, 6},
    classify_case{"double_star_then_blank", "** ", bus::star_pnp, 2},
    classify_case{"longest_prefix_star_stepped", "MODEMWAVE\\*X", bus::modemwave, 12},
    classify_case{"longest_prefix_star_ends", "modemwave\\*", bus::modemwave, 11},
    classify_case{"item_is_a_comma_list", "PCI\\VEN_1,USB\\VID_2", bus::pci, 5}),
    row_name{});

}  // namespace
}  // namespace idconv_test
