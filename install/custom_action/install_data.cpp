#include "install/custom_action/install_data.h"

#include <cstddef>

namespace custom_action {
namespace {

struct field {
    std::wstring_view key;
    std::wstring_view install_data::*member;
    required needed;
};

constexpr field fields[] = {
#define QV_INSTALL_DATA_FIELD(member, key, needed, meaning) {key, &install_data::member, required::needed},
#include "install/custom_action/install_data.def"
#undef QV_INSTALL_DATA_FIELD
};

constexpr std::size_t field_count = sizeof fields / sizeof fields[0];

}  // namespace

parsed_data parse_install_data(std::wstring_view text, bool for_32bit_action) {
    parsed_data parsed;
    bool seen[field_count] = {};
    // Empty: no field at all, which the check below names by its first key.
    while (!text.empty() && parsed.error == data_error::none) {
        const std::size_t end = text.find(field_separator);
        const std::wstring_view item = text.substr(0, end);
        const std::size_t equals = item.find(key_separator);
        const std::wstring_view key = item.substr(0, equals);
        std::size_t row = 0;
        while (row < field_count && fields[row].key != key) ++row;
        if (equals == std::wstring_view::npos || equals == 0) {
            parsed.error = data_error::no_key;
        } else if (row == field_count) {
            parsed.error = data_error::unknown_key;
        } else if (seen[row]) {
            parsed.error = data_error::repeated_key;
        } else if (equals + 1 == item.size()) {
            parsed.error = data_error::empty_value;
        } else {
            seen[row] = true;
            parsed.data.*fields[row].member = item.substr(equals + 1);
        }
        if (parsed.error != data_error::none) {
            parsed.key = equals == std::wstring_view::npos ? item : key;
        }
        if (end == std::wstring_view::npos) break;
        text.remove_prefix(end + 1);
        if (text.empty()) {  // a '|' at the end: an empty last field
            parsed.error = data_error::no_key;
        }
    }
    for (std::size_t row = 0; row < field_count && parsed.error == data_error::none; ++row) {
        if (!seen[row] && (fields[row].needed == required::always || for_32bit_action)) {
            parsed.error = data_error::missing_key;
            parsed.key = fields[row].key;
        }
    }
    if (parsed.error != data_error::none) parsed.data = {};
    return parsed;
}

std::string_view describe(data_error error) {
    switch (error) {
    case data_error::none: return "well formed";
    case data_error::no_key: return "a field without KEY=";
    case data_error::unknown_key: return "an unknown key";
    case data_error::repeated_key: return "a key given twice";
    case data_error::empty_value: return "a key without a value";
    case data_error::missing_key: return "a required key missing";
    }
    return "malformed";
}

}  // namespace custom_action
