// The install action's CustomActionData: the fields of install_data.def,
// read out of the text that the package's type-51 action set.
#pragma once

#include <string_view>

namespace custom_action {

inline constexpr wchar_t field_separator = L'|';
inline constexpr wchar_t key_separator = L'=';

// Views into the text that was parsed.
struct install_data {
#define QV_INSTALL_DATA_FIELD(member, key, required, meaning) std::wstring_view member;
#include "install/custom_action/install_data.def"
#undef QV_INSTALL_DATA_FIELD
};

enum class data_error {
    none,
    no_key,          // a field without '=' or with nothing before it
    unknown_key,     // a key that no row names
    repeated_key,    // a key given twice
    empty_value,     // KEY= with nothing after it
    missing_key,     // a row's key not given
};

struct parsed_data {
    install_data data;
    data_error error = data_error::none;
    std::wstring_view key;  // the key (or the field) the error is about
};

// Which fields a custom action requires.
enum class required { always, in_32bit_action };

// `for_32bit_action` says which action reads the text: this build's, by
// default.
parsed_data parse_install_data(std::wstring_view text, bool for_32bit_action = sizeof(void*) == 4);

// One line, for the installation log.
std::string_view describe(data_error error);

}  // namespace custom_action
