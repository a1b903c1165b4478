// What every table of the unit tests shares: rows named by their reason,
// and byte strings printed so that a failing row shows what it holds.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace table_rows {

// Test names of parameterised rows: the row's own reason name.
struct row_name {
    template <typename ParamInfo>
    std::string operator()(const ParamInfo& info) const {
        return info.param.name;
    }
};

// Bytes outside printable ASCII shown as \xNN, quotes and backslashes
// escaped: blanks, control characters and high bytes show as they are.
inline std::string escaped(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
            out += hex;
        }
    }
    return out + "\"";
}

}  // namespace table_rows
