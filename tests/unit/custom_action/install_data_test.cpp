// CustomActionData of the install action as a package's type-51 action
// leaves it after formatting: well-formed texts give their fields whole,
// every malformed one is refused with the key it is about and no field.
#include "install/custom_action/install_data.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using custom_action::data_error;

struct data_case {
    const char* name;
    std::wstring text;
    data_error error;
    std::wstring key;  // the key the error names
    std::wstring inf_path;
    std::wstring compact_id;
    std::wstring helpers = L"";
    bool for_32bit_action = false;  // read by the 32-bit action, which needs HELPERS
};

void PrintTo(const data_case& row, std::ostream* os) { *os << row.name; }

const data_case data_cases[] = {
    {"file_reference", L"INF=C:\\Program Files\\Vendor\\driver\\mydriver.inf|ID=PCI5156000151560001",
     data_error::none, L"", L"C:\\Program Files\\Vendor\\driver\\mydriver.inf", L"PCI5156000151560001"},
    {"any_order", L"ID=USB0A1B2C3D000001|INF=D:\\d.inf", data_error::none, L"", L"D:\\d.inf",
     L"USB0A1B2C3D000001"},
    // '=', ';', brackets and spaces are file-name characters: kept.
    {"path_characters", L"INF=C:\\a=b; [x] (y)\\k.inf|ID=PNPPNP0A03", data_error::none, L"",
     L"C:\\a=b; [x] (y)\\k.inf", L"PNPPNP0A03"},
    {"non_ascii_path", L"INF=C:\\\x4E34\x65F6\\\x00E9.inf|ID=MONABC1234", data_error::none, L"",
     L"C:\\\x4E34\x65F6\\\x00E9.inf", L"MONABC1234"},
    {"empty", L"", data_error::missing_key, L"INF", L"", L""},
    {"id_missing", L"INF=C:\\d.inf", data_error::missing_key, L"ID", L"", L""},
    {"inf_missing", L"ID=PNPPNP0A03", data_error::missing_key, L"INF", L"", L""},
    {"unknown_key", L"INF=C:\\d.inf|ID=PNPPNP0A03|STAGE=1", data_error::unknown_key, L"STAGE", L"", L""},
    {"key_in_lower_case", L"inf=C:\\d.inf|ID=PNPPNP0A03", data_error::unknown_key, L"inf", L"", L""},
    {"key_given_twice", L"INF=C:\\d.inf|ID=A|INF=C:\\e.inf", data_error::repeated_key, L"INF", L"", L""},
    {"empty_value", L"INF=|ID=PNPPNP0A03", data_error::empty_value, L"INF", L"", L""},
    {"field_without_equals", L"INF=C:\\d.inf|PNPPNP0A03", data_error::no_key, L"PNPPNP0A03", L"", L""},
    {"field_without_key", L"INF=C:\\d.inf|=PNPPNP0A03", data_error::no_key, L"", L"", L""},
    {"separator_at_the_end", L"INF=C:\\d.inf|ID=PNPPNP0A03|", data_error::no_key, L"", L"", L""},
    {"empty_field_between", L"INF=C:\\d.inf||ID=PNPPNP0A03", data_error::no_key, L"", L"", L""},
    {"helpers_folder", L"INF=C:\\P\\d.inf|ID=PNPPNP0A03|HELPERS=C:\\P\\", data_error::none, L"",
     L"C:\\P\\d.inf", L"PNPPNP0A03", L"C:\\P\\", true},
    {"helpers_folder_given_to_x64", L"HELPERS=C:\\P\\|INF=C:\\d.inf|ID=PNPPNP0A03", data_error::none, L"",
     L"C:\\d.inf", L"PNPPNP0A03", L"C:\\P\\"},
    {"helpers_missing_for_32bit", L"INF=C:\\d.inf|ID=PNPPNP0A03", data_error::missing_key, L"HELPERS", L"",
     L"", L"", true},
    {"helpers_empty", L"INF=C:\\d.inf|ID=PNPPNP0A03|HELPERS=", data_error::empty_value, L"HELPERS", L"", L""},
};

class install_data_table : public ::testing::TestWithParam<data_case> {};

TEST_P(install_data_table, parses_or_refuses) {
    const data_case& row = GetParam();
    const custom_action::parsed_data parsed = custom_action::parse_install_data(row.text, row.for_32bit_action);
    EXPECT_EQ(parsed.error, row.error);
    EXPECT_EQ(std::wstring(parsed.key), row.key);
    EXPECT_EQ(std::wstring(parsed.data.inf_path), row.inf_path);
    EXPECT_EQ(std::wstring(parsed.data.compact_id), row.compact_id);
    EXPECT_EQ(std::wstring(parsed.data.helpers), row.helpers);
}

INSTANTIATE_TEST_SUITE_P(custom_action_data, install_data_table, ::testing::ValuesIn(data_cases),
                         [](const ::testing::TestParamInfo<data_case>& row) { return std::string(row.param.name); });

}  // namespace
