// The 64-bit helper: found beside the library, started with both arguments
// quoted, waited for, its exit status taken as the result code.
#include "install/wow64_helper.h"

#if defined(_WIN32) && !defined(_WIN64)

#include "idconv/compact_id.h"
#include "include/quorvant.h"
#include "install/ID_MAIN2.h"
#include "platform/unique_handle.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace wow64 {
namespace {

using path_text = ID_MAIN2::bounded_text<platform::max_path>;

// Whether this is a 32-bit process on x64 Windows. IsWow64Process2 tells
// the native machine (ARM64 Windows runs 32-bit programs under WOW64 too,
// and no x64 helper runs there); on systems without it, WOW64 means x64.
bool wow64_on_x64() {
    using is_wow64_process2_fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const FARPROC found = kernel ? GetProcAddress(kernel, "IsWow64Process2") : nullptr;
    if (found) {
        const auto is_wow64_process2 =
            reinterpret_cast<is_wow64_process2_fn>(reinterpret_cast<void (*)()>(found));
        USHORT process_machine = 0;
        USHORT native_machine = 0;
        return is_wow64_process2(GetCurrentProcess(), &process_machine, &native_machine) &&
               process_machine != IMAGE_FILE_MACHINE_UNKNOWN &&
               native_machine == IMAGE_FILE_MACHINE_AMD64;
    }
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The helper's path: the folder of this library's own file and the
// helper's name; empty when the path does not fit or no such file exists.
// Never the current folder, never PATH.
path_text helper_path() {
    path_text path;
    HMODULE self = nullptr;
    char* const buffer = path.prepare_read();
    const bool found =
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&run_in_64bit_helper), &self);
    const DWORD length = found ? GetModuleFileNameA(self, buffer, path_text::buffer_size) : 0;
    const char* const slash = length ? std::strrchr(buffer, '\\') : nullptr;
    const std::size_t folder = slash ? static_cast<std::size_t>(slash - buffer) + 1 : 0;
    const std::size_t name = std::strlen(helper_file_name);
    const bool fits = folder != 0 && length < path_text::buffer_size &&
                      folder + name < path_text::buffer_size;
    if (fits) {
        std::memcpy(buffer + folder, helper_file_name, name + 1);
    }
    const DWORD attributes = fits ? GetFileAttributesA(buffer) : INVALID_FILE_ATTRIBUTES;
    path.take_read(attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0);
    return path;
}

// A command line of bounded length, built without allocation.
class command_line {
public:
    // Appends `argument` in double quotes, so that the C runtime's parser of
    // the helper gives back every byte: a quote is escaped with a
    // backslash, and a run of backslashes is doubled where a quote
    // follows it, the closing quote included.
    void append_quoted(std::string_view argument) {
        if (size_ != 0) {
            put(' ');
        }
        put('"');
        std::size_t backslashes = 0;
        for (const char c : argument) {
            if (c == '\\') {
                ++backslashes;
            } else {
                put_backslashes(c == '"' ? 2 * backslashes + 1 : backslashes);
                backslashes = 0;
            }
            if (c != '\\') {
                put(c);
            }
        }
        put_backslashes(2 * backslashes);
        put('"');
    }

    // The text, writable as CreateProcessA wants it; null when it did not fit.
    char* data() { return overflow_ ? nullptr : text_; }

private:
    void put(char c) {
        if (size_ + 1 >= sizeof text_) {
            overflow_ = true;
            return;
        }
        text_[size_++] = c;
        text_[size_] = '\0';
    }
    void put_backslashes(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            put('\\');
        }
    }

    // The helper's path, a full INF path and a compact ID that is no longer
    // than the longest one plus one, each quoted, fit with room to spare.
    char text_[4 * platform::max_path + 4 * idconv::compact_id::capacity]{};
    std::size_t size_ = 0;
    bool overflow_ = false;
};

constexpr int result_codes[] = {
    QV7_INSTALLED_NEEDS_RESTART, QV7_INSTALLED_NEEDS_REBOOT, QV7_INSTALLED,
    QV7_E_NO_DEVICE,             QV7_E_NO_DRIVER,            QV7_E_INSTALL_FAILED,
    QV7_E_NO_INF_PATH,           QV7_E_NO_NEWDEV,            QV7_E_NOT_NT_DRIVER,
    QV7_E_NO_ENTRY_POINT,        QV7_E_OUT_OF_MEMORY,
};

int result_of_exit_status(DWORD status) {
    const int code = static_cast<int>(status);
    const bool known = std::find(std::begin(result_codes), std::end(result_codes), code) !=
                       std::end(result_codes);
    return known ? code : QV7_E_INSTALL_FAILED;
}

}  // namespace

int run_in_64bit_helper(const char* inf_path, const char* compact_id) {
    if (!wow64_on_x64()) {
        return not_delegated;
    }
    const path_text helper = helper_path();
    if (helper.empty()) {
        return not_delegated;
    }
    // The helper gets the INF path in its full form, counted from this
    // process's current folder. A full path that the driver search cannot
    // take ends the call before the driver installer, in this process too.
    const ID_MAIN2::full_path inf = ID_MAIN2::full_inf_path(inf_path);
    if (inf.empty()) {
        return not_delegated;
    }
    // A wanted ID longer than the longest compact ID matches by its first
    // characters only (a "PCI" one) or not at all: one character more
    // than the longest compact ID keeps every outcome.
    const std::string_view wanted =
        std::string_view(compact_id).substr(0, idconv::compact_id::capacity + 1);

    command_line line;
    line.append_quoted(helper.view());
    line.append_quoted(inf.view());
    line.append_quoted(wanted);
    if (!line.data()) {
        return not_delegated;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(helper.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &started)) {
        return not_delegated;
    }
    const platform::unique_handle process{started.hProcess};
    const platform::unique_handle thread{started.hThread};
    DWORD status = 0;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &status)) {
        return QV7_E_INSTALL_FAILED;
    }
    return result_of_exit_status(status);
}

}  // namespace wow64

#else

namespace wow64 {

// 64-bit builds install in process; so does every build but the Windows one.
int run_in_64bit_helper(const char*, const char*) { return not_delegated; }

}  // namespace wow64

#endif
