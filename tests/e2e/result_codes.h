// The result codes of qv7_installdevice, with the words the demo and the
// runner print for them.
#pragma once

namespace e2e {

namespace result {
inline constexpr int restart = 3;
inline constexpr int reboot = 2;
inline constexpr int installed = 1;
inline constexpr int no_device = -1;
inline constexpr int no_driver = -2;
inline constexpr int install_failed = -3;
inline constexpr int no_inf_path = -4;
inline constexpr int no_newdev = -7;
inline constexpr int non_nt_driver = -8;
inline constexpr int no_entry_point = -9;
inline constexpr int out_of_memory = -10;
}  // namespace result

struct result_words {
    const char* name;
    const char* meaning;
};

inline result_words describe_result(int code) {
    switch (code) {
        case result::restart:
            return {"installed, restart needed", "the driver is installed; restart the system (DI_NEEDRESTART)"};
        case result::reboot:
            return {"installed, reboot needed", "the driver is installed; reboot to complete (DI_NEEDREBOOT)"};
        case result::installed:
            return {"installed", "the driver is installed; nothing more to do"};
        case result::no_device:
            return {"no device", "no present device has a matching compact ID"};
        case result::no_driver:
            return {"no driver", "the INF file selects no driver for the device"};
        case result::install_failed:
            return {"install failed", "InstallSelectedDriver failed"};
        case result::no_inf_path:
            return {"no INF path", "the INF path is empty"};
        case result::no_newdev:
            return {"no NEWDEV", "NEWDEV.DLL cannot be loaded from the system directory"};
        case result::non_nt_driver:
            return {"not an NT driver", "InstallSelectedDriver failed with ERROR_NON_WINDOWS_NT_DRIVER"};
        case result::no_entry_point:
            return {"no entry point", "NEWDEV.DLL has no InstallSelectedDriver"};
        case result::out_of_memory:
            return {"out of memory", "the library ran out of memory"};
        default:
            return {"unknown", "not a documented result code"};
    }
}

}  // namespace e2e
