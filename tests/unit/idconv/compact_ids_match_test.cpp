// compact_ids_match: a wanted ID that begins with "PCI" is compared on its
// first 19 characters, any other as a whole text; byte for byte.
#include "test_support.h"

#include <string>

namespace idconv_test {
namespace {

using namespace std::string_literals;

struct match_case {
    std::string name;
    std::string wanted;
    std::string candidate;
    bool matches;
};

void PrintTo(const match_case& row, std::ostream* os) {
    *os << row.name << ": " << escaped(row.wanted) << " vs " << escaped(row.candidate);
}

class compact_ids_matching : public testing::TestWithParam<match_case> {};

TEST_P(compact_ids_matching, decides) {
    EXPECT_EQ(idconv::compact_ids_match(GetParam().wanted, GetParam().candidate), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(rows, compact_ids_matching, testing::Values(
    match_case{"pci_first_19_equal", "PCI1234567800000000", "PCI123456780000000003000100", true},
    match_case{"pci_differ_only_after_19", "PCI123456780000000003000100", "PCI123456780000000001010200", true},
    match_case{"pci_wanted_shorter_than_19", "PCI12345678", "PCI123456780000000000000000", false},
    match_case{"pci_subsystem_differs_within_19", "PCI1234567800000001", "PCI123456780000000000000000", false},
    match_case{"pci_ffff_is_no_wildcard", "PCIffffffff0000000000000000", "PCI123456780000000000000000", false},
    match_case{"pci_lower_case_tag_compared_whole", "pci123456780000000000000000", "PCI123456780000000000000000",
               false},
    match_case{"usb_compared_whole", "USB0A1B2C3D000000", "USB0A1B2C3D010000", false},
    match_case{"no_19_window_outside_pci", "USB0A1B2C3D0100000001", "USB0A1B2C3D0100000002", false},
    match_case{"pnp_equal", "PNPPNP0501", "PNPPNP0501", true},
    match_case{"pnp_longer_candidate", "PNPPNP0501", "PNPPNP0501X", false},
    match_case{"empty_wanted_vs_pci", "", "PCI1", false},
    match_case{"empty_wanted_vs_empty", "", "", true},
    match_case{"pci_19_wanted_vs_19_candidate", "PCI1234567800000000", "PCI1234567800000000", true},
    match_case{"pci_long_wanted_vs_19_candidate", "PCI123456780000000003000100", "PCI1234567800000000", true},
    match_case{"pci_differs_at_character_19", "PCI123456780000000X", "PCI123456780000000Y", false},
    match_case{"pci_differs_at_character_20", "PCI1234567800000000X", "PCI1234567800000000Y", true},
    match_case{"pci_differs_at_character_4", "PCI023456780000000000000000", "PCI123456780000000000000000", false},
    match_case{"pci_wanted_18_candidate_19", "PCI123456780000000", "PCI1234567800000000", false},
    match_case{"pci_tag_alone_vs_tag", "PCI", "PCI", true},
    match_case{"pci_tag_alone_vs_longer", "PCI", "PCI1", false},
    match_case{"pci_candidate_other_tag", "PCI1234567800000000", "USB1234567800000000", false},
    match_case{"pci_case_counts_in_window", "PCI1234ABCD00000000", "PCI1234abcd00000000", false},
    match_case{"pci_window_ends_inside_long_vendor", "PCI" + chars40, "PCI" + chars40.substr(0, 16) + "X", true},
    match_case{"mixed_case_tag_compared_whole", "Pci1234567800000000X", "Pci1234567800000000Y", false},
    match_case{"tag_two_characters", "PC", "PC", true},
    match_case{"usb_equal", "USB0A1B2C3D000001", "USB0A1B2C3D000001", true},
    match_case{"usb_case_counts", "USB0A1B2C3D000001", "USB0a1b2c3d000001", false},
    match_case{"usb_shorter_candidate", "USB0A1B2C3D000001", "USB0A1B2C3D00000", false},
    match_case{"body_equal", "PCCSome-Card_Name-1234", "PCCSome-Card_Name-1234", true},
    match_case{"nul_byte_counts", "PNPPNP0501\0"s, "PNPPNP0501", false},
    match_case{"pci_nul_byte_inside_window", "PCI1234\0" "5678"s, "PCI1234", false},
    match_case{"high_bytes_equal", "PRU\xC4\xD6", "PRU\xC4\xD6", true}),
    row_name{});

// Which rule a wanted ID selects: only an exact upper-case "PCI" start.
struct rule_case {
    std::string name;
    std::string wanted;
    idconv::match_rule rule;
};

void PrintTo(const rule_case& row, std::ostream* os) { *os << row.name << ": " << escaped(row.wanted); }

class match_rule_selection : public testing::TestWithParam<rule_case> {};

TEST_P(match_rule_selection, selects) {
    EXPECT_EQ(idconv::match_rule_for(GetParam().wanted), GetParam().rule);
}

INSTANTIATE_TEST_SUITE_P(rows, match_rule_selection, testing::Values(
    rule_case{"pci_compact_id", "PCI123456780000000000000000", idconv::match_rule::pci_window},
    rule_case{"pci_tag_alone", "PCI", idconv::match_rule::pci_window},
    rule_case{"lower_case_tag", "pci1234", idconv::match_rule::whole_text},
    rule_case{"two_characters", "PC", idconv::match_rule::whole_text},
    rule_case{"empty", "", idconv::match_rule::whole_text},
    rule_case{"pcmcia_tag", "PCCSome-Card", idconv::match_rule::whole_text},
    rule_case{"blank_before_tag", " PCI1234", idconv::match_rule::whole_text}),
    row_name{});

}  // namespace
}  // namespace idconv_test
