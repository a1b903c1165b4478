// A substitute for the system's NEWDEV.DLL, placed in the Wine prefix's
// system directory. Its InstallSelectedDriver does what the runner asks
// (see newdev_protocol.h): install the selected driver through the class
// installer, succeed with a chosen reboot word, or fail with a chosen last
// error; and it reports what the library handed over. Built for 32-bit
// and for x64; the 32-bit one refuses to install in a 32-bit process on
// 64-bit Windows, as the system's does there.
#include "tests/e2e/newdev_protocol.h"

#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstdlib>

namespace {

HMODULE self_module;

unsigned long read_number(const char* name, int base, unsigned long fallback) {
    char text[32] = {};
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    if (n == 0 || n >= sizeof text) return fallback;
    return std::strtoul(text, nullptr, base);
}

unsigned long read_hex(const char* name, unsigned long fallback) {
    return read_number(name, 16, fallback);
}

bool action_is(const char* wanted) {
    char text[32] = {};
    DWORD n = GetEnvironmentVariableA(newdev_protocol::action_variable, text, sizeof text);
    if (n == 0 || n >= sizeof text) return lstrcmpA(wanted, newdev_protocol::succeed_action) == 0;
    return lstrcmpA(text, wanted) == 0;
}

void report(const char* name, const char* text) { SetEnvironmentVariableA(name, text); }

void report_number(const char* name, unsigned long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu", value);
    report(name, text);
}

unsigned long count_devices(HDEVINFO set) {
    SP_DEVINFO_DATA dev{};
    unsigned long count = 0;
    for (;;) {
        dev.cbSize = sizeof dev;
        if (!SetupDiEnumDeviceInfo(set, count, &dev)) return count;
        ++count;
    }
}

// Reports the set's device and its selected driver; fills `dev` with the
// device. The set should hold one device, so that is the one to install on
// (Wine's setupapi has no SetupDiGetSelectedDevice to ask for it).
void report_selection(HDEVINFO set, SP_DEVINFO_DATA& dev) {
    char id[512] = {};
    dev = {};
    dev.cbSize = sizeof dev;
    if (!SetupDiEnumDeviceInfo(set, 0, &dev)) {
        report(newdev_protocol::seen_device, "");
        report(newdev_protocol::seen_inf, "");
        return;
    }
    SetupDiGetDeviceInstanceIdA(set, &dev, id, sizeof id, nullptr);
    report(newdev_protocol::seen_device, id);

    SP_DRVINFO_DATA_A driver{};
    driver.cbSize = sizeof driver;
    alignas(SP_DRVINFO_DETAIL_DATA_A) char detail_buffer[4096] = {};
    auto* detail = reinterpret_cast<SP_DRVINFO_DETAIL_DATA_A*>(detail_buffer);
    detail->cbSize = sizeof(SP_DRVINFO_DETAIL_DATA_A);
    if (SetupDiGetSelectedDriverA(set, &dev, &driver) &&
        SetupDiGetDriverInfoDetailA(set, &dev, &driver, detail, sizeof detail_buffer, nullptr)) {
        report(newdev_protocol::seen_inf, detail->InfFileName);
    } else {
        report(newdev_protocol::seen_inf, "");
    }
}

// Keeps the seen variables in the report file for the length of a call,
// leaving the last error as the call set it.
struct mirrored_report {
    mirrored_report() { newdev_protocol::load_seen_variables(); }
    ~mirrored_report() {
        const DWORD error = GetLastError();
        newdev_protocol::save_seen_variables();
        SetLastError(error);
    }
};

// A 32-bit process on 64-bit Windows: the system's installer refuses there.
bool refused_in_wow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI InstallSelectedDriver(HWND parent, HDEVINFO set,
                                                                   LPCSTR reserved, BOOL backup,
                                                                   PDWORD reboot) {
    const mirrored_report mirror;
    report_number(newdev_protocol::seen_calls, read_number(newdev_protocol::seen_calls, 10, 0) + 1);
    report_number(newdev_protocol::seen_bits, static_cast<unsigned long>(8 * sizeof(void*)));
    char text[MAX_PATH + 64] = {};
    GetModuleFileNameA(self_module, text, MAX_PATH);
    report(newdev_protocol::seen_module, text);
    GetCurrentDirectoryA(MAX_PATH, text);
    report(newdev_protocol::seen_folder, text);
    std::snprintf(text, sizeof text, "parent=%lx reserved=%lx backup=%lx",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent)),
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(reserved)),
                  static_cast<unsigned long>(backup));
    report(newdev_protocol::seen_arguments, text);
    report_number(newdev_protocol::seen_devices, count_devices(set));
    SP_DEVINFO_DATA dev{};
    report_selection(set, dev);

    if (refused_in_wow64()) {
        report(newdev_protocol::seen_install, "refused in WOW64");
        SetLastError(static_cast<DWORD>(ERROR_IN_WOW64));
        return FALSE;
    }
    if (action_is(newdev_protocol::fail_action)) {
        SetLastError(static_cast<DWORD>(read_hex(newdev_protocol::error_variable, 0)));
        return FALSE;
    }
    if (action_is(newdev_protocol::install_action)) {
        if (!SetupDiCallClassInstaller(DIF_INSTALLDEVICE, set, &dev)) {
            DWORD error = GetLastError();
            std::snprintf(text, sizeof text, "error %lx", static_cast<unsigned long>(error));
            report(newdev_protocol::seen_install, text);
            SetLastError(error);
            return FALSE;
        }
        report(newdev_protocol::seen_install, "ok");
    }
    if (reboot != nullptr) {
        *reboot = static_cast<DWORD>(read_hex(newdev_protocol::reboot_variable, 0));
    }
    return static_cast<BOOL>(read_hex(newdev_protocol::return_variable, 1));
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self_module = instance;
    return TRUE;
}
