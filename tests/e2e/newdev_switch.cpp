#include "tests/e2e/newdev_switch.h"

#include "tests/e2e/newdev_protocol.h"
#include "platform/unique_handle.h"
#include "tests/e2e/registry_key.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace e2e {
namespace {

constexpr const char* overrides_key = "Software\\Wine\\DllOverrides";
constexpr const char* override_name = "newdev";
constexpr const char* native_only = "native";
constexpr const char* refused = "";

std::string environment_text(const char* name) {
    char text[1024] = {};
    return std::string(text, newdev_protocol::read_variable(name, text, sizeof text));
}

// Runs `step` with the file system redirection of a 32-bit process on
// 64-bit Windows turned off, so that "system32" names the native folder.
template <typename Step>
bool without_redirection(Step step) {
    PVOID old = nullptr;
    const bool turned_off = Wow64DisableWow64FsRedirection(&old);
    const bool ok = step();
    if (turned_off) Wow64RevertWow64FsRedirection(old);
    return ok;
}

void set_hex(const char* name, unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "%lx", value);
    SetEnvironmentVariableA(name, text);
}

}  // namespace

const char* kind_name(newdev_kind kind) {
    switch (kind) {
        case newdev_kind::wine_builtin: return "Wine's own NEWDEV";
        case newdev_kind::substitute: return "substitute NEWDEV";
        case newdev_kind::without_entry: return "NEWDEV without InstallSelectedDriver";
        case newdev_kind::missing: return "no NEWDEV file";
        case newdev_kind::disabled: return "NEWDEV refused by the loader";
    }
    return "?";
}

newdev_switch::newdev_switch(std::string substitute_path, std::string without_entry_path,
                             native_substitutes native)
    : substitute_path_(std::move(substitute_path)),
      without_entry_path_(std::move(without_entry_path)),
      native_(std::move(native)) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    system_path_ = std::string(system) + "\\newdev.dll";
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    wine_copy_path_ = std::string(temp) + "newdev.wine.dll";
    CopyFileA(system_path_.c_str(), wine_copy_path_.c_str(), TRUE);
    if (!native_.substitute_path.empty()) {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        native_path_ = std::string(windows) + "\\system32\\newdev.dll";
        wine_native_copy_path_ = std::string(temp) + "newdev.wine64.dll";
        without_redirection([&] {
            return CopyFileA(native_path_.c_str(), wine_native_copy_path_.c_str(), TRUE) != FALSE;
        });
    }
}

bool newdev_switch::set_override(const char* value, std::string& error) {
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, overrides_key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &raw, nullptr) != ERROR_SUCCESS) {
        error = "cannot open HKCU\\" + std::string(overrides_key);
        return false;
    }
    unique_hkey key(raw);
    LONG status = value == nullptr
                      ? RegDeleteValueA(key.get(), override_name)
                      : RegSetValueExA(key.get(), override_name, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value),
                                       static_cast<DWORD>(lstrlenA(value) + 1));
    if (status != ERROR_SUCCESS && !(value == nullptr && status == ERROR_FILE_NOT_FOUND)) {
        error = "cannot set the newdev override";
        return false;
    }
    return true;
}

bool newdev_switch::place(const std::string& source, const std::string& native_source,
                          std::string& error) {
    if (!CopyFileA(source.c_str(), system_path_.c_str(), FALSE)) {
        error = "cannot copy " + source + " to " + system_path_ + ", error " +
                std::to_string(GetLastError());
        return false;
    }
    if (!native_path_.empty() &&
        !without_redirection([&] { return CopyFileA(native_source.c_str(), native_path_.c_str(), FALSE) != FALSE; })) {
        error = "cannot copy " + native_source + " to the native " + native_path_ + ", error " +
                std::to_string(GetLastError());
        return false;
    }
    return true;
}

bool newdev_switch::remove(std::string& error) {
    auto gone = [](const std::string& path) {
        return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    };
    if (!gone(system_path_) || (!native_path_.empty() && !without_redirection([&] { return gone(native_path_); }))) {
        error = "cannot delete newdev.dll";
        return false;
    }
    return true;
}

bool newdev_switch::use(newdev_kind kind, std::string& error) {
    switch (kind) {
        case newdev_kind::wine_builtin:
            return place(wine_copy_path_, wine_native_copy_path_, error) && set_override(nullptr, error);
        case newdev_kind::substitute:
            return place(substitute_path_, native_.substitute_path, error) &&
                   set_override(native_only, error);
        case newdev_kind::without_entry:
            return place(without_entry_path_, native_.without_entry_path, error) &&
                   set_override(native_only, error);
        case newdev_kind::missing:
            return remove(error) && set_override(native_only, error);
        case newdev_kind::disabled:
            return place(substitute_path_, native_.substitute_path, error) &&
                   set_override(refused, error);
    }
    return false;
}

void steer_substitute(const substitute_behaviour& b) {
    SetEnvironmentVariableA(newdev_protocol::action_variable, b.action);
    set_hex(newdev_protocol::reboot_variable, b.reboot);
    set_hex(newdev_protocol::return_variable, b.returns);
    set_hex(newdev_protocol::error_variable, b.error);
}

substitute_report read_substitute_report() {
    newdev_protocol::load_seen_variables();
    substitute_report r;
    r.calls = std::strtoul(environment_text(newdev_protocol::seen_calls).c_str(), nullptr, 10);
    r.devices = environment_text(newdev_protocol::seen_devices);
    r.device = environment_text(newdev_protocol::seen_device);
    r.inf = environment_text(newdev_protocol::seen_inf);
    r.module = environment_text(newdev_protocol::seen_module);
    r.arguments = environment_text(newdev_protocol::seen_arguments);
    r.install = environment_text(newdev_protocol::seen_install);
    r.bits = environment_text(newdev_protocol::seen_bits);
    r.folder = environment_text(newdev_protocol::seen_folder);
    return r;
}

void clear_substitute_report() {
    newdev_protocol::load_seen_variables();
    for (const char* name : newdev_protocol::seen_names) {
        if (name != newdev_protocol::seen_calls) SetEnvironmentVariableA(name, nullptr);
    }
    newdev_protocol::save_seen_variables();
}

}  // namespace e2e
