// Id_conv: hardware-ID items, the compact-ID builder and the comparison.
//
// Pure functions over byte strings in the system's ANSI code page. No
// platform header, no state between calls, no heap, nothing that throws.
// Positions are 1-based, as in the hardware-ID grammar these routines
// implement: a cursor of 1 stands on the first character, a cursor of
// size()+1 stands one past the end.
#pragma once

#include "idconv/bus_class.h"
#include "idconv/compact_id.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace idconv {

// Cuts the next token off `text` at `delim`, starting at the 1-based
// `cursor`. The cursor ends just behind the delimiter, or one past the end
// of the text when no delimiter followed. Call it while
// cursor <= text.size() (a cursor beyond the end gives an empty token and
// stays where it is). The token is a view into `text`.
inline std::string_view next_token(std::string_view text, std::size_t& cursor, char delim) noexcept {
    if (cursor > text.size()) {
        return {};
    }
    // Here the text is not empty, so its data pointer is not null.
    const std::size_t start = cursor - 1;
    const void* const hit = std::memchr(text.data() + start, delim, text.size() - start);
    if (hit == nullptr) {
        cursor = text.size() + 1;
        return {text.data() + start, text.size() - start};
    }
    const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    cursor = end + 2;  // past the delimiter
    return {text.data() + start, end - start};
}

// An item as the prefix test reads it: the item without the characters of
// code 32 and below (blanks and control characters) at either end, and its
// head with "a".."z" upper-cased. The head keeps the first `head_capacity`
// characters; no prefix is longer, and the "*" that may follow a prefix
// sits within them.
struct prepared_item {
    static constexpr std::size_t head_capacity = 12;
    std::string_view trimmed;  // the trimmed item, a view into the original
    char head[head_capacity];
};

constexpr bool is_blank_or_control(char c) noexcept { return static_cast<unsigned char>(c) <= 32; }

constexpr prepared_item prepare_item(std::string_view item) noexcept {
    // Hardware IDs hold no blanks: mostly there is nothing to trim.
    std::size_t begin = 0;
    std::size_t end = item.size();
    while (begin < end && is_blank_or_control(item[begin])) {
        ++begin;
    }
    while (end > begin && is_blank_or_control(item[end - 1])) {
        --end;
    }
    prepared_item prepared{{item.data() + begin, end - begin}, {}};
    const std::size_t kept = prepared.trimmed.size() < prepared_item::head_capacity
                                 ? prepared.trimmed.size()
                                 : prepared_item::head_capacity;
    for (std::size_t i = 0; i < kept; ++i) {
        const char c = prepared.trimmed[i];
        prepared.head[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return prepared;
}

// Tests whether the prepared item begins with `prefix`. On a match sets
// `out_field_pos` to the position behind the prefix, stepped over one "*"
// that follows it unless that "*" ends the item, and returns true; otherwise
// leaves it untouched. `prefix` is upper case.
constexpr bool match_prefix(const prepared_item& item, std::string_view prefix,
                            std::size_t& out_field_pos) noexcept {
    if (prefix.size() > item.trimmed.size() || prefix.size() >= prepared_item::head_capacity ||
        std::string_view(item.head, prefix.size()) != prefix) {
        return false;
    }
    out_field_pos = prefix.size() + 1;
    // Step over one "*" behind the prefix, unless it is the item's last character.
    if (item.trimmed.size() > out_field_pos && item.head[out_field_pos - 1] == '*') {
        ++out_field_pos;
    }
    return true;
}

// Bus class of a hardware-ID item, and the 1-based position where its fields
// begin, counted in the item without its leading blanks. The item is not
// changed.
bus_class classify_item(std::string_view item, std::size_t& field_pos) noexcept;

// The compact ID of a hardware-ID text (one item or a comma-separated list),
// or the empty compact ID when no usable item decides it. Never fails and
// allocates nothing.
compact_id build_compact_id(std::string_view hardware_id) noexcept;

// The rule that compact_ids_match applies for a wanted compact ID.
enum class match_rule {
    pci_window,  // a wanted ID that begins with "PCI": its first 19 characters
    whole_text,  // any other: the whole text
};
match_rule match_rule_for(std::string_view wanted) noexcept;

// Whether the device's compact ID `candidate` matches the compact ID the
// caller asked for. `wanted` decides the rule: one that begins with "PCI" is
// compared on its first 19 characters, any other as a whole text.
bool compact_ids_match(std::string_view wanted, std::string_view candidate) noexcept;

}  // namespace idconv
