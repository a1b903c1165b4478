// The result codes of qv7_installdevice, one row per meaning, and what every
// outcome leaves behind: sets created and destroyed, NEWDEV.DLL loaded and
// freed.
#include "install_fixture.h"

namespace install_test {
namespace {

using arrange_fn = void (*)();

void no_change() {}
void restart_flag() { sim::platform().newdev.reboot = DI_NEEDRESTART; }
void reboot_flag() { sim::platform().newdev.reboot = DI_NEEDREBOOT; }
void instance_id_of_match_unreadable() { sim::platform().fault.instance_id_read_fails.insert(nic_index); }
void inf_without_compatible_driver() {
    sim::platform().infs[nic_inf_path].drivers.front().hardware_id = "PCI\\VEN_10EC&DEV_8139";
}
void inf_unreadable() { sim::platform().infs[nic_inf_path].readable = false; }
void device_vanished_after_search() { sim::platform().fault.open_device_info = true; }
void install_fails(DWORD error) {
    sim::platform().newdev.result = FALSE;
    sim::platform().newdev.last_error = error;
}
void install_fails_access_denied() { install_fails(5); }
void install_fails_not_nt_driver() { install_fails(ERROR_NON_WINDOWS_NT_DRIVER); }
void newdev_not_loadable() { sim::platform().newdev.loadable = false; }
void newdev_without_entry_point() { sim::platform().newdev.has_entry_point = false; }

struct result_case {
    std::string name;
    arrange_fn arrange;
    std::string inf_path;
    std::string wanted;
    int result;
    DWORD last_error;  // the caller's last error after the call
};

void PrintTo(const result_case& row, std::ostream* os) { *os << row.name << " -> " << row.result; }

using result_codes = sim_table_test<result_case>;

TEST_P(result_codes, returned_with_the_deciding_error) {
    standard_machine();
    GetParam().arrange();
    SetLastError(0xdeadbeef);
    EXPECT_EQ(install(GetParam().inf_path, GetParam().wanted), GetParam().result);
    EXPECT_EQ(GetLastError(), GetParam().last_error);
}

INSTANTIATE_TEST_SUITE_P(table, result_codes, testing::Values(
    result_case{"installed_needs_restart_3", restart_flag, nic_inf_path, nic_compact_id, 3, 0},
    result_case{"installed_needs_reboot_2", reboot_flag, nic_inf_path, nic_compact_id, 2, 0},
    result_case{"installed_1", no_change, nic_inf_path, nic_compact_id, 1, 0},
    result_case{"no_device_matches_minus_1", no_change, nic_inf_path, "PCI10EC81390000000000000000", -1,
                ERROR_NO_MORE_ITEMS},
    result_case{"instance_id_of_last_match_unreadable_minus_1", instance_id_of_match_unreadable, nic_inf_path,
                nic_compact_id, -1, ERROR_INVALID_DATA},
    result_case{"inf_holds_no_compatible_driver_minus_2", inf_without_compatible_driver, nic_inf_path,
                nic_compact_id, -2, ERROR_NO_COMPAT_DRIVERS},
    result_case{"inf_missing_minus_2", no_change, "C:\\drivers\\missing.inf", nic_compact_id, -2, ERROR_FILE_NOT_FOUND},
    result_case{"inf_unreadable_minus_2", inf_unreadable, nic_inf_path, nic_compact_id, -2, ERROR_NO_COMPAT_DRIVERS},
    result_case{"earlier_step_failed_device_vanished_minus_2", device_vanished_after_search, nic_inf_path,
                nic_compact_id, -2, ERROR_NO_SUCH_DEVINST},
    result_case{"install_failed_other_error_minus_3", install_fails_access_denied, nic_inf_path, nic_compact_id,
                -3, 5},
    result_case{"inf_path_empty_minus_4", no_change, "", nic_compact_id, -4, ERROR_INVALID_PARAMETER},
    result_case{"newdev_not_loadable_minus_7", newdev_not_loadable, nic_inf_path, nic_compact_id, -7, ERROR_MOD_NOT_FOUND},
    result_case{"install_failed_not_nt_driver_minus_8", install_fails_not_nt_driver, nic_inf_path,
                nic_compact_id, -8, ERROR_NON_WINDOWS_NT_DRIVER},
    result_case{"newdev_lacks_entry_point_minus_9", newdev_without_entry_point, nic_inf_path, nic_compact_id,
                -9, ERROR_PROC_NOT_FOUND}),
    row_name());

// What each outcome leaves behind.
struct left_behind {
    int sets_created;
    int sets_destroyed;
    std::size_t newdev_load_attempts;
    int modules_loaded;
    int modules_freed;
};

struct failure_case {
    std::string name;
    arrange_fn arrange;
    std::string inf_path;
    std::string wanted;
    int result;
    left_behind after;
};

void PrintTo(const failure_case& row, std::ostream* os) { *os << row.name << " -> " << row.result; }

using failure_handling = sim_table_test<failure_case>;

TEST_P(failure_handling, leaves_behind) {
    standard_machine();
    const failure_case& row = GetParam();
    row.arrange();

    EXPECT_EQ(install(row.inf_path, row.wanted), row.result);

    EXPECT_EQ(machine().sets_created, row.after.sets_created);
    EXPECT_EQ(machine().sets_destroyed, row.after.sets_destroyed);
    EXPECT_EQ(machine().count("SetupDiDestroyDeviceInfoList"), static_cast<std::size_t>(row.after.sets_destroyed));
    EXPECT_EQ(machine().count("LoadLibraryA"), row.after.newdev_load_attempts);
    EXPECT_EQ(machine().modules_loaded, row.after.modules_loaded);
    EXPECT_EQ(machine().modules_freed, row.after.modules_freed);
    EXPECT_EQ(machine().count("FreeLibrary"), static_cast<std::size_t>(row.after.modules_freed));
    expect_clean_platform();
}

// Walk set only: 1 created, 1 destroyed. Walk set and install set: 2 and 2.
INSTANTIATE_TEST_SUITE_P(table, failure_handling, testing::Values(
    failure_case{"inf_path_empty_creates_nothing", no_change, "", nic_compact_id, -4, {0, 0, 0, 0, 0}},
    failure_case{"no_match_creates_no_install_set", no_change, nic_inf_path, "PNPPNP0501", -1, {1, 1, 0, 0, 0}},
    failure_case{"no_driver_selected_newdev_never_loaded", inf_without_compatible_driver, nic_inf_path,
                 nic_compact_id, -2, {2, 2, 0, 0, 0}},
    failure_case{"newdev_not_loadable_nothing_to_free", newdev_not_loadable, nic_inf_path, nic_compact_id, -7,
                 {2, 2, 1, 0, 0}},
    failure_case{"no_entry_point_library_freed_once", newdev_without_entry_point, nic_inf_path, nic_compact_id, -9,
                 {2, 2, 1, 1, 1}},
    failure_case{"not_nt_driver_library_freed", install_fails_not_nt_driver, nic_inf_path, nic_compact_id, -8,
                 {2, 2, 1, 1, 1}},
    failure_case{"install_failed_library_freed", install_fails_access_denied, nic_inf_path, nic_compact_id, -3,
                 {2, 2, 1, 1, 1}},
    failure_case{"installed_restart_library_freed", restart_flag, nic_inf_path, nic_compact_id, 3,
                 {2, 2, 1, 1, 1}},
    failure_case{"installed_reboot_library_freed", reboot_flag, nic_inf_path, nic_compact_id, 2, {2, 2, 1, 1, 1}},
    failure_case{"installed_library_freed", no_change, nic_inf_path, nic_compact_id, 1, {2, 2, 1, 1, 1}}),
    row_name());

// The install set is the one destroyed last, exactly once, on every path
// past its creation.
struct destroy_case {
    std::string name;
    arrange_fn arrange;
    int result;
};

void PrintTo(const destroy_case& row, std::ostream* os) { *os << row.name; }

using install_set_destroyed_once = sim_table_test<destroy_case>;

TEST_P(install_set_destroyed_once, on_path) {
    standard_machine();
    GetParam().arrange();
    EXPECT_EQ(install(nic_inf_path, nic_compact_id), GetParam().result);

    const HDEVINFO install_set = set_returned_by("SetupDiCreateDeviceInfoList");
    ASSERT_NE(install_set, nullptr);
    std::size_t destroyed = 0;
    for (const sim::call& c : calls_of("SetupDiDestroyDeviceInfoList")) {
        destroyed += c.handle == install_set ? 1u : 0u;
    }
    EXPECT_EQ(destroyed, 1u);
    EXPECT_EQ(machine().log.back().op, "SetupDiDestroyDeviceInfoList");
    EXPECT_EQ(machine().log.back().handle, install_set);
}

INSTANTIATE_TEST_SUITE_P(paths, install_set_destroyed_once, testing::Values(
    destroy_case{"no_driver_selected", inf_without_compatible_driver, -2},
    destroy_case{"device_vanished", device_vanished_after_search, -2},
    destroy_case{"newdev_not_loadable", newdev_not_loadable, -7},
    destroy_case{"no_entry_point", newdev_without_entry_point, -9},
    destroy_case{"not_nt_driver", install_fails_not_nt_driver, -8},
    destroy_case{"install_failed", install_fails_access_denied, -3},
    destroy_case{"installed", no_change, 1}),
    row_name());


// The steps the routine reports to a sink, in order, each with its outcome
// and, for a failed step, the platform's error, which the one that decided
// the result leaves for the caller. The sink changes no result.
using ID_MAIN2::step;
struct reported {
    step what;
    bool ok;
    bool operator==(const reported& other) const { return what == other.what && ok == other.ok; }
};
void PrintTo(const reported& r, std::ostream* os) { *os << static_cast<int>(r.what) << (r.ok ? "" : "!"); }

struct sink_case {
    std::string name;
    arrange_fn arrange;
    std::string wanted;
    int result;
    std::vector<reported> steps;
};

void PrintTo(const sink_case& row, std::ostream* os) { *os << row.name; }

using steps_reported = sim_table_test<sink_case>;

TEST_P(steps_reported, in_order) {
    standard_machine();
    GetParam().arrange();
    std::vector<ID_MAIN2::step_report> seen;
    const ID_MAIN2::step_sink sink{
        [](void* context, const ID_MAIN2::step_report& r) {
            static_cast<std::vector<ID_MAIN2::step_report>*>(context)->push_back(r);
        },
        &seen};
    EXPECT_EQ(ID_MAIN2::install_driver_for_device(nullptr, GetParam().wanted, nic_inf_path.c_str(), &sink),
              GetParam().result);
    const DWORD last_error = GetLastError();

    std::vector<reported> steps;
    DWORD first_error = 0;
    for (const ID_MAIN2::step_report& r : seen) {
        steps.push_back({r.what, r.ok});
        EXPECT_EQ(r.ok, r.error == 0) << "step " << static_cast<int>(r.what);
        first_error = first_error ? first_error : r.error;
    }
    EXPECT_EQ(steps, GetParam().steps);
    EXPECT_EQ(last_error, first_error) << "the first failed step decides";
    expect_clean_platform();
}

const std::vector<reported> through_selection = {
    {step::devices_listed, true},     {step::device_chosen, true},      {step::set_created, true},
    {step::device_opened, true},      {step::device_selected, true},    {step::install_params_read, true},
    {step::search_limited, true},     {step::driver_list_built, true},  {step::class_installer_run, true},
    {step::driver_selected, true},    {step::system_directory_read, true}, {step::newdev_loaded, true}};

std::vector<reported> selected_then(std::vector<reported> rest) {
    std::vector<reported> all = through_selection;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

INSTANTIATE_TEST_SUITE_P(paths, steps_reported, testing::Values(
    sink_case{"installed", no_change, nic_compact_id, 1,
              selected_then({{step::entry_point_found, true}, {step::installer_called, true},
                             {step::newdev_freed, true}, {step::set_destroyed, true}})},
    sink_case{"no_device", no_change, "PNPPNP0501", -1,
              {{step::devices_listed, true}, {step::device_chosen, false}}},
    sink_case{"device_vanished", device_vanished_after_search, nic_compact_id, -2,
              {{step::devices_listed, true}, {step::device_chosen, true}, {step::set_created, true},
               {step::device_opened, false}, {step::device_selected, false},
               {step::install_params_read, false}, {step::search_limited, false},
               {step::set_destroyed, true}}},
    sink_case{"no_entry_point", newdev_without_entry_point, nic_compact_id, -9,
              selected_then({{step::entry_point_found, false}, {step::newdev_freed, true},
                             {step::set_destroyed, true}})},
    sink_case{"install_failed", install_fails_access_denied, nic_compact_id, -3,
              selected_then({{step::entry_point_found, true}, {step::installer_called, false},
                             {step::newdev_freed, true}, {step::set_destroyed, true}})}),
    row_name());

}  // namespace
}  // namespace install_test
