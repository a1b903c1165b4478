// Reading the hardware-ID corpus: one hardware ID per line.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace corpus {

// The IDs of the corpus file in file order; empty when the file cannot be
// read. A line's trailing carriage return is dropped; empty lines are skipped.
inline std::vector<std::string> read_hardware_ids(const std::string& path) {
    std::vector<std::string> ids;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            ids.push_back(line);
        }
    }
    return ids;
}

}  // namespace corpus
