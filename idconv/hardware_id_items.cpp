// Hardware-ID items: cutting tokens and classifying items by bus prefix.
#include "idconv/id_conv.h"

#include <algorithm>
#include <array>

namespace idconv {
namespace {

struct prefix_entry {
    std::string_view prefix;
    int cls;
};

// Tested in this order; the first match decides. No prefix is the beginning
// of another, so at most one can match.
constexpr std::array<prefix_entry, 15> prefix_table{{
    {"PCI\\", bus_pci},
    {"*", bus_star_pnp},
    {"ISAPNP\\", bus_isapnp},
    {"UNIMODEM", bus_unimodem},
    {"MODEMWAVE\\", bus_modemwave},
    {"PCMCIA\\", bus_pcmcia},
    {"USB\\", bus_usb},
    {"LPTENUM\\", bus_lptenum},
    {"USBPRINT\\", bus_usbprint},
    {"MONITOR\\", bus_monitor},
    {"ISA\\", bus_isa},
    {"ACPI\\", bus_acpi},
    {"BIOS\\", bus_bios},
    {"VIRTUAL\\", bus_virtual},
    {"MF\\", bus_virtual},
}};

constexpr bool is_blank_or_control(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

constexpr char upper_ascii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The "*" after a prefix sits right behind the longest prefix at most.
static_assert(prepared_item::head_capacity >
              std::max_element(prefix_table.begin(), prefix_table.end(),
                               [](const prefix_entry& a, const prefix_entry& b) {
                                   return a.prefix.size() < b.prefix.size();
                               })->prefix.size());

}  // namespace

std::string_view next_token(std::string_view text, std::size_t& cursor, char delim) {
    const std::size_t start = cursor;
    // 1-based cursor: text[cursor - 1] is the character it stands on.
    while (cursor <= text.size() && text[cursor - 1] != delim) {
        ++cursor;
    }
    const std::string_view token =
        start <= text.size() ? text.substr(start - 1, cursor - start) : std::string_view{};
    if (cursor <= text.size()) {
        ++cursor;  // past the delimiter
    }
    return token;
}

std::string_view trim_item(std::string_view item) {
    while (!item.empty() && is_blank_or_control(item.front())) {
        item.remove_prefix(1);
    }
    while (!item.empty() && is_blank_or_control(item.back())) {
        item.remove_suffix(1);
    }
    return item;
}

prepared_item prepare_item(std::string_view item) {
    const std::string_view trimmed = trim_item(item);
    prepared_item prepared{};
    prepared.length = trimmed.size();
    const std::size_t kept = std::min(trimmed.size(), prepared_item::head_capacity);
    for (std::size_t i = 0; i < kept; ++i) {
        prepared.head[i] = upper_ascii(trimmed[i]);
    }
    return prepared;
}

bool match_prefix(int cls, const prepared_item& item, std::string_view prefix,
                  int& out_class, std::size_t& out_field_pos) {
    const std::size_t kept = std::min(item.length, prepared_item::head_capacity);
    if (std::string_view(item.head, kept).substr(0, prefix.size()) != prefix ||
        prefix.size() > kept) {
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

int classify_item(std::string_view item, std::size_t& field_pos) {
    const prepared_item prepared = prepare_item(item);
    int cls = bus_unknown;
    field_pos = 1;
    for (const prefix_entry& entry : prefix_table) {
        if (match_prefix(entry.cls, prepared, entry.prefix, cls, field_pos)) {
            break;
        }
    }
    return cls;
}

}  // namespace idconv
