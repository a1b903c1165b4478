// PnP-style items ("*", "ISAPNP\", "ACPI\", "BIOS\", "MONITOR\"): three
// characters of vendor, then one to four hexadecimal digits of product.
#include "test_support.h"

namespace idconv_test {
namespace {

class pnp_extraction : public testing::TestWithParam<conversion_case> {};
TEST_P(pnp_extraction, builds) { expect_conversion(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, pnp_extraction, testing::Values(
    conversion_case{"star_item", "*PNP0501", "PNPPNP0501"},
    conversion_case{"isapnp_item", "ISAPNP\\ABC1234", "PNPABC1234"},
    conversion_case{"acpi_lower_case_hex_kept", "ACPI\\PNP0a03", "PNPPNP0a03"},
    conversion_case{"acpi_star_stepped", "ACPI\\*PNP0A03", "PNPPNP0A03"},
    conversion_case{"bios_star_stepped", "BIOS\\*PNP0C01", "PNPPNP0C01"},
    conversion_case{"bios_item", "BIOS\\PNP0C01", "PNPPNP0C01"},
    conversion_case{"monitor_tag", "MONITOR\\ABC1234", "MONABC1234"},
    conversion_case{"monitor_star_stepped", "MONITOR\\*DEL4064", "MONDEL4064"},
    conversion_case{"lower_case_prefixes", "acpi\\PNP0A03", "PNPPNP0A03"},
    conversion_case{"lower_case_isapnp", "isapnp\\PNP0501", "PNPPNP0501"},
    conversion_case{"lower_case_monitor", "monitor\\del4064", "MONdel4064"},
    conversion_case{"double_star_stepped_once", "**PNP0501", "PNPPNP0501"},
    conversion_case{"product_one_digit", "*PNP0", "PNPPNP0"},
    conversion_case{"product_two_digits", "*PNP05", "PNPPNP05"},
    conversion_case{"product_three_digits", "*PNP050", "PNPPNP050"},
    conversion_case{"product_five_digits_four_taken", "*PNP05011", "PNPPNP0501"},
    conversion_case{"non_hex_after_seventh_not_read", "*PNP0501XYZ", "PNPPNP0501"},
    conversion_case{"product_not_hex_rejected", "ISAPNP\\PNPXYZW", ""},
    conversion_case{"empty_product_rejected", "ACPI\\ABC", ""},
    conversion_case{"vendor_two_characters_rejected", "*AB", ""},
    conversion_case{"vendor_one_character_rejected", "*A", ""},
    conversion_case{"lone_star_rejected", "*", ""},
    conversion_case{"only_prefix_rejected", "ACPI\\", ""},
    conversion_case{"monitor_vendor_only_rejected", "MONITOR\\DEL", ""},
    conversion_case{"monitor_default_monitor_rejected", "MONITOR\\Default_Monitor", ""},
    conversion_case{"acpi_processor_name_rejected", "ACPI\\GenuineIntel_-_x86", ""},
    conversion_case{"acpi_ven_dev_form_rejected", "ACPI\\VEN_INT&DEV_33A0", ""},
    conversion_case{"acpi_four_letter_vendor_id", "ACPI\\INT33A0", "PNPINT33A0"},
    conversion_case{"vendor_part_not_tested", "*1_&0501", "PNP1_&0501"},
    conversion_case{"vendor_with_blank_kept", "ACPI\\a b0A03", "PNPa b0A03"},
    conversion_case{"vendor_high_bytes_kept", "*\xC4\xD6\xDC" "0501", "PNP\xC4\xD6\xDC" "0501"},
    conversion_case{"hex_digits_mixed_case", "*PNPaF09", "PNPPNPaF09"},
    conversion_case{"first_product_char_not_hex", "*PNPG501", ""},
    conversion_case{"slash_below_zero_rejected", "*PNP050/", ""},
    conversion_case{"colon_above_nine_rejected", "*PNP050:", ""},
    conversion_case{"at_below_upper_a_rejected", "*PNP050@", ""},
    conversion_case{"upper_g_rejected", "*PNP050G", ""},
    conversion_case{"backquote_below_lower_a_rejected", "*PNP050`", ""},
    conversion_case{"lower_g_rejected", "*PNP050g", ""},
    conversion_case{"blank_inside_product_rejected", "*PNP05 1", ""},
    conversion_case{"second_star_belongs_to_vendor", "ACPI\\**PNP0A03", ""},
    conversion_case{"third_star_belongs_to_vendor", "***PNP0501", ""},
    conversion_case{"trailing_blank_after_short_product", "*PNP05 ", "PNPPNP05"},
    conversion_case{"trailing_controls_after_product", "ACPI\\PNP0A03\r\n", "PNPPNP0A03"},
    conversion_case{"leading_blanks_before_star", "  *PNP0501", "PNPPNP0501"}),
    row_name{});

}  // namespace
}  // namespace idconv_test
