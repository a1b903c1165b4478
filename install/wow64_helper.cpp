// The 64-bit helper's bridge: the choice of helper, the caller's view of
// the system folders and the shared section (plain code, on every build),
// and on Windows the finding, starting and answering of the helper.
#include "install/wow64_helper.h"

#include "idconv/compact_id.h"
#include "include/quorvant.h"
#include "install/result_codes.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>

namespace wow64 {
namespace {

// One row per case that needs a helper: the library's own machine, what
// IsWow64Process2 reports for its process, and the helper's file. An x64
// process that ARM64 Windows emulates is no WOW64 process to
// IsWow64Process2, which reports it as it reports a native ARM64 one: only
// the library's own machine tells them apart.
struct helper_row {
    USHORT image;
    USHORT process;
    USHORT native;
    const wchar_t* file_name;
};
constexpr helper_row helper_rows[] = {
    {IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64, L"QUORVANT64.exe"},
    {IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_ARM64, L"QUORVANTA64.exe"},
    {IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_MACHINE_UNKNOWN, IMAGE_FILE_MACHINE_ARM64,
     L"QUORVANTA64.exe"},
};

// Subfolders of System32 that the WOW64 file system redirector leaves alone.
constexpr std::wstring_view unredirected[] = {L"catroot", L"catroot2", L"driverstore",
                                              L"drivers\\etc", L"logfiles", L"spool"};

wchar_t ascii_lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

bool same_folder_name(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return ascii_lower(x) == ascii_lower(y); });
}

// Where the part of `path` below `folder` starts (after the separating
// backslash), or npos when `path` does not lie below it.
std::size_t below(std::wstring_view path, std::wstring_view folder) {
    while (!folder.empty() && folder.back() == L'\\') folder.remove_suffix(1);
    if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != L'\\' ||
        !same_folder_name(path.substr(0, folder.size()), folder)) {
        return std::wstring_view::npos;
    }
    return folder.size() + 1;
}

// Whether `rest` is `folder` or lies below it.
bool within(std::wstring_view rest, std::wstring_view folder) {
    return same_folder_name(rest.substr(0, folder.size()), folder) &&
           (rest.size() == folder.size() || rest[folder.size()] == L'\\');
}

// Ties the marker to the result and the error it was written with.
std::uint32_t answer_check(std::int32_t result, std::uint32_t error) {
    const std::uint32_t mixed = (static_cast<std::uint32_t>(result) * 0x9E37'79B9u) ^
                                ((error << 13) | (error >> 19));
    return ~(mixed ^ answer_marker);
}

}  // namespace

machines machines_without_is_wow64_process2(bool wow64) {
    return wow64 ? machines{IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64}
                 : machines{IMAGE_FILE_MACHINE_UNKNOWN, IMAGE_FILE_MACHINE_UNKNOWN};
}

const wchar_t* helper_file_name(USHORT image, machines m) {
    for (const helper_row& row : helper_rows) {
        if (row.image == image && row.process == m.process && row.native == m.native) {
            return row.file_name;
        }
    }
    return nullptr;
}

redirection native_view(std::wstring_view full_path, const view_folders& folders) {
    const redirection unchanged{0, {}};
    if (folders.system_x86.empty()) {
        return unchanged;
    }
    if (const std::size_t rest = below(full_path, folders.system); rest != std::wstring_view::npos) {
        const std::wstring_view tail = full_path.substr(rest);
        const bool redirected = std::none_of(std::begin(unredirected), std::end(unredirected),
                                             [&](std::wstring_view f) { return within(tail, f); });
        return redirected ? redirection{rest - 1, folders.system_x86} : unchanged;
    }
    constexpr std::wstring_view sysnative = L"sysnative";
    if (const std::size_t rest = below(full_path, folders.windows); rest != std::wstring_view::npos) {
        const std::wstring_view tail = full_path.substr(rest);
        if (within(tail, sysnative) && tail.size() > sysnative.size()) {
            return {rest + sysnative.size(), folders.system};
        }
    }
    return unchanged;
}

std::size_t section_size(std::size_t inf_units, std::size_t wanted_bytes) {
    return inf_offset + inf_units * sizeof(char16_t) + wanted_bytes;
}

void write_request(unsigned char* section, std::u16string_view inf_path, std::string_view wanted) {
    const request_header header{request_marker, static_cast<std::uint32_t>(inf_path.size()),
                                static_cast<std::uint32_t>(wanted.size()), 0};
    std::memcpy(section + request_offset, &header, sizeof header);
    std::memcpy(section + inf_offset, inf_path.data(), inf_path.size() * sizeof(char16_t));
    std::memcpy(section + inf_offset + inf_path.size() * sizeof(char16_t), wanted.data(),
                wanted.size());
}

request read_request(const unsigned char* section, std::size_t size) {
    const request none{false, {}, {}};
    request_header header{};
    if (size < inf_offset) return none;
    std::memcpy(&header, section + request_offset, sizeof header);
    if (header.marker != request_marker || header.inf_units == 0 ||
        header.inf_units > longest_inf_units ||
        header.wanted_bytes > idconv::compact_id::capacity + 1 ||
        section_size(header.inf_units, header.wanted_bytes) > size) {
        return none;
    }
    const request found{
        true,
        {reinterpret_cast<const char16_t*>(section + inf_offset), header.inf_units},
        {reinterpret_cast<const char*>(section + inf_offset + header.inf_units * sizeof(char16_t)),
         header.wanted_bytes}};
    const bool zero_free = found.inf_path.find(u'\0') == std::u16string_view::npos &&
                           found.wanted.find('\0') == std::string_view::npos;
    return zero_free ? found : none;
}

void write_answer(unsigned char* section, int result, DWORD error) {
    answer_record record{0, result, error, answer_check(result, error)};
    std::memcpy(section, &record, sizeof record);
    // The marker goes in last: a process that ends between the two writes
    // leaves no answer.
    std::atomic_thread_fence(std::memory_order_release);
    record.marker = answer_marker;
    std::memcpy(section, &record.marker, sizeof record.marker);
}

answer read_answer(const unsigned char* section) {
    answer_record record{};
    std::memcpy(&record, section, sizeof record);
    const bool answered = record.marker == answer_marker &&
                          record.check == answer_check(record.result, record.error) &&
                          (result_codes::is_result_code(record.result) || record.result == not_delegated);
    return answered ? answer{true, {record.result, record.error}}
                    : answer{false, {not_delegated, 0}};
}

}  // namespace wow64

#if defined(_WIN32)

namespace wow64 {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// Fills `text` through a platform call that reports the length it wrote
// (less than the capacity it was given) or the capacity it needs; false
// when the call fails or the text outgrows the longest path.
template <typename Read>
bool read_growing(wide_text& text, Read read) {
    for (std::size_t units = platform::max_path;; units *= 2) {
        if (units > 2 * longest_inf_units || !text.reserve(units)) return false;
        const DWORD length = read(text.data(), text.capacity());
        if (length == 0) return false;
        if (length < text.capacity()) {
            text.set_size(length);
            return true;
        }
        units = std::max<std::size_t>(units, length);
    }
}

}  // namespace

bool path_beside_own_module(wide_text& path, std::wstring_view name) {
    HMODULE self = nullptr;
    wide_text own;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&path_beside_own_module), &self) ||
        !read_growing(own, [&](wchar_t* buffer, DWORD size) {
            return GetModuleFileNameW(self, buffer, size);
        })) {
        return false;
    }
    const std::wstring_view folder = own.view().substr(0, own.view().rfind(L'\\') + 1);
    const bool plain = folder.size() + name.size() < platform::max_path ||
                       folder.substr(0, 4) == L"\\\\?\\";
    const bool unc = !plain && folder.substr(0, 2) == L"\\\\";
    const std::wstring_view prefix = plain ? L"" : unc ? L"\\\\?\\UNC" : L"\\\\?\\";
    const std::wstring_view kept = unc ? folder.substr(1) : folder;
    if (folder.empty() || !path.reserve(prefix.size() + kept.size() + name.size())) {
        return false;
    }
    wchar_t* out = path.data();
    out = std::copy(prefix.begin(), prefix.end(), out);
    out = std::copy(kept.begin(), kept.end(), out);
    out = std::copy(name.begin(), name.end(), out);
    *out = L'\0';
    path.set_size(static_cast<std::size_t>(out - path.data()));
    return true;
}

machines this_process_machines() {
    using is_wow64_process2_fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel ? GetProcAddress(kernel, "IsWow64Process2") : nullptr;
    if (found) {
        const auto is_wow64_process2 =
            reinterpret_cast<is_wow64_process2_fn>(reinterpret_cast<void (*)()>(found));
        machines m{IMAGE_FILE_MACHINE_UNKNOWN, IMAGE_FILE_MACHINE_UNKNOWN};
        return is_wow64_process2(GetCurrentProcess(), &m.process, &m.native)
                   ? m
                   : machines{IMAGE_FILE_MACHINE_UNKNOWN, IMAGE_FILE_MACHINE_UNKNOWN};
    }
    BOOL wow64 = FALSE;
    return machines_without_is_wow64_process2(IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

namespace {

// The helper's full path, when such a file stands beside this library.
bool find_helper(wide_text& path, const wchar_t* file_name) {
    if (!path_beside_own_module(path, file_name)) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(path.data());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

bool native_inf_path(wide_text& native, const char* inf_path, bool wow64_view) {
    wide_text given;
    wide_text full;
    const int units = MultiByteToWideChar(CP_ACP, 0, inf_path, -1, nullptr, 0);
    if (units <= 0 || static_cast<std::size_t>(units) > longest_inf_units + 1 ||
        !given.reserve(static_cast<std::size_t>(units)) ||
        MultiByteToWideChar(CP_ACP, 0, inf_path, -1, given.data(), units) != units ||
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

bridged run_in_64bit_helper(const char* inf_path, const char* compact_id) {
    const machines m = this_process_machines();
    return run_in_helper(helper_file_name(this_image_machine, m), m, inf_path, compact_id);
}

bridged run_in_helper(const wchar_t* file_name, machines m, const char* inf_path,
                      const char* compact_id) {
    const bridged in_process{not_delegated, 0};
    wide_text helper;
    wide_text inf;
    if (!file_name || !find_helper(helper, file_name) ||
        !native_inf_path(inf, inf_path, m.process != IMAGE_FILE_MACHINE_UNKNOWN)) {
        return in_process;
    }
    // A wanted ID longer than the longest compact ID matches by its first
    // characters only (a "PCI" one) or not at all: one byte more than the
    // longest compact ID keeps every outcome.
    const std::string_view wanted =
        std::string_view(compact_id).substr(0, idconv::compact_id::capacity + 1);
    const std::size_t size = section_size(inf.view().size(), wanted.size());
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const platform::unique_handle section{CreateFileMappingW(
        INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr)};
    const platform::unique_mapped_view view{
        section ? MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, 0) : nullptr};
    auto* const bytes = static_cast<unsigned char*>(view.get());
    if (!bytes) {
        return in_process;
    }
    write_request(bytes,
                  {reinterpret_cast<const char16_t*>(inf.data()), inf.view().size()}, wanted);

    const platform::unique_handle process = start_helper(helper, file_name, section.get());
    if (!process) {
        return in_process;
    }
    // The call waits for the helper, as a call in process waits for the
    // system's installer, however long it takes.
    DWORD status = 0;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &status)) {
        return {QV7_E_INSTALL_FAILED, GetLastError()};
    }
    const answer given = read_answer(bytes);
    return given.answered ? given.outcome : bridged{QV7_E_INSTALL_FAILED, status};
}

}  // namespace wow64

#else

namespace wow64 {

// The host build installs in process.
bridged run_in_64bit_helper(const char*, const char*) { return {not_delegated, 0}; }
bridged run_in_helper(const wchar_t*, machines, const char*, const char*) { return {not_delegated, 0}; }

}  // namespace wow64

#endif
