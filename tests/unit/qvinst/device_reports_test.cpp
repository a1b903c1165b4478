// Output of qvinst list, find and install, and the mark of the chosen row.
#include "qvinst_test_support.h"

#include "include/quorvant.h"
#include "tools/qvinst/commands.h"
#include "tools/qvinst/devices.h"
#include "tools/qvinst/install_reports.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using qvinst::device_row;
using qvinst::find_outcome;
using qvinst_test::row_name;

const device_row first_pci{"ROOT\\SYSTEM\\0000", "PCI\\VEN_1234&DEV_5678&CC_0300",
                           "PCI12345678000000000300" "0000"};
const device_row second_pci{"ROOT\\SYSTEM\\0001", "PCI\\VEN_1234&DEV_5678&CC_0200",
                            "PCI12345678000000000200" "0000"};
const device_row no_hardware_id{"ROOT\\SYSTEM\\0002", "", ""};
const device_row unreadable_instance{"", "PCI\\VEN_1234&DEV_5678", "PCI123456780000000000000000"};

find_outcome pci_outcome(std::vector<device_row> matches, std::string chosen) {
    find_outcome outcome;
    outcome.wanted = "PCI1234567800000000";
    outcome.rule = idconv::match_rule::pci_window;
    outcome.matches = std::move(matches);
    outcome.chosen_instance_id = std::move(chosen);
    qvinst::mark_chosen_row(outcome);
    return outcome;
}

// --- mark_chosen_row -------------------------------------------------------

struct mark_case {
    std::string name;
    std::vector<device_row> matches;
    std::string chosen;
    std::optional<std::size_t> row;
};

void PrintTo(const mark_case& row, std::ostream* os) { *os << row.name; }

class ChosenRow : public testing::TestWithParam<mark_case> {};

TEST_P(ChosenRow, IsTheLastMatchWithTheFoundInstanceId) {
    const mark_case& row = GetParam();
    find_outcome outcome;
    outcome.matches = row.matches;
    outcome.chosen_instance_id = row.chosen;
    outcome.chosen_row = 99;  // stale value from earlier: must be replaced
    qvinst::mark_chosen_row(outcome);
    EXPECT_EQ(outcome.chosen_row, row.row);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ChosenRow,
    testing::Values(
        mark_case{"last_of_two", {first_pci, second_pci}, second_pci.instance_id, 1},
        mark_case{"earlier_row_when_found_names_it", {first_pci, second_pci}, first_pci.instance_id, 0},
        mark_case{"nothing_found_marks_nothing", {first_pci, second_pci}, "", std::nullopt},
        mark_case{"empty_found_does_not_mark_unreadable_row", {first_pci, unreadable_instance}, "",
                  std::nullopt},
        mark_case{"same_id_twice_marks_the_later", {first_pci, second_pci, first_pci},
                  first_pci.instance_id, 2},
        mark_case{"found_id_not_among_matches", {first_pci}, "ROOT\\SYSTEM\\0009", std::nullopt},
        mark_case{"no_matches", {}, "", std::nullopt}),
    row_name{});

// --- list ---------------------------------------------------------------------

TEST(ListOutput, TextIsOneTabSeparatedLinePerDeviceWithDashForEmpty) {
    EXPECT_EQ(qvinst::list_report({first_pci, no_hardware_id, unreadable_instance}, false),
              "ROOT\\SYSTEM\\0000\tPCI\\VEN_1234&DEV_5678&CC_0300\tPCI123456780000000003000000\n"
              "ROOT\\SYSTEM\\0002\t-\t-\n"
              "-\tPCI\\VEN_1234&DEV_5678\tPCI123456780000000000000000\n");
}

TEST(ListOutput, TextOfNoDevicesIsEmpty) { EXPECT_EQ(qvinst::list_report({}, false), ""); }

TEST(ListOutput, JsonKeepsEmptyFieldsAsEmptyTexts) {
    EXPECT_EQ(qvinst::list_report({first_pci, no_hardware_id}, true),
              R"({"devices":[)"
              R"({"instance_id":"ROOT\\SYSTEM\\0000","hardware_id":"PCI\\VEN_1234&DEV_5678&CC_0300",)"
              R"("compact_id":"PCI123456780000000003000000"},)"
              R"({"instance_id":"ROOT\\SYSTEM\\0002","hardware_id":"","compact_id":""}]})"
              "\n");
    EXPECT_EQ(qvinst::list_report({}, true), "{\"devices\":[]}\n");
}

// --- find ---------------------------------------------------------------------

TEST(FindOutput, TextMarksTheChosenRowAndNamesTheRule) {
    EXPECT_EQ(qvinst::find_report(pci_outcome({first_pci, second_pci}, second_pci.instance_id), false),
              "wanted: PCI1234567800000000\n"
              "rule: first 19 characters (the wanted ID begins with \"PCI\")\n"
              "  ROOT\\SYSTEM\\0000\tPCI\\VEN_1234&DEV_5678&CC_0300\tPCI123456780000000003000000\n"
              "* ROOT\\SYSTEM\\0001\tPCI\\VEN_1234&DEV_5678&CC_0200\tPCI123456780000000002000000\n"
              "chosen: ROOT\\SYSTEM\\0001\n");
}

TEST(FindOutput, TextSaysWhyNothingIsChosenWhenTheLastMatchIsUnreadable) {
    const std::string text = qvinst::find_report(pci_outcome({first_pci, unreadable_instance}, ""), false);
    EXPECT_NE(text.find("  ROOT\\SYSTEM\\0000\t"), std::string::npos) << text;
    EXPECT_NE(text.find("  -\tPCI\\VEN_1234&DEV_5678\t"), std::string::npos) << text;
    EXPECT_EQ(text.find("* "), std::string::npos) << text;
    EXPECT_NE(text.find("chosen: none (the instance ID of the last matching device cannot be read"),
              std::string::npos)
        << text;
}

TEST(FindOutput, TextOfNoMatchNamesTheWholeTextRule) {
    find_outcome outcome;
    outcome.wanted = "USB0A1B2C3D000000";
    outcome.rule = idconv::match_rule::whole_text;
    EXPECT_EQ(qvinst::find_report(outcome, false),
              "wanted: USB0A1B2C3D000000\n"
              "rule: whole text (the wanted ID does not begin with \"PCI\")\n"
              "no present device matches\n"
              "chosen: none\n");
}

TEST(FindOutput, TextOfAChoiceOutsideTheMatchesSaysSo) {
    const std::string text = qvinst::find_report(pci_outcome({first_pci}, "ROOT\\SYSTEM\\0009"), false);
    EXPECT_EQ(text.find("* "), std::string::npos) << text;
    EXPECT_NE(text.find("chosen: ROOT\\SYSTEM\\0009 (not among the matches"), std::string::npos)
        << text;
}

TEST(FindOutput, JsonFlagsTheChosenRowAndNamesIt) {
    EXPECT_EQ(qvinst::find_report(pci_outcome({first_pci, second_pci}, second_pci.instance_id), true),
              R"({"wanted":"PCI1234567800000000","rule":"first 19 characters","devices":[)"
              R"({"instance_id":"ROOT\\SYSTEM\\0000","hardware_id":"PCI\\VEN_1234&DEV_5678&CC_0300",)"
              R"("compact_id":"PCI123456780000000003000000","chosen":false},)"
              R"({"instance_id":"ROOT\\SYSTEM\\0001","hardware_id":"PCI\\VEN_1234&DEV_5678&CC_0200",)"
              R"("compact_id":"PCI123456780000000002000000","chosen":true}],)"
              R"("chosen":"ROOT\\SYSTEM\\0001"})"
              "\n");
}

TEST(FindOutput, JsonChosenIsNullWhenTheLibraryFindsNothing) {
    const std::string json = qvinst::find_report(pci_outcome({first_pci, unreadable_instance}, ""), true);
    EXPECT_NE(json.find(R"("chosen":null})"), std::string::npos) << json;
    EXPECT_EQ(json.find(R"("chosen":true)"), std::string::npos) << json;
}

TEST(FindOutput, EndsLikeTheInstallationWouldWhenNothingIsChosen) {
    EXPECT_EQ(qvinst::find_exit_status(pci_outcome({first_pci}, first_pci.instance_id)),
              qvinst::exit_success);
    EXPECT_EQ(qvinst::find_exit_status(pci_outcome({first_pci, unreadable_instance}, "")),
              qvinst::describe_result(QV7_E_NO_DEVICE).exit_status);
    EXPECT_EQ(qvinst::find_exit_status(pci_outcome({}, "")),
              qvinst::describe_result(QV7_E_NO_DEVICE).exit_status);
}

// --- install ------------------------------------------------------------------

TEST(InstallOutput, TextGivesCodeNameAndMeaning) {
    EXPECT_EQ(qvinst::install_report("a.inf", "PCI1", QV7_INSTALLED_NEEDS_REBOOT, false),
              "2 QV7_INSTALLED_NEEDS_REBOOT: driver installed; the installer asked for a reboot "
              "(DI_NEEDREBOOT)\n");
    EXPECT_EQ(qvinst::install_report("a.inf", "PCI1", -5, false), "-5 UNKNOWN: not a result code of QUORVANT.dll\n");
}

TEST(InstallOutput, JsonCarriesTheArgumentsTheCodeAndTheExitStatus) {
    EXPECT_EQ(qvinst::install_report("C:\\drv\\a.inf", "USB0A1B2C3D000001", QV7_E_NO_DEVICE, true),
              R"({"inf":"C:\\drv\\a.inf","compact_id":"USB0A1B2C3D000001","result":-1,)"
              R"("name":"QV7_E_NO_DEVICE","meaning":"no present device matches the compact ID )"
              R"j((or the instance ID of the last match cannot be read)","exit_status":11})j"
              "\n");
}

}  // namespace

// --- one JSON shape ---------------------------------------------------------

// Every command that reports a result code does so under "result", and
// every platform error stands as its number with its name and text.
TEST(JsonShape, ResultAndErrorsStandUnderTheSameKeysInEveryCommand) {
    const qvinst::platform_error denied{5, "ERROR_ACCESS_DENIED", "Access is denied."};
    const std::string error_fields =
        R"("error":5,"error_name":"ERROR_ACCESS_DENIED","error_text":"Access is denied.")";
    qvinst::explained_step step;
    step.step = "NEWDEV loaded";
    step.ok = false;
    step.error = denied;
    const std::string explained = qvinst::explained_report({step}, QV7_E_NO_NEWDEV, true);
    EXPECT_NE(explained.find(error_fields), std::string::npos) << explained;
    EXPECT_NE(explained.find(R"("result":-7,)"), std::string::npos) << explained;
    EXPECT_NE(qvinst::install_report("a.inf", "PCI1", QV7_E_NO_NEWDEV, true).find(R"("result":-7,)"),
              std::string::npos);

    qvinst::drivers_outcome drivers;
    drivers.reason = qvinst::no_driver_reason::inf_missing;
    drivers.reason_error = denied;
    EXPECT_NE(qvinst::drivers_report(drivers, true).find(error_fields), std::string::npos);
    drivers.reason_error.reset();
    EXPECT_NE(qvinst::drivers_report(drivers, true).find(
                  R"("error":null,"error_name":null,"error_text":null)"),
              std::string::npos);
}

// --- install --explain: a step and the platform's error by name ---------------

struct step_case {
    std::string name;
    bool ok;
    std::string detail;
    std::optional<std::uint32_t> error;
    std::string line;
};

void PrintTo(const step_case& row, std::ostream* os) { *os << row.name; }

class ExplainedStep : public testing::TestWithParam<step_case> {};

// System errors take their text from the system, which the host build has
// none of: there they stand by name and number alone.
TEST_P(ExplainedStep, IsOneLineWithTheErrorByNameNumberAndText) {
    const step_case& row = GetParam();
    qvinst::explained_step step;
    step.step = "driver selected";
    step.ok = row.ok;
    step.detail = row.detail;
    if (row.error) {
        step.error = qvinst::describe_platform_error(*row.error);
    }
    EXPECT_EQ(qvinst::explained_step_text(step), row.line);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ExplainedStep,
    testing::Values(
        step_case{"ok_with_detail", true, "a driver", std::nullopt, "driver selected: a driver\n"},
        step_case{"ok_without_detail", true, "", std::nullopt, "driver selected\n"},
        step_case{"setup_api_error_named_with_its_text", false, "none", 0xE0000228,
                  "driver selected FAILED: none; ERROR_NO_COMPAT_DRIVERS (0xE0000228) The INF "
                  "holds no driver compatible with the device.\n"},
        step_case{"setup_api_error_unknown_by_number", false, "", 0xE0000299,
                  "driver selected FAILED: error 0xE0000299 (0xE0000299)\n"},
        step_case{"system_error_in_decimal", false, "", 5,
                  "driver selected FAILED: ERROR_ACCESS_DENIED (5)\n"},
        step_case{"signature_error_in_hexadecimal", false, "", 0x800B0109,
                  "driver selected FAILED: CERT_E_UNTRUSTEDROOT (0x800B0109)\n"},
        step_case{"unknown_system_error_by_number", false, "", 9999,
                  "driver selected FAILED: error 9999 (9999)\n"}),
    row_name{});
