// Shared pieces of the conversion tests: table rows with a reason name,
// readable printing of byte strings, compact IDs and bus classes, and values
// at the slot widths.
#pragma once

#include "idconv/id_conv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

namespace idconv_test {

// Bytes outside printable ASCII shown as \xNN, so that a failing row shows
// blanks, control characters and high bytes as they are.
inline std::string escaped(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
            out += c;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
            out += hex;
        }
    }
    out += '"';
    return out;
}

// Test names of parameterised rows: the row's own reason name.
struct row_name {
    template <typename Row>
    std::string operator()(const testing::TestParamInfo<Row>& info) const {
        return info.param.name;
    }
};

// One hardware-ID text and the compact ID it must give.
struct conversion_case {
    std::string name;
    std::string hardware_id;
    std::string compact_id;
};

inline void PrintTo(const conversion_case& row, std::ostream* os) {
    *os << row.name << ": " << escaped(row.hardware_id) << " -> " << escaped(row.compact_id);
}

inline void expect_conversion(const conversion_case& row) {
    EXPECT_EQ(escaped(idconv::build_compact_id(row.hardware_id)), escaped(row.compact_id));
}

// Values exactly at a slot width; one more character is the cut case.
inline const std::string chars40 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
inline const std::string chars10 = "0123456789";

}  // namespace idconv_test

namespace idconv {

// Failing checks show a compact ID as its escaped text, a bus class as its
// number.
inline void PrintTo(const compact_id& id, std::ostream* os) { *os << idconv_test::escaped(id); }
inline void PrintTo(bus_class cls, std::ostream* os) { *os << static_cast<int>(cls); }

}  // namespace idconv
