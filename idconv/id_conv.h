// Id_conv: hardware-ID items, the compact-ID builder and the comparison.
//
// Pure functions over byte strings in the system's ANSI code page. No
// platform header, no state between calls. Positions are 1-based, as in the
// hardware-ID grammar these routines implement: a cursor of 1 stands on the
// first character, a cursor of size()+1 stands one past the end.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace idconv {

// Bus classes that classify_item gives an item by its prefix.
enum bus_class : int {
    bus_none = -1,       // no item accepted yet, or a PnP-style item was rejected
    bus_unknown = 0,     // no prefix matched
    bus_pci = 1,         // "PCI\"
    bus_star_pnp = 2,    // "*"
    bus_isapnp = 3,      // "ISAPNP\"
    bus_unimodem = 4,    // "UNIMODEM"
    bus_modemwave = 5,   // "MODEMWAVE\"
    bus_pcmcia = 6,      // "PCMCIA\"
    bus_usb = 7,         // "USB\"
    bus_lptenum = 8,     // "LPTENUM\"
    bus_usbprint = 9,    // "USBPRINT\"
    bus_monitor = 10,    // "MONITOR\"
    bus_isa = 11,        // "ISA\"
    bus_acpi = 12,       // "ACPI\"
    bus_bios = 13,       // "BIOS\"
    bus_virtual = 99,    // "VIRTUAL\" and "MF\"
};

// Cuts the next token off `text` at `delim`, starting at the 1-based
// `cursor`. The cursor ends just behind the delimiter, or one past the end
// of the text when no delimiter followed. Call it while
// cursor <= text.size() (a cursor beyond the end gives an empty token and
// stays where it is). The token is a view into `text`.
inline std::string_view next_token(std::string_view text, std::size_t& cursor, char delim) {
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

// The head of an item as the prefix test sees it: blanks and control
// characters (code 32 and below) removed from both ends, "a".."z" upper-cased.
// Only the first `head_capacity` characters are kept; no prefix is longer,
// and the "*" that may follow a prefix sits within them.
struct prepared_item {
    static constexpr std::size_t head_capacity = 12;
    char head[head_capacity];
    std::size_t length;  // length of the whole trimmed item
};

// `item` with leading and trailing characters of code 32 and below removed.
std::string_view trim_item(std::string_view item);

prepared_item prepare_item(std::string_view item);

// Tests whether the prepared item begins with `prefix`. On a match sets
// `out_class` to `cls` and `out_field_pos` to the position behind the prefix,
// stepped over one "*" that follows it unless that "*" ends the item, and
// returns true; otherwise leaves both untouched. `prefix` is upper case and
// at most head_capacity - 1 characters long.
constexpr bool match_prefix(int cls, const prepared_item& item, std::string_view prefix,
                            int& out_class, std::size_t& out_field_pos) {
    if (prefix.size() > item.length || prefix.size() >= prepared_item::head_capacity ||
        std::string_view(item.head, prefix.size()) != prefix) {
        return false;
    }
    out_class = cls;
    out_field_pos = prefix.size() + 1;
    // Step over one "*" behind the prefix, unless it is the item's last character.
    if (item.length > out_field_pos && item.head[out_field_pos - 1] == '*') {
        ++out_field_pos;
    }
    return true;
}

// Bus class of a hardware-ID item, and the 1-based position where its fields
// begin, counted in the item without its leading blanks. The item is not
// changed.
int classify_item(std::string_view item, std::size_t& field_pos);

// The compact ID of a hardware-ID text (one item or a comma-separated list),
// or the empty text when no usable item decides it. Never fails.
std::string build_compact_id(std::string_view hardware_id);

// The rule that compact_ids_match applies for a wanted compact ID.
enum class match_rule {
    pci_window,  // a wanted ID that begins with "PCI": its first 19 characters
    whole_text,  // any other: the whole text
};
match_rule match_rule_for(std::string_view wanted);

// Whether the device's compact ID `candidate` matches the compact ID the
// caller asked for. `wanted` decides the rule: one that begins with "PCI" is
// compared on its first 19 characters, any other as a whole text.
bool compact_ids_match(std::string_view wanted, std::string_view candidate);

}  // namespace idconv
