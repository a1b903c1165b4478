// Hardware-ID lists built around each corpus ID that must give the same
// compact ID as the ID alone.
#include "corpus_ids.h"

#include "idconv/id_conv.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using corpus::failure_log;

bool any_id(std::string_view) { return true; }
bool not_a_star_id(std::string_view id) { return id.substr(0, 1) != "*"; }
bool converts(std::string_view id) { return !idconv::build_compact_id(id).empty(); }
bool has_bus_prefix(std::string_view id) { return id.find('\\') != std::string_view::npos; }

std::string lower_case_prefix(std::string_view id) {
    std::string text(id);
    const std::size_t end = text.find('\\');
    std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

struct same_result {
    const char* name;
    bool (*applies)(std::string_view id);
    std::string (*text)(std::string_view id);
};

std::ostream& operator<<(std::ostream& os, const same_result& r) { return os << r.name; }

const same_result same_results[] = {
    {"TrailingCommaAddsNoItem", any_id, [](std::string_view id) { return std::string(id) + ","; }},
    {"LaterIrqHolderItemIsSkipped", any_id,
     [](std::string_view id) { return std::string(id) + ",PCI\\VEN_1234&DEV_5678&IRQHOLDER"; }},
    // Once an item is accepted, a later "*" item is skipped.
    {"LaterStarItemIsSkipped", converts, [](std::string_view id) { return std::string(id) + ",*PNP0C01"; }},
    // A "*" item after an item that fits no bus is itself skipped.
    {"EarlierEmptyItemIsDiscarded", not_a_star_id, [](std::string_view id) { return "," + std::string(id); }},
    {"EarlierStarItemIsDiscarded", not_a_star_id,
     [](std::string_view id) { return "*PNP0C01," + std::string(id); }},
    {"PrefixLetterCaseIsIgnored", has_bus_prefix, lower_case_prefix},
};

class IdList : public ::testing::TestWithParam<same_result> {};

TEST_P(IdList, GivesTheCompactIdOfTheIdAlone) {
    const same_result& rule = GetParam();
    failure_log failures;
    std::size_t checked = 0;
    for (const std::string& id : corpus::all_ids()) {
        if (!rule.applies(id)) {
            continue;
        }
        ++checked;
        const std::string text = rule.text(id);
        const std::string alone(idconv::build_compact_id(id));
        const std::string in_list(idconv::build_compact_id(text));
        if (in_list != alone) {
            failures.add(text, "gives \"" + in_list + "\", the ID alone \"" + alone + "\"");
        }
    }
    EXPECT_GT(checked, 100000u);
    EXPECT_EQ(failures.count(), 0u) << failures.summary();
}

INSTANTIATE_TEST_SUITE_P(Corpus, IdList, ::testing::ValuesIn(same_results),
                         corpus::row_name{});

}  // namespace
