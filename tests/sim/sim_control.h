// Control of the simulated platform: what tests set up (present devices,
// INF driver data, NEWDEV.DLL's behaviour, faults) and what they inspect
// afterwards (a log of every call, resources acquired and released).
#pragma once

#include "tests/sim/sim_platform.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim {

struct device {
    std::string instance_id;
    // The hardware-ID property as the platform stores it: zero-terminated
    // IDs ending in an empty one. None: the device has no such property.
    std::optional<std::string> hardware_ids;
    bool present = true;
    // Set when NEWDEV.DLL installed a driver on it: the INF and description.
    std::string bound_inf;
    std::string bound_driver;
    // The driver key's "InfPath": the published name of the package its
    // driver came from. Empty: the device has no driver key.
    std::string driver_inf{};
    // Removed through the class installer (DIF_REMOVE): no longer listed.
    bool removed = false;
    // What DIF_REMOVE does to it: fails with this error, or leaves these
    // flags (DI_NEEDREBOOT, DI_NEEDRESTART) in its install parameters.
    std::optional<DWORD> remove_error{};
    DWORD remove_flags = 0;
};

// The hardware-ID property for a list of IDs, in the platform's layout.
std::string multi_sz(const std::vector<std::string>& ids);

struct driver {
    std::string hardware_id;  // the model's hardware ID, compared case-insensitively
    std::string description;
    unsigned rank_version = 1;       // higher wins the class installer's choice
    bool excluded_from_select = false;  // chosen only with DI_FLAGSEX_ALLOWEXCLUDEDDRVS
};

struct inf_file {
    std::vector<driver> drivers;
    bool readable = true;
    bool in_system_inf_folder = false;  // searched when the search is not limited to one INF
    // SetupCopyOEMInfA refuses to stage it with this error (not an INF,
    // signature, policy); 0: it stages.
    DWORD stage_error = 0;
};

// What NEWDEV.DLL does when the library loads it and calls it.
struct newdev_behaviour {
    bool loadable = true;
    bool has_entry_point = true;
    BOOL result = TRUE;        // InstallSelectedDriver's return value
    DWORD reboot = 0;          // written to the reboot word on success
    DWORD last_error = 0;      // set as the last error on failure
    bool installs = true;      // on success, binds the selected driver to the device
};

// Fault switches, one per operation. Device indices are positions in
// state::devices.
struct faults {
    bool get_class_devs = false;               // returns INVALID_HANDLE_VALUE
    std::optional<DWORD> enum_fails_at_index;  // SetupDiEnumDeviceInfo fails there
    std::set<std::size_t> property_read_fails;  // for these devices
    std::set<std::size_t> instance_id_read_fails;
    // What a failing read writes into the buffer before it fails (cut to
    // the buffer's size), as a read that ran out of room may.
    std::string failed_read_writes;
    bool create_device_info_list = false;      // returns INVALID_HANDLE_VALUE
    bool open_device_info = false;
    bool set_selected_device = false;
    bool get_install_params = false;
    bool set_install_params = false;
    bool build_driver_info_list = false;
    bool call_class_installer = false;
    bool get_system_directory = false;         // returns 0
    std::set<std::size_t> inf_path_read_fails;  // the driver key's InfPath, for these devices
    bool enum_all_devices_fails = false;       // the walk over every device fails at its end
    std::optional<DWORD> uninstall_error;      // SetupUninstallOEMInfA fails so
    // SetupCopyOEMInfA copies even with SP_COPY_REPLACEONLY, as Wine does.
    bool copy_ignores_replace_only = false;
    bool heap_alloc = false;                   // HeapAlloc returns null
};

// One platform call: the operation, the handle it was given, its numeric
// arguments (pointers as addresses), its text argument, and its result.
struct call {
    std::string op;
    void* handle = nullptr;
    std::vector<std::uintptr_t> values;
    std::string text;
    std::uintptr_t result = 0;
};

// What InstallSelectedDriver was handed.
struct install_call {
    HWND parent = nullptr;
    HDEVINFO set = nullptr;
    bool reserved_null = false;
    BOOL backup = 0;
    bool reboot_word_zero = false;
    std::size_t devices_in_set = 0;
    std::string selected_device;
    std::string selected_inf;
    std::string selected_driver;
};

struct state {
    std::vector<device> devices;
    std::map<std::string, inf_file> infs;  // by path
    newdev_behaviour newdev;
    faults fault;
    std::string system_directory = "C:\\windows\\system32";
    std::string windows_directory = "C:\\windows";
    // The system's INF folder: published name -> the INF path it was staged
    // from (empty for an INF of the system's own).
    std::map<std::string, std::string> inf_folder;
    unsigned next_oem_number = 0;
    // The process's current folder, which relative paths count from.
    std::string current_directory = "C:\\setup";
    // The install parameters a device starts with in a new set.
    SP_DEVINSTALL_PARAMS_A initial_install_params{};

    // Observations.
    std::vector<call> log;
    std::vector<SP_DEVINSTALL_PARAMS_A> stored_install_params;
    std::vector<install_call> install_calls;
    int sets_created = 0;
    int sets_destroyed = 0;
    int modules_loaded = 0;
    int modules_freed = 0;
    int keys_opened = 0;
    int keys_closed = 0;
    // Calls made with a handle that is not live (never created, already
    // released, or the failure value).
    std::vector<std::string> bad_handle_uses;

    int live_sets() const { return sets_created - sets_destroyed; }
    int live_modules() const { return modules_loaded - modules_freed; }
    int live_keys() const { return keys_opened - keys_closed; }
    std::vector<std::string> ops() const;
    std::size_t count(const std::string& op) const;
};

// The simulated platform; reset() returns it to an empty machine.
state& platform();
void reset();

// Index of the device added; its instance ID is `instance_id`.
std::size_t add_device(const std::string& instance_id, const std::vector<std::string>& hardware_ids);
std::size_t add_device_without_hardware_id(const std::string& instance_id);

// Blocks of the process heap allocated and not freed yet, over the whole
// run (reset() does not forget them).
long live_heap_blocks();

// True while a simulated platform operation runs: tests that make memory
// allocation fail leave the simulation's own allocations alone.
bool inside_platform_call();

}  // namespace sim
