// Names of the platform's error numbers. The system's message table knows
// no Setup API error (0xE0000000 and up), so each carries its text here;
// a system error's text comes from FormatMessage, on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace qvinst {

struct platform_error {
    std::uint32_t code = 0;
    std::string name;  // the name in the platform's headers, or "error N"
    std::string text;  // empty when the system has none
};
platform_error describe_platform_error(std::uint32_t code);
// "NAME (number) text", or without " text" when it has none.
std::string error_line(const platform_error& error);

// "0x" and eight upper-case hexadecimal digits.
std::string hex_text(std::uint32_t value);
// "0xE0000228" for a value with the high bit set, else "2".
std::string error_number_text(std::uint32_t code);

}  // namespace qvinst
