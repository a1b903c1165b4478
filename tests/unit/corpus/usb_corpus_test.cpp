// USB corpus IDs: where each field of the hardware ID stands in the compact
// ID, and that a wanted USB ID is compared as a whole.
#include "corpus_ids.h"

#include "idconv/id_conv.h"

#include <gtest/gtest.h>

namespace {

using corpus::failure_log;
using corpus::field;

constexpr std::size_t tag_length = 3;
constexpr std::string_view usb_prefix = "USB\\";
constexpr std::string_view usb_device_prefix = "USB\\VID_";

corpus::field_map usb_fields(std::string_view id) {
    return corpus::split_fields(corpus::body_behind(id, usb_prefix));
}

// One slot of a USB compact ID: where it stands, its width in the platform's
// IDs, and the default when the hardware ID lacks the field (empty: none).
struct usb_slot {
    const char* name;
    std::string_view key;
    std::size_t position;
    std::size_t width;
    std::string_view fallback;
};

std::ostream& operator<<(std::ostream& os, const usb_slot& s) { return os << s.name; }

const usb_slot usb_slots[] = {
    {"VendorFromVid", "VID", 3, 4, ""},
    {"ProductFromPid", "PID", 7, 4, ""},
    {"RevisionFromRev", "REV", 11, 4, "0000"},
    {"InterfaceFromMi", "MI", 15, 2, "00"},
};

class UsbSlots : public ::testing::TestWithParam<usb_slot> {};

TEST_P(UsbSlots, StandsAtItsPosition) {
    const usb_slot& slot = GetParam();
    failure_log failures;
    std::size_t from_id = 0;
    for (std::string_view id : corpus::ids_beginning_with(usb_device_prefix)) {
        const auto value = field(usb_fields(id), slot.key);
        if (value && value->size() != slot.width) {
            failures.add(id, std::string(slot.key) + " is not in the platform's width");
            continue;
        }
        if (value) {
            ++from_id;
        }
        const std::string expected(value ? *value : slot.fallback);
        const std::string compact(idconv::build_compact_id(id));
        if (expected.empty() || compact.size() < slot.position + slot.width ||
            compact.compare(slot.position, slot.width, expected) != 0) {
            failures.add(id, "gives \"" + compact + "\", expected \"" + expected + "\" at " +
                                 std::to_string(slot.position));
        }
    }
    EXPECT_GT(from_id, 1000u) << "too few corpus IDs carry " << slot.key;
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

INSTANTIATE_TEST_SUITE_P(UsbCorpus, UsbSlots, ::testing::ValuesIn(usb_slots),
                         corpus::row_name{});

TEST(UsbCorpus, CompactIdHasEverySlotAtItsWidth) {
    constexpr std::size_t full_length = 17;
    failure_log failures;
    for (std::string_view id : corpus::ids_beginning_with(usb_device_prefix)) {
        const std::string compact(idconv::build_compact_id(id));
        if (compact.size() != full_length) {
            failures.add(id, "gives \"" + compact + "\"");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

// A field appended to the ID replaces the earlier value; outside PCI every
// character of the compact ID takes part in the comparison.
struct changed_field {
    const char* name;
    std::string_view key;
    std::string_view value;
    std::string_view alternative;  // when the ID already has `value`
};

std::ostream& operator<<(std::ostream& os, const changed_field& c) { return os << c.name; }

const changed_field changed_fields[] = {
    {"OtherRevision", "REV", "7E01", "7E02"},
    {"OtherInterface", "MI", "0E", "0F"},
};

class UsbWholeText : public ::testing::TestWithParam<changed_field> {};

TEST_P(UsbWholeText, SameDeviceWithOtherFieldDoesNotMatch) {
    const changed_field& change = GetParam();
    failure_log failures;
    for (std::string_view id : corpus::ids_beginning_with(usb_device_prefix)) {
        const std::string_view current = field(usb_fields(id), change.key).value_or("");
        const std::string other = std::string(id) + "&" + std::string(change.key) + "_" +
                                  std::string(current == change.value ? change.alternative : change.value);
        const std::string compact(idconv::build_compact_id(id));
        const std::string other_compact(idconv::build_compact_id(other));
        if (other_compact.substr(0, tag_length) != "USB" || other_compact == compact) {
            failures.add(other, "gives \"" + other_compact + "\"");
        } else if (idconv::compact_ids_match(compact, other_compact) ||
                   idconv::compact_ids_match(other_compact, compact)) {
            failures.add(id, "\"" + compact + "\" matches \"" + other_compact + "\"");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

INSTANTIATE_TEST_SUITE_P(UsbCorpus, UsbWholeText, ::testing::ValuesIn(changed_fields),
                         corpus::row_name{});

}  // namespace
