// Runs a program as a child process with arguments, captures what it writes
// to stdout and stderr through pipes, and reads its whole exit status with
// GetExitCodeProcess (3010 stays 3010). The child inherits the environment,
// so the substitute NEWDEV's steering variables reach it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// How long a child may run before it is ended and counted as hung.
inline constexpr unsigned long child_timeout_ms = 60000;

struct child_outcome {
    bool finished = false;  // started and ended within the time limit
    std::string problem;    // why not, when !finished
    unsigned long exit_status = 0;
    std::string out;  // stdout, bytes as written
    std::string err;  // stderr, bytes as written
};

// Calls `start` (a CreateProcess call) until it succeeds or fails for a
// reason that stands. Under Wine, a new process that dies in its start-up,
// before any of its own code runs, fails the call with ERROR_INTERNAL_ERROR;
// a loaded host does that now and then. Such a start is tried twice more, a
// second apart; any other failure, or a third, is returned with its error.
template <typename Start>
bool start_process(Start start) {
    for (int attempt = 1;; ++attempt) {
        if (start()) return true;
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == 3) return false;
        Sleep(1000);
    }
}

// With `token`, as the user of that token.
child_outcome run_child(const std::string& program, const std::vector<std::string>& arguments,
                        unsigned long timeout_ms = child_timeout_ms, HANDLE token = nullptr);
// The same for a program whose path the ANSI code page cannot hold.
child_outcome run_child(const std::wstring& program, const std::vector<std::string>& arguments,
                        unsigned long timeout_ms = child_timeout_ms, HANDLE token = nullptr);

// This process's token with the Administrators group for deny only, as a
// standard user's; null when it cannot be made. The caller closes it.
HANDLE token_without_administrators();

// `text` read in the ANSI code page, as the platform's ANSI calls read it.
std::wstring ansi_to_wide(const std::string& text);

// One argument quoted for a command line, so that the child's C runtime
// hands it back unchanged (empty texts, spaces, tabs, quotes, backslashes).
std::string command_line_argument(const std::string& text);

}  // namespace e2e
