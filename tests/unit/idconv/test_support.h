// Shared pieces of the conversion tests: table rows with a reason name,
// readable printing of byte strings, compact IDs and bus classes, and values
// at the slot widths.
#pragma once

#include "idconv/id_conv.h"
#include "tests/unit/table_rows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

namespace idconv_test {

using table_rows::escaped;
using table_rows::row_name;

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
