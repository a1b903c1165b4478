// qvinst's command table (commands.def), its command line, and what every
// command shares: what it prints, how it ends, the library's result codes.
#pragma once

#include "install/result_codes.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

// qvinst's own exit statuses; install ends with its result code's.
inline constexpr int exit_success = 0;
inline constexpr int exit_trouble = 1;  // QUORVANT.dll unusable, no memory, output not written
inline constexpr int exit_usage = 2;
inline constexpr int exit_no_compact_id = 3;
inline constexpr int exit_no_native_qvinst = 4;
inline constexpr int exit_unknown_result = 30;

// The row of `code`; outside the library's table, "UNKNOWN" with
// exit_unknown_result.
result_codes::row describe_result(int code);

struct command_result {
    std::string out;  // for stdout
    std::string err;  // for stderr
    int status = 0;
};

struct invocation;
using command_handler = command_result (*)(const invocation& call);

// Where a command runs (commands.def).
enum class runs { anywhere, windows, native, native_explained, native_package };
inline constexpr std::size_t unbounded = static_cast<std::size_t>(-1);

struct command_row {
    std::string_view name;
    std::size_t min_operands;
    std::size_t max_operands;
    std::string_view operands_text;  // for the error message
    std::string_view synopsis;
    std::string_view help;
    command_handler run;  // null in a build that does not offer the command
    runs where;
};

// Options may stand anywhere; "--" ends them. --help and --version stand
// for no command.
struct invocation {
    const command_row* command = nullptr;  // null for --help and --version
    command_handler run = nullptr;
    bool json = false;
    bool explain = false;
    std::vector<std::string> operands;
};

// Parses argv[1..argc-1]; false with a one-line reason in `error`.
bool parse_command_line(int argc, const char* const* argv, invocation& out, std::string& error);
// Whether the native qvinst runs `call` when this process runs under WOW64.
bool runs_natively(const invocation& call);
std::string usage_text();

command_result run_help(const invocation& call);
command_result run_version(const invocation& call);
command_result run_id(const invocation& call);
command_result run_list(const invocation& call);
command_result run_find(const invocation& call);
command_result run_install(const invocation& call);
command_result run_drivers(const invocation& call);
command_result run_stage(const invocation& call);
command_result run_remove(const invocation& call);

// Under WOW64, the native qvinst's run of this command line with the same
// standard handles (a native_package command's INF path named in the
// native view); none when this process runs natively.
std::optional<command_result> run_native_qvinst(const invocation& call);

// Writes `text` to stdout at once, for lines printed as the work goes on.
bool write_out(const std::string& text);

}  // namespace qvinst
