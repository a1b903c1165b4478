// qvinst's command line: which invocations are accepted, and as what.
#include "qvinst_test_support.h"

#include "tools/qvinst/command_line.h"

#include <string>
#include <vector>

namespace {

using qvinst::command;
using qvinst_test::row_name;

struct parsed {
    bool ok;
    qvinst::invocation call;
    std::string error;
};

parsed parse(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"qvinst"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    parsed result{};
    result.ok = qvinst::parse_command_line(static_cast<int>(argv.size()), argv.data(), result.call,
                                           result.error);
    return result;
}

struct accepted_case {
    std::string name;
    std::vector<std::string> args;
    command what;
    bool json;
    std::vector<std::string> operands;
};

void PrintTo(const accepted_case& row, std::ostream* os) { *os << row.name; }

class AcceptedCommandLine : public testing::TestWithParam<accepted_case> {};

TEST_P(AcceptedCommandLine, GivesCommandOptionAndOperands) {
    const accepted_case& row = GetParam();
    const parsed result = parse(row.args);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.call.what, row.what);
    EXPECT_EQ(result.call.json, row.json);
    EXPECT_EQ(result.call.operands, row.operands);
    EXPECT_EQ(result.call.explain, row.name == "explain_after_install");
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AcceptedCommandLine,
    testing::Values(
        accepted_case{"id_with_one_text", {"id", "PCI\\VEN_1234"}, command::id, false, {"PCI\\VEN_1234"}},
        accepted_case{"id_keeps_text_order", {"id", "b", "a", "b"}, command::id, false, {"b", "a", "b"}},
        accepted_case{"id_empty_text_is_an_operand", {"id", ""}, command::id, false, {""}},
        accepted_case{"list_alone", {"list"}, command::list, false, {}},
        accepted_case{"json_before_command", {"--json", "list"}, command::list, true, {}},
        accepted_case{"json_after_operand", {"find", "USB0A1B", "--json"}, command::find, true, {"USB0A1B"}},
        accepted_case{"install_inf_then_id", {"install", "C:\\d\\x.inf", "PCI1"}, command::install, false,
                      {"C:\\d\\x.inf", "PCI1"}},
        accepted_case{"install_empty_inf_reaches_library", {"install", "", "PCI1"}, command::install,
                      false, {"", "PCI1"}},
        accepted_case{"double_dash_lets_operand_begin_with_dash",
                      {"id", "--", "--json", "-x"}, command::id, false, {"--json", "-x"}},
        accepted_case{"single_dash_is_an_operand", {"find", "-"}, command::find, false, {"-"}},
        accepted_case{"star_text_is_an_operand", {"id", "*PNP0501"}, command::id, false, {"*PNP0501"}},
        accepted_case{"help_alone", {"--help"}, command::help, false, {}},
        accepted_case{"short_help", {"-h"}, command::help, false, {}},
        accepted_case{"help_wins_over_a_bad_command", {"frobnicate", "--help"}, command::help, false, {}},
        accepted_case{"help_wins_over_missing_operands", {"install", "--help"}, command::help, false, {}},
        accepted_case{"version_alone", {"--version"}, command::version, false, {}},
        accepted_case{"drivers_inf_then_id", {"drivers", "x.inf", "PCI1", "--json"}, command::drivers,
                      true, {"x.inf", "PCI1"}},
        accepted_case{"explain_after_install", {"install", "--explain", "x.inf", "PCI1"},
                      command::install, false, {"x.inf", "PCI1"}},
        accepted_case{"stage_inf", {"stage", "x.inf", "--json"}, command::stage, true, {"x.inf"}},
        // The form the 32-bit qvinst hands remove over in.
        accepted_case{"remove_inf_after_double_dash", {"--json", "remove", "--", "C:\\d\\x.inf"},
                      command::remove, true, {"C:\\d\\x.inf"}},
        accepted_case{"remove_published_name", {"remove", "oem12.inf"}, command::remove, false,
                      {"oem12.inf"}}),
    row_name{});

struct rejected_case {
    std::string name;
    std::vector<std::string> args;
    std::string error_mentions;
};

void PrintTo(const rejected_case& row, std::ostream* os) { *os << row.name; }

class RejectedCommandLine : public testing::TestWithParam<rejected_case> {};

TEST_P(RejectedCommandLine, FailsWithAReasonNamingTheFault) {
    const rejected_case& row = GetParam();
    const parsed result = parse(row.args);
    ASSERT_FALSE(result.ok);
    EXPECT_NE(result.error.find(row.error_mentions), std::string::npos) << result.error;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RejectedCommandLine,
    testing::Values(
        rejected_case{"nothing", {}, "no command"},
        rejected_case{"only_json", {"--json"}, "no command"},
        rejected_case{"unknown_command", {"frobnicate"}, "frobnicate"},
        rejected_case{"command_names_are_lower_case", {"LIST"}, "LIST"},
        rejected_case{"unknown_option", {"--jsn", "list"}, "--jsn"},
        rejected_case{"unknown_short_option", {"-j", "list"}, "-j"},
        rejected_case{"id_without_text", {"id"}, "id"},
        rejected_case{"list_with_operand", {"list", "extra"}, "list"},
        rejected_case{"find_without_id", {"find"}, "find"},
        rejected_case{"find_with_two_ids", {"find", "PCI1", "PCI2"}, "find"},
        rejected_case{"install_without_id", {"install", "x.inf"}, "install"},
        rejected_case{"install_with_three_operands", {"install", "x.inf", "PCI1", "more"}, "install"},
        rejected_case{"version_with_command", {"--version", "list"}, "--version"},
        rejected_case{"version_with_json", {"--version", "--json"}, "--version"},
        rejected_case{"version_with_explain", {"--version", "--explain"}, "--version"},
        rejected_case{"explain_with_drivers", {"--explain", "drivers", "x.inf", "PCI1"}, "--explain"},
        rejected_case{"explain_with_find", {"--explain", "find", "PCI1"}, "--explain"},
        rejected_case{"drivers_without_id", {"drivers", "x.inf"}, "drivers"},
        rejected_case{"stage_without_inf", {"stage"}, "stage"},
        rejected_case{"remove_with_two_operands", {"remove", "a.inf", "oem1.inf"}, "remove"},
        rejected_case{"explain_with_remove", {"--explain", "remove", "a.inf"}, "--explain"},
        rejected_case{"option_after_double_dash_is_not_a_command", {"--", "--help"}, "--help"}),
    row_name{});

}  // namespace
