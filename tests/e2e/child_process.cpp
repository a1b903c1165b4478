#include "tests/e2e/child_process.h"

#include "platform/unique_handle.h"

#include <memory>
#include <utility>

namespace e2e {
namespace {

constexpr DWORD read_chunk_size = 4096;

// One pipe's read end, drained on a thread of its own so that a child that
// fills one pipe while the runner waits on the other cannot stall.
struct pipe_reader {
    platform::unique_handle pipe;
    std::string text;
};

DWORD WINAPI drain(LPVOID parameter) {
    auto* reader = static_cast<pipe_reader*>(parameter);
    char chunk[read_chunk_size];
    DWORD read = 0;
    while (ReadFile(reader->pipe.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
        reader->text.append(chunk, read);
    }
    return 0;
}

// A pipe whose write end the child inherits and whose read end it does not.
bool make_pipe(pipe_reader& reader, platform::unique_handle& child_end) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherited, 0)) return false;
    reader.pipe.reset(read_end);
    child_end.reset(write_end);
    return SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0) != FALSE;
}

std::string with_error(const std::string& text) {
    return text + ", error " + std::to_string(GetLastError());
}

}  // namespace

std::string command_line_argument(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t\n\v\"") == std::string::npos) return text;
    std::string quoted_text = "\"";
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes double only where a quote follows them.
        quoted_text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted_text += c;
        backslashes = 0;
    }
    quoted_text.append(2 * backslashes, '\\');
    quoted_text += '"';
    return quoted_text;
}

std::wstring ansi_to_wide(const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(),
                                      static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) - 1 : 0);
    return out;
}

HANDLE token_without_administrators() {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own)) return nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    HANDLE restricted = nullptr;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                 0, 0, 0, 0, &administrators)) {
        SID_AND_ATTRIBUTES disabled{administrators, 0};
        if (!CreateRestrictedToken(own, 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted)) {
            restricted = nullptr;
        }
        FreeSid(administrators);
    }
    CloseHandle(own);
    return restricted;
}

child_outcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                        unsigned long timeout_ms, HANDLE token) {
    return run_child(ansi_to_wide(program), arguments, timeout_ms, token);
}

child_outcome run_child(const std::wstring& program, const std::vector<std::string>& arguments,
                        unsigned long timeout_ms, HANDLE token) {
    child_outcome outcome;
    // The command for messages, with the program's path as the code page
    // holds it.
    std::string command(program.size() * 2 + 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, program.c_str(), -1, command.data(),
                        static_cast<int>(command.size()), nullptr, nullptr);
    command = "\"" + std::string(command.c_str()) + "\"";
    std::wstring line = L"\"" + program + L"\"";
    for (const auto& argument : arguments) {
        command += " " + command_line_argument(argument);
        line += L" " + ansi_to_wide(command_line_argument(argument));
    }

    auto out = std::make_unique<pipe_reader>();
    auto err = std::make_unique<pipe_reader>();
    platform::unique_handle child_out;
    platform::unique_handle child_err;
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    platform::unique_handle child_in{CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ, &inherited,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!make_pipe(*out, child_out) || !make_pipe(*err, child_err) || !child_in.valid()) {
        outcome.problem = with_error("cannot create the pipes for " + command);
        return outcome;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in.get();
    startup.hStdOutput = child_out.get();
    startup.hStdError = child_err.get();
    PROCESS_INFORMATION info{};
    const bool started = start_process([&] {
        return token != nullptr
                   ? CreateProcessAsUserW(token, nullptr, line.data(), nullptr, nullptr, TRUE, 0,
                                          nullptr, nullptr, &startup, &info) != FALSE
                   : CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                    nullptr, &startup, &info) != FALSE;
    });
    if (!started) {
        outcome.problem = with_error("cannot start " + command);
        return outcome;
    }
    platform::unique_handle process(info.hProcess);
    platform::unique_handle thread(info.hThread);
    // Only the child holds the write ends now: its exit ends the reads.
    child_out.reset();
    child_err.reset();
    child_in.reset();

    platform::unique_handle out_thread(CreateThread(nullptr, 0, drain, out.get(), 0, nullptr));
    platform::unique_handle err_thread(CreateThread(nullptr, 0, drain, err.get(), 0, nullptr));
    if (!out_thread.valid() || !err_thread.valid()) {
        TerminateProcess(process.get(), 1);
        outcome.problem = with_error("cannot start the threads that read " + command);
        // A running reader still uses its buffer; leave both to it.
        static_cast<void>(out.release());
        static_cast<void>(err.release());
        return outcome;
    }
    if (WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), timeout_ms);
        outcome.problem = "no end within " + std::to_string(timeout_ms) + " ms: " + command;
    }
    const HANDLE readers[] = {out_thread.get(), err_thread.get()};
    if (WaitForMultipleObjects(2, readers, TRUE, timeout_ms) != WAIT_OBJECT_0) {
        outcome.problem = "its output did not end within " + std::to_string(timeout_ms) +
                          " ms: " + command;
        static_cast<void>(out.release());
        static_cast<void>(err.release());
        return outcome;
    }
    DWORD status = 0;
    GetExitCodeProcess(process.get(), &status);
    outcome.finished = outcome.problem.empty();
    outcome.exit_status = status;
    outcome.out = std::move(out->text);
    outcome.err = std::move(err->text);
    return outcome;
}

}  // namespace e2e
