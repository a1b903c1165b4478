// The command line of qvinst: options, a command and its operands.
//
//   qvinst [--json] id TEXT...
//   qvinst [--json] list
//   qvinst [--json] find COMPACT-ID
//   qvinst [--json] [--explain] install INF COMPACT-ID
//   qvinst [--json] drivers INF COMPACT-ID
//   qvinst --help | --version
//
// Options may stand anywhere; "--" ends them, so that an operand may begin
// with "-".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

enum class command { help, version, id, list, find, install, drivers };

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
