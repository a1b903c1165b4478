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
// action therefore writes a mark (pending_reboot.h), and the immediate
// action after InstallFinalize reads and removes it, then calls
// MsiSetMode(MSIRUNMODE_REBOOTATEND).
#include "install/custom_action/driver_calls.h"
#include "install/custom_action/install_data.h"
#include "install/custom_action/pending_reboot.h"
#include "install/result_codes.h"
#include "platform/unique_handle.h"

#include <msi.h>
#include <msiquery.h>

#include <cstddef>
#include <string_view>
#include <type_traits>

namespace {

struct msihandle_policy {
    using pointer = MSIHANDLE;
    static pointer invalid() noexcept { return 0; }
    static bool is_valid(pointer handle) noexcept { return handle != 0; }
    static void close(pointer handle) noexcept { MsiCloseHandle(handle); }
};
using unique_msihandle = platform::unique_any<msihandle_policy>;

using custom_action::pending_reboot_key;
constexpr REGSAM native_view = KEY_WOW64_64KEY;

// A text on the process heap, grown by appending; no C++ runtime string, so
// that the DLL links no exception runtime. Out of memory, it keeps what it
// had: a log line may be cut, never lost.
template <typename Unit>
class heap_text {
public:
    heap_text() = default;
    heap_text(const heap_text&) = delete;
    heap_text& operator=(const heap_text&) = delete;

    heap_text& operator<<(std::basic_string_view<Unit> part) { return append(part.data(), part.size()); }
    // ASCII text into a wide one.
    template <typename U = Unit, typename = std::enable_if_t<!std::is_same_v<U, char>>>
    heap_text& operator<<(std::string_view ascii) {
        for (const char c : ascii) {
            const Unit unit = static_cast<Unit>(static_cast<unsigned char>(c));
            append(&unit, 1);
        }
        return *this;
    }
    heap_text& operator<<(const Unit* part) { return *this << std::basic_string_view<Unit>(part); }

    // Room for `size` units, zero-filled, to be written in place.
    Unit* prepare(std::size_t size) {
        clear();
        if (!reserve(size)) return nullptr;
        for (std::size_t i = 0; i <= size; ++i) data()[i] = Unit{};
        size_ = size;
        return data();
    }
    void resize_down(std::size_t size) {
        if (size < size_) size_ = size;
        if (data()) data()[size_] = Unit{};
    }
    void clear() { resize_down(0); }

    std::basic_string_view<Unit> view() const { return {data() ? data() : empty_, size_}; }
    const Unit* c_str() const { return data() ? data() : empty_; }
    bool empty() const { return size_ == 0; }

private:
    Unit* data() const { return static_cast<Unit*>(block_.get()); }
    bool reserve(std::size_t size) {
        if (size < capacity_) return true;
        const std::size_t wanted = (size + 1) * 2;
        void* const grown = data() ? HeapReAlloc(GetProcessHeap(), 0, data(), wanted * sizeof(Unit))
                                   : HeapAlloc(GetProcessHeap(), 0, wanted * sizeof(Unit));
        if (!grown) return false;
        block_.release();  // HeapReAlloc freed or kept it
        block_.reset(grown);
        capacity_ = wanted;
        return true;
    }
    heap_text& append(const Unit* part, std::size_t count) {
        if (!reserve(size_ + count)) return *this;
        for (std::size_t i = 0; i < count; ++i) data()[size_ + i] = part[i];
        size_ += count;
        data()[size_] = Unit{};
        return *this;
    }

    static constexpr Unit empty_[1] = {};
    platform::unique_heap_block block_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};
using wide_text = heap_text<wchar_t>;
using ansi_text = heap_text<char>;

// Digits in a fixed buffer.
struct number {
    wchar_t digits[12] = {};
    int at = 11;
    std::wstring_view view() const { return {digits + at, static_cast<std::size_t>(11 - at)}; }
};

number decimal(int value) {
    number n;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        n.digits[--n.at] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) n.digits[--n.at] = L'-';
    return n;
}

number hex(DWORD value) {
    number n;
    for (int i = 0; i < 8; ++i, value >>= 4) n.digits[--n.at] = L"0123456789ABCDEF"[value & 0xF];
    n.digits[--n.at] = L'x';
    n.digits[--n.at] = L'0';
    return n;
}

// One line into the installation log. The text goes into field 1 and the
// template is "[1]": a path with brackets is logged as it is, not formatted.
void log_line(MSIHANDLE install, const wide_text& text) {
    const unique_msihandle record{MsiCreateRecord(1)};
    if (!record) return;
    MsiRecordSetStringW(record.get(), 0, L"[1]");
    MsiRecordSetStringW(record.get(), 1, text.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
}

// The property's value into `value`; empty when unset or unreadable.
void read_property(MSIHANDLE install, const wchar_t* name, wide_text& value) {
    value.clear();
    wchar_t none[1] = L"";
    DWORD size = 0;
    if (MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA) return;
    wchar_t* const units = value.prepare(size);
    if (!units) return;
    ++size;
    if (MsiGetPropertyW(install, name, units, &size) != ERROR_SUCCESS) size = 0;
    value.resize_down(size);
}

// The text in this process's ANSI code page, exactly: false when a
// character has no ANSI form (no best-fit or default character).
bool to_ansi(std::wstring_view text, ansi_text& ansi) {
    ansi.clear();
    if (text.empty()) return true;
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int units = static_cast<int>(text.size());
    BOOL defaulted = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, flags, text.data(), units, nullptr, 0, nullptr,
                                           utf8 ? nullptr : &defaulted);
    if (length <= 0 || defaulted) return false;
    char* const bytes = ansi.prepare(static_cast<std::size_t>(length));
    return bytes && WideCharToMultiByte(CP_ACP, flags, text.data(), units, bytes, length, nullptr, nullptr) == length;
}

// Writes the pending-reboot mark of `product`; the Windows error, or 0.
LSTATUS mark_pending_reboot(const wchar_t* product, int result) {
    HKEY opened = nullptr;
    const LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, pending_reboot_key, 0, nullptr, REG_OPTION_VOLATILE,
                                           KEY_SET_VALUE | native_view, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return status;
    const platform::unique_hkey key{opened};
    const DWORD value = static_cast<DWORD>(result);
    return RegSetValueExW(key.get(), product, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

extern "C" UINT __stdcall QvInstallDriver(MSIHANDLE install) {
    wide_text text;
    read_property(install, L"CustomActionData", text);
    {
        wide_text line;
        log_line(install, line << L"QvInstallDriver: CustomActionData " << text.view());
    }
    const custom_action::parsed_data parsed = custom_action::parse_install_data(text.view());
    if (parsed.error != custom_action::data_error::none) {
        wide_text line;
        log_line(install, line << L"QvInstallDriver: CustomActionData refused: " << custom_action::describe(parsed.error)
                               << L" (" << parsed.key << L"); nothing was installed");
        return ERROR_INSTALL_FAILURE;
    }
    ansi_text inf_path;
    ansi_text compact_id;
    if (!to_ansi(parsed.data.inf_path, inf_path) || !to_ansi(parsed.data.compact_id, compact_id)) {
        wide_text line;
        log_line(install, line << L"QvInstallDriver: the INF path or the compact ID has no name in the ANSI "
                                  L"code page; nothing was installed");
        return ERROR_INSTALL_FAILURE;
    }

    const custom_action::installed call = custom_action::install_driver(inf_path.c_str(), compact_id.c_str(),
                                                                      parsed.data.helpers);
    const int result = call.result;
    const DWORD error = call.error;
    const result_codes::row* const row = result_codes::find(result);
    {
        wide_text line;
        line << L"qv7_installdevice(" << parsed.data.inf_path << L", " << parsed.data.compact_id << L") returned "
             << decimal(result).view() << L" (";
        if (row) {
            line << row->name << L": " << row->meaning;
        } else {
            line << L"a result outside the library's table";
        }
        log_line(install, line << L"); last error " << hex(error).view());
    }

    // The row's exit status tells installed (0), installed but a reboot or
    // restart is needed (3010), and failed (anything else).
    const int exit_status = row ? row->exit_status : -1;
    if (exit_status == 0) return ERROR_SUCCESS;
    if (exit_status == ERROR_SUCCESS_REBOOT_REQUIRED) {
        wide_text product;
        read_property(install, L"ProductCode", product);
        const LSTATUS status = product.empty() ? ERROR_INVALID_DATA : mark_pending_reboot(product.c_str(), result);
        wide_text line;
        if (status != ERROR_SUCCESS) {
            log_line(install, line << L"QvInstallDriver: cannot mark the pending reboot for " << product.view()
                                   << L", error " << hex(static_cast<DWORD>(status)).view());
            return ERROR_INSTALL_FAILURE;
        }
        log_line(install, line << L"QvInstallDriver: reboot needed; marked for QvRequestReboot under HKLM\\"
                               << pending_reboot_key << L"\\" << product.view());
        return ERROR_SUCCESS;
    }
    wide_text line;
    log_line(install, line << L"QvInstallDriver: the driver was not installed; the installation fails");
    return ERROR_INSTALL_FAILURE;
}

extern "C" UINT __stdcall QvRequestReboot(MSIHANDLE install) {
    wide_text product;
    read_property(install, L"ProductCode", product);
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
        wide_text line;
        log_line(install, line << L"QvRequestReboot: no pending reboot for " << product.view());
        return ERROR_SUCCESS;
    }
    status = RegDeleteValueW(key.get(), product.c_str());
    if (status != ERROR_SUCCESS) {
        wide_text line;
        log_line(install, line << L"QvRequestReboot: the mark stays until the reboot, error "
                               << hex(static_cast<DWORD>(status)).view());
    }
    DWORD values = 0;
    if (status == ERROR_SUCCESS &&
        RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS &&
        values == 0) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, pending_reboot_key, native_view, 0);
    }
    {
        wide_text line;
        log_line(install, line << L"QvRequestReboot: the driver installation returned "
                               << decimal(static_cast<int>(result)).view() << L"; a reboot is needed");
    }
    // A silent installation never restarts Windows by itself: without an
    // administrator's REBOOT, it ends with 3010 and leaves the reboot to them.
    wide_text ui_level;
    wide_text reboot;
    read_property(install, L"UILevel", ui_level);
    read_property(install, L"REBOOT", reboot);
    if (ui_level.view() == L"2" && reboot.empty()) {
        MsiSetPropertyW(install, L"REBOOT", L"ReallySuppress");
        wide_text line;
        log_line(install, line << L"QvRequestReboot: silent installation: REBOOT=ReallySuppress");
    }
    const UINT set = MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
    wide_text line;
    log_line(install, line << L"QvRequestReboot: MsiSetMode(MSIRUNMODE_REBOOTATEND) returned "
                           << decimal(static_cast<int>(set)).view());
    return ERROR_SUCCESS;
}
