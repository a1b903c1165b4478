// qvinst's output: a small writer of compact JSON text, and a report that
// tells each field once for both the text and the JSON.
//
// Strings are byte strings in the system's ANSI code page, written as pure
// ASCII: '"', '\' and control characters escaped, every byte from 0x7F up
// as \u00XX of the same value. Encoding the decoded text as Latin-1 gives
// the bytes back (Python: text.encode("latin-1")).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvinst {

inline std::string_view or_dash(std::string_view text) { return text.empty() ? "-" : text; }
inline std::string_view or_none(std::string_view text) { return text.empty() ? "none" : text; }

// Appends `text` as a JSON string literal, quotes included.
inline void append_json_string(std::string& out, std::string_view text) {
    constexpr char hex_digits[] = "0123456789abcdef";
    constexpr std::string_view short_escapes = "\"\"\\\\\bb\ff\nn\rr\tt";  // pairs: byte, letter
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const std::size_t escape = short_escapes.find(c);
        if (escape != std::string_view::npos && escape % 2 == 0) {
            out += '\\';
            out += short_escapes[escape + 1];
        } else if (byte < 0x20 || byte > 0x7E) {
            out += "\\u00";
            out += hex_digits[byte >> 4];
            out += hex_digits[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

class json_writer {
public:
    json_writer& begin_object() { return open('{'); }
    json_writer& end_object() { return close('}'); }
    json_writer& begin_array() { return open('['); }
    json_writer& end_array() { return close(']'); }
    // The key of the next member of the open object.
    json_writer& key(std::string_view name) {
        append_json_string(value(), name);
        out_ += ':';
        after_key_ = true;
        return *this;
    }
    json_writer& string(std::string_view text) {
        append_json_string(value(), text);
        return *this;
    }
    json_writer& number(long long n) { return raw(std::to_string(n)); }
    json_writer& boolean(bool b) { return raw(b ? "true" : "false"); }
    json_writer& null() { return raw("null"); }
    json_writer& string_or_null(std::string_view text) { return text.empty() ? null() : string(text); }
    template <typename Number>
    json_writer& number_or_null(const std::optional<Number>& n) { return n ? number(*n) : null(); }
    // The text written so far, and a line end.
    std::string line() const { return out_ + "\n"; }

private:
    // The text, with the comma that separates a value from the one before.
    std::string& value() {
        if (!after_key_ && !has_items_.empty()) {
            if (has_items_.back()) out_ += ',';
            has_items_.back() = true;
        }
        after_key_ = false;
        return out_;
    }
    json_writer& raw(std::string_view text) {
        value() += text;
        return *this;
    }
    json_writer& open(char bracket) {
        raw(std::string_view(&bracket, 1));
        has_items_.push_back(false);
        return *this;
    }
    json_writer& close(char bracket) {
        has_items_.pop_back();
        out_ += bracket;
        return *this;
    }

    std::string out_;
    std::vector<bool> has_items_;  // one entry per open object or array
    bool after_key_ = false;
};

// A command's output told once: a field is a line "label: text" of the text
// and a member of one JSON object; a record (a device, a driver) is a line
// of tab-separated cells ("-" for an empty one) and an object of an array.
// What only one of the two has goes to `text` or `json` itself.
struct report {
    std::string text;
    json_writer json;

    report() { json.begin_object(); }
    report& line(std::string_view label, std::string_view shown) {
        text += std::string(label) + ": " + std::string(shown) + "\n";
        return *this;
    }
    report& field(std::string_view key, std::string_view label, std::string_view value,
                  std::optional<std::string_view> shown = std::nullopt) {
        json.key(key).string(value);
        return line(label, shown.value_or(value));
    }
    // null in JSON and "none" in the text when `value` is empty.
    report& field_or_null(std::string_view key, std::string_view label, std::string_view value) {
        json.key(key).string_or_null(value);
        return line(label, or_none(value));
    }
    report& begin_record(std::string_view mark) {
        json.begin_object();
        text += mark;
        return *this;
    }
    report& cell(std::string_view key, std::string_view value) {
        json.key(key).string(value);
        return shown_cell(value);
    }
    // A cell of the text alone.
    report& shown_cell(std::string_view shown) {
        text += std::string(or_dash(shown)) + '\t';
        return *this;
    }
    report& end_record() {
        json.end_object();
        text.back() = '\n';
        return *this;
    }
    std::string output(bool as_json) { return as_json ? json.end_object().line() : text; }
};

}  // namespace qvinst
