// The host build of qvinst as a program: id works, the commands that need
// Windows say so, bad arguments end with status 2 and usage on stderr.
#include "qvinst_test_support.h"

#include "program_run.h"

#include <string>
#include <vector>

namespace {

using qvinst_test::program_result;
using qvinst_test::row_name;

program_result qvinst(const std::vector<std::string>& args) {
    return qvinst_test::run_program(QVINST_HOST_BINARY, args);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(HostQvinst, IdPrintsTheCompactIdOfEachTextInOrder) {
    const program_result r = qvinst({"id", "USB\\VID_0A1B&PID_2C3D&MI_01", "*PNP0501",
                                     "PCI\\VEN_1234&DEV_5678&SUBSYS_9ABC0DEF&CC_030000&REV_01"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "USB0A1B2C3D000001\nPNPPNP0501\nPCI123456780DEF9ABC03000100\n");
    EXPECT_EQ(r.err, "");
}

TEST(HostQvinst, IdMarksATextWithoutCompactIdAndEndsWithStatus3) {
    const program_result r = qvinst({"id", "ROOT\\ABC", "MONITOR\\ABC1234"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "-\nMONABC1234\n");
}

TEST(HostQvinst, IdJsonCarriesBytesAsTheyCame) {
    const program_result r = qvinst({"--json", "id", "PCMCIA\\A\"B\\C\x01\xe9"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              R"({"ids":[{"hardware_id":"PCMCIA\\A\"B\\C\u0001\u00e9","compact_id":"PCCA\"B\\C\u0001\u00e9"}]})"
              "\n");
}

TEST(HostQvinst, OperandsAfterDoubleDashMayBeginWithDash) {
    const program_result r = qvinst({"id", "--", "--help"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, "-\n");
}

TEST(HostQvinst, HelpListsEveryCommandAndTheExitStatuses) {
    const program_result r = qvinst({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* part : {"qvinst [--json] id", "list", "find COMPACT-ID", "install INF COMPACT-ID",
                             "3010", "QV7_E_NO_DEVICE", "QV7_E_OUT_OF_MEMORY", "need Windows",
                             "offers id only"}) {
        EXPECT_TRUE(contains(r.out, part)) << part;
    }
}

TEST(HostQvinst, VersionNamesTheHostBuild) {
    const program_result r = qvinst({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "qvinst " QVINST_EXPECTED_VERSION)) << r.out;
    EXPECT_TRUE(contains(r.out, "host build")) << r.out;
}

struct windows_only_case {
    std::string name;
    std::vector<std::string> args;
};

void PrintTo(const windows_only_case& row, std::ostream* os) { *os << row.name; }

class HostQvinstWindowsOnly : public testing::TestWithParam<windows_only_case> {};

TEST_P(HostQvinstWindowsOnly, SaysItNeedsWindowsAndEndsWithStatus2) {
    const program_result r = qvinst(GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(contains(r.err, "needs Windows")) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HostQvinstWindowsOnly,
    testing::Values(windows_only_case{"list", {"list"}},
                    windows_only_case{"list_json", {"--json", "list"}},
                    windows_only_case{"find", {"find", "PCI1234567800000000"}},
                    windows_only_case{"install", {"install", "a.inf", "PCI1234567800000000"}},
                    windows_only_case{"install_explain",
                                      {"--explain", "install", "a.inf", "PCI1234567800000000"}},
                    windows_only_case{"drivers", {"drivers", "a.inf", "PCI1234567800000000"}},
                    windows_only_case{"stage", {"stage", "a.inf"}},
                    windows_only_case{"remove", {"remove", "oem1.inf"}}),
    row_name{});

struct bad_arguments_case {
    std::string name;
    std::vector<std::string> args;
};

void PrintTo(const bad_arguments_case& row, std::ostream* os) { *os << row.name; }

class HostQvinstBadArguments : public testing::TestWithParam<bad_arguments_case> {};

TEST_P(HostQvinstBadArguments, PrintUsageToStderrAndEndWithStatus2) {
    const program_result r = qvinst(GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(contains(r.err, "usage: qvinst")) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, HostQvinstBadArguments,
    testing::Values(bad_arguments_case{"nothing", {}},
                    bad_arguments_case{"unknown_command", {"frobnicate"}},
                    bad_arguments_case{"unknown_option", {"--jsn", "id", "x"}},
                    bad_arguments_case{"id_without_text", {"id"}},
                    bad_arguments_case{"find_with_two_ids", {"find", "a", "b"}},
                    bad_arguments_case{"install_with_one_operand", {"install", "a.inf"}}),
    row_name{});

}  // namespace
