// The command line of qvinst: options, a command of commands.def and its
// operands, or --help or --version alone. Options may stand anywhere; "--"
// ends them, so that an operand may begin with "-".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

// A command that takes any number of operands.
inline constexpr std::size_t unbounded = static_cast<std::size_t>(-1);

enum class command {
    help,
    version,
#define QV_COMMAND(name, least, most, operands, synopsis, help, handler) name,
#include "tools/qvinst/commands.def"
};

// One row of commands.def: what parsing, dispatch and help read of it.
struct command_row {
    command what;
    std::string_view name;
    std::size_t min_operands;
    std::size_t max_operands;
    std::string_view operands_text;  // for the error message
    std::string_view synopsis;
    std::string_view help;
    bool windows_only;
};

inline constexpr command_row command_rows[] = {
#define QV_COMMAND(name, least, most, operands, synopsis, help, handler) \
    {command::name, #name, least, most, operands, synopsis, help, false},
#define QV_WINDOWS_COMMAND(name, least, most, operands, synopsis, help, handler) \
    {command::name, #name, least, most, operands, synopsis, help, true},
#include "tools/qvinst/commands.def"
};

struct invocation {
    command what = command::help;
    bool json = false;
    bool explain = false;  // install only: report every step
    std::vector<std::string> operands;
};

// Parses argv[1..argc-1]. Returns false and a one-line reason in `error`
// when the arguments are not a valid invocation.
bool parse_command_line(int argc, const char* const* argv, invocation& out, std::string& error);

std::string_view command_name(command what);

}  // namespace qvinst
