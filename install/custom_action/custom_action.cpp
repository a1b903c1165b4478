// QUORVANTCA.dll: the Windows Installer custom actions of a driver package,
// run from the MSI's Binary table. Each entry is UINT __stdcall F(MSIHANDLE)
// and writes every step into the installation log.
//
//   QvInstallDriver  deferred, no impersonation: reads CustomActionData
//                    (install_data.def), stages the package, records it
//                    under the ProductCode (package_record.h), installs the
//                    driver with the library's own entry point (no present
//                    device: the staged package waits for it), and hands a
//                    reboot need on to QvRequestReboot.
//   QvRollbackDriver rollback, no impersonation, scheduled before
//                    QvInstallDriver: removes the package that the product's
//                    record names, when this product staged it, and the
//                    record.
//   QvRemoveDriver   deferred, no impersonation, on uninstall: the same
//                    removal; a removal that needs a restart hands that on
//                    to QvRequestReboot, a failed one fails the uninstall.
//   QvRequestReboot  immediate, after InstallFinalize: asks Windows Installer
//                    for a reboot at the end when an action of this product
//                    left a pending-reboot mark.
//
// Staging comes before the installation: only then does "staged already"
// mean that the package was in the driver store before this product, so
// that the record can tell a package of its own from someone else's.
//
// A deferred action cannot make the installation end with 3010 itself:
// Windows Installer does not reliably take MsiSetMode from it. The install
// and remove actions therefore write a mark (pending_reboot.h), and the
// immediate action after InstallFinalize reads and removes it, then calls
// MsiSetMode(MSIRUNMODE_REBOOTATEND).
#include "install/custom_action/driver_calls.h"
#include "install/custom_action/install_data.h"
#include "install/custom_action/package_record.h"
#include "install/custom_action/pending_reboot.h"
#include "install/result_codes.h"
#include "platform/own_module.h"
#include "platform/unique_handle.h"

#include <msi.h>
#include <msiquery.h>

#include <cstddef>
#include <cstring>
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

using custom_action::package_record_key;
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

    [[gnu::always_inline]] heap_text& operator<<(std::basic_string_view<Unit> part) {
        return append(part.data(), part.size());
    }
    // ASCII text into a wide one.
    template <typename U = Unit, typename = std::enable_if_t<!std::is_same_v<U, char>>>
    [[gnu::always_inline]] heap_text& operator<<(std::string_view ascii) {
        return append_ascii(ascii.data(), ascii.size());
    }
    // A literal: its length is known, and ASCII literals take half the room.
    template <std::size_t N>
    heap_text& operator<<(const char (&ascii)[N]) {
        return append_ascii(ascii, N - 1);
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
    [[gnu::always_inline]] void resize_down(std::size_t size) {
        if (size < size_) size_ = size;
        if (data()) data()[size_] = Unit{};
    }
    [[gnu::always_inline]] void clear() { resize_down(0); }

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
    [[gnu::noinline]] heap_text& append_ascii(const char* ascii, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const Unit unit = static_cast<Unit>(static_cast<unsigned char>(ascii[i]));
            append(&unit, 1);
        }
        return *this;
    }
    [[gnu::noinline]] heap_text& append(const Unit* part, std::size_t count) {
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
constexpr char nothing_installed[] = "; nothing was installed";
using ansi_text = heap_text<char>;

// Digits in a fixed buffer.
struct number {
    wchar_t digits[12] = {};
    int at = 11;
    [[gnu::always_inline]] std::wstring_view view() const { return {digits + at, static_cast<std::size_t>(11 - at)}; }
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
// The text is cleared then, for the next line.
void log_line(MSIHANDLE install, wide_text& text) {
    const unique_msihandle record{MsiCreateRecord(1)};
    if (record) {
        MsiRecordSetStringW(record.get(), 0, L"[1]");
        MsiRecordSetStringW(record.get(), 1, text.c_str());
        MsiProcessMessage(install, INSTALLMESSAGE_INFO, record.get());
    }
    text.clear();
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
    const int length = platform::narrow_exact(text, CP_ACP, nullptr, 0);
    if (length <= 0) return length == 0;
    char* const bytes = ansi.prepare(static_cast<std::size_t>(length));
    return bytes && platform::narrow_exact(text, CP_ACP, bytes, length) == length;
}

// Writes the pending-reboot mark of `product` and logs it; false when it
// cannot be written.
bool mark_pending_reboot(MSIHANDLE install, std::string_view action, const wchar_t* product, DWORD value) {
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, pending_reboot_key, 0, nullptr, REG_OPTION_VOLATILE,
                                     KEY_SET_VALUE | native_view, nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) {
        const platform::unique_hkey key{opened};
        status = RegSetValueExW(key.get(), product, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    wide_text line;
    line << action;
    if (status != ERROR_SUCCESS) {
        log_line(install, line << ": cannot mark the pending reboot for " << product << ", error "
                               << hex(static_cast<DWORD>(status)).view());
        return false;
    }
    log_line(install, line << ": reboot needed; marked for QvRequestReboot under HKLM\\" << pending_reboot_key
                           << "\\" << product);
    return true;
}

// The product's record: its key under package_record_key.
void record_path(const wchar_t* product, wide_text& path) {
    path << package_record_key << L"\\" << product;
}

// The published name is the Setup API's ANSI text: stored as the text it
// stands for, read back in ANSI.
LSTATUS write_record(const wchar_t* product, const char* name, bool staged_before) {
    wide_text path;
    record_path(product, path);
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE | native_view, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return status;
    const platform::unique_hkey key{opened};
    wchar_t* const units = path.prepare(platform::max_path);
    const int length = units ? MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, units, platform::max_path) : 0;
    if (length <= 1) return ERROR_INVALID_DATA;
    status = RegSetValueExW(key.get(), custom_action::published_name_value, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(units), static_cast<DWORD>(length) * sizeof(wchar_t));
    const DWORD before = staged_before ? 1 : 0;
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExW(key.get(), custom_action::staged_before_value, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&before), sizeof before);
}

// The product's record; ERROR_FILE_NOT_FOUND when there is none, another
// error when it cannot be read whole.
LSTATUS read_record(const wchar_t* product, ansi_text& name, bool& staged_before) {
    wide_text path;
    record_path(product, path);
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | native_view, &opened);
    if (status != ERROR_SUCCESS) return status;
    const platform::unique_hkey key{opened};
    DWORD type = 0;
    DWORD size = platform::max_path;
    char* const bytes = name.prepare(size);
    if (!bytes) return ERROR_OUTOFMEMORY;
    status = RegQueryValueExA(key.get(), custom_action::published_name_ansi, nullptr, &type,
                              reinterpret_cast<BYTE*>(bytes), &size);
    name.resize_down(std::strlen(bytes));
    DWORD before = 0;
    DWORD before_type = 0;
    DWORD before_size = sizeof before;
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExW(key.get(), custom_action::staged_before_value, nullptr, &before_type,
                                  reinterpret_cast<BYTE*>(&before), &before_size);
    }
    if (status != ERROR_SUCCESS || type != REG_SZ || before_type != REG_DWORD || name.empty()) {
        return ERROR_INVALID_DATA;
    }
    staged_before = before != 0;
    return ERROR_SUCCESS;
}

// Removes the product's record, and the key of all records when it holds
// no other (Windows refuses to delete a key with subkeys).
LSTATUS delete_record(const wchar_t* product) {
    wide_text path;
    record_path(product, path);
    const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), native_view, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, package_record_key, native_view, 0);
    return status;
}

// The names of package_results.def's rows, without their meanings, one
// after the other.
constexpr char package_result_names[] =
#define QV_PACKAGE_RESULT(name, exit_status, meaning) #name "\0"
#include "install/package_results.def"
#undef QV_PACKAGE_RESULT
    ;

std::string_view package_result_name(driver_package::result what) {
    const char* name = package_result_names;
    for (auto row = static_cast<std::size_t>(what); row != 0; --row) name += std::strlen(name) + 1;
    return name;
}

// Ends the line that names a staging or removal with its result, the
// published name and the error.
void log_package_result(MSIHANDLE install, wide_text& line, const driver_package::outcome& outcome) {
    log_line(install, line << ") returned " << package_result_name(outcome.what) << ", name "
                           << outcome.name.view() << ", error " << hex(outcome.error).view());
}

enum class removal { none_recorded, removed, restart_needed, failed };

// Removes the package that the record of `product` names, when the product
// staged it, and then the record. A record that cannot be read, and a
// package that stays, fail; the record then stays too.
removal remove_recorded(MSIHANDLE install, std::string_view action, const wchar_t* product,
                        std::wstring_view helpers) {
    wide_text line;
    ansi_text name;
    bool staged_before = false;
    const LSTATUS read = read_record(product, name, staged_before);
    if (read == ERROR_FILE_NOT_FOUND) {
        log_line(install, line << action << ": nothing of ours recorded for " << product);
        return removal::none_recorded;
    }
    if (read != ERROR_SUCCESS) {
        log_line(install, line << action << ": unreadable record of " << product << ", error "
                               << hex(static_cast<DWORD>(read)).view());
        return removal::failed;
    }
    removal done = removal::removed;
    if (staged_before) {
        log_line(install, line << action << ": " << name.view() << " was staged before; left in place");
    } else {
        const driver_package::outcome outcome = custom_action::remove_package(name.c_str(), helpers);
        log_package_result(install, line << action << ": remove_package(" << name.view(), outcome);
        if (outcome.what == driver_package::result::removed_restart_needed) {
            done = removal::restart_needed;
        } else if (outcome.what != driver_package::result::removed &&
                   outcome.what != driver_package::result::nothing_to_remove) {
            log_line(install, line << action << ": the package stays");
            return removal::failed;
        }
    }
    const LSTATUS deleted = delete_record(product);
    log_line(install, line << action << ": the record of " << product
                           << (deleted == ERROR_SUCCESS ? " is removed" : " stays"));
    return done;
}

// QvRollbackDriver and QvRemoveDriver: the package that the product's
// record names out of the driver store, then the record.
UINT remove_action(MSIHANDLE install, std::string_view action, bool rollback) {
    wide_text line;
    wide_text product;
    wide_text detail;
    read_property(install, L"ProductCode", product);
    read_property(install, L"CustomActionData", detail);
    log_line(install, line << action << ": the package of " << product.view() << "; CustomActionData "
                           << detail.view());
    // The install's data, for the helpers' folder: a text that is refused
    // leaves the removal in this process.
    const custom_action::parsed_data parsed = custom_action::parse_install_data(detail.view());
    if (parsed.error != custom_action::data_error::none) {
        log_line(install, line << action << ": CustomActionData refused: " << custom_action::describe(parsed.error)
                               << " (" << parsed.key << "); removing in this process");
    }
    const std::wstring_view helpers =
        parsed.error == custom_action::data_error::none ? parsed.data.helpers : std::wstring_view{};
    const removal done =
        product.empty() ? removal::failed : remove_recorded(install, action, product.c_str(), helpers);
    // A rollback goes on whatever one of its actions ends with: a package
    // that stays is in the log, and its record stays beside it.
    if (rollback) return ERROR_SUCCESS;
    if (done == removal::failed) {
        log_line(install, line << action << ": not removed; the uninstall fails");
        return ERROR_INSTALL_FAILURE;
    }
    // The package is gone already: without the mark the uninstall goes on.
    if (done == removal::restart_needed) {
        mark_pending_reboot(install, action, product.c_str(), custom_action::removal_restart_mark);
    }
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" UINT __stdcall QvInstallDriver(MSIHANDLE install) {
    wide_text line;
    wide_text text;
    read_property(install, L"CustomActionData", text);
    {
        log_line(install, line << "QvInstallDriver: CustomActionData " << text.view());
    }
    const custom_action::parsed_data parsed = custom_action::parse_install_data(text.view());
    if (parsed.error != custom_action::data_error::none) {
        log_line(install, line << "QvInstallDriver: CustomActionData refused: " << custom_action::describe(parsed.error)
                               << " (" << parsed.key << ")" << nothing_installed);
        return ERROR_INSTALL_FAILURE;
    }
    ansi_text inf_path;
    ansi_text compact_id;
    if (!to_ansi(parsed.data.inf_path, inf_path) || !to_ansi(parsed.data.compact_id, compact_id)) {
        log_line(install, line << "QvInstallDriver: the INF path or the compact ID has no name in the ANSI code page"
                               << nothing_installed);
        return ERROR_INSTALL_FAILURE;
    }
    wide_text product;
    read_property(install, L"ProductCode", product);
    if (product.empty()) {
        log_line(install, line << "QvInstallDriver: no ProductCode" << nothing_installed);
        return ERROR_INSTALL_FAILURE;
    }

    // Staged first, so that "staged already" says the package was there
    // before; the installation then finds it staged.
    const driver_package::outcome staging = custom_action::stage_package(inf_path.c_str(), parsed.data.helpers);
    log_package_result(install, line << "QvInstallDriver" << ": stage_package(" << parsed.data.inf_path, staging);
    if (staging.what != driver_package::result::staged && staging.what != driver_package::result::already_staged) {
        log_line(install, line << "QvInstallDriver: not staged" << nothing_installed);
        return ERROR_INSTALL_FAILURE;
    }
    bool staged_before = staging.what == driver_package::result::already_staged;
    {
        // A repair finds the product's own record: what it says stays.
        ansi_text recorded;
        bool recorded_before = false;
        if (read_record(product.c_str(), recorded, recorded_before) == ERROR_SUCCESS) staged_before = recorded_before;
    }
    const LSTATUS recorded = write_record(product.c_str(), staging.name.c_str(), staged_before);
    line << "QvInstallDriver: ";
    if (recorded != ERROR_SUCCESS) {
        log_line(install, line << "cannot record " << staging.name.view() << " for " << product.view() << ", error "
                               << hex(static_cast<DWORD>(recorded)).view() << nothing_installed);
        if (staging.what == driver_package::result::staged) {
            log_package_result(install, line << "QvInstallDriver" << ": remove_package(" << staging.name.view(),
                               custom_action::remove_package(staging.name.c_str(), parsed.data.helpers));
        }
        return ERROR_INSTALL_FAILURE;
    }
    log_line(install, line << "recorded " << staging.name.view() << " under HKLM\\" << package_record_key << "\\"
                           << product.view()
                           << (staged_before ? "; staged before: left in place on removal" : ""));

    const custom_action::installed call = custom_action::install_driver(inf_path.c_str(), compact_id.c_str(),
                                                                      parsed.data.helpers);
    const int result = call.result;
    const DWORD error = call.error;
    const result_codes::row* const row = result_codes::find(result);
    {
        line << "qv7_installdevice(" << parsed.data.inf_path << ", " << parsed.data.compact_id << ") returned "
             << decimal(result).view() << " (";
        if (row) {
            line << row->name << ": " << row->meaning;
        } else {
            line << "a result outside the library's table";
        }
        log_line(install, line << "); last error " << hex(error).view());
    }

    // The row's exit status tells installed (0), installed but a reboot or
    // restart is needed (3010), and failed (anything else); without a
    // present device the staged package waits for it.
    const int exit_status = row ? row->exit_status : -1;
    if (exit_status == 0) return ERROR_SUCCESS;
    if (result == QV7_E_NO_DEVICE) {
        log_line(install, line << "QvInstallDriver: no present device; the package waits staged");
        return ERROR_SUCCESS;
    }
    if (exit_status == ERROR_SUCCESS_REBOOT_REQUIRED) {
        return mark_pending_reboot(install, "QvInstallDriver", product.c_str(), static_cast<DWORD>(result))
                   ? ERROR_SUCCESS
                   : ERROR_INSTALL_FAILURE;
    }
    log_line(install, line << "QvInstallDriver: the driver was not installed; the installation fails");
    return ERROR_INSTALL_FAILURE;
}

extern "C" UINT __stdcall QvRollbackDriver(MSIHANDLE install) { return remove_action(install, "QvRollbackDriver", true); }

extern "C" UINT __stdcall QvRemoveDriver(MSIHANDLE install) { return remove_action(install, "QvRemoveDriver", false); }

extern "C" UINT __stdcall QvRequestReboot(MSIHANDLE install) {
    wide_text line;
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
        log_line(install, line << "QvRequestReboot: no pending reboot for " << product.view());
        return ERROR_SUCCESS;
    }
    status = RegDeleteValueW(key.get(), product.c_str());
    if (status != ERROR_SUCCESS) {
        log_line(install, line << "QvRequestReboot: the mark stays until the reboot, error "
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
        log_line(install, line << "QvRequestReboot: the driver "
                               << (result == custom_action::removal_restart_mark ? "removal" : "installation")
                               << " returned " << decimal(static_cast<int>(result)).view() << "; a reboot is needed");
    }
    // A silent installation never restarts Windows by itself: without an
    // administrator's REBOOT, it ends with 3010 and leaves the reboot to them.
    wide_text ui_level;
    wide_text reboot;
    read_property(install, L"UILevel", ui_level);
    read_property(install, L"REBOOT", reboot);
    if (ui_level.view() == L"2" && reboot.empty()) {
        MsiSetPropertyW(install, L"REBOOT", L"ReallySuppress");
        log_line(install, line << "QvRequestReboot: silent installation: REBOOT=ReallySuppress");
    }
    const UINT set = MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
    log_line(install, line << "QvRequestReboot: MsiSetMode(MSIRUNMODE_REBOOTATEND) returned "
                           << decimal(static_cast<int>(set)).view());
    return ERROR_SUCCESS;
}
