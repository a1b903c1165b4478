// The library's side of the bridge.
#include "install/bridge/caller.h"

#include "idconv/compact_id.h"
#include "include/quorvant.h"

#if defined(_WIN32)

#include "install/bridge/native_view.h"
#include "platform/own_module.h"

#include <algorithm>
#include <cwchar>

namespace wow64 {

using platform::read_growing;
using platform::wide_text;

static_assert(sizeof(wchar_t) == sizeof(char16_t));

bool native_inf_path(wide_text& native, const char* inf_path, bool wow64_view) {
    wide_text given;
    wide_text full;
    if (!platform::widen_ansi(given, inf_path) || given.view().size() > longest_inf_units ||
        !read_growing(full, [&](wchar_t* buffer, DWORD size) {
            return GetFullPathNameW(given.data(), size, buffer, nullptr);
        })) {
        return false;
    }
    wide_text windows;
    wide_text system;
    wide_text system_x86;
    const auto folder = [](wide_text& text, UINT (WINAPI* read)(LPWSTR, UINT)) {
        return read_growing(text, [&](wchar_t* buffer, DWORD size) { return read(buffer, size); });
    };
    // Only a WOW64 process sees System32 as another folder. A 64-bit
    // process, an x64 one emulated on ARM64 among them, sees the native
    // folders although GetSystemWow64DirectoryW names SysWOW64 to it too.
    if (wow64_view && !(folder(system_x86, GetSystemWow64DirectoryW) &&
                        folder(windows, GetSystemWindowsDirectoryW) &&
                        folder(system, GetSystemDirectoryW))) {
        return false;
    }
    const redirection to =
        native_view(full.view(), {windows.view(), system.view(), system_x86.view()});
    const std::wstring_view rest = full.view().substr(to.cut);
    if (to.with.size() + rest.size() > longest_inf_units ||
        !native.reserve(to.with.size() + rest.size())) {
        return false;
    }
    wchar_t* out = std::copy(to.with.begin(), to.with.end(), native.data());
    out = std::copy(rest.begin(), rest.end(), out);
    native.set_size(static_cast<std::size_t>(out - native.data()));
    return true;
}

namespace {

// Starts the helper at `helper` with `section` as its one inherited handle
// and its value as its one argument, in the system directory. A system
// that cannot start a program by a path of MAX_PATH characters or more
// (Wine's CreateProcessW cannot) is given the file's short name, another
// name of the same file, when the volume has one.
platform::unique_handle start_helper(const wide_text& helper, const wchar_t* file_name,
                                     HANDLE section) {
    SIZE_T list_size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
    alignas(8) unsigned char list_bytes[128];
    const auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_bytes);
    if (list_size == 0 || list_size > sizeof list_bytes ||
        !InitializeProcThreadAttributeList(list, 1, 0, &list_size)) {
        return {};
    }
    HANDLE inherited = section;
    const bool listed = UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                  &inherited, sizeof inherited, nullptr, nullptr);
    wchar_t system_directory[platform::max_path] = {};
    const UINT system_length = GetSystemDirectoryW(system_directory, platform::max_path);
    // The helper's name and the section handle's value, the helper's
    // first and only argument.
    wchar_t command_line[64] = {};
    std::size_t used = std::min<std::size_t>(std::wcslen(file_name), 32);
    std::copy(file_name, file_name + used, command_line);
    command_line[used++] = L' ';
    wchar_t digits[24] = {};
    std::size_t count = 0;
    for (auto value = reinterpret_cast<std::uintptr_t>(section); count == 0 || value != 0;
         value /= 10) {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    }
    while (count != 0) command_line[used++] = digits[--count];

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = list;
    PROCESS_INFORMATION started{};
    const auto start = [&](const wchar_t* path) {
        return CreateProcessW(path, command_line, nullptr, nullptr, TRUE,
                              CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                              system_directory, &startup.StartupInfo, &started) != FALSE;
    };
    wide_text short_name;
    const bool ok = listed && system_length != 0 && system_length < platform::max_path &&
                    (start(helper.data()) ||
                     (helper.view().size() >= platform::max_path &&
                      read_growing(short_name, [&](wchar_t* buffer, DWORD size) {
                          return GetShortPathNameW(helper.data(), buffer, size);
                      }) &&
                      short_name.view().size() < helper.view().size() && start(short_name.data())));
    DeleteProcThreadAttributeList(list);
    if (!ok) return {};
    CloseHandle(started.hThread);
    return platform::unique_handle{started.hProcess};
}

}  // namespace

bool call_helper(const wide_text& helper, const wchar_t* file_name, operation what,
                 const wide_text& operand, const char* compact_id, answer_reader read, void* answer) {
    // A wanted ID longer than the longest compact ID matches by its first
    // characters only (a "PCI" one) or not at all: one byte more than the
    // longest compact ID keeps every outcome.
    const std::string_view wanted =
        compact_id ? std::string_view(compact_id).substr(0, idconv::compact_id::capacity + 1)
                   : std::string_view();
    const std::size_t size = section_size(operand.view().size(), wanted.size());
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const platform::unique_handle section{CreateFileMappingW(
        INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr)};
    const platform::unique_mapped_view view{
        section ? MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, 0) : nullptr};
    auto* const bytes = static_cast<unsigned char*>(view.get());
    if (!bytes) {
        return false;
    }
    write_request(bytes, what,
                  {reinterpret_cast<const char16_t*>(operand.data()), operand.view().size()}, wanted);

    const platform::unique_handle process = start_helper(helper, file_name, section.get());
    if (!process) {
        return false;
    }
    // The call waits for the helper, as a call in process waits for the
    // system's installer, however long it takes.
    DWORD status = 0;
    const bool waited = WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0 &&
                        GetExitCodeProcess(process.get(), &status);
    read(bytes, waited, waited ? status : GetLastError(), answer);
    return true;
}

void installation_answer(const unsigned char* section, bool waited, DWORD status, void* out) {
    const answer given = waited ? read_answer(section) : answer{};
    *static_cast<bridged*>(out) = given.answered ? given.outcome : bridged{QV7_E_INSTALL_FAILED, status};
}

bridged run_in_64bit_helper(const char* inf_path, const char* compact_id) {
    if constexpr (!this_build_may_be_served) {
        return {not_delegated, 0};
    }
    const machines m = this_process_machines();
    return run_in_helper(helper_file_name(this_image_machine, m), m, inf_path, compact_id);
}

bridged run_in_helper(const wchar_t* file_name, machines m, const char* inf_path,
                      const char* compact_id) {
    wide_text inf;
    wide_text helper;
    // The INF path first: one that cannot be made full starts nothing.
    if (!file_name || !native_inf_path(inf, inf_path, m.process != IMAGE_FILE_MACHINE_UNKNOWN) ||
        !platform::path_beside_own_module(helper, file_name) || !is_file(helper)) {
        return {not_delegated, 0};
    }
    bridged outcome{not_delegated, 0};
    call_helper(helper, file_name, operation::install, inf, compact_id, installation_answer, &outcome);
    return outcome;
}

}  // namespace wow64

#else

namespace wow64 {

// The host build installs in process.
bridged run_in_64bit_helper(const char*, const char*) { return {not_delegated, 0}; }
bridged run_in_helper(const wchar_t*, machines, const char*, const char*) { return {not_delegated, 0}; }

}  // namespace wow64

#endif
