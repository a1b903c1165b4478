// JSON text: every byte escaped so that the output is valid, pure-ASCII
// JSON, and the structure written with its commas and colons in place.
#include "qvinst_test_support.h"

#include "tools/qvinst/json.h"

#include <string>

namespace {

using qvinst_test::escaped;
using qvinst_test::row_name;

struct escape_case {
    std::string name;
    std::string text;
    std::string literal;
};

void PrintTo(const escape_case& row, std::ostream* os) {
    *os << row.name << ": " << escaped(row.text);
}

class JsonString : public testing::TestWithParam<escape_case> {};

TEST_P(JsonString, IsWrittenAsThisLiteral) {
    const escape_case& row = GetParam();
    std::string out;
    qvinst::append_json_string(out, row.text);
    EXPECT_EQ(out, row.literal);
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, JsonString,
    testing::Values(
        escape_case{"empty", "", R"("")"},
        escape_case{"plain_id_unchanged", "PCI1234ffff", R"("PCI1234ffff")"},
        escape_case{"backslashes_of_instance_id", "ROOT\\SYSTEM\\0000", R"("ROOT\\SYSTEM\\0000")"},
        escape_case{"double_quote", "a\"b", R"("a\"b")"},
        escape_case{"slash_needs_no_escape", "a/b", R"("a/b")"},
        escape_case{"short_escapes", "\b\f\n\r\t", R"("\b\f\n\r\t")"},
        escape_case{"zero_byte_inside", std::string("a\0b", 3), R"("a\u0000b")"},
        escape_case{"other_control_characters", "\x01\x1f\x0b", R"("\u0001\u001f\u000b")"},
        escape_case{"space_and_tilde_printable", " ~", R"(" ~")"},
        escape_case{"delete_escaped", "\x7f", R"("\u007f")"},
        escape_case{"high_bytes_as_same_code_point", "\x80\xe9\xff", R"("\u0080\u00e9\u00ff")"},
        escape_case{"utf8_bytes_kept_byte_by_byte", "\xc3\xa9", R"("\u00c3\u00a9")"}),
    row_name{});

TEST(JsonWriter, SeparatesMembersAndItemsAndNests) {
    qvinst::json_writer json;
    json.begin_object()
        .key("a").number(-10)
        .key("b").begin_array()
            .string("x")
            .begin_object().key("c").boolean(true).key("d").null().end_object()
            .begin_array().end_array()
            .boolean(false)
        .end_array()
        .key("e").begin_object().end_object()
        .end_object();
    EXPECT_EQ(json.line(), R"({"a":-10,"b":["x",{"c":true,"d":null},[],false],"e":{}})" "\n");
}

TEST(JsonWriter, EscapesKeysLikeValues) {
    qvinst::json_writer json;
    json.begin_object().key("k\"\\").string("v").end_object();
    EXPECT_EQ(json.line(), R"({"k\"\\":"v"})" "\n");
}

}  // namespace
