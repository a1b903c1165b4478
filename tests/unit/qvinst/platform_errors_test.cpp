// The names qvinst gives the platform's error numbers: the Setup API's own
// errors by name and text, system errors by name (their text is the
// system's), and numbers it does not know by number only.
#include "qvinst_test_support.h"

#include "tools/qvinst/platform_errors.h"

#include <set>
#include <string>

namespace {

using qvinst_test::row_name;

struct error_case {
    std::string name;
    std::uint32_t code;
    std::string error_name;  // empty: not in the table
    bool has_text;
    std::string number_text;
};

void PrintTo(const error_case& row, std::ostream* os) { *os << row.name; }

class PlatformErrorRow : public testing::TestWithParam<error_case> {};

TEST_P(PlatformErrorRow, HasItsNameTextAndNumber) {
    const error_case& row = GetParam();
    const qvinst::platform_error_info* info = qvinst::find_platform_error(row.code);
    if (row.error_name.empty()) {
        EXPECT_EQ(info, nullptr);
    } else {
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->name, row.error_name);
        EXPECT_EQ(!info->text.empty(), row.has_text);
    }
    EXPECT_EQ(qvinst::error_number_text(row.code), row.number_text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, PlatformErrorRow,
    testing::Values(
        error_case{"no_compat_drivers", 0xE0000228, "ERROR_NO_COMPAT_DRIVERS", true, "0xE0000228"},
        error_case{"in_wow64", 0xE0000235, "ERROR_IN_WOW64", true, "0xE0000235"},
        error_case{"non_windows_nt_driver", 0xE000022D, "ERROR_NON_WINDOWS_NT_DRIVER", true, "0xE000022D"},
        error_case{"no_such_devinst", 0xE000020B, "ERROR_NO_SUCH_DEVINST", true, "0xE000020B"},
        error_case{"no_driver_selected", 0xE0000203, "ERROR_NO_DRIVER_SELECTED", true, "0xE0000203"},
        error_case{"wrong_inf_style", 0xE0000100, "ERROR_WRONG_INF_STYLE", true, "0xE0000100"},
        error_case{"first_of_the_family", 0xE0000000, "ERROR_EXPECTED_SECTION_NAME", true, "0xE0000000"},
        error_case{"not_installed", 0xE0001000, "ERROR_NOT_INSTALLED", true, "0xE0001000"},
        error_case{"setup_api_gap_unnamed", 0xE0000299, "", false, "0xE0000299"},
        error_case{"file_not_found_text_from_system", 2, "ERROR_FILE_NOT_FOUND", false, "2"},
        error_case{"mod_not_found_text_from_system", 126, "ERROR_MOD_NOT_FOUND", false, "126"},
        error_case{"unknown_system_error", 9999, "", false, "9999"},
        error_case{"interactive_window_station", 1459, "ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION",
                   false, "1459"},
        error_case{"untrusted_root", 0x800B0109, "CERT_E_UNTRUSTEDROOT", false, "0x800B0109"},
        error_case{"no_signature", 0x800B0100, "TRUST_E_NOSIGNATURE", false, "0x800B0100"},
        error_case{"explicit_distrust", 0x800B0111, "TRUST_E_EXPLICIT_DISTRUST", false,
                   "0x800B0111"},
        error_case{"hresult_in_hex", 0x80070005, "", false, "0x80070005"}),
    row_name{});

// Each number once, and every Setup API error with a text of its own,
// since the system's message table knows none of them.
TEST(PlatformErrorTable, NamesEachCodeOnceAndGivesTheSetupApiErrorsText) {
    std::set<std::uint32_t> codes;
    for (auto* row = qvinst::platform_errors_begin(); row != qvinst::platform_errors_end(); ++row) {
        EXPECT_TRUE(codes.insert(row->code).second) << row->name << " listed twice";
        EXPECT_EQ(qvinst::is_setup_api_error(row->code), !row->text.empty()) << row->name;
    }
}

}  // namespace
