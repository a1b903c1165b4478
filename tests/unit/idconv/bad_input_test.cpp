// Hostile hardware-ID texts: every byte value, megabyte inputs, long runs of
// delimiters. The conversion must not fail, and what it returns must still be
// a compact ID: empty, or a bus tag within that tag's maximum length.
#include "test_support.h"

#include "idconv/compact_id_format.h"

#include <cstdint>
#include <string>

namespace idconv_test {
namespace {

namespace fmt = idconv::format;
using namespace std::string_literals;

constexpr std::size_t one_mib = 1024 * 1024;
constexpr std::size_t many = 100000;
const std::string zero_tail = "0000000000000000";

// Empty, or the tag of a bus that gives compact IDs, and no longer than
// that bus allows.
testing::AssertionResult is_sane_compact_id(std::string_view id) {
    if (id.empty()) {
        return testing::AssertionSuccess();
    }
    for (const fmt::bus& bus : fmt::buses) {
        if (!bus.tag.empty() && id.substr(0, fmt::tag_length) == bus.tag) {
            if (id.size() > bus.max_length) {
                return testing::AssertionFailure() << escaped(id) << " longer than " << bus.max_length;
            }
            return testing::AssertionSuccess();
        }
    }
    return testing::AssertionFailure() << "unknown tag in " << escaped(id);
}

// A fixed pseudo-random byte stream, so a failure reproduces.
class byte_stream {
public:
    explicit byte_stream(std::uint32_t seed) : state_(seed) {}
    unsigned next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 24;
    }

private:
    std::uint32_t state_;
};

std::string random_text(std::size_t length, std::uint32_t seed, std::string_view alphabet) {
    byte_stream bytes(seed);
    std::string text(length, '\0');
    for (char& c : text) {
        c = alphabet.empty() ? static_cast<char>(bytes.next())
                             : alphabet[bytes.next() % alphabet.size()];
    }
    return text;
}

TEST(bad_input, every_byte_inside_a_pci_value_is_kept) {
    for (unsigned b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        if (c == ',' || c == '&') {
            continue;  // the delimiters themselves
        }
        SCOPED_TRACE("byte " + std::to_string(b));
        const std::string value = "X"s + c + "Y";
        EXPECT_EQ(escaped(idconv::build_compact_id("PCI\\VEN_" + value + "&DEV_5678")),
                  escaped("PCI" + value + "5678" + zero_tail));
    }
}

TEST(bad_input, every_byte_inside_a_whole_body_is_kept) {
    for (unsigned b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        if (c == ',') {
            continue;
        }
        SCOPED_TRACE("byte " + std::to_string(b));
        const std::string body = "A"s + c + "Z";
        EXPECT_EQ(escaped(idconv::build_compact_id("LPTENUM\\" + body)), escaped("PRT" + body));
    }
}

TEST(bad_input, every_byte_alone_and_after_each_prefix_is_sane) {
    const char* const prefixes[] = {"",         "PCI\\",    "*",        "ISAPNP\\", "UNIMODEM",
                                    "MODEMWAVE\\", "PCMCIA\\", "USB\\",  "LPTENUM\\", "USBPRINT\\",
                                    "MONITOR\\", "ISA\\",    "ACPI\\",   "BIOS\\",   "VIRTUAL\\", "MF\\"};
    for (const char* prefix : prefixes) {
        for (unsigned b = 0; b < 256; ++b) {
            const std::string text = prefix + std::string(1, static_cast<char>(b));
            SCOPED_TRACE(escaped(text));
            EXPECT_TRUE(is_sane_compact_id(idconv::build_compact_id(text)));
        }
    }
}

TEST(bad_input, all_byte_values_in_one_text) {
    std::string text;
    for (unsigned b = 0; b < 256; ++b) {
        text += static_cast<char>(b);
    }
    // The bytes below "," form the first item, which fits no bus; the
    // rest, from "-" on, begins with no prefix either.
    EXPECT_EQ(idconv::build_compact_id(text), "");
    EXPECT_EQ(idconv::build_compact_id("PCI\\VEN_" + text), "");  // the "," splits it
    EXPECT_TRUE(is_sane_compact_id(idconv::build_compact_id(std::string(text.rbegin(), text.rend()))));
}

TEST(bad_input, megabyte_vendor_value_cut_to_40) {
    EXPECT_EQ(idconv::build_compact_id("PCI\\VEN_" + std::string(one_mib, 'A') + "&DEV_5678"),
              "PCI" + std::string(fmt::vendor_width, 'A') + "5678" + zero_tail);
}

TEST(bad_input, megabyte_whole_body_cut_to_40) {
    EXPECT_EQ(idconv::build_compact_id("PCMCIA\\" + std::string(one_mib, 'b')),
              "PCC" + std::string(fmt::vendor_width, 'b'));
}

TEST(bad_input, megabyte_of_blanks_stars_or_controls_is_empty) {
    EXPECT_EQ(idconv::build_compact_id(std::string(one_mib, ' ')), "");
    EXPECT_EQ(idconv::build_compact_id(std::string(one_mib, '*')), "");
    EXPECT_EQ(idconv::build_compact_id(std::string(one_mib, '\x01')), "");
    EXPECT_EQ(idconv::build_compact_id(std::string(one_mib, '\0')), "");
}

TEST(bad_input, megabyte_of_random_bytes_is_sane_and_repeatable) {
    const std::string bytes = random_text(one_mib, 1u, "");
    const idconv::compact_id result = idconv::build_compact_id(bytes);
    EXPECT_TRUE(is_sane_compact_id(result));
    EXPECT_EQ(idconv::build_compact_id(bytes), result);
}

TEST(bad_input, megabyte_of_id_like_text_is_sane_and_repeatable) {
    const std::string_view alphabet = "PCIUSBVENDEVIDSUBSYSCCREVMI*\\&_,0123456789ABCDEFabcdef ";
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string text = random_text(one_mib / 8, seed, alphabet);
        const idconv::compact_id result = idconv::build_compact_id(text);
        EXPECT_TRUE(is_sane_compact_id(result));
        EXPECT_EQ(idconv::build_compact_id(text), result);
    }
}

TEST(bad_input, hundred_thousand_commas) {
    const std::string commas(many, ',');
    EXPECT_EQ(idconv::build_compact_id(commas), "");
    EXPECT_EQ(idconv::build_compact_id(commas + "PCI\\VEN_1234"), "PCI1234ffff" + zero_tail);
    EXPECT_EQ(idconv::build_compact_id("PCI\\VEN_1234" + commas), "");
}

TEST(bad_input, hundred_thousand_ampersands) {
    const std::string ampersands(many, '&');
    EXPECT_EQ(idconv::build_compact_id("PCI\\VEN_1234" + ampersands + "DEV_5678"), "PCI12345678" + zero_tail);
    EXPECT_EQ(idconv::build_compact_id("USB\\" + ampersands), "");
    EXPECT_EQ(idconv::build_compact_id(ampersands), "");
}

TEST(bad_input, hundred_thousand_underscores_in_one_value) {
    EXPECT_EQ(idconv::build_compact_id("PCI\\VEN" + std::string(many, '_')),
              "PCI" + std::string(fmt::vendor_width, '_') + "ffff" + zero_tail);
}

TEST(bad_input, hundred_thousand_items) {
    std::string star_items;
    std::string keyless_usb_items;
    for (std::size_t i = 0; i < many; ++i) {
        star_items += "*PNP0501,";
        keyless_usb_items += "USB\\ROOT_HUB,";
    }
    EXPECT_EQ(idconv::build_compact_id(star_items), "PNPPNP0501");
    EXPECT_EQ(idconv::build_compact_id(keyless_usb_items), "");
    EXPECT_EQ(idconv::build_compact_id(keyless_usb_items + "USB\\VID_0A1B"), "USB0A1B000000");
}

TEST(bad_input, nul_bytes_are_ordinary_characters) {
    EXPECT_EQ(escaped(idconv::build_compact_id("PCI\\VEN_12\0" "34&DEV_5678"s)),
              escaped("PCI12\0" "345678"s + zero_tail));
    EXPECT_EQ(idconv::build_compact_id("\0PCI\\VEN_1234"s), "PCI1234ffff" + zero_tail);
}

TEST(bad_input, megabyte_compact_ids_compared) {
    const std::string long_pci = "PCI" + std::string(one_mib, '1');
    std::string other_pci = long_pci;
    other_pci.back() = '2';
    EXPECT_TRUE(idconv::compact_ids_match(long_pci, other_pci));
    const std::string long_usb = "USB" + std::string(one_mib, '1');
    std::string other_usb = long_usb;
    other_usb.back() = '2';
    EXPECT_TRUE(idconv::compact_ids_match(long_usb, long_usb));
    EXPECT_FALSE(idconv::compact_ids_match(long_usb, other_usb));
}

}  // namespace
}  // namespace idconv_test
