// Driver selection: the install set with the found device alone in it, the
// driver search limited to the one INF file, the class installer's choice,
// and the sequence going on to the selection test when a step fails.
#include "install_fixture.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace install_test {
namespace {

using driver_sequence = sim_test;

TEST_F(driver_sequence, operations_in_order) {
    standard_machine();
    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);

    const std::vector<std::string> expected = {
        // Device search over beep, adapter, mouse.
        "SetupDiGetClassDevsA",
        "SetupDiEnumDeviceInfo", "SetupDiGetDeviceRegistryPropertyA",
        "SetupDiEnumDeviceInfo", "SetupDiGetDeviceRegistryPropertyA", "SetupDiGetDeviceInstanceIdA",
        "SetupDiEnumDeviceInfo", "SetupDiGetDeviceRegistryPropertyA",
        "SetupDiEnumDeviceInfo",
        "SetupDiDestroyDeviceInfoList",
        // Driver selection.
        "GetFullPathNameA",
        "SetupDiCreateDeviceInfoList",
        "SetupDiOpenDeviceInfoA",
        "SetupDiSetSelectedDevice",
        "SetupDiGetDeviceInstallParamsA",
        "SetupDiSetDeviceInstallParamsA",
        "SetupDiBuildDriverInfoList",
        "SetupDiCallClassInstaller",
        "SetupDiGetSelectedDriverA",
        // Installer call.
        "GetSystemDirectoryA",
        "LoadLibraryA",
        "GetProcAddress",
        "InstallSelectedDriver",
        "FreeLibrary",
        "SetupDiDestroyDeviceInfoList",
    };
    EXPECT_EQ(machine().ops(), expected);
}

TEST_F(driver_sequence, arguments_of_each_operation) {
    standard_machine();
    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);

    const std::vector<sim::call> create = calls_of("SetupDiCreateDeviceInfoList");
    ASSERT_EQ(create.size(), 1u);
    EXPECT_EQ(create[0].values, (std::vector<std::uintptr_t>{0, 0})) << "class GUID and parent null";
    const HDEVINFO install_set = set_returned_by("SetupDiCreateDeviceInfoList");
    EXPECT_NE(install_set, set_returned_by("SetupDiGetClassDevsA"));

    const std::vector<sim::call> open = calls_of("SetupDiOpenDeviceInfoA");
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].handle, install_set);
    EXPECT_EQ(open[0].text, nic_instance_id);
    EXPECT_EQ(open[0].values[0], 0u) << "parent window";
    EXPECT_EQ(open[0].values[1], 0u) << "open flags";
    const std::uintptr_t element = open[0].values[2];
    EXPECT_NE(element, 0u);

    // Every later Setup API operation gets the same set and the same element.
    for (const char* op : {"SetupDiSetSelectedDevice", "SetupDiGetDeviceInstallParamsA",
                           "SetupDiSetDeviceInstallParamsA", "SetupDiBuildDriverInfoList",
                           "SetupDiGetSelectedDriverA"}) {
        const std::vector<sim::call> calls = calls_of(op);
        ASSERT_EQ(calls.size(), 1u) << op;
        EXPECT_EQ(calls[0].handle, install_set) << op;
        EXPECT_EQ(calls[0].values[0], element) << op;
    }
    const std::vector<sim::call> class_installer = calls_of("SetupDiCallClassInstaller");
    ASSERT_EQ(class_installer.size(), 1u);
    EXPECT_EQ(class_installer[0].handle, install_set);
    EXPECT_EQ(class_installer[0].values[0], 0x17u) << "DIF_SELECTBESTCOMPATDRV";
    EXPECT_EQ(class_installer[0].values[1], element);

    EXPECT_EQ(calls_of("SetupDiGetDeviceInstallParamsA")[0].values[1], 296u) << "install parameters size";
    EXPECT_EQ(calls_of("SetupDiBuildDriverInfoList")[0].values[1], 2u) << "SPDIT_COMPATDRIVER";
    EXPECT_EQ(calls_of("SetupDiGetSelectedDriverA")[0].values[1], 796u) << "selected-driver record size";
}

// The INF path in DriverPath, absolute and whole; of all other bytes of the
// install parameters only the two flag words change. A path DriverPath
// cannot hold whole is never cut: its first 259 characters could name
// another INF (here they do), so the call ends with -2 before any driver
// search.
SP_DEVINSTALL_PARAMS_A seeded_install_params() {
    SP_DEVINSTALL_PARAMS_A params;
    unsigned char bytes[sizeof params];
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        bytes[i] = static_cast<unsigned char>(0x5A ^ (i * 37 + 11));
    }
    std::memcpy(&params, bytes, sizeof params);
    params.cbSize = 296;
    // Both bits clear, so that setting them shows.
    params.Flags &= ~DI_ENUMSINGLEINF;
    params.FlagsEx &= ~DI_FLAGSEX_ALLOWEXCLUDEDDRVS;
    return params;
}

struct driver_path_case {
    std::string name;
    std::string given;     // the INF path the caller passes
    std::string searched;  // the path in DriverPath; empty: no driver search
    bool handed_full = false;  // given as a helper is: already full
};

void PrintTo(const driver_path_case& row, std::ostream* os) { *os << row.name; }

using driver_path = sim_table_test<driver_path_case>;

TEST_P(driver_path, absolute_and_whole_and_nothing_else_changed) {
    const driver_path_case& row = GetParam();
    standard_machine();  // the current folder is C:\setup
    add_nic_inf(row.searched.empty() ? row.given.substr(0, 259) : row.searched);
    const SP_DEVINSTALL_PARAMS_A seed = seeded_install_params();
    machine().initial_install_params = seed;

    const int result = row.handed_full ? ID_MAIN2::install_driver_for_device(
                                             nullptr, nic_compact_id, {row.given.c_str(), true})
                                       : install(row.given, nic_compact_id);
    EXPECT_EQ(machine().count("GetFullPathNameA"), row.handed_full ? 0u : 1u);

    if (row.searched.empty()) {
        EXPECT_EQ(result, QV7_E_NO_DRIVER);
        EXPECT_EQ(machine().stored_install_params.size(), 0u);
        EXPECT_EQ(machine().count("SetupDiBuildDriverInfoList"), 0u);
        EXPECT_EQ(machine().install_calls.size(), 0u);
        expect_clean_platform();
        return;
    }
    EXPECT_EQ(result, QV7_INSTALLED);
    ASSERT_EQ(machine().install_calls.size(), 1u);
    EXPECT_EQ(machine().install_calls[0].selected_inf, row.searched);

    ASSERT_EQ(machine().stored_install_params.size(), 1u);
    const SP_DEVINSTALL_PARAMS_A& stored = machine().stored_install_params[0];
    EXPECT_EQ(stored.Flags, seed.Flags | 0x10000u);
    EXPECT_EQ(stored.FlagsEx, seed.FlagsEx | 0x800u);
    EXPECT_EQ(std::string(stored.DriverPath, row.searched.size()), row.searched);
    EXPECT_EQ(stored.DriverPath[row.searched.size()], '\0');

    // Every byte outside Flags, FlagsEx and DriverPath (the last field) as
    // it was read.
    const auto* stored_bytes = reinterpret_cast<const unsigned char*>(&stored);
    const auto* seed_bytes = reinterpret_cast<const unsigned char*>(&seed);
    const std::size_t path_begin = offsetof(SP_DEVINSTALL_PARAMS_A, DriverPath);
    for (std::size_t i = 0; i < path_begin; ++i) {
        if (i >= offsetof(SP_DEVINSTALL_PARAMS_A, Flags) && i < offsetof(SP_DEVINSTALL_PARAMS_A, hwndParent)) {
            continue;  // Flags and FlagsEx, checked above
        }
        EXPECT_EQ(stored_bytes[i], seed_bytes[i]) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(paths, driver_path, testing::Values(
    driver_path_case{"of_258_whole", path_of_length(258), path_of_length(258)},
    driver_path_case{"of_259_whole", path_of_length(259), path_of_length(259)},
    driver_path_case{"of_260_never_cut", path_of_length(260), ""},
    driver_path_case{"of_300_never_cut", path_of_length(300), ""},
    driver_path_case{"of_64_KiB_never_cut", path_of_length(64 * 1024), ""},
    driver_path_case{"bare_name_from_current_folder", "nic.inf", "C:\\setup\\nic.inf"},
    driver_path_case{"relative_with_dot_dot", "..\\drivers\\.\\nic.inf", "C:\\drivers\\nic.inf"},
    driver_path_case{"forward_slashes", "C:/drivers/net/nic.inf", "C:\\drivers\\net\\nic.inf"},
    driver_path_case{"relative_made_too_long", "sub\\" + std::string(250, 'r') + ".inf", ""},
    driver_path_case{"handed_full_taken_as_it_stands", "C:\\drivers\\.\\nic.inf", "C:\\drivers\\.\\nic.inf", true},
    driver_path_case{"handed_full_of_259_whole", path_of_length(259), path_of_length(259), true},
    driver_path_case{"handed_full_of_260_never_cut", path_of_length(260), "", true}),
    row_name());

using driver_choice = sim_test;

// DI_FLAGSEX_ALLOWEXCLUDEDDRVS: a driver its INF excludes from automatic
// selection may still be chosen.
TEST_F(driver_choice, excluded_driver_can_be_chosen) {
    add_nic();
    sim::driver excluded = nic_driver_entry();
    excluded.excluded_from_select = true;
    machine().infs[nic_inf_path].drivers = {excluded};

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);
    ASSERT_EQ(machine().install_calls.size(), 1u);
    EXPECT_EQ(machine().install_calls[0].selected_driver, nic_driver);
    EXPECT_EQ(machine().devices[0].bound_driver, nic_driver);
}

// DI_ENUMSINGLEINF: a better-ranked driver in an INF of the system's INF
// folder is not looked at.
TEST_F(driver_choice, better_driver_in_system_inf_not_used) {
    standard_machine();
    sim::driver better = nic_driver_entry();
    better.description = "In-box driver";
    better.rank_version = 99;
    sim::inf_file& system_inf = machine().infs["C:\\windows\\inf\\net_inbox.inf"];
    system_inf.drivers = {better};
    system_inf.in_system_inf_folder = true;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);
    ASSERT_EQ(machine().install_calls.size(), 1u);
    EXPECT_EQ(machine().install_calls[0].selected_inf, nic_inf_path);
    EXPECT_EQ(machine().install_calls[0].selected_driver, nic_driver);
    EXPECT_EQ(machine().devices[nic_index].bound_inf, nic_inf_path);
}

// The best of several compatible drivers in the one INF is the one installed.
TEST_F(driver_choice, best_driver_of_the_inf_installed) {
    standard_machine();
    sim::driver newer = nic_driver_entry();
    newer.description = "Newer adapter driver";
    newer.rank_version = 5;
    machine().infs[nic_inf_path].drivers.push_back(newer);

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);
    EXPECT_EQ(machine().devices[nic_index].bound_driver, "Newer adapter driver");
}

// A failing step before the selection test is not tested by itself: the
// sequence runs on to SetupDiGetSelectedDriverA, whose answer decides.
using fault_fn = void (*)(sim::faults&);

struct step_failure_case {
    std::string name;
    fault_fn fault;
    int result;
    bool stops_at_restriction = false;
};

void PrintTo(const step_failure_case& row, std::ostream* os) { *os << row.name << " -> " << row.result; }

using failing_step = sim_table_test<step_failure_case>;

TEST_P(failing_step, sequence_runs_on_to_the_selection_test) {
    standard_machine();
    GetParam().fault(machine().fault);

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), GetParam().result);

    for (const char* op : {"SetupDiOpenDeviceInfoA", "SetupDiSetSelectedDevice", "SetupDiGetDeviceInstallParamsA",
                           "SetupDiSetDeviceInstallParamsA", "SetupDiBuildDriverInfoList",
                           "SetupDiCallClassInstaller", "SetupDiGetSelectedDriverA"}) {
        EXPECT_EQ(machine().count(op), 1u) << op;
        if (std::string(op) == "SetupDiSetDeviceInstallParamsA" && GetParam().stops_at_restriction) {
            break;  // nothing is searched without the restriction to the INF
        }
    }
    if (GetParam().result == QV7_E_NO_DRIVER) {
        EXPECT_EQ(machine().count("LoadLibraryA"), 0u);
        EXPECT_EQ(machine().count("GetSystemDirectoryA"), 0u);
    }
    EXPECT_EQ(machine().sets_destroyed, 2);
    expect_clean_platform();
}

INSTANTIATE_TEST_SUITE_P(steps, failing_step, testing::Values(
    // The element of a device that could not be opened names nothing, so
    // the restriction to the INF cannot be stored for it either.
    step_failure_case{"open_fails_device_vanished", [](sim::faults& f) { f.open_device_info = true; }, -2, true},
    // Reading fails: the parameters stay zeroed with their size set, the
    // restriction to the INF is still written, and a driver is chosen.
    step_failure_case{"get_install_params_fails", [](sim::faults& f) { f.get_install_params = true; }, 1},
    step_failure_case{"set_install_params_fails", [](sim::faults& f) { f.set_install_params = true; }, -2, true},
    // The installer acts on the set's selected device; without one it fails.
    step_failure_case{"set_selected_device_fails", [](sim::faults& f) { f.set_selected_device = true; }, -3},
    step_failure_case{"build_driver_list_fails", [](sim::faults& f) { f.build_driver_info_list = true; }, -2},
    step_failure_case{"class_installer_declines", [](sim::faults& f) { f.call_class_installer = true; }, -2}),
    row_name());

// When the install parameters cannot be read, the ones written back hold
// zeros but for the size, the restriction and the path.
TEST_F(driver_sequence, unreadable_install_params_written_from_zero) {
    standard_machine();
    machine().initial_install_params = seeded_install_params();
    machine().fault.get_install_params = true;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);

    ASSERT_EQ(machine().stored_install_params.size(), 1u);
    SP_DEVINSTALL_PARAMS_A expected;
    std::memset(&expected, 0, sizeof expected);
    expected.cbSize = 296;
    expected.Flags = DI_ENUMSINGLEINF;
    expected.FlagsEx = DI_FLAGSEX_ALLOWEXCLUDEDDRVS;
    std::memcpy(expected.DriverPath, nic_inf_path.c_str(), nic_inf_path.size() + 1);
    EXPECT_EQ(std::memcmp(&machine().stored_install_params[0], &expected, sizeof expected), 0);
}

// When the restriction to the INF cannot be stored, the driver search is not
// run at all: it would read the system's INF folder and could pick a driver
// from a file the caller never named.
TEST_F(driver_sequence, unstored_restriction_never_searches_the_system_inf_folder) {
    standard_machine();
    sim::inf_file system_inf;
    system_inf.in_system_inf_folder = true;
    sim::driver newer = nic_driver_entry();
    newer.description = "Newer driver from the system INF folder";
    newer.rank_version = 9;
    system_inf.drivers.push_back(newer);
    machine().infs["C:\\windows\\inf\\oem7.inf"] = system_inf;
    machine().fault.set_install_params = true;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_E_NO_DRIVER);

    EXPECT_EQ(machine().count("SetupDiBuildDriverInfoList"), 0u);
    EXPECT_EQ(machine().count("SetupDiCallClassInstaller"), 0u);
    EXPECT_EQ(machine().count("LoadLibraryA"), 0u);
    EXPECT_TRUE(machine().devices[nic_index].bound_driver.empty());
    EXPECT_EQ(machine().sets_destroyed, 2);
    expect_clean_platform();
}

// The install set cannot be created: no driver can be selected, and no
// operation is handed the failure value.
TEST_F(driver_sequence, install_set_not_created_gives_minus_2) {
    standard_machine();
    machine().fault.create_device_info_list = true;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_E_NO_DRIVER);

    EXPECT_EQ(machine().count("SetupDiCreateDeviceInfoList"), 1u);
    EXPECT_EQ(machine().count("LoadLibraryA"), 0u);
    EXPECT_EQ(machine().count("InstallSelectedDriver"), 0u);
    EXPECT_EQ(machine().sets_destroyed, 1) << "the walk set only";
    expect_clean_platform();
}

}  // namespace
}  // namespace install_test
