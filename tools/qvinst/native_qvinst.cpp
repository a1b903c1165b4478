// The native qvinst, started from the 32-bit one under WOW64.
#include "install/driver_package.h"
#include "install/wow64_helper.h"
#include "platform/unique_handle.h"
#include "tools/qvinst/device_commands.h"
#include "tools/qvinst/result_codes.h"

#include <array>
#include <string>

namespace qvinst {

#if defined(_WIN64)

std::optional<command_result> run_native_qvinst(const invocation*) { return std::nullopt; }

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

// `text` as one argument of a command line that the C runtime hands back
// unchanged: quoted, with the backslashes before a quote doubled. A path
// holds no quote of its own.
void append_quoted(std::wstring& line, std::wstring_view text) {
    line += L" \"";
    line += text;
    const std::size_t last = text.find_last_not_of(L'\\');
    line.append(text.size() - (last == std::wstring_view::npos ? 0 : last + 1), L'\\');
    line += L'"';
}

// The arguments for a command whose operand is a driver package: the same
// options and command, and the INF path named as the native view names the
// file this process's view names (System32 is SysWOW64 to a 32-bit
// process); a published name goes over as it is. False when the path
// cannot be made.
bool package_arguments(std::wstring& line, const invocation& call) {
    const std::string& operand = call.operands.at(0);
    std::wstring named;
    if (driver_package::is_published_name(operand)) {
        const int units = MultiByteToWideChar(CP_ACP, 0, operand.c_str(), -1, nullptr, 0);
        named.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
        if (units <= 0 ||
            MultiByteToWideChar(CP_ACP, 0, operand.c_str(), -1, named.data(), units) != units) {
            return false;
        }
        named.pop_back();
    } else {
        wow64::wide_text native;
        if (!wow64::native_inf_path(native, operand.c_str(), true)) {
            return false;
        }
        named = native.view();
    }
    if (call.json) line += L" --json";
    const std::string_view name = command_name(call.what);
    line += L' ';
    line.append(name.begin(), name.end());
    line += L" --";
    append_quoted(line, named);
    return true;
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

std::optional<command_result> run_native_qvinst(const invocation* package_call) {
    const native_build* build = native_build_here();
    if (!build) {
        return std::nullopt;
    }
    wow64::wide_text path;
    if (!wow64::path_beside_own_module(path, build->path)) {
        return missing(*build, GetLastError());
    }
    std::wstring line = L"\"" + std::wstring(path.view()) + L"\"";
    if (!package_call) {
        line += own_arguments();
    } else if (!package_arguments(line, *package_call)) {
        return command_result{{}, "qvinst: the INF path cannot be named to " +
                                      std::string(build->name) + "\n",
                              exit_trouble};
    }

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
