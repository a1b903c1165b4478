// PCI corpus IDs: where each field of the hardware ID stands in the compact
// ID, and the 19-character window the comparison uses for a wanted PCI ID.
#include "corpus_ids.h"

#include "idconv/id_conv.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace {

using corpus::failure_log;
using corpus::field;

constexpr std::string_view pci_prefix = "PCI\\";
// A wanted PCI ID is compared on its tag, vendor, device and subsystem.
constexpr std::size_t pci_window = 3 + 4 + 4 + 8;

corpus::field_map pci_fields(std::string_view id) {
    return corpus::split_fields(corpus::body_behind(id, pci_prefix));
}

std::string whole(std::string_view value) { return std::string(value); }
std::string halves_swapped(std::string_view v) {
    return std::string(v.substr(4, 4)) + std::string(v.substr(0, 4));
}
std::string first_four(std::string_view v) { return std::string(v.substr(0, 4)); }
std::string fifth_and_sixth_of_six(std::string_view v) {
    return v.size() == 6 ? std::string(v.substr(4, 2)) : std::string();
}

// One slot of a PCI compact ID: where it stands, and what the hardware ID's
// field under `key` puts there (the default when the field is absent or
// gives nothing).
struct pci_slot {
    const char* name;
    std::string_view key;
    std::size_t position;
    std::size_t width;
    std::string_view fallback;
    std::string (*from_value)(std::string_view);
};

std::ostream& operator<<(std::ostream& os, const pci_slot& s) { return os << s.name; }

const pci_slot pci_slots[] = {
    {"VendorFromVen", "VEN", 3, 4, "ffff", whole},
    {"DeviceFromDev", "DEV", 7, 4, "ffff", whole},
    {"SubsystemFromSubsysVendorHalfFirst", "SUBSYS", 11, 8, "00000000", halves_swapped},
    {"ClassCodeFromFirstFourOfCc", "CC", 19, 4, "0000", first_four},
    {"RevisionFromRev", "REV", 23, 2, "00", whole},
    {"InterfaceFromSixCharacterCc", "CC", 25, 2, "00", fifth_and_sixth_of_six},
};

// The widths the platform writes the PCI fields in; the slot positions above
// hold for IDs in this form.
struct field_width {
    std::string_view key;
    std::size_t width;
    std::size_t other_width;
};
const field_width platform_widths[] = {
    {"VEN", 4, 4}, {"DEV", 4, 4}, {"SUBSYS", 8, 8}, {"CC", 4, 6}, {"REV", 2, 2},
};

TEST(PciCorpus, FieldsHaveThePlatformsWidths) {
    failure_log failures;
    std::size_t checked = 0;
    for (std::string_view id : corpus::ids_beginning_with(pci_prefix)) {
        ++checked;
        const corpus::field_map fields = pci_fields(id);
        for (const field_width& w : platform_widths) {
            const auto value = field(fields, w.key);
            if (value && value->size() != w.width && value->size() != w.other_width) {
                failures.add(id, std::string(w.key) + " has " + std::to_string(value->size()) +
                                     " characters");
            }
        }
    }
    EXPECT_GE(checked, 100000u);
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

TEST(PciCorpus, CompactIdHasEverySlotAtItsWidth) {
    constexpr std::size_t full_length = 27;
    failure_log failures;
    for (std::string_view id : corpus::ids_beginning_with(pci_prefix)) {
        const std::string compact(idconv::build_compact_id(id));
        if (compact.size() != full_length) {
            failures.add(id, "gives \"" + compact + "\"");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

class PciSlots : public ::testing::TestWithParam<pci_slot> {};

TEST_P(PciSlots, StandsAtItsPosition) {
    const pci_slot& slot = GetParam();
    failure_log failures;
    std::size_t from_id = 0;
    for (std::string_view id : corpus::ids_beginning_with(pci_prefix)) {
        const auto value = field(pci_fields(id), slot.key);
        std::string expected = value ? slot.from_value(*value) : std::string();
        if (expected.empty()) {
            expected = slot.fallback;
        } else {
            ++from_id;
        }
        const std::string compact(idconv::build_compact_id(id));
        if (compact.size() < slot.position + slot.width ||
            compact.compare(slot.position, slot.width, expected) != 0) {
            failures.add(id, "gives \"" + compact + "\", expected \"" + expected + "\" at " +
                                 std::to_string(slot.position));
        }
    }
    EXPECT_GT(from_id, 1000u) << "too few corpus IDs carry " << slot.key;
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

INSTANTIATE_TEST_SUITE_P(PciCorpus, PciSlots, ::testing::ValuesIn(pci_slots),
                         corpus::row_name{});

// `candidate`, or `alternative` when `value` already is `candidate`.
std::string other_than(std::string_view value, std::string_view candidate, std::string_view alternative) {
    return std::string(value == candidate ? alternative : candidate);
}

TEST(PciWindow, SameDeviceWithOtherClassCodeAndRevisionMatches) {
    failure_log failures;
    for (std::string_view id : corpus::ids_beginning_with(pci_prefix)) {
        const corpus::field_map fields = pci_fields(id);
        // Later fields of an item replace earlier ones.
        const std::string other = std::string(id) + "&CC_" +
                                  other_than(field(fields, "CC").value_or(""), "FF0001", "FE0002") +
                                  "&REV_" + other_than(field(fields, "REV").value_or(""), "7E", "7F");
        const std::string compact(idconv::build_compact_id(id));
        const std::string other_compact(idconv::build_compact_id(other));
        if (compact == other_compact) {
            failures.add(id, "class code and revision changed nothing: \"" + compact + "\"");
        } else if (!idconv::compact_ids_match(compact, other_compact) ||
                   !idconv::compact_ids_match(other_compact, compact) ||
                   !idconv::compact_ids_match(compact.substr(0, pci_window), other_compact)) {
            failures.add(id, "\"" + compact + "\" and \"" + other_compact + "\" do not match");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

TEST(PciWindow, WantedWindowMatchesAndShorterWantedDoesNot) {
    failure_log failures;
    for (std::string_view id : corpus::ids_beginning_with(pci_prefix)) {
        const std::string compact(idconv::build_compact_id(id));
        const std::string window = compact.substr(0, pci_window);
        const std::string shorter = compact.substr(0, pci_window - 1);
        if (!idconv::compact_ids_match(window, compact)) {
            failures.add(id, "\"" + window + "\" does not match \"" + compact + "\"");
        }
        if (idconv::compact_ids_match(shorter, compact) || idconv::compact_ids_match(compact, shorter)) {
            failures.add(id, "\"" + shorter + "\" and \"" + compact + "\" match");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

// The corpus lists a device once per subsystem, with and without REV, and
// without SUBSYS (subsystem default) in its CC, REV and bare forms: all forms
// of one subsystem match each other, forms of another subsystem do not.
TEST(PciWindow, SubsystemDecidesAmongTheFormsOfOneDevice) {
    using device_key = std::tuple<std::string_view, std::string_view>;
    std::map<device_key, std::map<std::string, std::vector<std::string_view>>> devices;
    for (std::string_view id : corpus::ids_beginning_with(pci_prefix)) {
        const corpus::field_map fields = pci_fields(id);
        const auto ven = field(fields, "VEN");
        const auto dev = field(fields, "DEV");
        if (ven && dev) {
            const std::string subsys(field(fields, "SUBSYS").value_or("00000000"));
            devices[{*ven, *dev}][subsys].push_back(id);
        }
    }
    failure_log failures;
    std::size_t same = 0;
    std::size_t different = 0;
    for (const auto& [device, by_subsystem] : devices) {
        std::string previous;  // compact ID of the previous subsystem's first form
        for (const auto& [subsys, ids] : by_subsystem) {
            const std::string first(idconv::build_compact_id(ids.front()));
            for (std::string_view id : ids) {
                const std::string compact(idconv::build_compact_id(id));
                ++same;
                if (!idconv::compact_ids_match(first, compact) ||
                    !idconv::compact_ids_match(compact, first)) {
                    failures.add(id, "\"" + compact + "\" does not match \"" + first + "\" of " +
                                         std::string(ids.front()));
                }
            }
            if (!previous.empty()) {
                ++different;
                if (idconv::compact_ids_match(previous, first) ||
                    idconv::compact_ids_match(first, previous)) {
                    failures.add(ids.front(), "\"" + first + "\" matches \"" + previous +
                                                  "\" of another subsystem");
                }
            }
            previous = first;
        }
    }
    EXPECT_GT(same, 100000u);
    EXPECT_GT(different, 10000u);
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

}  // namespace
