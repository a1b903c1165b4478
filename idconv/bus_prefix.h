// Classification of a prepared item by the bus table, inline so that the
// compact-ID builder classifies each item without a call. classify_item
// (hardware_id_items.cpp) is this classification on an unprepared item.
#pragma once

#include "idconv/compact_id_format.h"
#include "idconv/id_conv.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace idconv::prefix {

// For each byte, the rows of the bus table whose prefix begins with it, so
// that an item is tested only against the one to three prefixes that can
// match. No prefix begins another, so at most one matches and the order of
// the tests decides nothing.
class first_byte_index {
public:
    static constexpr std::size_t max_rows_per_byte = 3;
    static constexpr std::uint8_t no_row = 0xFF;

    constexpr first_byte_index() : rows_{} {
        for (auto& rows : rows_) {
            for (std::uint8_t& row : rows) {
                row = no_row;
            }
        }
        for (std::size_t i = 0; i < format::buses.size(); ++i) {
            auto& rows = rows_[static_cast<unsigned char>(format::buses[i].prefix.front())];
            std::size_t free = 0;
            while (rows[free] != no_row) {
                ++free;
            }
            rows[free] = static_cast<std::uint8_t>(i);
        }
    }

    constexpr const std::array<std::uint8_t, max_rows_per_byte>& rows_for(char first) const {
        return rows_[static_cast<unsigned char>(first)];
    }

private:
    std::array<std::array<std::uint8_t, max_rows_per_byte>, 256> rows_;
};

// The most prefixes of the bus table that begin with one byte.
constexpr std::size_t most_prefixes_per_first_byte() {
    std::size_t most = 0;
    for (const format::bus& a : format::buses) {
        std::size_t same = 0;
        for (const format::bus& b : format::buses) {
            same += a.prefix.front() == b.prefix.front() ? 1U : 0U;
        }
        most = same > most ? same : most;
    }
    return most;
}
static_assert(most_prefixes_per_first_byte() <= first_byte_index::max_rows_per_byte);
static_assert(format::buses.size() < first_byte_index::no_row);

inline constexpr first_byte_index by_first_byte{};

// The row of the bus table whose prefix the prepared item begins with, and
// the field position behind it; null, with field position 1, when none does.
constexpr const format::bus* classify_prepared(const prepared_item& prepared,
                                               std::size_t& field_pos) noexcept {
    field_pos = 1;
    if (prepared.trimmed.empty()) {
        return nullptr;
    }
    for (const std::uint8_t row : by_first_byte.rows_for(prepared.head[0])) {
        if (row == first_byte_index::no_row) {
            break;
        }
        const format::bus& bus = format::buses[row];
        if (match_prefix(prepared, bus.prefix, field_pos)) {
            return &bus;
        }
    }
    return nullptr;
}

}  // namespace idconv::prefix
