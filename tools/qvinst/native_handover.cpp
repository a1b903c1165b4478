// The hand-over to the native qvinst: under WOW64 a 32-bit process sees
// other drivers than the native installation and may not stage or remove
// driver packages, so the 32-bit qvinst runs the native one beside it
// (x64\qvinst.exe) with its own arguments, an INF path in the native view.
#include "install/bridge/caller.h"
#include "install/bridge/machines.h"
#include "install/driver_package.h"
#include "platform/own_module.h"
#include "platform/unique_handle.h"
#include "tools/qvinst/commands.h"

#include <array>
#include <optional>
#include <string>

namespace qvinst {

#if defined(_WIN64)

std::optional<command_result> run_native_qvinst(const invocation&) { return std::nullopt; }

#else

namespace {

// The native build below this qvinst.exe's folder, in its machine's release
// folder (x64 where qvinst has no build); none outside WOW64.
std::optional<std::string> native_build_here() {
    const wow64::machines machines = wow64::this_process_machines();
    if (machines.process == IMAGE_FILE_MACHINE_UNKNOWN) return std::nullopt;
    const wow64::machine_row* row = wow64::find_machine(machines.native);
    const std::string_view folder = row && !row->release_folder.empty()
                                        ? row->release_folder
                                        : wow64::row_of(wow64::machine_name::AMD64).release_folder;
    return std::string(folder) + "\\qvinst.exe";
}

// This process's command line after the program name, which ends at its
// closing quote or at the first blank.
std::wstring own_arguments() {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"') ++line;
        if (*line == L'"') ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
    }
    return line;
}

// `text` as one quoted argument that the C runtime hands back unchanged:
// the backslashes before the closing quote doubled (a path holds no quote).
void append_quoted(std::wstring& line, std::wstring_view text) {
    line += L" \"";
    line += text;
    const std::size_t last = text.find_last_not_of(L'\\');
    line.append(text.size() - (last == std::wstring_view::npos ? 0 : last + 1), L'\\');
    line += L'"';
}

// A package command's arguments: the same options and command, and the INF
// path in the native view (System32 is SysWOW64 to a 32-bit process); a
// published name as it is. False when the path cannot be made.
bool package_arguments(std::wstring& line, const invocation& call) {
    const std::string& operand = call.operands.at(0);
    std::wstring named;
    if (driver_package::is_published_name(operand)) {
        platform::wide_text wide;
        if (!platform::widen_ansi(wide, operand.c_str())) return false;
        named = wide.view();
    } else {
        platform::wide_text native;
        if (!wow64::native_inf_path(native, operand.c_str(), true)) return false;
        named = native.view();
    }
    if (call.json) line += L" --json";
    const std::string_view name = call.command->name;
    line += L' ';
    line.append(name.begin(), name.end());
    line += L" --";
    append_quoted(line, named);
    return true;
}

// A standard handle the child may inherit; null when there is none.
platform::unique_handle inheritable(DWORD which) {
    const HANDLE own = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (own && own != INVALID_HANDLE_VALUE) {
        DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    }
    return platform::unique_handle{copy};
}

command_result missing(const std::string& build, DWORD error) {
    return {{},
            std::string("qvinst: on 64-bit Windows the drivers a 32-bit process sees are not "
                        "those the installation uses, so this command runs ") +
                build + " beside qvinst.exe, which cannot be started (error " +
                std::to_string(error) + ")\n",
            exit_no_native_qvinst};
}

}  // namespace

std::optional<command_result> run_native_qvinst(const invocation& call) {
    const std::optional<std::string> build = native_build_here();
    if (!build) return std::nullopt;
    const std::wstring name(build->begin(), build->end());
    platform::wide_text path;
    if (!platform::path_beside_own_module(path, name)) return missing(*build, GetLastError());
    std::wstring line = L"\"" + std::wstring(path.view()) + L"\"";
    if (call.command->where != runs::native_package) {
        line += own_arguments();
    } else if (!package_arguments(line, call)) {
        return command_result{{}, "qvinst: the INF path cannot be named to " +
                                      *build + "\n",
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
