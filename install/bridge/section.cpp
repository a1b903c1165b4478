// The shared section's request and answer.
#include "install/bridge/section.h"

#include "idconv/compact_id.h"
#include "install/result_codes.h"

#include <array>
#include <atomic>
#include <cstring>
#include <iterator>

namespace wow64 {
namespace {

// Ties the marker to the result and the error it was written with.
std::uint32_t answer_check(std::int32_t result, std::uint32_t error) {
    const std::uint32_t mixed = (static_cast<std::uint32_t>(result) * 0x9E37'79B9u) ^
                                ((error << 13) | (error >> 19));
    return ~(mixed ^ answer_marker);
}

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

void write_request(unsigned char* section, std::u16string_view inf_path, std::string_view wanted) {
    const request_header header{request_marker, static_cast<std::uint32_t>(inf_path.size()),
                                static_cast<std::uint32_t>(wanted.size()), 0};
    std::memcpy(section + request_offset, &header, sizeof header);
    std::memcpy(section + inf_offset, inf_path.data(), inf_path.size() * sizeof(char16_t));
    std::memcpy(section + inf_offset + inf_path.size() * sizeof(char16_t), wanted.data(),
                wanted.size());
}

request read_request(const unsigned char* section, std::size_t size) {
    const request none{false, {}, {}};
    request_header header{};
    if (size < inf_offset) return none;
    std::memcpy(&header, section + request_offset, sizeof header);
    if (header.marker != request_marker || header.inf_units == 0 ||
        header.inf_units > longest_inf_units ||
        header.wanted_bytes > idconv::compact_id::capacity + 1 ||
        section_size(header.inf_units, header.wanted_bytes) > size) {
        return none;
    }
    const request found{
        true,
        {reinterpret_cast<const char16_t*>(section + inf_offset), header.inf_units},
        {reinterpret_cast<const char*>(section + inf_offset + header.inf_units * sizeof(char16_t)),
         header.wanted_bytes}};
    const bool zero_free = found.inf_path.find(u'\0') == std::u16string_view::npos &&
                           found.wanted.find('\0') == std::string_view::npos;
    return zero_free ? found : none;
}

void write_answer(unsigned char* section, int result, DWORD error) {
    answer_record record{0, result, error, answer_check(result, error)};
    std::memcpy(section, &record, sizeof record);
    // The marker goes in last: a process that ends between the two writes
    // leaves no answer.
    std::atomic_thread_fence(std::memory_order_release);
    record.marker = answer_marker;
    std::memcpy(section, &record.marker, sizeof record.marker);
}

answer read_answer(const unsigned char* section) {
    answer_record record{};
    std::memcpy(&record, section, sizeof record);
    const bool answered = record.marker == answer_marker &&
                          record.check == answer_check(record.result, record.error) &&
                          (is_result_code(record.result) || record.result == not_delegated);
    return answered ? answer{true, {record.result, record.error}}
                    : answer{false, {not_delegated, 0}};
}

}  // namespace wow64
