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

// Reports the steps of one stage to an optional sink, and keeps the error
// of the first step that failed.
class stage_steps {
public:
    stage_steps(const step_sink* sink, HDEVINFO set, SP_DEVINFO_DATA* element) noexcept
        : sink_(sink), set_(set), element_(element) {}

    // Reports `what`, which ended with `ok`, and returns `ok`. The error of
    // a failed step is read before anything else can replace it.
    bool done(step what, bool ok, std::string_view detail = {}, DWORD value = 0) noexcept {
        error_ = ok ? 0 : GetLastError();
        if (!ok && !failed_) {
            failed_ = true;
            first_error_ = error_;
        }
        if (sink_) {
            sink_->report(sink_->context, {what, ok, error_, detail, value, set_, element_});
        }
        return ok;
    }

    // The platform's error of the last step reported; 0 when it succeeded.
    DWORD error() const noexcept { return error_; }
    // The error of the first step that failed; 0 when none did.
    DWORD first_error() const noexcept { return first_error_; }

private:
    const step_sink* sink_;
    HDEVINFO set_;
    SP_DEVINFO_DATA* element_;
    DWORD error_ = 0;
    DWORD first_error_ = 0;
    bool failed_ = false;
};

int result_of_installation(DWORD reboot) {
    if (reboot & DI_NEEDRESTART) {
        return QV7_INSTALLED_NEEDS_RESTART;
    }
    if (reboot & DI_NEEDREBOOT) {
        return QV7_INSTALLED_NEEDS_REBOOT;
    }
    return QV7_INSTALLED;
}

// Opens the device `instance_id` (zero-terminated) in `set`, makes it the
// selected device and limits its driver search to `inf`. -2 when the
// restriction cannot be stored.
outcome open_device_for_inf(HDEVINFO set, SP_DEVINFO_DATA& element, const char* instance_id,
                            const full_path& inf, const step_sink* sink) {
    // The steps up to the driver selection are not tested one by one: a
    // failure among them leaves no driver selected, which the selection
    // reports. The one exception is storing the restriction to the INF
    // file: without it the driver search would read the system's INF folder
    // and could select a driver from a file the caller never named.
    stage_steps steps(sink, set, &element);
    steps.done(step::device_opened,
               SetupDiOpenDeviceInfoA(set, instance_id, nullptr, 0, &element) != FALSE, instance_id);
    steps.done(step::device_selected, SetupDiSetSelectedDevice(set, &element) != FALSE);

    SP_DEVINSTALL_PARAMS_A params;
    std::memset(&params, 0, sizeof params);
    params.cbSize = platform::install_params_size;
    steps.done(step::install_params_read,
               SetupDiGetDeviceInstallParamsA(set, &element, &params) != FALSE);
    params.Flags |= DI_ENUMSINGLEINF;
    static_assert(full_path::capacity == sizeof params.DriverPath);
    std::memcpy(params.DriverPath, inf.c_str(), inf.size() + 1);
    params.FlagsEx |= DI_FLAGSEX_ALLOWEXCLUDEDDRVS;
    if (!steps.done(step::search_limited,
                    SetupDiSetDeviceInstallParamsA(set, &element, &params) != FALSE, inf)) {
        return {QV7_E_NO_DRIVER, steps.first_error()};
    }
    return {proceed, steps.first_error()};
}

// Builds the device's compatible-driver list from the INF and lets the
// class installer select the best driver. -2 when none is selected.
outcome select_best_driver(HDEVINFO set, SP_DEVINFO_DATA& element, const step_sink* sink) {
    stage_steps steps(sink, set, &element);
    steps.done(step::driver_list_built,
               SetupDiBuildDriverInfoList(set, &element, SPDIT_COMPATDRIVER) != FALSE);
    steps.done(step::class_installer_run,
               SetupDiCallClassInstaller(DIF_SELECTBESTCOMPATDRV, set, &element) != FALSE);

    SP_DRVINFO_DATA_V2_A driver;
    std::memset(&driver, 0, sizeof driver);
    driver.cbSize = platform::driver_info_size;
    const bool selected = SetupDiGetSelectedDriverA(set, &element, &driver) != FALSE;
    steps.done(step::driver_selected, selected,
               selected ? std::string_view(driver.Description) : std::string_view());
    return {selected ? proceed : QV7_E_NO_DRIVER, steps.first_error()};
}

// The routine itself; every resource it holds is released when it returns.
outcome install(HWND parent, std::string_view wanted, given_inf inf, const step_sink* sink) {
    selection chosen;
    outcome end = select_driver(wanted, inf, chosen, sink);
    if (!chosen.set.valid()) {
        return end;
    }
    if (end.result == proceed) {
        end = run_install_selected_driver(parent, chosen.set.get(), sink);
    }
    // Released here rather than by the owner, so that the release is a step
    // of this routine like any other.
    stage_steps steps(sink, chosen.set.get(), nullptr);
    const bool destroyed = SetupDiDestroyDeviceInfoList(chosen.set.release()) != FALSE;
    steps.done(step::set_destroyed, destroyed);
    return end;
}

}  // namespace

full_path full_inf_path(given_inf inf) {
    full_path path;
    char* const buffer = path.prepare_read();
    const std::size_t length = inf.already_full
                                   ? std::strlen(inf.text)
                                   : GetFullPathNameA(inf.text, full_path::buffer_size, buffer, nullptr);
    const bool fits = length != 0 && length < full_path::buffer_size;
    if (inf.already_full && fits) {
        std::memcpy(buffer, inf.text, length);
    }
    path.take_read(fits);
    if (length != 0 && !fits) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
    }
    return path;
}

int install_driver_for_device(HWND parent, std::string_view wanted, given_inf inf,
                              const step_sink* sink) {
    const outcome end = install(parent, wanted, inf, sink);
    SetLastError(end.error);
    return end.result;
}

outcome select_driver(std::string_view wanted, given_inf given, selection& out,
                      const step_sink* sink) {
    if (!given.text || *given.text == '\0') {
        return {QV7_E_NO_INF_PATH, ERROR_INVALID_PARAMETER};
    }
    const search_result found = find_device_instance_id(wanted, sink);
    if (found.end.result != proceed) {
        return found.end;
    }
    const full_path inf = full_inf_path(given);
    if (inf.empty()) {
        return {QV7_E_NO_DRIVER, GetLastError()};
    }
    out.set.reset(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    stage_steps steps(sink, out.set.valid() ? out.set.get() : nullptr, nullptr);
    if (!steps.done(step::set_created, out.set.valid())) {
        // Without a set no driver can be selected; the remaining steps
        // would only be handed the failure value.
        return {QV7_E_NO_DRIVER, steps.error()};
    }
    out.element = {};
    out.element.cbSize = platform::devinfo_data_size;
    outcome end = open_device_for_inf(out.set.get(), out.element, found.instance_id.data(), inf, sink);
    if (end.result == proceed) {
        const DWORD earlier_error = end.error;
        end = select_best_driver(out.set.get(), out.element, sink);
        if (end.result != proceed && earlier_error != 0) {
            end.error = earlier_error;  // the first failure explains the rest
        }
    }
    return end;
}

outcome run_install_selected_driver(HWND parent, HDEVINFO set, const step_sink* sink) {
    stage_steps steps(sink, set, nullptr);
    std::array<char, platform::max_path> system_directory{};
    const UINT length = GetSystemDirectoryA(system_directory.data(),
                                            static_cast<UINT>(system_directory.size()));
    const bool fits = length != 0 && length < system_directory.size();
    if (length != 0 && !fits) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    }
    if (!steps.done(step::system_directory_read, fits,
                    fits ? std::string_view(system_directory.data(), length) : std::string_view())) {
        // Unreadable, or too long for the buffer: never load NEWDEV.DLL
        // from anywhere but the system directory.
        return {QV7_E_NO_NEWDEV, steps.error()};
    }
    // The path fits: the directory is shorter than the buffer.
    std::array<char, platform::max_path + newdev_file.size()> path{};
    std::memcpy(path.data(), system_directory.data(), length);
    std::memcpy(path.data() + length, newdev_file.data(), newdev_file.size());

    platform::unique_hmodule newdev{LoadLibraryA(path.data())};
    if (!steps.done(step::newdev_loaded, newdev.valid(), path.data())) {
        return {QV7_E_NO_NEWDEV, steps.error()};
    }
    const FARPROC entry = GetProcAddress(newdev.get(), install_selected_driver_name);
    steps.done(step::entry_point_found, entry != nullptr, install_selected_driver_name);
    outcome end{QV7_E_NO_ENTRY_POINT, steps.error()};
    if (entry) {
        // FARPROC is a generic function pointer; void(*)() converts to any other.
        const auto install_selected_driver = reinterpret_cast<platform::install_selected_driver_fn>(
            reinterpret_cast<void (*)()>(entry));
        DWORD reboot = 0;
        const bool installed =
            install_selected_driver(parent, set, nullptr, backup_all_bits, &reboot) != FALSE;
        // The installer's error, read before any other platform call.
        steps.done(step::installer_called, installed, {}, reboot);
        end.error = steps.error();
        end.result = installed ? result_of_installation(reboot)
                     : end.error == ERROR_NON_WINDOWS_NT_DRIVER ? QV7_E_NOT_NT_DRIVER
                                                                : QV7_E_INSTALL_FAILED;
    }
    const bool freed = FreeLibrary(newdev.release()) != FALSE;
    steps.done(step::newdev_freed, freed);
    return end;
}

}  // namespace ID_MAIN2
