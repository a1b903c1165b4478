// Staging and removing driver packages against the simulated platform:
// which devices lose their driver (those whose driver key names the
// package, present or not, and no other, even with the same hardware ID),
// when the package leaves the store forced, the restart, the refusals, and
// that a removal done twice ends as "nothing to remove".
#include "install/driver_package.h"
#include "install_fixture.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace install_test {
namespace {

using driver_package::result;

// The vendor's package, staged as oem3.inf; a second vendor's package for
// the same adapter, staged as oem7.inf; an INF of the system's own.
const std::string vendor_published = "oem3.inf";
const std::string other_inf_path = "C:\\drivers\\other\\other_nic.inf";
const std::string other_published = "oem7.inf";
const std::string unstaged_inf_path = "C:\\drivers\\new\\new_nic.inf";
const std::string ghost_instance_id = "PCI\\VEN_8086&DEV_1234&SUBSYS_5678ABCD&REV_03\\3&11583659&0&F0";

// Devices by index: beep (system INF), the adapter (vendor), a second
// adapter of the same model bound to the other vendor's package, a mouse
// without driver, and an adapter no longer present that kept the vendor's
// driver (named in other letter case).
constexpr std::size_t beep = 0, nic = 1, mouse = 2, nic_other = 3, ghost = 4;

void package_machine() {
    standard_machine();
    add_nic(nic2_instance_id);
    add_nic(ghost_instance_id);
    auto& m = sim::platform();
    m.devices[ghost].present = false;
    m.devices[beep].driver_inf = "machine.inf";
    m.devices[nic].driver_inf = vendor_published;
    m.devices[nic_other].driver_inf = "OEM7.inf";
    m.devices[ghost].driver_inf = "OEM3.INF";
    add_nic_inf(other_inf_path);
    add_nic_inf(unstaged_inf_path);
    m.inf_folder = {{"machine.inf", ""}, {vendor_published, nic_inf_path}, {other_published, other_inf_path}};
    m.next_oem_number = 8;
}

std::vector<std::string> instance_ids_of_removed() {
    std::vector<std::string> ids;
    for (const sim::device& dev : sim::platform().devices) {
        if (dev.removed) ids.push_back(dev.instance_id);
    }
    return ids;
}

// The flags of each SetupUninstallOEMInfA call, by the name it was given.
std::vector<std::pair<std::string, std::uintptr_t>> uninstall_calls() {
    std::vector<std::pair<std::string, std::uintptr_t>> calls;
    for (const sim::call& c : calls_of("SetupUninstallOEMInfA")) calls.emplace_back(c.text, c.values.at(0));
    return calls;
}

// The package machine as the row's `given` leaves it, then `operation` on
// `operand`: its end, whose result and error are checked against the row's.
template <typename Row>
driver_package::outcome run_on_package_machine(const Row& row, driver_package::outcome (*operation)(const char*),
                                               const std::string& operand) {
    package_machine();
    row.given(sim::platform());
    const driver_package::outcome end = operation(operand.c_str());
    EXPECT_EQ(driver_package::describe(end.what).name, driver_package::describe(row.expected).name);
    EXPECT_EQ(end.error, row.error);
    return end;
}

std::map<std::string, std::string> store_before() {
    return {{"machine.inf", ""}, {vendor_published, nic_inf_path}, {other_published, other_inf_path}};
}

std::map<std::string, std::string> store_without_vendor() {
    return {{"machine.inf", ""}, {other_published, other_inf_path}};
}

struct removal_case {
    std::string name;
    std::string operand;
    std::function<void(sim::state&)> given;
    result expected;
    DWORD error;
    std::vector<std::string> removed;  // instance IDs of the devices removed
    std::vector<std::pair<std::string, std::uintptr_t>> uninstalled;  // name and flags
    std::map<std::string, std::string> store;  // the INF folder afterwards
};

void PrintTo(const removal_case& row, std::ostream* os) { *os << row.name; }

void nothing_changed(sim::state&) {}

const std::vector<std::string> vendor_devices = {nic_instance_id, ghost_instance_id};
const std::pair<std::string, std::uintptr_t> forced{vendor_published, SUOI_FORCEDELETE};
const std::pair<std::string, std::uintptr_t> not_forced{vendor_published, 0};

using removal = sim_table_test<removal_case>;

TEST_P(removal, ends_as_expected) {
    const driver_package::outcome end = run_on_package_machine(GetParam(), driver_package::remove, GetParam().operand);
    EXPECT_EQ(instance_ids_of_removed(), GetParam().removed);
    EXPECT_EQ(uninstall_calls(), GetParam().uninstalled);
    EXPECT_EQ(machine().inf_folder, GetParam().store);
    if (end.what == result::removed || end.what == result::removed_restart_needed) {
        ASSERT_FALSE(GetParam().uninstalled.empty());
        EXPECT_EQ(end.name.view(), GetParam().uninstalled.front().first) << "the name it removed";
        EXPECT_EQ(end.devices_removed, GetParam().removed.size());
    }
    expect_clean_platform();
}

INSTANTIATE_TEST_SUITE_P(cases, removal, testing::Values(
    removal_case{"by_original_inf_path", nic_inf_path, nothing_changed, result::removed, 0,
                 vendor_devices, {forced}, store_without_vendor()},
    removal_case{"by_published_name", vendor_published, nothing_changed, result::removed, 0,
                 vendor_devices, {forced}, store_without_vendor()},
    removal_case{"by_published_name_in_other_case", "OEM3.Inf", nothing_changed, result::removed, 0,
                 vendor_devices, {{"OEM3.Inf", SUOI_FORCEDELETE}}, store_without_vendor()},
    removal_case{"by_relative_path_from_the_current_folder", ".\\quorvant_nic.inf",
                 [](sim::state& m) { m.current_directory = "C:\\drivers\\net"; }, result::removed, 0,
                 vendor_devices, {forced}, store_without_vendor()},
    removal_case{"no_device_uses_the_package",  nic_inf_path,
                 [](sim::state& m) { m.devices[nic].driver_inf.clear(); m.devices[ghost].driver_inf.clear(); },
                 result::removed, 0, {}, {forced}, store_without_vendor()},
    removal_case{"removal_asks_for_a_reboot", nic_inf_path,
                 [](sim::state& m) { m.devices[ghost].remove_flags = DI_NEEDREBOOT; },
                 result::removed_restart_needed, 0, vendor_devices, {forced}, store_without_vendor()},
    removal_case{"removal_asks_for_a_restart", vendor_published,
                 [](sim::state& m) { m.devices[nic].remove_flags = DI_NEEDRESTART; },
                 result::removed_restart_needed, 0, vendor_devices, {forced}, store_without_vendor()},
    removal_case{"unstaged_inf_nothing_to_remove", unstaged_inf_path, nothing_changed,
                 result::nothing_to_remove, 0, {}, {}, store_before()},
    removal_case{"unstaged_inf_where_the_lookup_stages_it", unstaged_inf_path,
                 [](sim::state& m) { m.fault.copy_ignores_replace_only = true; },
                 result::nothing_to_remove, 0, {}, {{"oem8.inf", SUOI_FORCEDELETE}}, store_before()},
    removal_case{"published_name_that_does_not_exist", "oem99.inf", nothing_changed,
                 result::nothing_to_remove, 0, {}, {}, store_before()},
    removal_case{"missing_inf", "C:\\drivers\\gone\\gone.inf", nothing_changed, result::inf_missing,
                 ERROR_FILE_NOT_FOUND, {}, {}, store_before()},
    removal_case{"empty_operand", "", nothing_changed, result::inf_missing, ERROR_INVALID_PARAMETER,
                 {}, {}, store_before()},
    removal_case{"a_device_keeps_its_driver_the_package_stays", nic_inf_path,
                 [](sim::state& m) { m.devices[nic].remove_error = ERROR_ACCESS_DENIED; },
                 result::device_kept_driver, ERROR_ACCESS_DENIED, {ghost_instance_id}, {}, store_before()},
    removal_case{"an_unreadable_driver_key_elsewhere_no_force", nic_inf_path,
                 [](sim::state& m) { m.fault.inf_path_read_fails.insert(beep); }, result::removed, 0,
                 vendor_devices, {not_forced}, store_without_vendor()},
    removal_case{"a_walk_that_fails_no_force", nic_inf_path,
                 [](sim::state& m) { m.fault.enum_all_devices_fails = true; }, result::removed, 0,
                 vendor_devices, {not_forced}, store_without_vendor()},
    removal_case{"unforced_removal_refused_while_an_unread_device_uses_it", nic_inf_path,
                 [](sim::state& m) {
                     m.fault.inf_path_read_fails.insert(nic);
                 },
                 result::package_kept, ERROR_INF_IN_USE_BY_DEVICES, {ghost_instance_id}, {not_forced},
                 store_before()},
    removal_case{"the_system_refuses_to_remove_the_package", nic_inf_path,
                 [](sim::state& m) { m.fault.uninstall_error = ERROR_ACCESS_DENIED; },
                 result::package_kept, ERROR_ACCESS_DENIED, vendor_devices, {forced}, store_before()}),
    row_name());

// The same removal twice: removed, then nothing to remove; the other
// vendor's device and package stay as they were.
struct twice_case {
    std::string name;
    std::string operand;
};

void PrintTo(const twice_case& row, std::ostream* os) { *os << row.name; }

using removal_twice = sim_table_test<twice_case>;

TEST_P(removal_twice, second_time_nothing_to_remove) {
    package_machine();
    EXPECT_EQ(driver_package::remove(GetParam().operand.c_str()).what, result::removed);
    const driver_package::outcome again = driver_package::remove(GetParam().operand.c_str());
    EXPECT_EQ(again.what, result::nothing_to_remove);
    EXPECT_EQ(driver_package::describe(again.what).exit_status, 0);
    EXPECT_EQ(instance_ids_of_removed(), vendor_devices);
    EXPECT_EQ(machine().devices[nic_other].driver_inf, "OEM7.inf");
    EXPECT_EQ(machine().inf_folder, store_without_vendor());
    expect_clean_platform();
}

INSTANTIATE_TEST_SUITE_P(operands, removal_twice, testing::Values(
    twice_case{"original_inf_path", nic_inf_path},
    twice_case{"published_name", vendor_published}),
    row_name());

struct staging_case {
    std::string name;
    std::string inf;
    std::function<void(sim::state&)> given;
    result expected;
    DWORD error;
    std::string published;  // the name it reports
    std::map<std::string, std::string> store;
};

void PrintTo(const staging_case& row, std::ostream* os) { *os << row.name; }

std::map<std::string, std::string> store_with_new() {
    auto store = store_before();
    store["oem8.inf"] = unstaged_inf_path;
    return store;
}

using staging = sim_table_test<staging_case>;

TEST_P(staging, ends_as_expected) {
    const driver_package::outcome end = run_on_package_machine(GetParam(), driver_package::stage, GetParam().inf);
    EXPECT_EQ(end.name, GetParam().published);
    EXPECT_EQ(machine().inf_folder, GetParam().store);
    EXPECT_EQ(instance_ids_of_removed(), nothing());
    expect_clean_platform();
}

INSTANTIATE_TEST_SUITE_P(cases, staging, testing::Values(
    staging_case{"new_package", unstaged_inf_path, nothing_changed, result::staged, 0, "oem8.inf",
                 store_with_new()},
    staging_case{"relative_path", "..\\new\\new_nic.inf",
                 [](sim::state& m) { m.current_directory = "C:\\drivers\\net"; }, result::staged, 0,
                 "oem8.inf", store_with_new()},
    staging_case{"already_staged", nic_inf_path, nothing_changed, result::already_staged, 0,
                 vendor_published, store_before()},
    staging_case{"missing_inf", "C:\\drivers\\gone\\gone.inf", nothing_changed, result::inf_missing,
                 ERROR_FILE_NOT_FOUND, "", store_before()},
    staging_case{"empty_path", "", nothing_changed, result::inf_missing, ERROR_INVALID_PARAMETER, "",
                 store_before()},
    staging_case{"not_an_inf", unstaged_inf_path,
                 [](sim::state& m) { m.infs[unstaged_inf_path].stage_error = ERROR_WRONG_INF_STYLE; },
                 result::not_a_package, ERROR_WRONG_INF_STYLE, "", store_before()}),
    row_name());

TEST_F(sim_test, staged_then_removed_leaves_the_store_as_it_was) {
    package_machine();
    const driver_package::outcome staged = driver_package::stage(unstaged_inf_path.c_str());
    ASSERT_EQ(staged.what, result::staged);
    machine().devices[mouse].driver_inf = staged.name.c_str();
    const driver_package::outcome removed = driver_package::remove(unstaged_inf_path.c_str());
    EXPECT_EQ(removed.what, result::removed);
    EXPECT_EQ(removed.name.view(), staged.name.view());
    EXPECT_EQ(instance_ids_of_removed(), std::vector<std::string>{mouse_instance_id});
    EXPECT_EQ(machine().inf_folder, store_before());
    expect_clean_platform();
}

}  // namespace
}  // namespace install_test
