// The recording wrappers: the real operation, then one report.
#include "platform/observed_platform.h"

#include <cstring>

namespace platform::observed {
namespace {

observer* current = nullptr;

constexpr std::string_view installer_entry_name = "InstallSelectedDriver";
using installer_fn = BOOL(WINAPI*)(HWND parent, HDEVINFO set, LPCSTR reserved, BOOL backup,
                                   PDWORD reboot);
installer_fn real_installer = nullptr;

// Reports `done`, with the last error of a failed operation, and restores
// the last error the operation left, whatever the observer did meanwhile.
void report(step done) {
    const DWORD last_error = GetLastError();
    if (!done.ok) {
        done.error = last_error;
    }
    if (current) {
        current->on_step(done);
    }
    SetLastError(last_error);
}

std::string_view text_of(const char* text) {
    return text ? std::string_view(text) : std::string_view();
}

// Text up to the first zero byte, never past `size` bytes.
std::string_view text_in(const char* buffer, std::size_t size) {
    if (!buffer) {
        return {};
    }
    const void* zero = std::memchr(buffer, 0, size);
    return std::string_view(
        buffer, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - buffer) : size);
}

// A finished operation on a set and one of its elements.
step element_step(operation op, BOOL result, HDEVINFO set, PSP_DEVINFO_DATA element) {
    step done(op);
    done.ok = result != FALSE;
    done.set = set;
    done.element = element;
    return done;
}

BOOL WINAPI recorded_installer(HWND parent, HDEVINFO set, LPCSTR reserved, BOOL backup,
                               PDWORD reboot) {
    const BOOL result = real_installer(parent, set, reserved, backup, reboot);
    step done(operation::install_selected_driver);
    done.ok = result != FALSE;
    done.set = set;
    done.value = reboot ? *reboot : 0;
    report(done);
    return result;
}

}  // namespace

std::string_view operation_name(operation op) {
    switch (op) {
        case operation::get_class_devs: return "SetupDiGetClassDevsA";
        case operation::enum_device_info: return "SetupDiEnumDeviceInfo";
        case operation::get_device_registry_property: return "SetupDiGetDeviceRegistryPropertyA";
        case operation::get_device_instance_id: return "SetupDiGetDeviceInstanceIdA";
        case operation::destroy_device_info_list: return "SetupDiDestroyDeviceInfoList";
        case operation::create_device_info_list: return "SetupDiCreateDeviceInfoList";
        case operation::open_device_info: return "SetupDiOpenDeviceInfoA";
        case operation::set_selected_device: return "SetupDiSetSelectedDevice";
        case operation::get_device_install_params: return "SetupDiGetDeviceInstallParamsA";
        case operation::set_device_install_params: return "SetupDiSetDeviceInstallParamsA";
        case operation::build_driver_info_list: return "SetupDiBuildDriverInfoList";
        case operation::call_class_installer: return "SetupDiCallClassInstaller";
        case operation::get_selected_driver: return "SetupDiGetSelectedDriverA";
        case operation::get_system_directory: return "GetSystemDirectoryA";
        case operation::load_library: return "LoadLibraryA";
        case operation::get_proc_address: return "GetProcAddress";
        case operation::install_selected_driver: return "InstallSelectedDriver";
        case operation::get_last_error: return "GetLastError";
        case operation::free_library: return "FreeLibrary";
    }
    return "?";
}

void set_observer(observer* watcher) { current = watcher; }

HDEVINFO WINAPI get_class_devs(const GUID* class_guid, PCSTR enumerator, HWND parent, DWORD flags) {
    const HDEVINFO set = SetupDiGetClassDevsA(class_guid, enumerator, parent, flags);
    step done(operation::get_class_devs);
    done.ok = set != INVALID_HANDLE_VALUE;
    done.set = set;
    done.value = flags;
    report(done);
    return set;
}

BOOL WINAPI enum_device_info(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA element) {
    const BOOL result = SetupDiEnumDeviceInfo(set, index, element);
    step done = element_step(operation::enum_device_info, result, set, element);
    done.value = index;
    report(done);
    return result;
}

BOOL WINAPI get_device_registry_property(HDEVINFO set, PSP_DEVINFO_DATA element, DWORD property,
                                         PDWORD value_type, PBYTE buffer, DWORD buffer_size,
                                         PDWORD required_size) {
    const BOOL result = SetupDiGetDeviceRegistryPropertyA(set, element, property, value_type,
                                                          buffer, buffer_size, required_size);
    step done = element_step(operation::get_device_registry_property, result, set, element);
    done.value = property;
    report(done);
    return result;
}

BOOL WINAPI get_device_instance_id(HDEVINFO set, PSP_DEVINFO_DATA element, PSTR buffer,
                                   DWORD buffer_size, PDWORD required_size) {
    const BOOL result =
        SetupDiGetDeviceInstanceIdA(set, element, buffer, buffer_size, required_size);
    step done = element_step(operation::get_device_instance_id, result, set, element);
    done.text = result ? text_in(buffer, buffer_size) : std::string_view();
    report(done);
    return result;
}

BOOL WINAPI destroy_device_info_list(HDEVINFO set) {
    const BOOL result = SetupDiDestroyDeviceInfoList(set);
    step done(operation::destroy_device_info_list);
    done.ok = result != FALSE;
    done.set = set;
    report(done);
    return result;
}

HDEVINFO WINAPI create_device_info_list(const GUID* class_guid, HWND parent) {
    const HDEVINFO set = SetupDiCreateDeviceInfoList(class_guid, parent);
    step done(operation::create_device_info_list);
    done.ok = set != INVALID_HANDLE_VALUE;
    done.set = set;
    report(done);
    return set;
}

BOOL WINAPI open_device_info(HDEVINFO set, PCSTR instance_id, HWND parent, DWORD open_flags,
                             PSP_DEVINFO_DATA element) {
    const BOOL result = SetupDiOpenDeviceInfoA(set, instance_id, parent, open_flags, element);
    step done = element_step(operation::open_device_info, result, set, element);
    done.text = text_of(instance_id);
    report(done);
    return result;
}

BOOL WINAPI set_selected_device(HDEVINFO set, PSP_DEVINFO_DATA element) {
    const BOOL result = SetupDiSetSelectedDevice(set, element);
    step done = element_step(operation::set_selected_device, result, set, element);
    report(done);
    return result;
}

BOOL WINAPI get_device_install_params(HDEVINFO set, PSP_DEVINFO_DATA element,
                                      PSP_DEVINSTALL_PARAMS_A params) {
    const BOOL result = SetupDiGetDeviceInstallParamsA(set, element, params);
    step done = element_step(operation::get_device_install_params, result, set, element);
    done.value = params ? params->Flags : 0;
    report(done);
    return result;
}

BOOL WINAPI set_device_install_params(HDEVINFO set, PSP_DEVINFO_DATA element,
                                      PSP_DEVINSTALL_PARAMS_A params) {
    const BOOL result = SetupDiSetDeviceInstallParamsA(set, element, params);
    step done = element_step(operation::set_device_install_params, result, set, element);
    if (params) {
        done.text = text_in(params->DriverPath, sizeof params->DriverPath);
        done.value = params->Flags;
    }
    report(done);
    return result;
}

BOOL WINAPI build_driver_info_list(HDEVINFO set, PSP_DEVINFO_DATA element, DWORD driver_type) {
    const BOOL result = SetupDiBuildDriverInfoList(set, element, driver_type);
    step done = element_step(operation::build_driver_info_list, result, set, element);
    done.value = driver_type;
    report(done);
    return result;
}

BOOL WINAPI call_class_installer(DWORD function, HDEVINFO set, PSP_DEVINFO_DATA element) {
    const BOOL result = SetupDiCallClassInstaller(function, set, element);
    step done = element_step(operation::call_class_installer, result, set, element);
    done.value = function;
    report(done);
    return result;
}

BOOL WINAPI get_selected_driver(HDEVINFO set, PSP_DEVINFO_DATA element, PSP_DRVINFO_DATA_A driver) {
    const BOOL result = SetupDiGetSelectedDriverA(set, element, driver);
    step done = element_step(operation::get_selected_driver, result, set, element);
    done.driver = result ? driver : nullptr;
    report(done);
    return result;
}

UINT WINAPI get_system_directory(LPSTR buffer, UINT size) {
    const UINT length = GetSystemDirectoryA(buffer, size);
    step done(operation::get_system_directory);
    done.ok = length != 0 && length < size;
    done.text = done.ok ? text_in(buffer, size) : std::string_view();
    done.value = length;
    report(done);
    return length;
}

HMODULE WINAPI load_library(LPCSTR path) {
    if (current && !current->may_load_installer(text_of(path))) {
        SetLastError(ERROR_CANCELLED);
        step refused(operation::load_library);
        refused.ok = false;
        refused.text = text_of(path);
        report(refused);
        return nullptr;
    }
    const HMODULE module = LoadLibraryA(path);
    step done(operation::load_library);
    done.ok = module != nullptr;
    done.text = text_of(path);
    report(done);
    return module;
}

FARPROC WINAPI get_proc_address(HMODULE module, LPCSTR name) {
    FARPROC entry = GetProcAddress(module, name);
    step done(operation::get_proc_address);
    done.ok = entry != nullptr;
    done.text = text_of(name);
    report(done);
    if (entry && done.text == installer_entry_name) {
        // FARPROC is a generic function pointer; void(*)() converts to any other.
        real_installer = reinterpret_cast<installer_fn>(reinterpret_cast<void (*)()>(entry));
        entry = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(recorded_installer));
    }
    return entry;
}

DWORD WINAPI get_last_error() {
    const DWORD error = GetLastError();
    step done(operation::get_last_error);
    done.value = error;
    report(done);
    return error;
}

BOOL WINAPI free_library(HMODULE module) {
    const BOOL result = FreeLibrary(module);
    step done(operation::free_library);
    done.ok = result != FALSE;
    report(done);
    return result;
}

}  // namespace platform::observed
