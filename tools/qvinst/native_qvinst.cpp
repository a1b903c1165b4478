// The native qvinst, started from the 32-bit one under WOW64.
#include "tools/qvinst/native_qvinst.h"

#include "platform/unique_handle.h"
#include "tools/qvinst/result_codes.h"

#include <array>
#include <string>
#include <vector>

namespace qvinst {

#if defined(_WIN64)

std::optional<command_result> run_native_qvinst() { return std::nullopt; }

#else

namespace {

constexpr const wchar_t* program_name = L"qvinst.exe";
// Longest path GetModuleFileNameW is asked for.
constexpr DWORD longest_path = 32768;

struct native_build {
    USHORT machine;
    const wchar_t* folder;  // beside this qvinst.exe
    const char* name;       // for the message
};
constexpr native_build native_builds[] = {
    {IMAGE_FILE_MACHINE_AMD64, L"x64", "x64\\qvinst.exe"},
    {IMAGE_FILE_MACHINE_ARM64, L"arm64", "arm64\\qvinst.exe"},
};

// The native build of this 64-bit Windows; null when this process is not
// under WOW64. Without IsWow64Process2, WOW64 means x64.
const native_build* native_build_here() {
    using is_wow64_process2_fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel ? GetProcAddress(kernel, "IsWow64Process2") : nullptr;
    if (!found) {
        BOOL wow64 = FALSE;
        return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? &native_builds[0] : nullptr;
    }
    const auto is_wow64_process2 =
        reinterpret_cast<is_wow64_process2_fn>(reinterpret_cast<void (*)()>(found));
    USHORT process = IMAGE_FILE_MACHINE_UNKNOWN;
    USHORT native = IMAGE_FILE_MACHINE_UNKNOWN;
    if (!is_wow64_process2(GetCurrentProcess(), &process, &native) ||
        process == IMAGE_FILE_MACHINE_UNKNOWN) {
        return nullptr;
    }
    for (const native_build& build : native_builds) {
        if (build.machine == native) {
            return &build;
        }
    }
    return &native_builds[0];
}

std::wstring own_folder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size() || buffer.size() >= longest_path) {
            const std::wstring self(buffer.data(), length);
            const std::size_t slash = self.find_last_of(L"\\/");
            return slash == std::wstring::npos ? std::wstring() : self.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

// This process's arguments as the system gave them: its command line after
// the program name, which ends at its closing quote or at the first blank.
std::wstring own_arguments() {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"') {
            ++line;
        }
        if (*line == L'"') {
            ++line;
        }
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t') {
            ++line;
        }
    }
    return line;
}

// A standard handle the child may inherit; null when this process has none.
platform::unique_handle inheritable(DWORD which) {
    const HANDLE own = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (own && own != INVALID_HANDLE_VALUE) {
        DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    }
    return platform::unique_handle{copy};
}

command_result missing(const native_build& build, DWORD error) {
    return {{},
            std::string("qvinst: on 64-bit Windows the drivers a 32-bit process sees are not "
                        "those the installation uses, so this command runs ") +
                build.name + " beside qvinst.exe, which cannot be started (error " +
                std::to_string(error) + ")\n",
            exit_no_native_qvinst};
}

}  // namespace

std::optional<command_result> run_native_qvinst() {
    const native_build* build = native_build_here();
    if (!build) {
        return std::nullopt;
    }
    const std::wstring path = own_folder() + build->folder + L"\\" + program_name;
    std::wstring line = L"\"" + path + L"\"" + own_arguments();

    const std::array<platform::unique_handle, 3> handles{
        inheritable(STD_INPUT_HANDLE), inheritable(STD_OUTPUT_HANDLE),
        inheritable(STD_ERROR_HANDLE)};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles[0].get();
    startup.hStdOutput = handles[1].get();
    startup.hStdError = handles[2].get();
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return missing(*build, GetLastError());
    }
    const platform::unique_handle process{started.hProcess};
    const platform::unique_handle thread{started.hThread};
    DWORD status = exit_trouble;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &status)) {
        status = exit_trouble;
    }
    return command_result{{}, {}, static_cast<int>(status)};
}

#endif

}  // namespace qvinst
