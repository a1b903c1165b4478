// JSON text for qvinst's --json output.
#include "tools/qvinst/json_writer.h"

namespace qvinst {
namespace {

constexpr char hex_digits[] = "0123456789abcdef";
constexpr unsigned char first_printable = 0x20;
constexpr unsigned char last_printable = 0x7E;

void append_unicode_escape(std::string& out, unsigned char byte) {
    out += "\\u00";
    out += hex_digits[byte >> 4];
    out += hex_digits[byte & 0xF];
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\b': out += "\\b"; continue;
            case '\f': out += "\\f"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            default: break;
        }
        if (byte < first_printable || byte > last_printable) {
            append_unicode_escape(out, byte);
        } else {
            out += c;
        }
    }
    out += '"';
}

void json_writer::before_value() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (!has_items_.empty()) {
        if (has_items_.back()) {
            out_ += ',';
        }
        has_items_.back() = true;
    }
}

json_writer& json_writer::open(char bracket) {
    before_value();
    out_ += bracket;
    has_items_.push_back(false);
    return *this;
}

json_writer& json_writer::close(char bracket) {
    has_items_.pop_back();
    out_ += bracket;
    return *this;
}

json_writer& json_writer::begin_object() { return open('{'); }
json_writer& json_writer::end_object() { return close('}'); }
json_writer& json_writer::begin_array() { return open('['); }
json_writer& json_writer::end_array() { return close(']'); }

json_writer& json_writer::key(std::string_view name) {
    before_value();
    append_json_string(out_, name);
    out_ += ':';
    after_key_ = true;
    return *this;
}

json_writer& json_writer::string(std::string_view text) {
    before_value();
    append_json_string(out_, text);
    return *this;
}

json_writer& json_writer::number(long long value) {
    before_value();
    out_ += std::to_string(value);
    return *this;
}

json_writer& json_writer::boolean(bool value) {
    before_value();
    out_ += value ? "true" : "false";
    return *this;
}

json_writer& json_writer::null() {
    before_value();
    out_ += "null";
    return *this;
}

json_writer& json_writer::string_or_null(std::string_view text) {
    return text.empty() ? null() : string(text);
}

}  // namespace qvinst
