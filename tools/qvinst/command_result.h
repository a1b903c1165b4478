// What one qvinst command has to say, and how it ends.
#pragma once

#include <string>

namespace qvinst {

struct command_result {
    std::string out;  // for stdout
    std::string err;  // for stderr
    int status = 0;   // exit status (result_codes.h)
};

// Writes `text` to stdout at once, the way main writes a command's `out`:
// for lines a command prints as its work goes on. False when it cannot.
bool write_out(const std::string& text);

}  // namespace qvinst
