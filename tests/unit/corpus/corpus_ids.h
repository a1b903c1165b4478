// The corpus as the tests see it: the IDs, selections of them by prefix, and
// an independent reading of the parts of one ID that the tests compare the
// compact ID against.
#pragma once

#include "tests/unit/table_rows.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corpus {

// All IDs of the corpus file the build generated, read once.
const std::vector<std::string>& all_ids();

// The corpus IDs that begin with `prefix` (byte for byte), except those that
// begin with `except` when it is not empty.
std::vector<std::string_view> ids_beginning_with(std::string_view prefix,
                                                 std::string_view except = {});

// The part of `id` behind `prefix`, stepped over one "*" that follows the
// prefix unless it ends the ID.
std::string_view body_behind(std::string_view id, std::string_view prefix);

// The "&"-separated KEY_VALUE fields of a PCI or USB body, by key.
using field_map = std::map<std::string_view, std::string_view>;
field_map split_fields(std::string_view body);
std::optional<std::string_view> field(const field_map& fields, std::string_view key);

// `id` with its first character at `pos` replaced by a different one of the
// same kind: a digit by the next digit, a letter by the next letter of the same
// case (both wrapping round), anything else by "A".
std::string with_changed_character(std::string_view id, std::size_t pos);

using table_rows::row_name;

// The failures of one check over many IDs: the count, and the first few
// with the ID they were found on.
class failure_log {
public:
    void add(std::string_view id, const std::string& what);
    std::size_t count() const { return count_; }
    std::string summary() const;

private:
    static constexpr std::size_t shown_max = 10;
    std::size_t count_ = 0;
    std::string shown_;
};

}  // namespace corpus
