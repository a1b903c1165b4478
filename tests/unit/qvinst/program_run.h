// Runs a program with arguments of arbitrary bytes and collects what it
// wrote and how it ended.
#pragma once

#include <string>
#include <vector>

namespace qvinst_test {

struct program_result {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

program_result run_program(const std::string& path, const std::vector<std::string>& args);

}  // namespace qvinst_test
