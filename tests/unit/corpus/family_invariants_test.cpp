// Invariants that hold for every corpus ID of a bus that has a compact ID:
// the tag, the length, matching itself, not matching another vendor; and for
// the buses whose compact ID is the body of the ID, the body itself. IDs of
// any other bus give the empty compact ID.
#include "corpus_ids.h"

#include "idconv/id_conv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>

namespace {

using corpus::failure_log;

struct family {
    const char* name;
    std::string_view prefix;  // selects the corpus IDs of the family ...
    std::string_view except;  // ... except those that begin with this
    std::string_view tag;
    std::size_t max_length;
    // Fewer corpus IDs than this means the corpus was not generated right.
    std::size_t min_count;
    // The key whose value is the vendor; empty: the vendor opens the body.
    std::string_view vendor_key;
    // Characters of the body the compact ID carries behind its tag; 0 for the
    // buses whose compact ID is made of fields (checked in their own tests).
    std::size_t body_taken;
};

std::ostream& operator<<(std::ostream& os, const family& f) { return os << f.name; }

constexpr std::size_t tag_length = 3;
constexpr std::size_t pnp_body = 7;     // three-character vendor, up to four product digits
constexpr std::size_t whole_body = 40;  // the body is cut to its first 40 characters

const family field_families[] = {
    {"Pci", "PCI\\", "", "PCI", 77, 100000, "VEN_", 0},
    {"UsbDevice", "USB\\VID_", "", "USB", 73, 40000, "VID_", 0},
};

const family body_families[] = {
    {"Acpi", "ACPI\\", "ACPI\\VEN_", "PNP", 10, 500, "", pnp_body},
    {"LegacyStar", "*", "", "PNP", 10, 500, "", pnp_body},
    {"IsaPnp", "ISAPNP\\", "", "PNP", 10, 500, "", pnp_body},
    {"Bios", "BIOS\\", "", "PNP", 10, 2, "", pnp_body},
    {"Monitor", "MONITOR\\", "", "MON", 10, 500, "", pnp_body},
    {"ParallelPrinter", "LPTENUM\\", "", "PRT", 43, 100, "", whole_body},
    {"UsbPrinter", "USBPRINT\\", "", "PRU", 43, 100, "", whole_body},
    {"PcCard", "PCMCIA\\", "", "PCC", 43, 10, "", whole_body},
};

std::vector<std::string_view> ids_of(const family& f) {
    return corpus::ids_beginning_with(f.prefix, f.except);
}

class FamilyInvariants : public ::testing::TestWithParam<family> {
protected:
    void SetUp() override {
        ids_ = ids_of(GetParam());
        ASSERT_GE(ids_.size(), GetParam().min_count) << "corpus too small for " << GetParam().name;
    }
    std::vector<std::string_view> ids_;
};

TEST_P(FamilyInvariants, ConvertsToItsTag) {
    failure_log failures;
    for (std::string_view id : ids_) {
        const std::string compact(idconv::build_compact_id(id));
        if (compact.substr(0, tag_length) != GetParam().tag) {
            failures.add(id, "gives \"" + compact + "\"");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

TEST_P(FamilyInvariants, StaysWithinTheTagsMaximumLength) {
    failure_log failures;
    for (std::string_view id : ids_) {
        const std::string compact(idconv::build_compact_id(id));
        if (compact.size() > GetParam().max_length) {
            failures.add(id, "gives " + std::to_string(compact.size()) + " characters");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

TEST_P(FamilyInvariants, CompactIdMatchesItself) {
    failure_log failures;
    for (std::string_view id : ids_) {
        const std::string compact(idconv::build_compact_id(id));
        if (!idconv::compact_ids_match(compact, compact)) {
            failures.add(id, "\"" + compact + "\" does not match itself");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

TEST_P(FamilyInvariants, SameIdOfAnotherVendorDoesNotMatch) {
    const family& f = GetParam();
    failure_log failures;
    std::size_t checked = 0;
    for (std::string_view id : ids_) {
        std::size_t vendor_pos = id.size() - corpus::body_behind(id, f.prefix).size();
        if (!f.vendor_key.empty()) {
            const std::size_t key = id.find(f.vendor_key);
            if (key == std::string_view::npos) {
                continue;  // a class-only ID names no vendor
            }
            vendor_pos = key + f.vendor_key.size();
        }
        const std::string other = corpus::with_changed_character(id, vendor_pos);
        const std::string compact(idconv::build_compact_id(id));
        const std::string other_compact(idconv::build_compact_id(other));
        ++checked;
        if (other_compact.substr(0, tag_length) != f.tag) {
            failures.add(other, "gives \"" + other_compact + "\", not a " + std::string(f.tag) + " ID");
        } else if (idconv::compact_ids_match(compact, other_compact) ||
                   idconv::compact_ids_match(other_compact, compact)) {
            failures.add(id, "\"" + compact + "\" matches \"" + other_compact + "\" of " + other);
        }
    }
    EXPECT_GE(checked, f.min_count);
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

INSTANTIATE_TEST_SUITE_P(FieldBuses, FamilyInvariants, ::testing::ValuesIn(field_families),
                         corpus::row_name{});
INSTANTIATE_TEST_SUITE_P(BodyBuses, FamilyInvariants, ::testing::ValuesIn(body_families),
                         corpus::row_name{});

class BodyFamilies : public FamilyInvariants {};

TEST_P(BodyFamilies, CompactIdIsTheTagAndTheHeadOfTheBody) {
    const family& f = GetParam();
    failure_log failures;
    for (std::string_view id : ids_) {
        const std::string expected =
            std::string(f.tag) + std::string(corpus::body_behind(id, f.prefix).substr(0, f.body_taken));
        const std::string compact(idconv::build_compact_id(id));
        if (compact != expected) {
            failures.add(id, "gives \"" + compact + "\", expected \"" + expected + "\"");
        }
    }
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

INSTANTIATE_TEST_SUITE_P(BodyBuses, BodyFamilies, ::testing::ValuesIn(body_families),
                         corpus::row_name{});

// Every corpus ID that none of the families above selects is of a bus
// without a compact ID (other enumerators, USB class and hub IDs, the
// vendor-and-device form of ACPI IDs, recognised but unconverted buses).
TEST(OtherBuses, GiveTheEmptyCompactId) {
    std::set<std::string_view> in_family;
    const auto add_family = [&in_family](const family& f) {
        const std::vector<std::string_view> ids = ids_of(f);
        in_family.insert(ids.begin(), ids.end());
    };
    std::for_each(std::begin(field_families), std::end(field_families), add_family);
    std::for_each(std::begin(body_families), std::end(body_families), add_family);
    failure_log failures;
    std::size_t checked = 0;
    for (const std::string& id : corpus::all_ids()) {
        if (in_family.count(id) != 0) {
            continue;
        }
        ++checked;
        const std::string compact(idconv::build_compact_id(id));
        if (!compact.empty()) {
            failures.add(id, "gives \"" + compact + "\"");
        }
    }
    EXPECT_GE(checked, 1000u) << "corpus holds too few IDs of other buses";
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

}  // namespace
