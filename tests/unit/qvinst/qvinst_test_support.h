// Shared pieces of the qvinst tests: row names and readable byte strings.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace qvinst_test {

// Bytes outside printable ASCII shown as \xNN, so that a failing row shows
// control characters and high bytes as they are.
inline std::string escaped(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
            out += hex;
        }
    }
    return out + "\"";
}

// Test names of parameterised rows: the row's own reason name.
struct row_name {
    template <typename Row>
    std::string operator()(const testing::TestParamInfo<Row>& info) const {
        return info.param.name;
    }
};

}  // namespace qvinst_test
