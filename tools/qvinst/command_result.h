// What one qvinst command has to say, and how it ends.
#pragma once

#include <string>

namespace qvinst {

struct command_result {
    std::string out;  // for stdout
    std::string err;  // for stderr
    int status = 0;   // exit status (result_codes.h)
};

}  // namespace qvinst
