// Names of the platform's error numbers, for the steps qvinst reports.
//
// The Setup API's own errors (0xE0000000 and up: the customer bit and the
// error severity set) are unknown to the system's message table, so each
// carries its text here. System errors carry only their name; their text
// comes from the system (FormatMessage, on Windows).
#pragma once

#include <cstdint>
#include <string>

namespace qvinst {

// An error the platform reported, by number, name and text (the text may
// be empty: the system has none for it).
struct platform_error {
    std::uint32_t code = 0;
    std::string name;  // the name in the platform's headers, or "error N"
    std::string text;
};
platform_error describe_platform_error(std::uint32_t code);
// "NAME (number) text", or without " text" when it has none.
std::string error_line(const platform_error& error);

// "0x" and eight upper-case hexadecimal digits.
std::string hex_text(std::uint32_t value);
// "0xE0000228" for Setup API errors and other values with the high bit
// set, "2" for system errors.
std::string error_number_text(std::uint32_t code);

}  // namespace qvinst
