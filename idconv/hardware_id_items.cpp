// Hardware-ID items: classifying an item by its bus prefix, and the checks
// that hold the bus table to what the classification and the builder need.
#include "idconv/bus_prefix.h"
#include "idconv/compact_id_format.h"
#include "idconv/id_conv.h"
#include "idconv/text_cut.h"

#include <cstddef>

namespace idconv {
namespace {

using format::bus;
using format::buses;

constexpr bool prefixes_are_upper_case_and_short() {
    for (const bus& b : buses) {
        if (b.prefix.empty() || b.prefix.size() >= prepared_item::head_capacity) {
            return false;
        }
        for (const char c : b.prefix) {
            if (c >= 'a' && c <= 'z') {
                return false;
            }
        }
    }
    return true;
}
// The "*" after a prefix sits within the prepared head.
static_assert(prefixes_are_upper_case_and_short());

constexpr bool no_prefix_begins_another() {
    for (const bus& a : buses) {
        for (const bus& b : buses) {
            if (&a != &b && first_chars(b.prefix, a.prefix.size()) == a.prefix) {
                return false;
            }
        }
    }
    return true;
}
static_assert(no_prefix_begins_another());

// Rows of one class read and write items alike, since the builder merges
// the items of one class.
constexpr bool rows_of_one_class_agree() {
    for (const bus& a : buses) {
        for (const bus& b : buses) {
            if (a.cls == b.cls && (a.tag != b.tag || a.rule != b.rule)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(rows_of_one_class_agree());

// A tag has three letters exactly when the bus gives a compact ID.
constexpr bool tags_fit_rules() {
    for (const bus& b : buses) {
        const bool converts = b.rule != format::field_rule::none;
        if (b.tag.size() != (converts ? format::tag_length : 0) || (b.max_length != 0) != converts ||
            b.cls == bus_class::none || b.cls == bus_class::unknown) {
            return false;
        }
    }
    return true;
}
static_assert(tags_fit_rules());

constexpr bool classification_follows_table() {
    for (const bus& b : buses) {
        std::size_t field_pos = 0;
        if (prefix::classify_prepared(prepare_item(b.prefix), field_pos) != &b ||
            field_pos != b.prefix.size() + 1) {
            return false;
        }
    }
    return true;
}
static_assert(classification_follows_table());

}  // namespace

bus_class classify_item(std::string_view item, std::size_t& field_pos) noexcept {
    const bus* const b = prefix::classify_prepared(prepare_item(item), field_pos);
    return b == nullptr ? bus_class::unknown : b->cls;
}

}  // namespace idconv
