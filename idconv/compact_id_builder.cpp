// The compact-ID builder: hardware-ID text in, compact ID out.
//
// One pass over the text: each item is cut off at its comma, trimmed and
// classified once, and the fields of a PCI or USB item are read front to
// back, each key compared where its field begins. The slots are views of
// their values in the text; the compact ID is written once, at the end,
// into the compact_id value itself. The bus table decides which field rule
// reads an item and which tag its compact ID gets.
#include "idconv/bus_prefix.h"
#include "idconv/compact_id_format.h"
#include "idconv/id_conv.h"
#include "idconv/text_cut.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace idconv {
namespace {

namespace fmt = format;

constexpr char item_delimiter = ',';
constexpr std::string_view irq_holder_marker = "IRQHOLDER";

// The working state's text slots. Each is a view of its value in the
// hardware-ID text, already cut to the slot's width; an empty view is an
// empty slot. Two slots are stored as read and finished at assembly:
// `subsystem` holds the first 8 characters of the "SUBSYS" value, halves not
// yet swapped; `class_code` holds the first 4 characters of the "CC" value,
// and a two-character one is followed by "00" in the compact ID.
struct slots {
    std::string_view vendor;
    std::string_view device;
    std::string_view subsystem;
    std::string_view class_code;
    std::string_view revision;
    std::string_view interface;

    void clear() noexcept {
        vendor = {};
        device = {};
        subsystem = {};
        class_code = {};
        revision = {};
        interface = {};
    }
};

constexpr std::size_t pci_subsystem_taken = 2 * fmt::pci_subsystem_half;
constexpr std::size_t pci_interface_length =
    fmt::pci_class_code_with_interface - fmt::pci_class_code_taken;

// The slot widths bound every compact ID: a PCI interface comes from a "CC"
// value only, since a USB item empties the slots before a PCI item can use
// them, and the reverse.
static_assert(fmt::max_length_pci == fmt::tag_length + fmt::vendor_width + fmt::device_width +
                                         pci_subsystem_taken + fmt::pci_class_code_taken +
                                         fmt::revision_width + pci_interface_length);
static_assert(pci_subsystem_taken <= fmt::subsystem_width);
static_assert(fmt::pci_class_code_taken <= fmt::class_code_width);
static_assert(fmt::max_length_usb == fmt::tag_length + fmt::vendor_width + fmt::device_width +
                                         fmt::revision_width + fmt::interface_width);
static_assert(fmt::max_length_pnp == fmt::tag_length + fmt::pnp_vendor_length + fmt::pnp_product_max);
static_assert(fmt::max_length_body == fmt::tag_length + fmt::vendor_width);

// The longest compact ID of each field rule, which each row of the bus
// table states; the PCI one is the capacity of a compact_id.
constexpr std::size_t longest_compact_id(fmt::field_rule rule) {
    switch (rule) {
    case fmt::field_rule::pci_fields:
        return fmt::max_length_pci;
    case fmt::field_rule::usb_fields:
        return fmt::max_length_usb;
    case fmt::field_rule::pnp_style:
        return fmt::max_length_pnp;
    case fmt::field_rule::whole_body:
        return fmt::max_length_body;
    case fmt::field_rule::none:
        break;
    }
    return 0;
}

constexpr bool rows_state_their_longest_compact_id() {
    for (const fmt::bus& b : fmt::buses) {
        if (b.max_length != longest_compact_id(b.rule) || b.max_length > compact_id::capacity) {
            return false;
        }
    }
    return true;
}
static_assert(rows_state_their_longest_compact_id());
static_assert(compact_id::capacity == fmt::max_length_pci);

// Whether the item contains the marker (letter case counts). "Q" is rare in
// hardware IDs, so the search looks for it and compares the marker around
// each one it finds.
bool contains_irq_holder(std::string_view item) noexcept {
    constexpr std::size_t q_offset = irq_holder_marker.find('Q');
    for (std::size_t q = item.find('Q', q_offset); q != std::string_view::npos;
         q = item.find('Q', q + 1)) {
        if (first_chars(chars_from(item, q - q_offset), irq_holder_marker.size()) == irq_holder_marker) {
            return true;
        }
    }
    return false;
}

// Reads the "&"-separated fields of a PCI or USB body front to back, in
// one pass. A field is KEY_VALUE, its key ending at its first "_". It begins
// with a key and its "_" exactly when that is its key, so a key is
// recognised where the field begins, without looking for the "_" first.
class field_reader {
public:
    explicit field_reader(std::string_view body) noexcept
        : next_(body.data()), end_(body.data() + body.size()) {}

    bool at_end() const noexcept { return next_ == end_; }

    // Whether the current field's key is `key`; if so, moves behind the
    // key and its "_" to the value.
    bool take_key(std::string_view key) noexcept {
        const std::size_t left = static_cast<std::size_t>(end_ - next_);
        if (left <= key.size() || next_[key.size()] != fmt::key_delimiter ||
            std::string_view(next_, key.size()) != key) {
            return false;
        }
        next_ += key.size() + 1;
        return true;
    }

    // The rest of the current field (its value, after take_key), and moves
    // to the next field.
    std::string_view take_value() noexcept {
        const char* const begin = next_;
        while (next_ != end_ && *next_ != fmt::field_delimiter) {
            ++next_;
        }
        const std::string_view value(begin, static_cast<std::size_t>(next_ - begin));
        if (next_ != end_) {
            ++next_;  // past the "&"
        }
        return value;
    }

private:
    const char* next_;
    const char* end_;
};

void extract_pci(std::string_view body, slots& s) noexcept {
    field_reader fields(body);
    while (!fields.at_end()) {
        if (fields.take_key(fmt::pci_vendor_key)) {
            s.vendor = first_chars(fields.take_value(), fmt::vendor_width);
        } else if (fields.take_key(fmt::pci_device_key)) {
            s.device = first_chars(fields.take_value(), fmt::device_width);
        } else if (fields.take_key(fmt::pci_revision_key)) {
            s.revision = first_chars(fields.take_value(), fmt::revision_width);
        } else if (fields.take_key(fmt::pci_subsystem_key)) {
            s.subsystem = first_chars(fields.take_value(), pci_subsystem_taken);
        } else if (fields.take_key(fmt::pci_class_code_key)) {
            const std::string_view value = fields.take_value();
            s.class_code = first_chars(value, fmt::pci_class_code_taken);
            if (value.size() == fmt::pci_class_code_with_interface) {
                s.interface = chars_from(value, fmt::pci_class_code_taken);
            }
        } else {
            fields.take_value();  // any other key, or none
        }
    }
}

// Returns whether any USB key was present.
bool extract_usb(std::string_view body, slots& s) noexcept {
    bool any_key = false;
    field_reader fields(body);
    while (!fields.at_end()) {
        if (fields.take_key(fmt::usb_vendor_key)) {
            s.vendor = first_chars(fields.take_value(), fmt::vendor_width);
        } else if (fields.take_key(fmt::usb_device_key)) {
            s.device = first_chars(fields.take_value(), fmt::device_width);
        } else if (fields.take_key(fmt::usb_revision_key)) {
            s.revision = first_chars(fields.take_value(), fmt::revision_width);
        } else if (fields.take_key(fmt::usb_interface_key)) {
            s.interface = first_chars(fields.take_value(), fmt::interface_width);
        } else {
            fields.take_value();  // any other key, or none
            continue;
        }
        any_key = true;
    }
    return any_key;
}

constexpr bool is_hex_digit(char c) noexcept {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Returns false when the product part is not one to four hexadecimal digits.
bool extract_pnp(std::string_view body, slots& s) noexcept {
    const std::string_view vendor = first_chars(body, fmt::pnp_vendor_length);
    const std::string_view product = first_chars(chars_from(body, vendor.size()), fmt::pnp_product_max);
    if (product.empty()) {
        return false;
    }
    for (const char c : product) {
        if (!is_hex_digit(c)) {
            return false;
        }
    }
    s.vendor = vendor;
    s.device = product;
    return true;
}

// Copies `text` to `out`. The parts of a compact ID are short, mostly
// eight characters or fewer, and those are copied in two fixed-size pieces
// that the compiler turns into plain moves: 4 to 8 characters as their
// first 4 and their last 4 (the two overlap when there are fewer than 8),
// 2 or 3 likewise by 2. Longer parts are left to the library. An empty
// text is not touched: an empty slot's view has no data.
inline void copy_text(char* out, std::string_view text) noexcept {
    const char* const in = text.data();
    const std::size_t n = text.size();
    if (n > 8) {
        std::memcpy(out, in, n);
    } else if (n >= 4) {
        std::memcpy(out, in, 4);
        std::memcpy(out + n - 4, in + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(out, in, 2);
        std::memcpy(out + n - 2, in + n - 2, 2);
    } else if (n == 1) {
        *out = *in;
    }
}

constexpr std::string_view or_default(std::string_view slot, std::string_view fallback) noexcept {
    return slot.empty() ? fallback : slot;
}

// Writes a compact ID part by part into the buffer of a compact_id. The
// slot widths bound every part, so that the longest compact ID fits (see
// the checks above).
class compact_id_writer {
public:
    compact_id_writer(char* out, std::string_view tag) noexcept : begin_(out), end_(out) { put(tag); }

    void put(std::string_view part) noexcept {
        copy_text(end_, part);
        end_ += part.size();
    }
    void put(std::string_view slot, std::string_view fallback) noexcept {
        put(or_default(slot, fallback));
    }

    std::size_t size() const noexcept { return static_cast<std::size_t>(end_ - begin_); }

private:
    char* begin_;
    char* end_;
};

void put_pci_slots(compact_id_writer& id, const slots& s) noexcept {
    id.put(s.vendor, fmt::pci_vendor_default);
    id.put(s.device, fmt::pci_device_default);
    if (s.subsystem.empty()) {
        id.put(fmt::pci_subsystem_default);
    } else {
        // Vendor half first; either half may be short or missing.
        id.put(chars_from(s.subsystem, fmt::pci_subsystem_half));
        id.put(first_chars(s.subsystem, fmt::pci_subsystem_half));
    }
    id.put(s.class_code, fmt::pci_class_code_default);
    if (s.class_code.size() == fmt::pci_class_code_short) {
        id.put(fmt::pci_class_code_pad);
    }
    id.put(s.revision, fmt::pci_revision_default);
    id.put(s.interface, fmt::pci_interface_default);
}

void put_usb_slots(compact_id_writer& id, const slots& s) noexcept {
    id.put(s.vendor);
    id.put(s.device);
    id.put(s.revision, fmt::usb_revision_default);
    id.put(s.interface, fmt::usb_interface_default);
}

// The conversion's working state: the bus class of the items being merged,
// its row of the bus table, and their slots.
class compact_id_builder {
public:
    void take_item(std::string_view raw_item) noexcept;
    // Writes the compact ID to `out`, which has room for the longest one,
    // and returns its length.
    std::size_t write_compact_id(char* out) const noexcept;

private:
    // Back to the start of the call: no bus class, all slots empty.
    void reset() noexcept {
        current_class_ = bus_class::none;
        current_bus_ = nullptr;
        slots_.clear();
    }

    // The slots are empty whenever the bus class is `bus_class::none`, so
    // the first accepted item need not empty them.
    bus_class current_class_ = bus_class::none;
    // The row of `current_class_`; null for `none` and `unknown`.
    const fmt::bus* current_bus_ = nullptr;
    slots slots_;
};

void compact_id_builder::take_item(std::string_view raw_item) noexcept {
    // The field position counts in the trimmed item, and the fields are
    // read from that same item. The marker holds no blank, so it is in the
    // trimmed item exactly when it is in the raw one.
    const prepared_item prepared = prepare_item(raw_item);
    const std::string_view item = prepared.trimmed;
    std::size_t field_pos = 1;
    const fmt::bus* const bus = prefix::classify_prepared(prepared, field_pos);
    const bus_class cls = bus == nullptr ? bus_class::unknown : bus->cls;

    if (contains_irq_holder(item)) {
        return;
    }
    if (cls == bus_class::star_pnp && current_class_ != bus_class::none) {
        return;
    }
    if (cls != current_class_) {
        if (current_class_ != bus_class::none) {
            slots_.clear();
        }
        current_class_ = cls;
        current_bus_ = bus;
    }
    if (current_bus_ == nullptr) {
        return;
    }

    const std::string_view body = chars_from(item, field_pos - 1);
    switch (current_bus_->rule) {
    case fmt::field_rule::pci_fields:
        extract_pci(body, slots_);
        break;
    case fmt::field_rule::usb_fields:
        if (!extract_usb(body, slots_)) {
            // Fits no bus: as if no prefix had matched.
            current_class_ = bus_class::unknown;
            current_bus_ = nullptr;
        }
        break;
    case fmt::field_rule::pnp_style:
        if (!extract_pnp(body, slots_)) {
            reset();
        }
        break;
    case fmt::field_rule::whole_body:
        slots_.vendor = first_chars(body, fmt::vendor_width);
        break;
    case fmt::field_rule::none:
        break;
    }
}

std::size_t compact_id_builder::write_compact_id(char* out) const noexcept {
    if (current_bus_ == nullptr || current_bus_->rule == fmt::field_rule::none) {
        return 0;
    }
    compact_id_writer id(out, current_bus_->tag);
    switch (current_bus_->rule) {
    case fmt::field_rule::pci_fields:
        put_pci_slots(id, slots_);
        break;
    case fmt::field_rule::usb_fields:
        put_usb_slots(id, slots_);
        break;
    case fmt::field_rule::pnp_style:
        id.put(slots_.vendor);
        id.put(slots_.device);
        break;
    case fmt::field_rule::whole_body:
        id.put(slots_.vendor);
        break;
    case fmt::field_rule::none:
        break;
    }
    return id.size();
}

}  // namespace

compact_id build_compact_id(std::string_view hardware_id) noexcept {
    compact_id_builder builder;
    std::size_t cursor = 1;
    while (cursor <= hardware_id.size()) {
        builder.take_item(next_token(hardware_id, cursor, item_delimiter));
    }
    compact_id id;
    id.size_ = builder.write_compact_id(id.text_);
    id.text_[id.size_] = '\0';
    return id;
}

}  // namespace idconv
