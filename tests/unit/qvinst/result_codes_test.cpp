// The result codes as qvinst reports them: one row for every code of
// quorvant.h, and exit statuses a script can tell apart.
#include "qvinst_test_support.h"

#include "include/quorvant.h"
#include "tools/qvinst/result_codes.h"

#include <climits>
#include <set>
#include <string>

namespace {

using qvinst::describe_result;
using qvinst_test::row_name;

struct code_case {
    std::string name;
    int code;
    std::string code_name;
    int exit_status;
};

void PrintTo(const code_case& row, std::ostream* os) { *os << row.name; }

class ResultCodeRow : public testing::TestWithParam<code_case> {};

TEST_P(ResultCodeRow, HasTheHeadersNameAndItsExitStatus) {
    const code_case& row = GetParam();
    const qvinst::result_code_info info = describe_result(row.code);
    EXPECT_EQ(info.value, row.code);
    EXPECT_EQ(info.name, row.code_name);
    EXPECT_FALSE(info.meaning.empty());
    EXPECT_EQ(info.exit_status, row.exit_status);
}

// The exit statuses are a published interface (help text, docs/qvinst.md):
// these rows pin them.
INSTANTIATE_TEST_SUITE_P(
    EveryResultCode, ResultCodeRow,
    testing::Values(
        code_case{"restart_needed_is_3010", QV7_INSTALLED_NEEDS_RESTART, "QV7_INSTALLED_NEEDS_RESTART", 3010},
        code_case{"reboot_needed_is_3010", QV7_INSTALLED_NEEDS_REBOOT, "QV7_INSTALLED_NEEDS_REBOOT", 3010},
        code_case{"installed_is_0", QV7_INSTALLED, "QV7_INSTALLED", 0},
        code_case{"no_device_is_11", QV7_E_NO_DEVICE, "QV7_E_NO_DEVICE", 11},
        code_case{"no_driver_is_12", QV7_E_NO_DRIVER, "QV7_E_NO_DRIVER", 12},
        code_case{"install_failed_is_13", QV7_E_INSTALL_FAILED, "QV7_E_INSTALL_FAILED", 13},
        code_case{"no_inf_path_is_14", QV7_E_NO_INF_PATH, "QV7_E_NO_INF_PATH", 14},
        code_case{"no_newdev_is_17", QV7_E_NO_NEWDEV, "QV7_E_NO_NEWDEV", 17},
        code_case{"not_nt_driver_is_18", QV7_E_NOT_NT_DRIVER, "QV7_E_NOT_NT_DRIVER", 18},
        code_case{"no_entry_point_is_19", QV7_E_NO_ENTRY_POINT, "QV7_E_NO_ENTRY_POINT", 19},
        code_case{"out_of_memory_is_20", QV7_E_OUT_OF_MEMORY, "QV7_E_OUT_OF_MEMORY", 20},
        code_case{"zero_never_returned_is_unknown", 0, "UNKNOWN", 30},
        code_case{"minus_5_not_in_table", -5, "UNKNOWN", 30},
        code_case{"minus_6_not_in_table", -6, "UNKNOWN", 30},
        code_case{"four_above_table", 4, "UNKNOWN", 30},
        code_case{"minus_11_below_table", -11, "UNKNOWN", 30},
        code_case{"int_min", INT_MIN, "UNKNOWN", 30},
        code_case{"int_max", INT_MAX, "UNKNOWN", 30}),
    row_name{});

TEST(ResultCodeTable, HoldsEachCodeOnce) {
    std::set<int> codes;
    for (const auto& row : result_codes::table) {
        EXPECT_TRUE(codes.insert(row.value).second) << "code " << row.value << " listed twice";
    }
    EXPECT_EQ(codes, (std::set<int>{3, 2, 1, -1, -2, -3, -4, -7, -8, -9, -10}));
}

// A script must tell every failure from success, from bad arguments, from
// qvinst's own trouble and from every other failure; and a shell that sees
// only the low 8 bits of a status must still see the failure.
TEST(ResultCodeTable, FailureStatusesAreDistinctAndSurviveEightBits) {
    const std::set<int> reserved{qvinst::exit_success, qvinst::exit_trouble, qvinst::exit_usage,
                                 qvinst::exit_no_compact_id, qvinst::exit_reboot_needed,
                                 qvinst::exit_unknown_result};
    std::set<int> seen;
    for (const auto& row : result_codes::table) {
        if (row.value > 0) {
            continue;
        }
        EXPECT_EQ(reserved.count(row.exit_status), 0u) << row.name;
        EXPECT_TRUE(seen.insert(row.exit_status).second) << row.name << " shares its status";
        EXPECT_GT(row.exit_status, 0) << row.name;
        EXPECT_LT(row.exit_status, 256) << row.name;
    }
    EXPECT_LT(qvinst::exit_unknown_result, 256);
}

}  // namespace
