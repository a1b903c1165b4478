// The bus prefixes of hardware-ID items and the classification by them,
// inline so that the compact-ID builder classifies each item without a call.
// classify_item (hardware_id_items.cpp) is this classification on an
// untrimmed item.
#pragma once

#include "idconv/id_conv.h"

#include <cstddef>
#include <string_view>

namespace idconv::prefix {

// The prefix of each bus class, upper case. No prefix is the beginning of
// another, so at most one matches an item.
inline constexpr std::string_view pci = "PCI\\";
inline constexpr std::string_view star_pnp = "*";
inline constexpr std::string_view isapnp = "ISAPNP\\";
inline constexpr std::string_view unimodem = "UNIMODEM";
inline constexpr std::string_view modemwave = "MODEMWAVE\\";
inline constexpr std::string_view pcmcia = "PCMCIA\\";
inline constexpr std::string_view usb = "USB\\";
inline constexpr std::string_view lptenum = "LPTENUM\\";
inline constexpr std::string_view usbprint = "USBPRINT\\";
inline constexpr std::string_view monitor = "MONITOR\\";
inline constexpr std::string_view isa = "ISA\\";
inline constexpr std::string_view acpi = "ACPI\\";
inline constexpr std::string_view bios = "BIOS\\";
inline constexpr std::string_view virtual_bus = "VIRTUAL\\";
inline constexpr std::string_view multifunction = "MF\\";

// Characters of code 32 and below (blanks and control characters) are
// trimmed from both ends of an item.
constexpr bool is_blank_or_control(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// `item` without its leading and trailing blanks and control characters.
constexpr std::string_view trimmed(std::string_view item) {
    // Hardware IDs hold no blanks: mostly there is nothing to remove.
    if (item.empty() || (!is_blank_or_control(item.front()) && !is_blank_or_control(item.back()))) {
        return item;
    }
    std::size_t begin = 0;
    std::size_t end = item.size();
    while (begin < end && is_blank_or_control(item[begin])) {
        ++begin;
    }
    while (end > begin && is_blank_or_control(item[end - 1])) {
        --end;
    }
    return item.substr(begin, end - begin);
}

constexpr char upper_ascii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The head of a trimmed item as the prefix test reads it: its first
// characters, "a" to "z" upper-cased, and its whole length.
constexpr prepared_item prepare_trimmed(std::string_view item) {
    prepared_item prepared{};
    prepared.length = item.size();
    const std::size_t kept = item.size() < prepared_item::head_capacity ? item.size()
                                                                       : prepared_item::head_capacity;
    for (std::size_t i = 0; i < kept; ++i) {
        prepared.head[i] = upper_ascii(item[i]);
    }
    return prepared;
}

// Bus class and field position of an item that has been trimmed already:
// the prefixes tested with match_prefix. No prefix begins another, so at
// most one matches and the order of the tests decides nothing; the item's
// first character picks the one to three prefixes that can match.
constexpr int classify_trimmed(std::string_view item, std::size_t& field_pos) {
    field_pos = 1;
    if (item.empty()) {
        return bus_unknown;
    }
    const prepared_item prepared = prepare_trimmed(item);
    int cls = bus_unknown;
    const auto test = [&prepared, &cls, &field_pos](std::string_view p, int c) {
        return match_prefix(c, prepared, p, cls, field_pos);
    };
    switch (prepared.head[0]) {
    case 'P':
        test(pci, bus_pci) || test(pcmcia, bus_pcmcia);
        break;
    case '*':
        test(star_pnp, bus_star_pnp);
        break;
    case 'U':
        test(usb, bus_usb) || test(usbprint, bus_usbprint) || test(unimodem, bus_unimodem);
        break;
    case 'I':
        test(isapnp, bus_isapnp) || test(isa, bus_isa);
        break;
    case 'M':
        test(monitor, bus_monitor) || test(modemwave, bus_modemwave) || test(multifunction, bus_virtual);
        break;
    case 'L':
        test(lptenum, bus_lptenum);
        break;
    case 'A':
        test(acpi, bus_acpi);
        break;
    case 'B':
        test(bios, bus_bios);
        break;
    case 'V':
        test(virtual_bus, bus_virtual);
        break;
    default:
        break;
    }
    return cls;
}

}  // namespace idconv::prefix
