// PCI items: the keys VEN, DEV, SUBSYS, CC, REV; cuts, swaps and defaults.
#include "test_support.h"

#include <string>

namespace idconv_test {
namespace {

// Subsystem, class code, revision and interface all at their defaults.
const std::string zero_tail = "0000000000000000";

class pci_extraction : public testing::TestWithParam<conversion_case> {};
TEST_P(pci_extraction, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, pci_extraction, testing::Values(
    conversion_case{"slot_order_subsystem_swapped_class_code_split",
                    "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_030000&REV_01",
                    "PCI123456780DEF9ABC03000100"},
    conversion_case{"fields_in_other_order", "PCI\\REV_01&CC_030000&SUBSYS_9ABC0DEF&DEV_5678&VEN_1234",
                    "PCI123456780DEF9ABC03000100"},
    conversion_case{"missing_device_takes_ffff", "PCI\\VEN_1234", "PCI1234ffff" + zero_tail},
    conversion_case{"missing_vendor_takes_ffff", "PCI\\DEV_5678", "PCIffff5678" + zero_tail},
    conversion_case{"keys_lower_case_not_recognised", "pci\\ven_1234&dev_5678", "PCIffffffff" + zero_tail},
    conversion_case{"keys_capitalised_not_recognised",
                    "PCI\\Ven_1234&Dev_5678&Subsys_9ABC0DEF&Cc_030000&Rev_01", "PCIffffffff" + zero_tail},
    conversion_case{"one_key_lower_case", "PCI\\VEN_1234&dev_5678", "PCI1234ffff" + zero_tail},
    conversion_case{"lower_case_prefix_upper_case_keys", "pci\\VEN_1234&DEV_5678", "PCI12345678" + zero_tail},
    conversion_case{"values_keep_their_case", "PCI\\VEN_abCD&DEV_Ef01", "PCIabCDEf01" + zero_tail},
    conversion_case{"vendor_exactly_40", "PCI\\VEN_" + chars40, "PCI" + chars40 + "ffff" + zero_tail},
    conversion_case{"vendor_41_cut_to_40", "PCI\\VEN_" + chars40 + "e", "PCI" + chars40 + "ffff" + zero_tail},
    conversion_case{"device_exactly_10", "PCI\\VEN_1234&DEV_" + chars10, "PCI1234" + chars10 + zero_tail},
    conversion_case{"device_11_cut_to_10", "PCI\\VEN_1234&DEV_" + chars10 + "A", "PCI1234" + chars10 + zero_tail},
    conversion_case{"device_cut_to_its_width", "PCI\\VEN_1234&DEV_56789ABCDEF01", "PCI123456789ABCDE" + zero_tail},
    conversion_case{"revision_two_characters", "PCI\\REV_02", "PCIffffffff0000000000000200"},
    conversion_case{"revision_exactly_10", "PCI\\REV_" + chars10, "PCIffffffff000000000000" + chars10 + "00"},
    conversion_case{"revision_11_cut_to_10", "PCI\\REV_" + chars10 + "A", "PCIffffffff000000000000" + chars10 + "00"},
    conversion_case{"revision_with_underscore", "PCI\\REV_0_1", "PCIffffffff0000000000000_100"},
    conversion_case{"vendor_with_underscore", "PCI\\VEN_12_34&DEV_5678", "PCI12_345678" + zero_tail},
    conversion_case{"duplicate_key_later_wins", "PCI\\VEN_1111&DEV_5678&VEN_2222", "PCI22225678" + zero_tail},
    conversion_case{"later_empty_value_empties_slot", "PCI\\VEN_1111&DEV_5678&VEN_", "PCIffff5678" + zero_tail},
    conversion_case{"empty_field_between_ampersands", "PCI\\VEN_1234&&DEV_5678", "PCI12345678" + zero_tail},
    conversion_case{"leading_and_trailing_ampersand", "PCI\\&VEN_1234&DEV_5678&", "PCI12345678" + zero_tail},
    conversion_case{"field_without_underscore_ignored", "PCI\\VEN1234&DEV_5678", "PCIffff5678" + zero_tail},
    conversion_case{"empty_key_ignored", "PCI\\_1234&DEV_5678", "PCIffff5678" + zero_tail},
    conversion_case{"key_must_be_exact", "PCI\\VENX_1234&VE_99&DEVICE_1&DEV_5678", "PCIffff5678" + zero_tail},
    conversion_case{"usb_keys_ignored", "PCI\\VEN_1234&DEV_5678&MI_01&VID_9999&PID_8888",
                    "PCI12345678" + zero_tail},
    conversion_case{"unknown_key_ignored", "PCI\\VEN_1234&DEV_5678&XYZ_99", "PCI12345678" + zero_tail},
    conversion_case{"star_after_prefix_stepped", "PCI\\*VEN_1234&DEV_5678", "PCI12345678" + zero_tail},
    conversion_case{"second_star_belongs_to_key", "PCI\\**VEN_1234&DEV_5678", "PCIffff5678" + zero_tail},
    conversion_case{"only_prefix_gives_all_defaults", "PCI\\", "PCIffffffff" + zero_tail},
    conversion_case{"lone_star_body", "PCI\\*", "PCIffffffff" + zero_tail},
    conversion_case{"trailing_blank_not_in_value", "PCI\\VEN_1234&DEV_5678 ", "PCI12345678" + zero_tail},
    conversion_case{"trailing_controls_not_in_value", "PCI\\VEN_1234&DEV_5678\r\n", "PCI12345678" + zero_tail},
    conversion_case{"leading_blanks_before_prefix", "  PCI\\VEN_1234&DEV_5678", "PCI12345678" + zero_tail},
    conversion_case{"interior_blank_kept", "PCI\\VEN_12 34", "PCI12 34ffff" + zero_tail}),
    row_name{});

// SUBSYS: characters 5 to 8, then 1 to 4, as far as they exist.
class pci_subsystem : public testing::TestWithParam<conversion_case> {};
TEST_P(pci_subsystem, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, pci_subsystem, testing::Values(
    conversion_case{"empty_value_takes_default", "PCI\\VEN_1234&DEV_5678&SUBSYS_", "PCI12345678" + zero_tail},
    conversion_case{"one_character", "PCI\\VEN_1234&DEV_5678&SUBSYS_9", "PCI12345678900000000"},
    conversion_case{"three_characters", "PCI\\VEN_1234&DEV_5678&SUBSYS_9AB", "PCI123456789AB00000000"},
    conversion_case{"four_characters_unchanged", "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC", "PCI123456789ABC00000000"},
    conversion_case{"five_characters", "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0", "PCI1234567809ABC00000000"},
    conversion_case{"seven_characters", "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DE", "PCI123456780DE9ABC00000000"},
    conversion_case{"eight_characters_swapped", "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF",
                    "PCI123456780DEF9ABC00000000"},
    conversion_case{"ten_characters_tail_dropped", "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF12",
                    "PCI123456780DEF9ABC00000000"},
    conversion_case{"underscore_inside_value", "PCI\\VEN_1234&DEV_5678&SUBSYS_AB_CDEFG",
                    "PCI12345678DEFGAB_C00000000"},
    conversion_case{"later_subsystem_replaces_whole", "PCI\\SUBSYS_9ABC0DEF&SUBSYS_12",
                    "PCIffffffff1200000000"}),
    row_name{});

// CC: the first four characters; two characters get "00"; six characters
// also give the interface; any other length leaves the interface alone.
class pci_class_code : public testing::TestWithParam<conversion_case> {};
TEST_P(pci_class_code, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, pci_class_code, testing::Values(
    conversion_case{"empty_value_takes_default", "PCI\\VEN_1234&DEV_5678&CC_", "PCI123456780000000000000000"},
    conversion_case{"one_character_taken", "PCI\\VEN_1234&DEV_5678&CC_3", "PCI123456780000000030000"},
    conversion_case{"two_characters_extended", "PCI\\VEN_1234&DEV_5678&CC_0C", "PCI12345678000000000C000000"},
    conversion_case{"three_characters_taken", "PCI\\VEN_1234&DEV_5678&CC_0C0", "PCI12345678000000000C00000"},
    conversion_case{"four_characters", "PCI\\VEN_1234&DEV_5678&CC_0C03", "PCI12345678000000000C030000"},
    conversion_case{"five_characters_no_interface", "PCI\\VEN_1234&DEV_5678&CC_0C031",
                    "PCI12345678000000000C030000"},
    conversion_case{"six_characters_give_interface", "PCI\\VEN_1234&DEV_5678&CC_0C0310",
                    "PCI12345678000000000C030010"},
    conversion_case{"seven_characters_no_interface", "PCI\\VEN_1234&DEV_5678&CC_0C03102",
                    "PCI12345678000000000C030000"},
    conversion_case{"eight_characters_no_interface", "PCI\\VEN_1234&DEV_5678&CC_0C031020",
                    "PCI12345678000000000C030000"},
    conversion_case{"six_then_four_keeps_interface", "PCI\\VEN_1234&DEV_5678&CC_030001&CC_0C03",
                    "PCI12345678000000000C030001"},
    conversion_case{"six_then_two_keeps_interface", "PCI\\VEN_1234&DEV_5678&CC_030001&CC_0C",
                    "PCI12345678000000000C000001"},
    conversion_case{"six_then_six_replaces_interface", "PCI\\VEN_1234&DEV_5678&CC_030001&CC_0C0320",
                    "PCI12345678000000000C030020"},
    conversion_case{"six_with_underscore", "PCI\\VEN_1234&DEV_5678&CC_03_001", "PCI1234567800000000" "03_0" "00" "01"},
    conversion_case{"lower_case_key_ignored", "PCI\\VEN_1234&DEV_5678&cc_0C0310", "PCI12345678" + zero_tail}),
    row_name{});

}  // namespace
}  // namespace idconv_test
