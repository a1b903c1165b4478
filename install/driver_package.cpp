// Staging a driver package, and removing it with the driver it gave to
// devices.
#include "install/driver_package.h"

#include "install/ID_MAIN2.h"
#include "platform/unique_handle.h"

#include <array>
#include <cstring>

namespace driver_package {
namespace {

constexpr const char* inf_path_value = "InfPath";
constexpr std::string_view inf_folder = "\\INF\\";
// Every device of every setup class, present or not.
constexpr DWORD all_devices_of_all_classes = DIGCF_ALLCLASSES;

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) {
            return false;
        }
    }
    return true;
}

void set_name(published_name& name, std::string_view text) {
    char* out = name.prepare_read();
    if (text.size() < published_name::capacity) {
        std::memcpy(out, text.data(), text.size());
    }
    name.take_read(text.size() < published_name::capacity);
}

// What copying the INF into the system's INF folder without overwriting
// gave: copied, or the package is there already (ERROR_FILE_EXISTS), or
// failed; the published name in the first two cases.
struct copy_end {
    bool copied;
    DWORD error;
    published_name name;
};

copy_end copy_into_inf_folder(const ID_MAIN2::full_path& inf, DWORD media, DWORD style) {
    copy_end end{false, 0, {}};
    std::array<char, platform::max_path> destination{};
    const bool copied = SetupCopyOEMInfA(inf.c_str(), nullptr, media, style, destination.data(),
                                         static_cast<DWORD>(destination.size()), nullptr,
                                         nullptr) != FALSE;
    end.error = copied ? 0 : GetLastError();
    end.copied = copied;
    if (copied || end.error == ERROR_FILE_EXISTS) {
        destination.back() = '\0';
        const std::string_view path(destination.data());
        set_name(end.name, path.substr(path.rfind('\\') + 1));
    }
    return end;
}

// The operand made a full path of an existing file; an empty path, with
// the reason as the thread's last error, when there is none.
ID_MAIN2::full_path existing_inf(const char* inf_path) {
    ID_MAIN2::full_path full = ID_MAIN2::full_inf_path(inf_path);
    if (!full.empty() && GetFileAttributesA(full.c_str()) == INVALID_FILE_ATTRIBUTES) {
        full.clear();
    }
    return full;
}

// Whether the system's INF folder holds a file named `name`.
bool published(const published_name& name) {
    std::array<char, platform::max_path + 1> path{};
    const UINT length = GetWindowsDirectoryA(path.data(), platform::max_path);
    if (length == 0 || length + inf_folder.size() + name.size() >= path.size()) {
        return false;
    }
    std::memcpy(path.data() + length, inf_folder.data(), inf_folder.size());
    std::memcpy(path.data() + length + inf_folder.size(), name.c_str(), name.size());
    return GetFileAttributesA(path.data()) != INVALID_FILE_ATTRIBUTES;
}

// What the walk over every device found and did.
struct device_sweep {
    DWORD removed = 0;
    DWORD kept = 0;           // devices that use the package and kept their driver
    DWORD kept_error = 0;     // the error of the first of them
    bool restart = false;     // a removal asked for a restart or reboot
    bool every_key_read = true;  // every device's driver key was read to the end
};

// Whether the device's driver came from the package `name`. A driver key
// that cannot be read to the end clears `every_key_read`.
bool uses_package(HDEVINFO set, SP_DEVINFO_DATA& element, const published_name& name,
                  bool& every_key_read) {
    const platform::unique_hkey key{
        SetupDiOpenDevRegKey(set, &element, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ)};
    if (!key) {
        return false;  // no driver key: the device has no driver
    }
    std::array<char, platform::max_path + 1> value{};
    DWORD type = 0;
    DWORD size = platform::max_path;
    const LONG read = RegQueryValueExA(key.get(), inf_path_value, nullptr, &type,
                                       reinterpret_cast<BYTE*>(value.data()), &size);
    if (read == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
        return false;
    }
    if (read != static_cast<LONG>(ERROR_SUCCESS) || type != REG_SZ) {
        every_key_read = false;
        return false;
    }
    return same_name(std::string_view(value.data()), name.view());
}

// Removes the driver from the device through the class installer, and
// reads back whether that needs a restart.
void remove_driver(HDEVINFO set, SP_DEVINFO_DATA& element, device_sweep& sweep) {
    if (!SetupDiCallClassInstaller(DIF_REMOVE, set, &element)) {
        if (sweep.kept++ == 0) {
            sweep.kept_error = GetLastError();
        }
        return;
    }
    ++sweep.removed;
    SP_DEVINSTALL_PARAMS_A params;
    std::memset(&params, 0, sizeof params);
    params.cbSize = platform::install_params_size;
    if (SetupDiGetDeviceInstallParamsA(set, &element, &params) &&
        (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0) {
        sweep.restart = true;
    }
}

device_sweep remove_from_devices(const published_name& name) {
    device_sweep sweep;
    platform::unique_hdevinfo set{
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, all_devices_of_all_classes)};
    if (!set) {
        sweep.every_key_read = false;
        return sweep;
    }
    SP_DEVINFO_DATA element{};
    for (DWORD index = 0;; ++index) {
        element.cbSize = platform::devinfo_data_size;
        if (!SetupDiEnumDeviceInfo(set.get(), index, &element)) {
            if (GetLastError() != ERROR_NO_MORE_ITEMS) {
                sweep.every_key_read = false;
            }
            return sweep;
        }
        if (uses_package(set.get(), element, name, sweep.every_key_read)) {
            remove_driver(set.get(), element, sweep);
        }
    }
}

outcome ended(result what, DWORD error, const published_name& name = {}, DWORD removed = 0) {
    return {what, error, name, removed};
}

}  // namespace

outcome stage(const char* inf_path) {
    if (!inf_path || *inf_path == '\0') {
        return ended(result::inf_missing, ERROR_INVALID_PARAMETER);
    }
    const ID_MAIN2::full_path inf = existing_inf(inf_path);
    if (inf.empty()) {
        return ended(result::inf_missing, GetLastError());
    }
    // The source path goes with the package, so that Windows finds the
    // package's other files in the INF's folder.
    const copy_end copy = copy_into_inf_folder(inf, SPOST_PATH, SP_COPY_NOOVERWRITE);
    if (copy.copied) {
        return ended(result::staged, 0, copy.name);
    }
    if (copy.error == ERROR_FILE_EXISTS) {
        return ended(result::already_staged, 0, copy.name);
    }
    return ended(result::not_a_package, copy.error);
}

outcome remove(const char* operand) {
    if (!operand || *operand == '\0') {
        return ended(result::inf_missing, ERROR_INVALID_PARAMETER);
    }
    published_name name;
    bool staged_by_lookup = false;
    if (is_published_name(operand)) {
        set_name(name, operand);
        if (name.empty() || !published(name)) {
            return ended(result::nothing_to_remove, 0);
        }
    } else {
        const ID_MAIN2::full_path inf = existing_inf(operand);
        if (inf.empty()) {
            return ended(result::inf_missing, GetLastError());
        }
        // Only asks for the name: a package that is not staged is not to
        // be copied (SP_COPY_REPLACEONLY). A system that copies it all the
        // same has staged it now, and the removal below takes it back.
        const copy_end copy =
            copy_into_inf_folder(inf, SPOST_NONE, SP_COPY_NOOVERWRITE | SP_COPY_REPLACEONLY);
        if (!copy.copied && copy.error != ERROR_FILE_EXISTS) {
            return ended(result::nothing_to_remove, 0);
        }
        staged_by_lookup = copy.copied;
        name = copy.name;
    }

    const device_sweep sweep = remove_from_devices(name);
    if (sweep.kept != 0) {
        return ended(result::device_kept_driver, sweep.kept_error, name, sweep.removed);
    }
    // Forced only when no device can still use the package: otherwise the
    // system itself refuses a package that a device uses.
    const DWORD flags = sweep.every_key_read ? SUOI_FORCEDELETE : 0;
    if (!SetupUninstallOEMInfA(name.c_str(), flags, nullptr)) {
        return ended(result::package_kept, GetLastError(), name, sweep.removed);
    }
    if (staged_by_lookup && sweep.removed == 0) {
        return ended(result::nothing_to_remove, 0);
    }
    return ended(sweep.restart ? result::removed_restart_needed : result::removed, 0, name,
                 sweep.removed);
}

}  // namespace driver_package
