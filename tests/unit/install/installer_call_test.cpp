// The installer call: NEWDEV.DLL from the system directory, the arguments of
// InstallSelectedDriver, and how its answer becomes the result code.
#include "install_fixture.h"

#include <string>

namespace install_test {
namespace {

// Reboot word written by a successful installation.
struct reboot_case {
    std::string name;
    DWORD reboot;
    int result;
};

void PrintTo(const reboot_case& row, std::ostream* os) { *os << row.name << " -> " << row.result; }

using reboot_word = sim_table_test<reboot_case>;

TEST_P(reboot_word, gives_result) {
    standard_machine();
    machine().newdev.reboot = GetParam().reboot;
    EXPECT_EQ(install(nic_inf_path, nic_compact_id), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(words, reboot_word, testing::Values(
    reboot_case{"restart_and_reboot_restart_wins", 0x180, 3},
    reboot_case{"restart", 0x80, 3},
    reboot_case{"reboot", 0x100, 2},
    reboot_case{"other_bit_ignored", 0x200, 1},
    reboot_case{"none", 0, 1},
    reboot_case{"all_bits", 0xFFFFFFFF, 3},
    reboot_case{"all_bits_but_restart", 0xFFFFFF7F, 2},
    reboot_case{"all_bits_but_restart_and_reboot", 0xFFFFFE7F, 1}),
    row_name());

// Any non-zero return value of InstallSelectedDriver is success.
struct return_value_case {
    std::string name;
    BOOL returned;
};

void PrintTo(const return_value_case& row, std::ostream* os) { *os << row.name; }

using installer_return_value = sim_table_test<return_value_case>;

TEST_P(installer_return_value, non_zero_counts_as_success) {
    standard_machine();
    machine().newdev.result = GetParam().returned;
    machine().newdev.reboot = DI_NEEDREBOOT;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED_NEEDS_REBOOT);
    EXPECT_EQ(GetLastError(), 0u) << "no failure to report";
}

INSTANTIATE_TEST_SUITE_P(values, installer_return_value, testing::Values(
    return_value_case{"true_1", 1},
    return_value_case{"two", 2},
    return_value_case{"minus_one", -1},
    return_value_case{"lowest_int", static_cast<BOOL>(0x80000000u)}),
    row_name());

// Last error after a failed installation.
struct last_error_case {
    std::string name;
    DWORD error;
    int result;
};

void PrintTo(const last_error_case& row, std::ostream* os) { *os << row.name << " -> " << row.result; }

using failed_installation = sim_table_test<last_error_case>;

TEST_P(failed_installation, last_error_gives_result) {
    standard_machine();
    machine().newdev.result = FALSE;
    machine().newdev.last_error = GetParam().error;

    SetLastError(0xdeadbeef);
    EXPECT_EQ(install(nic_inf_path, nic_compact_id), GetParam().result);
    // The installer's error, read before anything else: the simulated
    // platform clears the last error on every later operation (freeing
    // NEWDEV, destroying the set), so a late read would give -3 and 0.
    EXPECT_EQ(GetLastError(), GetParam().error);
    EXPECT_EQ(machine().modules_freed, 1);
}

INSTANTIATE_TEST_SUITE_P(errors, failed_installation, testing::Values(
    last_error_case{"not_nt_driver_minus_8", ERROR_NON_WINDOWS_NT_DRIVER, -8},
    last_error_case{"zero_minus_3", 0, -3},
    last_error_case{"access_denied_minus_3", 5, -3},
    last_error_case{"neighbour_code_below_minus_3", ERROR_NON_WINDOWS_NT_DRIVER - 1, -3},
    last_error_case{"neighbour_code_above_minus_3", ERROR_NON_WINDOWS_NT_DRIVER + 1, -3},
    last_error_case{"low_half_only_minus_3", ERROR_NON_WINDOWS_NT_DRIVER & 0xFFFF, -3}),
    row_name());

using installer_call = sim_test;

TEST_F(installer_call, arguments_of_install_selected_driver) {
    // Two adapters match: the later one is the device installed.
    sim::add_device(beep_instance_id, {"ROOT\\LEGACY_BEEP"});
    add_nic(nic_instance_id);
    add_nic(nic2_instance_id);
    add_nic_inf();

    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);

    ASSERT_EQ(machine().install_calls.size(), 1u);
    const sim::install_call& seen = machine().install_calls[0];
    EXPECT_EQ(seen.parent, nullptr);
    EXPECT_EQ(seen.set, set_returned_by("SetupDiCreateDeviceInfoList"));
    EXPECT_NE(seen.set, set_returned_by("SetupDiGetClassDevsA"));
    EXPECT_TRUE(seen.reserved_null);
    EXPECT_EQ(static_cast<DWORD>(seen.backup), 0xFFFFFFFFu);
    EXPECT_TRUE(seen.reboot_word_zero);
    EXPECT_EQ(seen.devices_in_set, 1u);
    EXPECT_EQ(seen.selected_device, nic2_instance_id);
    EXPECT_EQ(seen.selected_inf, nic_inf_path);
    EXPECT_EQ(seen.selected_driver, nic_driver);
    EXPECT_EQ(machine().devices[2].bound_driver, nic_driver);
    EXPECT_EQ(machine().devices[1].bound_driver, "");
}

TEST_F(installer_call, newdev_loaded_by_its_path_in_the_system_directory) {
    standard_machine();
    machine().system_directory = "D:\\WinNT\\System32";

    ASSERT_EQ(install(nic_inf_path, nic_compact_id), QV7_INSTALLED);

    const std::vector<sim::call> directory = calls_of("GetSystemDirectoryA");
    ASSERT_EQ(directory.size(), 1u);
    EXPECT_NE(directory[0].values[0], 0u);
    EXPECT_EQ(directory[0].values[1], 260u);
    const std::vector<sim::call> load = calls_of("LoadLibraryA");
    ASSERT_EQ(load.size(), 1u);
    EXPECT_EQ(load[0].text, "D:\\WinNT\\System32\\NEWDEV.DLL");

    const std::vector<sim::call> lookup = calls_of("GetProcAddress");
    ASSERT_EQ(lookup.size(), 1u);
    EXPECT_EQ(lookup[0].text, "InstallSelectedDriver");
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(lookup[0].handle), load[0].result);
    const std::vector<sim::call> freed = calls_of("FreeLibrary");
    ASSERT_EQ(freed.size(), 1u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(freed[0].handle), load[0].result);
}

TEST_F(installer_call, newdev_not_loadable_gives_minus_7_and_frees_nothing) {
    standard_machine();
    machine().newdev.loadable = false;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_E_NO_NEWDEV);
    EXPECT_EQ(machine().count("LoadLibraryA"), 1u);
    EXPECT_EQ(machine().count("GetProcAddress"), 0u);
    EXPECT_EQ(machine().count("InstallSelectedDriver"), 0u);
    EXPECT_EQ(machine().count("FreeLibrary"), 0u);
    expect_clean_platform();
}

TEST_F(installer_call, missing_entry_point_gives_minus_9_and_frees_once) {
    standard_machine();
    machine().newdev.has_entry_point = false;

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), QV7_E_NO_ENTRY_POINT);
    EXPECT_EQ(machine().count("InstallSelectedDriver"), 0u);
    EXPECT_EQ(machine().count("FreeLibrary"), 1u);
    EXPECT_EQ(machine().modules_freed, 1);
    EXPECT_LT(position_of("GetProcAddress"), position_of("FreeLibrary"));
    expect_clean_platform();
}

// The system directory: NEWDEV.DLL is loaded from there or not at all.
using arrange_fn = void (*)();

struct system_directory_case {
    std::string name;
    arrange_fn arrange;
    int result;
};

void PrintTo(const system_directory_case& row, std::ostream* os) { *os << row.name << " -> " << row.result; }

using system_directory = sim_table_test<system_directory_case>;

void directory_unreadable() { sim::platform().fault.get_system_directory = true; }
void directory_of(std::size_t length) { sim::platform().system_directory = path_of_length(length); }
void directory_259() { directory_of(259); }
void directory_260() { directory_of(260); }
void directory_261() { directory_of(261); }
void directory_1000() { directory_of(1000); }
void directory_short() { sim::platform().system_directory = "C:"; }

TEST_P(system_directory, decides_where_newdev_comes_from) {
    standard_machine();
    GetParam().arrange();

    EXPECT_EQ(install(nic_inf_path, nic_compact_id), GetParam().result);

    const std::vector<sim::call> load = calls_of("LoadLibraryA");
    if (GetParam().result == QV7_E_NO_NEWDEV) {
        EXPECT_EQ(load.size(), 0u);
    } else {
        ASSERT_EQ(load.size(), 1u);
        EXPECT_EQ(load[0].text, machine().system_directory + "\\NEWDEV.DLL");
    }
    EXPECT_EQ(machine().sets_destroyed, 2);
    expect_clean_platform();
}

INSTANTIATE_TEST_SUITE_P(directories, system_directory, testing::Values(
    system_directory_case{"unreadable_never_loads", directory_unreadable, -7},
    system_directory_case{"of_259_characters_fits", directory_259, 1},
    system_directory_case{"of_260_characters_too_long_never_loads", directory_260, -7},
    system_directory_case{"of_261_characters_too_long_never_loads", directory_261, -7},
    system_directory_case{"of_1000_characters_too_long_never_loads", directory_1000, -7},
    system_directory_case{"drive_only", directory_short, 1}),
    row_name());

}  // namespace
}  // namespace install_test
