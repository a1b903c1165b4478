// The shared section's request and answer, as the library writes and
// reads them; section_helper.cpp holds the helper's side.
#include "install/bridge/section.h"

#include "idconv/compact_id.h"
#include "install/result_codes.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <iterator>

namespace wow64 {

namespace {

// The result codes' values alone, taken from the table when this compiles:
// their names and meanings stay out of the library and the helper.
constexpr auto result_values = [] {
    std::array<std::int32_t, std::size(result_codes::table)> values{};
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = result_codes::table[i].value;
    return values;
}();

bool is_result_code(std::int32_t value) {
    for (const std::int32_t code : result_values) {
        if (code == value) return true;
    }
    return false;
}

}  // namespace

std::size_t section_size(std::size_t inf_units, std::size_t wanted_bytes) {
    return inf_offset + inf_units * sizeof(char16_t) + wanted_bytes;
}

void write_request(unsigned char* section, operation what, std::u16string_view inf_path,
                   std::string_view wanted) {
    const request_header header{request_marker, static_cast<std::uint32_t>(inf_path.size()),
                                static_cast<std::uint32_t>(wanted.size()),
                                static_cast<std::uint32_t>(what)};
    std::memcpy(section + request_offset, &header, sizeof header);
    std::memcpy(section + inf_offset, inf_path.data(), inf_path.size() * sizeof(char16_t));
    std::memcpy(section + inf_offset + inf_path.size() * sizeof(char16_t), wanted.data(),
                wanted.size());
}

answer read_answer(const unsigned char* section) {
    answer_record record{};
    const bool answered = read_record(section, operation::install, record) &&
                          (is_result_code(record.result) || record.result == not_delegated);
    return answered ? answer{true, {record.result, record.error}}
                    : answer{false, {not_delegated, 0}};
}

}  // namespace wow64
