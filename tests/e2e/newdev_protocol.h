// How the end-to-end runner steers the substitute NEWDEV.DLL and learns what
// it was handed. The runner sets the steering variables in the process
// environment before a call of the library, the substitute reads them when
// the library calls InstallSelectedDriver and writes what it saw into the
// "seen" variables. When the call runs in another process (the 64-bit
// helper, which inherits the steering variables), the seen variables also
// travel through the report file.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>

namespace newdev_protocol {

// What InstallSelectedDriver does. Unset means succeed_action.
inline constexpr const char* action_variable = "QV_NEWDEV_ACTION";
inline constexpr const char* install_action = "install";  // DIF_INSTALLDEVICE, then succeed
inline constexpr const char* succeed_action = "succeed";  // succeed without touching the device
inline constexpr const char* fail_action = "fail";        // return FALSE

// Reboot word written on success (hexadecimal, default 0).
inline constexpr const char* reboot_variable = "QV_NEWDEV_REBOOT";
// Value returned on success (hexadecimal, default 1).
inline constexpr const char* return_variable = "QV_NEWDEV_RETURN";
// Last error set on failure (hexadecimal, default 0).
inline constexpr const char* error_variable = "QV_NEWDEV_ERROR";

// Written by every call: the number of calls so far in this process.
inline constexpr const char* seen_calls = "QV_NEWDEV_SEEN_CALLS";
// Number of devices in the set the caller passed.
inline constexpr const char* seen_devices = "QV_NEWDEV_SEEN_DEVICES";
// Instance ID of the set's first device.
inline constexpr const char* seen_device = "QV_NEWDEV_SEEN_DEVICE";
// InfFileName of the set's selected driver.
inline constexpr const char* seen_inf = "QV_NEWDEV_SEEN_INF";
// The substitute's own file name, as its module was loaded.
inline constexpr const char* seen_module = "QV_NEWDEV_SEEN_MODULE";
// The three plain arguments: "parent=%x reserved=%x backup=%x" (hexadecimal).
inline constexpr const char* seen_arguments = "QV_NEWDEV_SEEN_ARGS";
// Result of the class installer's DIF_INSTALLDEVICE, "ok" or "error %x";
// "refused in WOW64" when a 32-bit substitute ran in a 32-bit process on
// 64-bit Windows and failed with ERROR_IN_WOW64, as the system's does.
inline constexpr const char* seen_install = "QV_NEWDEV_SEEN_INSTALL";
// The bitness of the process that called it: "32" or "64".
inline constexpr const char* seen_bits = "QV_NEWDEV_SEEN_BITS";
// The current folder of the process that called it.
inline constexpr const char* seen_folder = "QV_NEWDEV_SEEN_FOLDER";

inline constexpr const char* seen_names[] = {seen_calls,     seen_devices,  seen_device,
                                             seen_inf,       seen_module,   seen_arguments,
                                             seen_install,   seen_bits,     seen_folder};

// When set, the file that mirrors the seen variables between processes:
// one NAME=VALUE line each.
inline constexpr const char* report_file_variable = "QV_NEWDEV_REPORT_FILE";

// The report file's path into `path`; false when there is none.
inline bool report_file(char (&path)[MAX_PATH]) {
    const DWORD n = GetEnvironmentVariableA(report_file_variable, path, MAX_PATH);
    return n > 0 && n < MAX_PATH;
}

// The value of variable `name` (an ASCII name) in the ANSI code page, whole,
// into `text`; 0 when it is unset or does not fit. Read wide and converted
// here because Wine's GetEnvironmentVariableA ends a double-byte value short
// (at its length in characters, not in bytes).
inline DWORD read_variable(const char* name, char* text, DWORD size) {
    WCHAR wide_name[64] = {};
    WCHAR value[1024] = {};
    if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wide_name, 64)) return 0;
    const DWORD n = GetEnvironmentVariableW(wide_name, value, 1024);
    if (n == 0 || n >= 1024) return 0;
    const int bytes = WideCharToMultiByte(CP_ACP, 0, value, -1, text, static_cast<int>(size), nullptr, nullptr);
    return bytes > 0 ? static_cast<DWORD>(bytes - 1) : 0;
}

// Copies the seen variables from the report file into this process's
// environment, when there is a report file. Plain C buffers: the
// substitute links no C++ runtime that a load and unload would leak.
inline void load_seen_variables() {
    char path[MAX_PATH];
    std::FILE* file = report_file(path) ? std::fopen(path, "r") : nullptr;
    if (!file) return;
    for (const char* name : seen_names) SetEnvironmentVariableA(name, nullptr);
    char line[2048];
    while (std::fgets(line, sizeof line, file)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        char* equals = std::strchr(line, '=');
        if (equals) {
            *equals = '\0';
            SetEnvironmentVariableA(line, equals + 1);
        }
    }
    std::fclose(file);
}

// Writes this process's seen variables to the report file, when there is one.
inline void save_seen_variables() {
    char path[MAX_PATH];
    std::FILE* file = report_file(path) ? std::fopen(path, "w") : nullptr;
    if (!file) return;
    for (const char* name : seen_names) {
        char text[1024] = {};
        if (read_variable(name, text, sizeof text) > 0) std::fprintf(file, "%s=%s\n", name, text);
    }
    std::fclose(file);
}

}  // namespace newdev_protocol
