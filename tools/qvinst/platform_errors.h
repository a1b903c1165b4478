// Names of the platform's error numbers, for the steps qvinst reports.
//
// The Setup API's own errors (0xE0000000 and up: the customer bit and the
// error severity set) are unknown to the system's message table, so each
// carries its text here. System errors carry only their name; their text
// comes from the system (FormatMessage).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvinst {

struct platform_error_info {
    std::uint32_t code;
    std::string_view name;  // the name in the platform's headers
    std::string_view text;  // one line; empty for system errors
};

// The bits every Setup API error carries.
inline constexpr std::uint32_t setup_api_error_bits = 0xE0000000;

bool is_setup_api_error(std::uint32_t code);

// The entry for `code`; null when qvinst does not know its name.
const platform_error_info* find_platform_error(std::uint32_t code);

// "0x" and eight upper-case hexadecimal digits.
std::string hex_text(std::uint32_t value);

// "0xE0000228" for Setup API errors and other values with the high bit
// set, "2" for system errors.
std::string error_number_text(std::uint32_t code);

// An error the platform reported, by number, name and text (the text may
// be empty: the system has none for it).
struct platform_error {
    std::uint32_t code = 0;
    std::string name;
    std::string text;
};

// The error's name and text: the Setup API's from the table, a system
// error's text from the system (Windows only: explained_install.cpp).
platform_error describe_platform_error(std::uint32_t code);

const platform_error_info* platform_errors_begin();
const platform_error_info* platform_errors_end();

}  // namespace qvinst
