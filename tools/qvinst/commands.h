// qvinst's command table (commands.def) and command line, and what every
// command shares: what it prints, how it ends, and the library's result
// codes as it reports them.
#pragma once

#include "install/result_codes.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

// qvinst's own exit statuses; install ends with its result code's
// (install/result_codes.def).
inline constexpr int exit_success = 0;
inline constexpr int exit_trouble = 1;  // QUORVANT.dll unusable, no memory, output not written
inline constexpr int exit_usage = 2;
inline constexpr int exit_no_compact_id = 3;
inline constexpr int exit_no_native_qvinst = 4;
inline constexpr int exit_unknown_result = 30;

// The row of `code`; for a code outside the library's table a row named
// "UNKNOWN" with exit status exit_unknown_result.
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

// A command that takes any number of operands.
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

// Options may stand anywhere; "--" ends them, so that an operand may begin
// with "-". --help and --version stand for no command.
struct invocation {
    const command_row* command = nullptr;  // null for --help and --version
    command_handler run = nullptr;
    bool json = false;
    bool explain = false;
    std::vector<std::string> operands;
};

// Parses argv[1..argc-1]. Returns false and a one-line reason in `error`
// when the arguments are not a valid invocation.
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

// Under WOW64, the native qvinst's run of this process's own command line
// (for a native_package command, its INF operand named as the native view
// names the file), with the same standard handles; exit_no_native_qvinst
// with a message naming the file when it cannot be started. None when this
// process runs natively (native_handover.cpp).
std::optional<command_result> run_native_qvinst(const invocation& call);

// Writes `text` to stdout at once, as main writes a command's `out`: for
// lines a command prints as its work goes on. False when it cannot.
bool write_out(const std::string& text);

}  // namespace qvinst
