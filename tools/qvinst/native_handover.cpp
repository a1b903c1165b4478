// The hand-over to the native qvinst: on 64-bit Windows a 32-bit process
// sees other drivers than the installation, which runs natively
// (QUORVANT64.exe), does, so the 32-bit qvinst starts the native one in the
// folder beside its own (x64\qvinst.exe) with its own arguments.
#include "install/wow64_helper.h"
#include "platform/unique_handle.h"
#include "tools/qvinst/commands.h"

#include <array>
#include <string>

namespace qvinst {

#if defined(_WIN64)

std::optional<command_result> run_native_qvinst() { return std::nullopt; }

#else

namespace {

struct native_build {
    USHORT machine;
    const wchar_t* path;  // below the folder of this qvinst.exe
    const char* name;     // the same, for the message
};
constexpr native_build native_builds[] = {
    {IMAGE_FILE_MACHINE_AMD64, L"x64\\qvinst.exe", "x64\\qvinst.exe"},
    {IMAGE_FILE_MACHINE_ARM64, L"arm64\\qvinst.exe", "arm64\\qvinst.exe"},
};

// The native build of this 64-bit Windows (x64 for a machine qvinst has no
// build for); null when this process is not under WOW64.
const native_build* native_build_here() {
    const wow64::machines machines = wow64::this_process_machines();
    if (machines.process == IMAGE_FILE_MACHINE_UNKNOWN) {
        return nullptr;
    }
    for (const native_build& build : native_builds) {
        if (build.machine == machines.native) {
            return &build;
        }
    }
    return &native_builds[0];
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
    wow64::wide_text path;
    if (!wow64::path_beside_own_module(path, build->path)) {
        return missing(*build, GetLastError());
    }
    std::wstring line = L"\"" + std::wstring(path.view()) + L"\"" + own_arguments();

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
    if (!CreateProcessW(path.data(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
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
