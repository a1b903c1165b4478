// Hardware-ID items: trimming, preparing and classifying items by bus prefix.
#include "idconv/bus_prefix.h"
#include "idconv/id_conv.h"

#include <algorithm>
#include <array>

namespace idconv {
namespace {

struct prefix_entry {
    std::string_view prefix;
    int cls;
};

// The prefix table: each prefix with its bus class, in the order of the
// prefix test. No prefix is the beginning of another, so the order decides
// nothing, and classify_trimmed picks the prefixes to test by the item's
// first character instead; the checks below hold it to this table.
constexpr std::array<prefix_entry, 15> prefix_table{{
    {prefix::pci, bus_pci},
    {prefix::star_pnp, bus_star_pnp},
    {prefix::isapnp, bus_isapnp},
    {prefix::unimodem, bus_unimodem},
    {prefix::modemwave, bus_modemwave},
    {prefix::pcmcia, bus_pcmcia},
    {prefix::usb, bus_usb},
    {prefix::lptenum, bus_lptenum},
    {prefix::usbprint, bus_usbprint},
    {prefix::monitor, bus_monitor},
    {prefix::isa, bus_isa},
    {prefix::acpi, bus_acpi},
    {prefix::bios, bus_bios},
    {prefix::virtual_bus, bus_virtual},
    {prefix::multifunction, bus_virtual},
}};

constexpr bool no_prefix_begins_another() {
    for (const prefix_entry& a : prefix_table) {
        for (const prefix_entry& b : prefix_table) {
            if (&a != &b && b.prefix.substr(0, a.prefix.size()) == a.prefix) {
                return false;
            }
        }
    }
    return true;
}
static_assert(no_prefix_begins_another());

constexpr bool classification_follows_table() {
    for (const prefix_entry& entry : prefix_table) {
        std::size_t field_pos = 0;
        if (prefix::classify_trimmed(entry.prefix, field_pos) != entry.cls ||
            field_pos != entry.prefix.size() + 1) {
            return false;
        }
    }
    return true;
}
static_assert(classification_follows_table());

// The "*" after a prefix sits right behind the longest prefix at most.
static_assert(prepared_item::head_capacity >
              std::max_element(prefix_table.begin(), prefix_table.end(),
                               [](const prefix_entry& a, const prefix_entry& b) {
                                   return a.prefix.size() < b.prefix.size();
                               })->prefix.size());

}  // namespace

std::string_view trim_item(std::string_view item) {
    return prefix::trimmed(item);
}

prepared_item prepare_item(std::string_view item) {
    return prefix::prepare_trimmed(prefix::trimmed(item));
}

int classify_item(std::string_view item, std::size_t& field_pos) {
    return prefix::classify_trimmed(prefix::trimmed(item), field_pos);
}

}  // namespace idconv
