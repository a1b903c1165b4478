// QUORVANTCA.dll: the Windows Installer custom actions of a driver package,
// run from the MSI's Binary table. Each entry is UINT __stdcall F(MSIHANDLE)
// and writes every step into the installation log.
//
//   QvInstallDriver  deferred, no impersonation: reads CustomActionData
//                    (install_data.def), installs the driver with the
//                    library's own entry point, and hands a reboot need on
//                    to QvRequestReboot.
//   QvRequestReboot  immediate, after InstallFinalize: asks Windows Installer
//                    for a reboot at the end when the install action of this
//                    product left a pending-reboot mark.
//
// A deferred action cannot make the installation end with 3010 itself:
// Windows Installer does not reliably take MsiSetMode from it. The install
// action therefore writes a mark, a value named by the ProductCode in a
// volatile key under HKLM (only an elevated process may write there, and a
// reboot clears it), and the immediate action after InstallFinalize reads
// and removes it, then calls MsiSetMode(MSIRUNMODE_REBOOTATEND).
#include "include/quorvant.h"
#include "install/custom_action/install_data.h"
#include "install/result_codes.h"
#include "platform/unique_handle.h"

#include <msi.h>
#include <msiquery.h>

#include <string>

namespace {

struct msihandle_policy {
    using pointer = MSIHANDLE;
    static pointer invalid() noexcept { return 0; }
    static bool is_valid(pointer handle) noexcept { return handle != 0; }
    static void close(pointer handle) noexcept { MsiCloseHandle(handle); }
};
using unique_msihandle = platform::unique_any<msihandle_policy>;

// The mark of a reboot that a driver installation of a product needs:
// REG_DWORD value, named by the ProductCode, holding the result code.
constexpr wchar_t pending_reboot_key[] = L"SOFTWARE\\QUORVANT\\PendingReboot";
constexpr REGSAM native_view = KEY_WOW64_64KEY;  // one key for 32-bit and 64-bit actions

std::wstring widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring hex(DWORD value) {
    wchar_t digits[] = L"0x00000000";
    for (int i = 9; i >= 2; --i, value >>= 4) digits[i] = L"0123456789ABCDEF"[value & 0xF];
    return digits;
}

// One line into the installation log. The text goes into field 1 and the
// template is "[1]": a path with brackets is logged as it is, not formatted.
void log_line(MSIHANDLE install, const std::wstring& text) {
    const unique_msihandle record{MsiCreateRecord(1)};
    if (!record) return;
    MsiRecordSetStringW(record.get(), 0, L"[1]");
    MsiRecordSetStringW(record.get(), 1, text.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}

std::wstring property(MSIHANDLE install, const wchar_t* name) {
    wchar_t none[1] = L"";
    DWORD size = 0;
    if (MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA) return {};
    std::wstring value(size, L'\0');
    ++size;
    if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(size);
    return value;
}

// The text in this process's ANSI code page, exactly: false when a
// character has no ANSI form (no best-fit or default character).
bool to_ansi(std::wstring_view text, std::string& ansi) {
    ansi.clear();
    if (text.empty()) return true;
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int units = static_cast<int>(text.size());
    BOOL defaulted = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, flags, text.data(), units, nullptr, 0, nullptr,
                                           utf8 ? nullptr : &defaulted);
    if (length <= 0 || defaulted) return false;
    ansi.assign(static_cast<std::size_t>(length), '\0');
    return WideCharToMultiByte(CP_ACP, flags, text.data(), units, ansi.data(), length, nullptr, nullptr) == length;
}

// Writes the pending-reboot mark of `product`; the Windows error, or 0.
LSTATUS mark_pending_reboot(const std::wstring& product, int result) {
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, pending_reboot_key, 0, nullptr, REG_OPTION_VOLATILE,
                                     KEY_SET_VALUE | native_view, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return status;
    const platform::unique_hkey key{opened};
    const DWORD value = static_cast<DWORD>(result);
    status = RegSetValueExW(key.get(), product.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value);
    return status;
}

}  // namespace

extern "C" UINT __stdcall QvInstallDriver(MSIHANDLE install) {
    const std::wstring text = property(install, L"CustomActionData");
    log_line(install, L"QvInstallDriver: CustomActionData " + text);
    const custom_action::parsed_data parsed = custom_action::parse_install_data(text);
    if (parsed.error != custom_action::data_error::none) {
        log_line(install, L"QvInstallDriver: CustomActionData refused: " + widen(custom_action::describe(parsed.error)) +
                              L" (" + std::wstring(parsed.key) + L"); nothing was installed");
        return ERROR_INSTALL_FAILURE;
    }
    std::string inf_path;
    std::string compact_id;
    if (!to_ansi(parsed.data.inf_path, inf_path) || !to_ansi(parsed.data.compact_id, compact_id)) {
        log_line(install, L"QvInstallDriver: the INF path or the compact ID has no name in the ANSI code page; "
                          L"nothing was installed");
        return ERROR_INSTALL_FAILURE;
    }

    const int result = qv7_installdevice(inf_path.c_str(), compact_id.c_str());
    const DWORD error = GetLastError();
    const result_codes::row* const row = result_codes::find(result);
    const std::wstring named =
        row ? widen(row->name) + L": " + widen(row->meaning) : std::wstring(L"a result outside the library's table");
    log_line(install, L"qv7_installdevice(" + std::wstring(parsed.data.inf_path) + L", " +
                          std::wstring(parsed.data.compact_id) + L") returned " + std::to_wstring(result) + L" (" +
                          named + L"); last error " + hex(error));

    // The row's exit status tells installed (0), installed but a reboot or
    // restart is needed (3010), and failed (anything else).
    const int exit_status = row ? row->exit_status : -1;
    if (exit_status == 0) return ERROR_SUCCESS;
    if (exit_status == ERROR_SUCCESS_REBOOT_REQUIRED) {
        const std::wstring product = property(install, L"ProductCode");
        const LSTATUS status = product.empty() ? ERROR_INVALID_DATA : mark_pending_reboot(product, result);
        if (status != ERROR_SUCCESS) {
            log_line(install, L"QvInstallDriver: cannot mark the pending reboot for " + product + L", error " +
                                  hex(static_cast<DWORD>(status)));
            return ERROR_INSTALL_FAILURE;
        }
        log_line(install, L"QvInstallDriver: reboot needed; marked for QvRequestReboot under HKLM\\" +
                              std::wstring(pending_reboot_key) + L"\\" + product);
        return ERROR_SUCCESS;
    }
    log_line(install, L"QvInstallDriver: the driver was not installed; the installation fails");
    return ERROR_INSTALL_FAILURE;
}

extern "C" UINT __stdcall QvRequestReboot(MSIHANDLE install) {
    const std::wstring product = property(install, L"ProductCode");
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, pending_reboot_key, 0,
                                   KEY_QUERY_VALUE | KEY_SET_VALUE | native_view, &opened);
    if (status == ERROR_ACCESS_DENIED) {
        // Not elevated: the mark is read, and a reboot clears it.
        status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, pending_reboot_key, 0, KEY_QUERY_VALUE | native_view, &opened);
    }
    const platform::unique_hkey key{status == ERROR_SUCCESS ? opened : nullptr};
    DWORD result = 0;
    DWORD size = sizeof result;
    DWORD type = 0;
    if (!key || product.empty() ||
        RegQueryValueExW(key.get(), product.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&result), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        log_line(install, L"QvRequestReboot: no pending reboot for " + product);
        return ERROR_SUCCESS;
    }
    status = RegDeleteValueW(key.get(), product.c_str());
    if (status != ERROR_SUCCESS) {
        log_line(install, L"QvRequestReboot: the mark stays until the reboot, error " +
                              hex(static_cast<DWORD>(status)));
    }
    DWORD values = 0;
    if (status == ERROR_SUCCESS &&
        RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS &&
        values == 0) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, pending_reboot_key, native_view, 0);
    }
    log_line(install, L"QvRequestReboot: the driver installation returned " +
                          std::to_wstring(static_cast<int>(result)) + L"; a reboot is needed");
    // A silent installation never restarts Windows by itself: without an
    // administrator's REBOOT, it ends with 3010 and leaves the reboot to them.
    if (property(install, L"UILevel") == L"2" && property(install, L"REBOOT").empty()) {
        MsiSetPropertyW(install, L"REBOOT", L"ReallySuppress");
        log_line(install, L"QvRequestReboot: silent installation: REBOOT=ReallySuppress");
    }
    const UINT set = MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
    log_line(install, L"QvRequestReboot: MsiSetMode(MSIRUNMODE_REBOOTATEND) returned " + std::to_wstring(set));
    return ERROR_SUCCESS;
}
