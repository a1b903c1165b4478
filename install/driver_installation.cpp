// The installation: driver selection from one INF file, and NEWDEV.DLL.
#include "install/ID_MAIN2.h"
#include "include/quorvant.h"
#include "platform/unique_handle.h"

#include <array>
#include <cstring>

namespace ID_MAIN2 {
namespace {

// The system's driver installer, loaded from the system directory.
constexpr std::string_view newdev_file = "\\NEWDEV.DLL";
constexpr const char* install_selected_driver_name = "InstallSelectedDriver";
// InstallSelectedDriver's backup flag, passed as true with all 32 bits set.
constexpr BOOL backup_all_bits = static_cast<BOOL>(~0u);

// Limits the device's driver search to the one INF file at `inf_path` and
// lets excluded drivers be chosen. Returns whether the platform took the
// new parameters.
bool limit_driver_search_to_inf(HDEVINFO set, SP_DEVINFO_DATA& element, const full_path& inf_path) {
    SP_DEVINSTALL_PARAMS_A params;
    std::memset(&params, 0, sizeof params);
    params.cbSize = platform::install_params_size;
    SetupDiGetDeviceInstallParamsA(set, &element, &params);

    params.Flags |= DI_ENUMSINGLEINF;
    static_assert(full_path::capacity == sizeof params.DriverPath);
    std::memcpy(params.DriverPath, inf_path.c_str(), inf_path.size() + 1);
    params.FlagsEx |= DI_FLAGSEX_ALLOWEXCLUDEDDRVS;
    return SetupDiSetDeviceInstallParamsA(set, &element, &params) != FALSE;
}

int result_of_installation(DWORD reboot) {
    if (reboot & DI_NEEDRESTART) {
        return QV7_INSTALLED_NEEDS_RESTART;
    }
    if (reboot & DI_NEEDREBOOT) {
        return QV7_INSTALLED_NEEDS_REBOOT;
    }
    return QV7_INSTALLED;
}

}  // namespace

full_path full_inf_path(const char* inf_path) {
    full_path path;
    const DWORD length =
        GetFullPathNameA(inf_path, full_path::buffer_size, path.prepare_read(), nullptr);
    path.take_read(length != 0 && length < full_path::buffer_size);
    return path;
}

int install_driver_for_device(HWND parent, std::string_view wanted, const char* inf_path) {
    if (!inf_path || *inf_path == '\0') {
        return QV7_E_NO_INF_PATH;
    }
    if (!find_device_instance_id(wanted)) {
        return QV7_E_OUT_OF_MEMORY;
    }
    if (found_instance_id.empty()) {
        return QV7_E_NO_DEVICE;
    }
    const full_path inf = full_inf_path(inf_path);
    if (inf.empty()) {
        return QV7_E_NO_DRIVER;
    }

    const platform::unique_hdevinfo set{SetupDiCreateDeviceInfoList(nullptr, nullptr)};
    if (!set) {
        // Without a set no driver can be selected; the remaining steps
        // would only be handed the failure value.
        return QV7_E_NO_DRIVER;
    }

    // The steps up to the driver selection are not tested one by one: a
    // failure among them leaves no driver selected, which the selection
    // test below reports. The one exception is storing the restriction to
    // the INF file: without it the driver search would read the system's
    // INF folder and could select a driver from a file the caller never
    // named.
    SP_DEVINFO_DATA element{};
    element.cbSize = platform::devinfo_data_size;
    SetupDiOpenDeviceInfoA(set.get(), found_instance_id.c_str(), nullptr, 0, &element);
    SetupDiSetSelectedDevice(set.get(), &element);
    if (!limit_driver_search_to_inf(set.get(), element, inf)) {
        return QV7_E_NO_DRIVER;
    }
    SetupDiBuildDriverInfoList(set.get(), &element, SPDIT_COMPATDRIVER);
    SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, set.get(), &element);

    SP_DRVINFO_DATA_V2_A driver;
    std::memset(&driver, 0, sizeof driver);
    driver.cbSize = platform::driver_info_size;
    if (!SetupDiGetSelectedDriverA(set.get(), &element, &driver)) {
        return QV7_E_NO_DRIVER;
    }
    return run_install_selected_driver(parent, set.get());
}

int run_install_selected_driver(HWND parent, HDEVINFO set) {
    std::array<char, platform::max_path> system_directory{};
    const UINT length = GetSystemDirectoryA(system_directory.data(),
                                            static_cast<UINT>(system_directory.size()));
    if (length == 0 || length >= system_directory.size()) {
        // Unreadable, or too long for the buffer: never load NEWDEV.DLL
        // from anywhere but the system directory.
        return QV7_E_NO_NEWDEV;
    }
    // The path fits: the directory is shorter than the buffer.
    std::array<char, platform::max_path + newdev_file.size()> path{};
    std::memcpy(path.data(), system_directory.data(), length);
    std::memcpy(path.data() + length, newdev_file.data(), newdev_file.size());

    const platform::unique_hmodule newdev{LoadLibraryA(path.data())};
    if (!newdev) {
        return QV7_E_NO_NEWDEV;
    }
    const FARPROC entry = GetProcAddress(newdev.get(), install_selected_driver_name);
    if (!entry) {
        return QV7_E_NO_ENTRY_POINT;
    }
    // FARPROC is a generic function pointer; void(*)() converts to any other.
    const auto install_selected_driver = reinterpret_cast<platform::install_selected_driver_fn>(
        reinterpret_cast<void (*)()>(entry));

    DWORD reboot = 0;
    if (install_selected_driver(parent, set, nullptr, backup_all_bits, &reboot)) {
        return result_of_installation(reboot);
    }
    // Read the reason before any other platform call can replace it.
    const DWORD error = GetLastError();
    return error == platform::error_non_windows_nt_driver ? QV7_E_NOT_NT_DRIVER
                                                          : QV7_E_INSTALL_FAILED;
}

}  // namespace ID_MAIN2
