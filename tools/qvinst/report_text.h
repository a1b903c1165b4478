// Pieces shared by qvinst's plain-text output.
#pragma once

#include <string_view>

namespace qvinst {

// Stands for an empty field in plain-text output.
inline constexpr std::string_view empty_field = "-";
// Separates the fields of one line of plain-text output.
inline constexpr char field_separator = '\t';

inline std::string_view or_dash(std::string_view text) { return text.empty() ? empty_field : text; }

}  // namespace qvinst
