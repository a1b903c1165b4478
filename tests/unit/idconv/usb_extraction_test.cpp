// USB items: the keys VID, PID, REV, MI; an item without any of them fits no bus.
#include "test_support.h"

namespace idconv_test {
namespace {

class usb_extraction : public testing::TestWithParam<conversion_case> {};
TEST_P(usb_extraction, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, usb_extraction, testing::Values(
    conversion_case{"revision_default_0000", "USB\\VID_0A1B&PID_2C3D&MI_01", "USB0A1B2C3D000001"},
    conversion_case{"interface_default_00", "USB\\VID_0A1B&PID_2C3D&REV_0100", "USB0A1B2C3D010000"},
    conversion_case{"all_four_keys", "USB\\VID_0A1B&PID_2C3D&REV_0100&MI_02", "USB0A1B2C3D010002"},
    conversion_case{"keys_in_other_order", "USB\\MI_02&REV_0100&PID_2C3D&VID_0A1B", "USB0A1B2C3D010002"},
    conversion_case{"short_revision_not_padded", "USB\\VID_0A1B&REV_01", "USB0A1B0100"},
    conversion_case{"no_usb_key_gives_empty", "USB\\ROOT_HUB", ""},
    conversion_case{"keys_other_case_give_empty", "USB\\Vid_0a1b&Pid_2c3d", ""},
    conversion_case{"keys_lower_case_give_empty", "USB\\vid_0a1b&pid_2c3d&rev_0100&mi_00", ""},
    conversion_case{"one_key_recognised_is_enough", "USB\\VID_0A1B&Pid_2c3d", "USB0A1B000000"},
    conversion_case{"vendor_has_no_default", "USB\\PID_2C3D", "USB2C3D000000"},
    conversion_case{"only_interface", "USB\\MI_01", "USB000001"},
    conversion_case{"only_revision", "USB\\REV_0200", "USB020000"},
    conversion_case{"key_with_empty_value_counts", "USB\\VID_", "USB000000"},
    conversion_case{"unknown_keys_then_usb_key", "USB\\ROOT_HUB&VID_8086", "USB8086000000"},
    conversion_case{"class_keys_only_give_empty", "USB\\CLASS_09&SUBCLASS_00&PROT_00", ""},
    conversion_case{"class_keys_with_interface", "USB\\CLASS_09&MI_00", "USB000000"},
    conversion_case{"pci_keys_are_not_usb_keys", "USB\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_0300", ""},
    conversion_case{"only_prefix_gives_empty", "USB\\", ""},
    conversion_case{"only_ampersands_give_empty", "USB\\&&&", ""},
    conversion_case{"fields_without_underscore_give_empty", "USB\\VID0A1B&PID2C3D", ""},
    conversion_case{"empty_key_gives_empty", "USB\\_0A1B", ""},
    conversion_case{"vendor_exactly_40", "USB\\VID_" + chars40, "USB" + chars40 + "000000"},
    conversion_case{"vendor_41_cut_to_40", "USB\\VID_" + chars40 + "e", "USB" + chars40 + "000000"},
    conversion_case{"product_exactly_10", "USB\\VID_0A1B&PID_" + chars10, "USB0A1B" + chars10 + "000000"},
    conversion_case{"product_11_cut_to_10", "USB\\VID_0A1B&PID_" + chars10 + "A", "USB0A1B" + chars10 + "000000"},
    conversion_case{"revision_exactly_10", "USB\\VID_0A1B&REV_" + chars10, "USB0A1B" + chars10 + "00"},
    conversion_case{"revision_11_cut_to_10", "USB\\VID_0A1B&REV_" + chars10 + "A", "USB0A1B" + chars10 + "00"},
    conversion_case{"interface_exactly_10", "USB\\VID_0A1B&MI_" + chars10, "USB0A1B0000" + chars10},
    conversion_case{"interface_11_cut_to_10", "USB\\VID_0A1B&MI_" + chars10 + "A", "USB0A1B0000" + chars10},
    conversion_case{"value_with_underscore", "USB\\VID_0A1B&PID_2C_3D", "USB0A1B2C_3D000000"},
    conversion_case{"duplicate_key_later_wins", "USB\\VID_1111&PID_2C3D&VID_2222", "USB22222C3D000000"},
    conversion_case{"later_empty_value_empties_slot", "USB\\VID_1111&VID_&PID_2C3D", "USB2C3D000000"},
    conversion_case{"empty_field_between_ampersands", "USB\\VID_0A1B&&PID_2C3D", "USB0A1B2C3D000000"},
    conversion_case{"star_after_prefix_stepped", "USB\\*VID_0A1B", "USB0A1B000000"},
    conversion_case{"lower_case_prefix", "usb\\VID_0A1B&PID_2C3D", "USB0A1B2C3D000000"},
    conversion_case{"values_keep_their_case", "USB\\VID_0a1b&PID_2c3d", "USB0a1b2c3d000000"},
    conversion_case{"trailing_blank_not_in_value", "USB\\VID_0A1B&PID_2C3D ", "USB0A1B2C3D000000"},
    conversion_case{"trailing_tab_not_in_value", "USB\\VID_0A1B&MI_01\t", "USB0A1B000001"}),
    row_name{});

}  // namespace
}  // namespace idconv_test
