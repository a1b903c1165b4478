// The survey of present devices and the library's choice among them, run
// against the simulated platform: qvinst must show exactly what the
// library's own walk and search see, including their corner cases.
#include "qvinst_test_support.h"

#include "install/ID_MAIN2.h"
#include "tests/sim/sim_control.h"
#include "tools/qvinst/devices.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using qvinst_test::row_name;

// Two devices of one PCI model that differ only in class code and revision,
// so the 19-character window matches both.
const std::string first_pci = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD\\FIRST";
const std::string second_pci = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD\\SECOND";
const std::string first_pci_hwid = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&CC_020000&REV_03";
const std::string second_pci_hwid = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&CC_028000&REV_04";
const std::string first_pci_compact = "PCI80861234ABCD567802000300";
const std::string pci_window = "PCI80861234ABCD5678";
const std::string beep = "ROOT\\LEGACY_BEEP\\0000";
const std::string mouse = "USB\\VID_045E&PID_0040\\5&2A3B4C5D&0&1";
const std::string mouse_hwid = "USB\\VID_045E&PID_0040&REV_0300";
const std::string mouse_compact = "USB045E0040030000";
const std::string bare = "ROOT\\NO_HARDWARE_ID\\0000";

class SimulatedMachine : public testing::Test {
protected:
    void SetUp() override { sim::reset(); }
    void TearDown() override { sim::reset(); }
};

// pci (0), beep (1), mouse (2), bare (3), second pci (4)
void standard_machine() {
    sim::add_device(first_pci, {first_pci_hwid, "PCI\\VEN_8086&DEV_1234"});
    sim::add_device(beep, {"ROOT\\LEGACY_BEEP"});
    sim::add_device(mouse, {mouse_hwid, "USB\\VID_045E&PID_0040"});
    sim::add_device_without_hardware_id(bare);
    sim::add_device(second_pci, {second_pci_hwid});
}

// --- list ---------------------------------------------------------------------

TEST_F(SimulatedMachine, ListShowsEveryPresentDeviceInEnumerationOrder) {
    standard_machine();
    const auto rows = qvinst::survey_present_devices();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].instance_id, first_pci);
    EXPECT_EQ(rows[0].hardware_id, first_pci_hwid) << "only the first hardware ID";
    EXPECT_EQ(rows[0].compact_id, first_pci_compact);
    EXPECT_EQ(rows[1].instance_id, beep);
    EXPECT_EQ(rows[1].compact_id, "");
    EXPECT_EQ(rows[2].compact_id, mouse_compact);
    EXPECT_EQ(rows[3].instance_id, bare);
    EXPECT_EQ(rows[3].hardware_id, "");
    EXPECT_EQ(rows[3].compact_id, "");
    EXPECT_EQ(rows[4].instance_id, second_pci);
}

TEST_F(SimulatedMachine, ListLeavesOutDevicesThatAreNotPresent) {
    standard_machine();
    sim::platform().devices[2].present = false;
    const auto rows = qvinst::survey_present_devices();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].instance_id, bare);
}

TEST_F(SimulatedMachine, ListShowsUnreadableFieldsAsEmpty) {
    standard_machine();
    sim::platform().fault.instance_id_read_fails.insert(2);
    sim::platform().fault.property_read_fails.insert(0);
    const auto rows = qvinst::survey_present_devices();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].instance_id, first_pci);
    EXPECT_EQ(rows[0].hardware_id, "");
    EXPECT_EQ(rows[0].compact_id, "");
    EXPECT_EQ(rows[2].instance_id, "");
    EXPECT_EQ(rows[2].compact_id, mouse_compact);
}

TEST_F(SimulatedMachine, ListEndsWhereTheLibrarysWalkEnds) {
    standard_machine();
    sim::platform().fault.enum_fails_at_index = 2;
    EXPECT_EQ(qvinst::survey_present_devices().size(), 2u);
}

TEST_F(SimulatedMachine, ListIsEmptyWhenTheDeviceSetCannotBeHad) {
    standard_machine();
    sim::platform().fault.get_class_devs = true;
    EXPECT_TRUE(qvinst::survey_present_devices().empty());
}

TEST_F(SimulatedMachine, SurveyLeavesNoDeviceSetBehind) {
    standard_machine();
    qvinst::survey_present_devices();
    qvinst::find_matching_devices(pci_window);
    EXPECT_EQ(sim::platform().live_sets(), 0);
    EXPECT_TRUE(sim::platform().bad_handle_uses.empty());
}

// --- find ---------------------------------------------------------------------

using arrange_fn = void (*)();

struct find_case {
    std::string name;
    arrange_fn arrange;
    std::string wanted;
    idconv::match_rule rule;
    std::vector<std::string> matches;  // instance IDs, in order
    std::string chosen;                // the library's found_instance_id
    std::optional<std::size_t> chosen_row;
};

void PrintTo(const find_case& row, std::ostream* os) { *os << row.name; }

class FindOnSimulatedMachine : public testing::TestWithParam<find_case> {
protected:
    void SetUp() override { sim::reset(); }
    void TearDown() override { sim::reset(); }
};

TEST_P(FindOnSimulatedMachine, ShowsTheMatchesAndTheLibrarysChoice) {
    const find_case& row = GetParam();
    row.arrange();
    const qvinst::find_outcome outcome = qvinst::find_matching_devices(row.wanted).value();

    EXPECT_EQ(outcome.wanted, row.wanted);
    EXPECT_EQ(outcome.rule, row.rule);
    std::vector<std::string> matched;
    for (const auto& device : outcome.matches) {
        matched.push_back(device.instance_id);
    }
    EXPECT_EQ(matched, row.matches);
    EXPECT_EQ(outcome.chosen_instance_id, row.chosen);
    EXPECT_EQ(outcome.chosen_row, row.chosen_row);
    // The choice is the library's own: what its search leaves behind.
    EXPECT_EQ(outcome.chosen_instance_id, ID_MAIN2::found_instance_id);
    EXPECT_EQ(ID_MAIN2::wanted_compact_id, row.wanted);
}

void later_match_instance_id_unreadable() {
    standard_machine();
    sim::platform().fault.instance_id_read_fails.insert(4);
}
void earlier_match_instance_id_unreadable() {
    standard_machine();
    sim::platform().fault.instance_id_read_fails.insert(0);
}
void first_id_unconvertible_second_convertible() {
    sim::add_device(first_pci, {"ROOT\\QUORVANT_VIRTUAL", first_pci_hwid});
}
void later_match_loses_its_hardware_id() {
    standard_machine();
    sim::platform().fault.property_read_fails.insert(4);
}
void walk_fails_before_second_match() {
    standard_machine();
    sim::platform().fault.enum_fails_at_index = 4;
}
void device_set_unavailable() {
    standard_machine();
    sim::platform().fault.get_class_devs = true;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FindOnSimulatedMachine,
    testing::Values(
        find_case{"pci_window_matches_both_and_the_later_wins", standard_machine, pci_window,
                  idconv::match_rule::pci_window, {first_pci, second_pci}, second_pci, 1},
        find_case{"whole_pci_id_still_compared_on_19_characters", standard_machine,
                  first_pci_compact, idconv::match_rule::pci_window, {first_pci, second_pci},
                  second_pci, 1},
        find_case{"usb_compared_whole", standard_machine, mouse_compact,
                  idconv::match_rule::whole_text, {mouse}, mouse, 0},
        find_case{"usb_differing_revision_does_not_match", standard_machine, "USB045E0040000000",
                  idconv::match_rule::whole_text, {}, "", std::nullopt},
        find_case{"lower_case_tag_is_whole_text_and_case_counts", standard_machine,
                  "pci80861234ABCD5678", idconv::match_rule::whole_text, {}, "", std::nullopt},
        find_case{"short_pci_id_matches_nothing_longer", standard_machine, "PCI80861234",
                  idconv::match_rule::pci_window, {}, "", std::nullopt},
        // The library passes over devices with an empty compact ID before it
        // compares, so an empty wanted ID finds nothing although "" == "".
        find_case{"empty_wanted_matches_no_device_without_compact_id", standard_machine, "",
                  idconv::match_rule::whole_text, {}, "", std::nullopt},
        find_case{"last_match_unreadable_means_no_device", later_match_instance_id_unreadable,
                  pci_window, idconv::match_rule::pci_window, {first_pci, ""}, "", std::nullopt},
        find_case{"earlier_match_unreadable_still_chooses_the_last",
                  earlier_match_instance_id_unreadable, pci_window, idconv::match_rule::pci_window,
                  {"", second_pci}, second_pci, 1},
        find_case{"only_the_first_hardware_id_counts", first_id_unconvertible_second_convertible,
                  pci_window, idconv::match_rule::pci_window, {}, "", std::nullopt},
        find_case{"device_whose_property_read_fails_is_passed_over",
                  later_match_loses_its_hardware_id, pci_window, idconv::match_rule::pci_window,
                  {first_pci}, first_pci, 0},
        find_case{"walk_ends_where_enumeration_fails", walk_fails_before_second_match, pci_window,
                  idconv::match_rule::pci_window, {first_pci}, first_pci, 0},
        find_case{"no_device_set_no_match", device_set_unavailable, pci_window,
                  idconv::match_rule::pci_window, {}, "", std::nullopt}),
    row_name{});

TEST_F(SimulatedMachine, FindStartsFreshAfterAnEarlierSearch) {
    standard_machine();
    ID_MAIN2::find_device_instance_id(mouse_compact);
    ASSERT_EQ(ID_MAIN2::found_instance_id, mouse);
    const qvinst::find_outcome outcome = qvinst::find_matching_devices("USB045E0040000000").value();
    EXPECT_TRUE(outcome.matches.empty());
    EXPECT_EQ(outcome.chosen_instance_id, "");
}

}  // namespace
