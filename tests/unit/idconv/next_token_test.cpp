// next_token: cutting tokens at a delimiter, and where the cursor ends.
#include "test_support.h"

#include <cstddef>
#include <string>
#include <vector>

namespace idconv_test {
namespace {

using namespace std::string_literals;

struct token_step {
    std::string token;
    std::size_t cursor_after;
};

struct token_case {
    std::string name;
    std::string text;
    char delimiter;
    std::size_t start;
    std::vector<token_step> steps;
};

void PrintTo(const token_case& row, std::ostream* os) {
    *os << row.name << ": " << escaped(row.text) << " at " << row.start;
}

std::string describe(const std::vector<token_step>& steps) {
    std::string out;
    for (const token_step& step : steps) {
        out += escaped(step.token) + "->" + std::to_string(step.cursor_after) + " ";
    }
    return out;
}

class next_token_cuts : public testing::TestWithParam<token_case> {};

// Walks the text as the builder does, while the cursor is not beyond the end.
TEST_P(next_token_cuts, gives_tokens_and_cursors) {
    const token_case& row = GetParam();
    std::vector<token_step> got;
    std::size_t cursor = row.start;
    while (cursor <= row.text.size() && got.size() <= row.text.size() + 1) {
        const std::string_view token = idconv::next_token(row.text, cursor, row.delimiter);
        got.push_back({std::string(token), cursor});
    }
    EXPECT_EQ(describe(got), describe(row.steps));
}

INSTANTIATE_TEST_SUITE_P(rows, next_token_cuts, testing::Values(
    token_case{"empty_text_gives_no_token", "", ',', 1, {}},
    token_case{"single_token_cursor_one_past_end", "ABC", ',', 1, {{"ABC", 4}}},
    token_case{"two_tokens_cursor_after_last_is_4", "A,B", ',', 1, {{"A", 3}, {"B", 4}}},
    token_case{"double_delimiter_gives_empty_token", "A,,B", ',', 1, {{"A", 3}, {"", 4}, {"B", 5}}},
    token_case{"trailing_delimiter_gives_no_last_token", "A,", ',', 1, {{"A", 3}}},
    token_case{"leading_delimiter_gives_empty_first_token", ",A", ',', 1, {{"", 2}, {"A", 3}}},
    token_case{"lone_delimiter_gives_one_empty_token", ",", ',', 1, {{"", 2}}},
    token_case{"two_delimiters_give_two_empty_tokens", ",,", ',', 1, {{"", 2}, {"", 3}}},
    token_case{"start_inside_text", "AB,CD", ',', 2, {{"B", 4}, {"CD", 6}}},
    token_case{"start_on_delimiter", "AB,CD", ',', 3, {{"", 4}, {"CD", 6}}},
    token_case{"start_on_last_character", "AB", ',', 2, {{"B", 3}}},
    token_case{"other_delimiters_stay_in_token", "A&B,C", ',', 1, {{"A&B", 5}, {"C", 6}}},
    token_case{"ampersand_delimiter", "A&B,C", '&', 1, {{"A", 3}, {"B,C", 6}}},
    token_case{"pci_body_fields", "PCI\\VEN_1&DEV_2", '&', 5, {{"VEN_1", 11}, {"DEV_2", 16}}},
    token_case{"nul_byte_is_ordinary", "A\0B"s, ',', 1, {{"A\0B"s, 4}}},
    token_case{"nul_byte_as_delimiter", "A\0B"s, '\0', 1, {{"A", 3}, {"B", 4}}},
    token_case{"high_bytes_are_ordinary", "\xFF,\x80", ',', 1, {{"\xFF", 3}, {"\x80", 4}}},
    token_case{"high_byte_as_delimiter", "A\xAC" "B", '\xAC', 1, {{"A", 3}, {"B", 4}}},
    token_case{"blanks_are_kept", " A , B ", ',', 1, {{" A ", 5}, {" B ", 8}}}),
    row_name{});

// A cursor already beyond the end gives an empty token and stays put, so a
// caller that overshoots cannot read outside the text.
TEST(next_token_beyond_end, gives_empty_token_and_keeps_cursor) {
    for (const std::size_t start : {std::size_t{3}, std::size_t{4}, std::size_t{100}}) {
        SCOPED_TRACE("start " + std::to_string(start));
        std::size_t cursor = start;
        EXPECT_EQ(idconv::next_token("AB", cursor, ','), "");
        EXPECT_EQ(cursor, start);
    }
}

}  // namespace
}  // namespace idconv_test
