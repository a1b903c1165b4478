// A small writer of compact JSON text, for qvinst's --json output.
//
// Strings are byte strings in the system's ANSI code page. They are written
// as pure ASCII: printable characters stand as they are, '"' and '\' and
// control characters are escaped, and every byte from 0x7F up becomes
// \u00XX, the code point of the same value. A reader recovers the exact
// bytes by encoding the decoded text as Latin-1 (Python:
// text.encode("latin-1")).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

// Appends `text` as a JSON string literal, quotes included.
void append_json_string(std::string& out, std::string_view text);

class json_writer {
public:
    json_writer& begin_object();
    json_writer& end_object();
    json_writer& begin_array();
    json_writer& end_array();
    // The key of the next member of the open object.
    json_writer& key(std::string_view name);
    json_writer& string(std::string_view text);
    json_writer& number(long long value);
    json_writer& boolean(bool value);
    json_writer& null();
    // `text`, or null when it is empty.
    json_writer& string_or_null(std::string_view text);

    // The text written so far, followed by a line end.
    std::string line() const { return out_ + "\n"; }

private:
    void before_value();
    json_writer& open(char bracket);
    json_writer& close(char bracket);

    std::string out_;
    std::vector<bool> has_items_;  // one entry per open object or array
    bool after_key_ = false;
};

}  // namespace qvinst
