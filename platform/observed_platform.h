// The observed platform: thin recording wrappers over the operations that
// install/ calls. Each wrapper runs the real operation, reports it to the
// observer that is installed (operation, success, the last error, and the
// few values a report needs) and leaves the result and the last error as
// the real operation left them.
//
// A build of install/ compiled with QV_OBSERVED_PLATFORM calls these
// wrappers in place of the platform's names (see the end of platform.h);
// QUORVANT.dll is built without it. With no observer installed the
// wrappers only forward.
#pragma once

#include "platform/system_headers.h"

#include <string_view>

namespace platform::observed {

enum class operation {
    get_class_devs,
    enum_device_info,
    get_device_registry_property,
    get_device_instance_id,
    destroy_device_info_list,
    create_device_info_list,
    open_device_info,
    set_selected_device,
    get_device_install_params,
    set_device_install_params,
    build_driver_info_list,
    call_class_installer,
    get_selected_driver,
    get_system_directory,
    load_library,
    get_proc_address,
    install_selected_driver,
    get_last_error,
    free_library,
};

// The operation's name on the platform.
std::string_view operation_name(operation op);

// One finished operation. Pointers and views are valid during the report only.
struct step {
    explicit step(operation done_op) : op(done_op) {}

    operation op;
    bool ok = true;
    DWORD error = 0;                     // the last error after a failed operation
    HDEVINFO set = nullptr;              // the set it worked on, or the set it made
    SP_DEVINFO_DATA* element = nullptr;
    std::string_view text;               // instance ID, DriverPath, directory, path or name
    DWORD value = 0;                     // function code, reboot word, last error read
    const SP_DRVINFO_DATA_A* driver = nullptr;  // the selected driver's record
};

class observer {
public:
    virtual void on_step(const step& done) = 0;
    // Asked before the system's driver installer library is loaded; false
    // stops the run there, as if the library could not be loaded.
    virtual bool may_load_installer(std::string_view /*path*/) { return true; }

protected:
    ~observer() = default;
};

// Installs `watcher` (null: none) for the calls that follow on this process.
void set_observer(observer* watcher);

// Installs an observer for one scope and removes it on every path.
class observer_scope {
public:
    explicit observer_scope(observer& watcher) { set_observer(&watcher); }
    observer_scope(const observer_scope&) = delete;
    observer_scope& operator=(const observer_scope&) = delete;
    ~observer_scope() { set_observer(nullptr); }
};

// The wrappers, one per platform operation, with the platform's signatures.
HDEVINFO WINAPI get_class_devs(const GUID* class_guid, PCSTR enumerator, HWND parent, DWORD flags);
BOOL WINAPI enum_device_info(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA element);
BOOL WINAPI get_device_registry_property(HDEVINFO set, PSP_DEVINFO_DATA element, DWORD property,
                                         PDWORD value_type, PBYTE buffer, DWORD buffer_size,
                                         PDWORD required_size);
BOOL WINAPI get_device_instance_id(HDEVINFO set, PSP_DEVINFO_DATA element, PSTR buffer,
                                   DWORD buffer_size, PDWORD required_size);
BOOL WINAPI destroy_device_info_list(HDEVINFO set);
HDEVINFO WINAPI create_device_info_list(const GUID* class_guid, HWND parent);
BOOL WINAPI open_device_info(HDEVINFO set, PCSTR instance_id, HWND parent, DWORD open_flags,
                             PSP_DEVINFO_DATA element);
BOOL WINAPI set_selected_device(HDEVINFO set, PSP_DEVINFO_DATA element);
BOOL WINAPI get_device_install_params(HDEVINFO set, PSP_DEVINFO_DATA element,
                                      PSP_DEVINSTALL_PARAMS_A params);
BOOL WINAPI set_device_install_params(HDEVINFO set, PSP_DEVINFO_DATA element,
                                      PSP_DEVINSTALL_PARAMS_A params);
BOOL WINAPI build_driver_info_list(HDEVINFO set, PSP_DEVINFO_DATA element, DWORD driver_type);
BOOL WINAPI call_class_installer(DWORD function, HDEVINFO set, PSP_DEVINFO_DATA element);
BOOL WINAPI get_selected_driver(HDEVINFO set, PSP_DEVINFO_DATA element, PSP_DRVINFO_DATA_A driver);
UINT WINAPI get_system_directory(LPSTR buffer, UINT size);
HMODULE WINAPI load_library(LPCSTR path);
// InstallSelectedDriver is called through the address this returns: a
// recording wrapper over the real entry point.
FARPROC WINAPI get_proc_address(HMODULE module, LPCSTR name);
DWORD WINAPI get_last_error();
BOOL WINAPI free_library(HMODULE module);

}  // namespace platform::observed
