// The compact-ID builder: hardware-ID text in, compact ID out.
#include "idconv/compact_id_format.h"
#include "idconv/id_conv.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace idconv {
namespace {

namespace fmt = format;

// A text slot of fixed capacity; storing a longer value keeps its first
// characters. Lives on the stack: a conversion allocates only its result.
template <std::size_t Capacity>
class slot {
public:
    void assign(std::string_view value) {
        size_ = std::min(value.size(), Capacity);
        std::memcpy(data_, value.data(), size_);
    }
    void assign(std::string_view first, std::string_view second) {
        const std::size_t a = std::min(first.size(), Capacity);
        const std::size_t b = std::min(second.size(), Capacity - a);
        std::memcpy(data_, first.data(), a);
        std::memcpy(data_ + a, second.data(), b);
        size_ = a + b;
    }
    void clear() { size_ = 0; }
    std::string_view or_default(std::string_view fallback) const {
        return size_ == 0 ? fallback : std::string_view(data_, size_);
    }
    std::string_view view() const { return {data_, size_}; }

private:
    char data_[Capacity];
    std::size_t size_ = 0;
};

struct slots {
    slot<fmt::vendor_width> vendor;
    slot<fmt::device_width> device;
    slot<fmt::subsystem_width> subsystem;
    slot<fmt::class_code_width> class_code;
    slot<fmt::revision_width> revision;
    slot<fmt::interface_width> interface;

    void clear() {
        vendor.clear();
        device.clear();
        subsystem.clear();
        class_code.clear();
        revision.clear();
        interface.clear();
    }
};

constexpr std::string_view irq_holder_marker = "IRQHOLDER";
constexpr char item_delimiter = ',';
constexpr char field_delimiter = '&';
constexpr char key_delimiter = '_';

// Characters of `text` from the 1-based position `pos` on, possibly none.
std::string_view from_position(std::string_view text, std::size_t pos) {
    return pos - 1 < text.size() ? text.substr(pos - 1) : std::string_view{};
}

struct field {
    std::string_view key;
    std::string_view value;
};

// KEY_VALUE: the key is the text before the first "_"; a field without "_"
// has an empty key.
field split_field(std::string_view text) {
    const std::size_t underscore = text.find(key_delimiter);
    if (underscore == std::string_view::npos) {
        return {{}, text};
    }
    return {text.substr(0, underscore), text.substr(underscore + 1)};
}

// Calls `on_field(key, value)` for each "&"-separated field of the body.
template <typename OnField>
void for_each_field(std::string_view body, OnField on_field) {
    std::size_t cursor = 1;
    while (cursor <= body.size()) {
        const field f = split_field(next_token(body, cursor, field_delimiter));
        if (!f.key.empty()) {
            on_field(f.key, f.value);
        }
    }
}

void extract_pci(std::string_view body, slots& s) {
    for_each_field(body, [&s](std::string_view key, std::string_view value) {
        if (key == "VEN") {
            s.vendor.assign(value);
        } else if (key == "DEV") {
            s.device.assign(value);
        } else if (key == "REV") {
            s.revision.assign(value);
        } else if (key == "SUBSYS") {
            // Vendor half first: "9ABC0DEF" gives "0DEF9ABC".
            const std::string_view device_half = value.substr(0, 4);
            const std::string_view vendor_half = value.size() > 4 ? value.substr(4, 4) : std::string_view{};
            s.subsystem.assign(vendor_half, device_half);
        } else if (key == "CC") {
            if (value.size() == fmt::pci_class_code_short) {
                s.class_code.assign(value, fmt::pci_class_code_pad);
            } else {
                s.class_code.assign(value.substr(0, fmt::pci_class_code_taken));
            }
            if (value.size() == fmt::pci_class_code_with_interface) {
                s.interface.assign(value.substr(fmt::pci_class_code_taken));
            }
        }
    });
}

// Returns whether any USB key was present.
bool extract_usb(std::string_view body, slots& s) {
    bool any_key = false;
    for_each_field(body, [&s, &any_key](std::string_view key, std::string_view value) {
        if (key == "VID") {
            s.vendor.assign(value);
        } else if (key == "PID") {
            s.device.assign(value);
        } else if (key == "REV") {
            s.revision.assign(value);
        } else if (key == "MI") {
            s.interface.assign(value);
        } else {
            return;
        }
        any_key = true;
    });
    return any_key;
}

constexpr bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Returns false when the product part is not one to four hexadecimal digits.
bool extract_pnp(std::string_view body, slots& s) {
    body = body.substr(0, fmt::pnp_vendor_length + fmt::pnp_product_max);
    const std::string_view vendor = body.substr(0, fmt::pnp_vendor_length);
    const std::string_view product =
        body.size() > fmt::pnp_vendor_length ? body.substr(fmt::pnp_vendor_length) : std::string_view{};
    if (product.empty() || !std::all_of(product.begin(), product.end(), is_hex_digit)) {
        return false;
    }
    s.vendor.assign(vendor);
    s.device.assign(product);
    return true;
}

std::string assemble(std::string_view tag, std::initializer_list<std::string_view> parts) {
    std::size_t length = tag.size();
    for (std::string_view part : parts) {
        length += part.size();
    }
    std::string result;
    result.reserve(length);
    result.append(tag);
    for (std::string_view part : parts) {
        result.append(part);
    }
    return result;
}

std::string assemble(int cls, const slots& s) {
    switch (cls) {
    case bus_pci:
        return assemble(fmt::tag_pci, {s.vendor.or_default(fmt::pci_vendor_default),
                                       s.device.or_default(fmt::pci_device_default),
                                       s.subsystem.or_default(fmt::pci_subsystem_default),
                                       s.class_code.or_default(fmt::pci_class_code_default),
                                       s.revision.or_default(fmt::pci_revision_default),
                                       s.interface.or_default(fmt::pci_interface_default)});
    case bus_usb:
        return assemble(fmt::tag_usb, {s.vendor.view(), s.device.view(),
                                       s.revision.or_default(fmt::usb_revision_default),
                                       s.interface.or_default(fmt::usb_interface_default)});
    case bus_star_pnp:
    case bus_isapnp:
    case bus_acpi:
    case bus_bios:
        return assemble(fmt::tag_pnp, {s.vendor.view(), s.device.view()});
    case bus_monitor:
        return assemble(fmt::tag_monitor, {s.vendor.view(), s.device.view()});
    case bus_modemwave:
        return assemble(fmt::tag_modemwave, {s.vendor.view()});
    case bus_pcmcia:
        return assemble(fmt::tag_pcmcia, {s.vendor.view()});
    case bus_lptenum:
        return assemble(fmt::tag_lptenum, {s.vendor.view()});
    case bus_usbprint:
        return assemble(fmt::tag_usbprint, {s.vendor.view()});
    default:
        return {};
    }
}

}  // namespace

std::string build_compact_id(std::string_view hardware_id) {
    int current_class = bus_none;
    slots s;

    std::size_t cursor = 1;
    while (cursor <= hardware_id.size()) {
        const std::string_view raw_item = next_token(hardware_id, cursor, item_delimiter);
        std::size_t field_pos = 1;
        const int cls = classify_item(raw_item, field_pos);

        if (raw_item.find(irq_holder_marker) != std::string_view::npos) {
            continue;
        }
        if (cls == bus_star_pnp && current_class != bus_none) {
            continue;
        }
        if (cls != current_class) {
            current_class = cls;
            s.clear();
        }

        // The field position counts in the item without its leading blanks;
        // the fields are read from that same trimmed item.
        const std::string_view body = from_position(trim_item(raw_item), field_pos);
        switch (current_class) {
        case bus_pci:
            extract_pci(body, s);
            break;
        case bus_usb:
            if (!extract_usb(body, s)) {
                current_class = bus_unknown;
            }
            break;
        case bus_star_pnp:
        case bus_isapnp:
        case bus_monitor:
        case bus_acpi:
        case bus_bios:
            if (!extract_pnp(body, s)) {
                current_class = bus_none;
            }
            break;
        case bus_modemwave:
        case bus_pcmcia:
        case bus_lptenum:
        case bus_usbprint:
            s.vendor.assign(body);
            break;
        default:
            break;
        }
    }
    return assemble(current_class, s);
}

}  // namespace idconv
