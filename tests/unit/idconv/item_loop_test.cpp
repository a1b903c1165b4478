// The item loop over a comma-separated list: merging items of one bus,
// resets on another bus, skipped items, and rejected PnP-style items.
#include "test_support.h"

#include <string>

namespace idconv_test {
namespace {

const std::string zero_tail = "0000000000000000";

// Items of one bus class in a row merge; a later value wins.
class item_merging : public testing::TestWithParam<conversion_case> {};
TEST_P(item_merging, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, item_merging, testing::Values(
    conversion_case{"pci_later_values_win", "PCI\\VEN_1234&DEV_5678,PCI\\VEN_1234&DEV_5679&REV_02",
                    "PCI123456790000000000000200"},
    conversion_case{"pci_unmentioned_slots_kept", "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF,PCI\\VEN_1111",
                    "PCI111156780DEF9ABC00000000"},
    conversion_case{"pci_interface_kept_across_items", "PCI\\CC_030001,PCI\\CC_0C03",
                    "PCIffffffff000000000C030001"},
    conversion_case{"pci_hardware_id_list",
                    "PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02,PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086,"
                    "PCI\\VEN_8086&DEV_100E&CC_020000,PCI\\VEN_8086&DEV_100E&CC_0200",
                    "PCI8086100E8086001E02000200"},
    conversion_case{"usb_unmentioned_slots_kept", "USB\\VID_0A1B&PID_2C3D&MI_01,USB\\REV_0200",
                    "USB0A1B2C3D020001"},
    conversion_case{"usb_hardware_id_list", "USB\\VID_046D&PID_C52B&REV_1201&MI_00,USB\\VID_046D&PID_C52B&MI_00",
                    "USB046DC52B120100"},
    conversion_case{"pnp_same_class_later_wins", "ACPI\\PNP0A03,ACPI\\ABC1", "PNPABC1"},
    conversion_case{"first_star_then_other_pnp_class", "*PNP0C01,ISAPNP\\PNP0501", "PNPPNP0501"},
    conversion_case{"trailing_comma_adds_no_item", "PCI\\VEN_1234&DEV_5678,", "PCI12345678" + zero_tail},
    conversion_case{"blanks_around_items", "PCI\\VEN_1234 , USB\\VID_0A1B ", "USB0A1B000000"}),
    row_name{});

// An accepted item of another bus class empties everything gathered before.
class item_resets : public testing::TestWithParam<conversion_case> {};
TEST_P(item_resets, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, item_resets, testing::Values(
    conversion_case{"last_accepted_item_decides", "PCI\\VEN_1234&DEV_5678,USB\\VID_0A1B&PID_2C3D",
                    "USB0A1B2C3D000000"},
    conversion_case{"pci_slots_emptied_by_usb_between", "PCI\\VEN_1234&DEV_5678,USB\\VID_0A1B,PCI\\REV_02",
                    "PCIffffffff0000000000000200"},
    conversion_case{"pci_slots_emptied_by_unknown_between", "PCI\\VEN_1234&DEV_5678,ROOT\\X,PCI\\REV_02",
                    "PCIffffffff0000000000000200"},
    conversion_case{"pci_slots_emptied_by_isa_between", "PCI\\VEN_1234&DEV_5678,ISA\\ABC1234,PCI\\REV_02",
                    "PCIffffffff0000000000000200"},
    conversion_case{"blank_item_between_resets", "PCI\\VEN_1234, ,PCI\\DEV_5678", "PCIffff5678" + zero_tail},
    conversion_case{"unknown_last_item_gives_empty", "PCI\\VEN_1234,ROOT\\X", ""},
    conversion_case{"virtual_last_item_gives_empty", "PCI\\VEN_1234,MF\\X", ""},
    conversion_case{"unimodem_last_item_gives_empty", "*PNP0501,UNIMODEM1234", ""},
    conversion_case{"empty_item_between_commas_decides", "PCI\\VEN_1234&DEV_5678,,", ""},
    conversion_case{"leading_empty_item_replaced", ",PCI\\VEN_1234&DEV_5678", "PCI12345678" + zero_tail},
    conversion_case{"pnp_replaced_by_monitor", "ACPI\\PNP0A03,MONITOR\\DEL4064", "MONDEL4064"},
    conversion_case{"usb_without_keys_at_end_wipes", "USB\\VID_0A1B&PID_2C3D,USB\\ROOT_HUB", ""},
    conversion_case{"usb_after_keyless_usb_starts_empty", "USB\\VID_1111&PID_2222,USB\\ROOT_HUB,USB\\PID_3333",
                    "USB3333000000"},
    conversion_case{"usb_after_leading_keyless_usb", "USB\\ROOT_HUB,USB\\VID_0A1B", "USB0A1B000000"},
    conversion_case{"pci_after_keyless_usb", "USB\\ROOT_HUB,PCI\\VEN_1234", "PCI1234ffff" + zero_tail},
    conversion_case{"keyless_usb_after_pnp", "*PNP0501,USB\\ROOT_HUB", ""},
    conversion_case{"comma_after_a_high_byte_still_ends_the_item", "PCI\\VEN_1234\xFF,USB\\VID_0A1B",
                    "USB0A1B000000"},
    conversion_case{"only_commas", ",,", ""},
    conversion_case{"one_comma", ",", ""},
    conversion_case{"empty_text", "", ""}),
    row_name{});

// Skipped items: "IRQHOLDER" anywhere (letter case counts), and "*" items
// once a class is set (class 0 included).
class item_skips : public testing::TestWithParam<conversion_case> {};
TEST_P(item_skips, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, item_skips, testing::Values(
    conversion_case{"irqholder_item_alone", "PCI\\VEN_1234&DEV_5678&IRQHOLDER", ""},
    conversion_case{"irqholder_inside_pnp_item", "*PNP0501IRQHOLDER", ""},
    conversion_case{"irqholder_middle_item_other_class_no_reset",
                    "PCI\\VEN_1234,USB\\VID_0A1B&IRQHOLDER,PCI\\DEV_5678", "PCI12345678" + zero_tail},
    conversion_case{"irqholder_item_same_class_not_merged", "PCI\\VEN_1234,PCI\\VEN_9999&IRQHOLDER",
                    "PCI1234ffff" + zero_tail},
    conversion_case{"irqholder_inside_value", "PCI\\VEN_1234,PCI\\VEN_XIRQHOLDERX", "PCI1234ffff" + zero_tail},
    conversion_case{"irqholder_unknown_item_in_middle", "USB\\VID_0A1B,IRQHOLDER,USB\\PID_2C3D",
                    "USB0A1B2C3D000000"},
    conversion_case{"irqholder_last_keeps_result", "*PNP0501,ISAPNP\\IRQHOLDER", "PNPPNP0501"},
    conversion_case{"irqholder_first_leaves_class_unset", "ISAPNP\\IRQHOLDER,*PNP0501", "PNPPNP0501"},
    conversion_case{"lower_case_irqholder_not_skipped", "PCI\\VEN_1234,PCI\\VEN_9999&irqholder",
                    "PCI9999ffff" + zero_tail},
    conversion_case{"mixed_case_irqholder_not_skipped", "PCI\\VEN_1234,ROOT\\IrqHolder", ""},
    conversion_case{"star_skipped_after_pnp", "ISAPNP\\PNP0501,*PNP0C01", "PNPPNP0501"},
    conversion_case{"star_skipped_after_star", "*PNP0501,*PNP0C01", "PNPPNP0501"},
    conversion_case{"star_skipped_after_pci", "PCI\\VEN_1234,*PNP0501", "PCI1234ffff" + zero_tail},
    conversion_case{"star_with_leading_blank_skipped", "PCI\\VEN_1234, *PNP0501", "PCI1234ffff" + zero_tail},
    conversion_case{"star_skipped_after_leading_empty_item", ",*PNP0501", ""},
    conversion_case{"star_skipped_after_unknown_item", "ROOT\\X,*PNP0501", ""},
    conversion_case{"star_skipped_after_keyless_usb", "USB\\ROOT_HUB,*PNP0501", ""},
    conversion_case{"star_skipped_after_keyless_usb_following_pnp", "*PNP0501,USB\\ROOT_HUB,*PNP0C01", ""}),
    row_name{});

// A PnP-style item whose product is not hexadecimal returns the class to
// "none": the result is empty unless an item follows, and a "*" item is
// accepted again.
class rejected_pnp_item : public testing::TestWithParam<conversion_case> {};
TEST_P(rejected_pnp_item, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, rejected_pnp_item, testing::Values(
    conversion_case{"star_accepted_after_rejected_isapnp", "ISAPNP\\PNPXYZW,*PNP0501", "PNPPNP0501"},
    conversion_case{"star_accepted_after_rejected_star", "*PNPXYZW,*PNP0501", "PNPPNP0501"},
    conversion_case{"star_accepted_after_rejected_monitor", "MONITOR\\Default_Monitor,*PNP09FF", "PNPPNP09FF"},
    conversion_case{"rejected_at_end_discards_result", "ISAPNP\\PNP0501,ISAPNP\\PNPXYZW", ""},
    conversion_case{"rejected_at_end_discards_other_pnp_class", "*PNP0501,ACPI\\ABC", ""},
    conversion_case{"same_class_accepted_after_rejected", "ISAPNP\\PNPXYZW,ISAPNP\\PNP0501", "PNPPNP0501"},
    conversion_case{"pci_after_rejected", "ISAPNP\\PNPXYZW,PCI\\VEN_1234", "PCI1234ffff" + zero_tail},
    conversion_case{"second_star_skipped_after_accepted_star", "ISAPNP\\PNPXYZW,*PNP0501,*PNP0C01",
                    "PNPPNP0501"}),
    row_name{});

}  // namespace
}  // namespace idconv_test
