// The shared section as the helper reads and answers it; apart from the
// library's side (section.cpp), so that the library links none of it.
#include "install/bridge/section.h"

#include "idconv/compact_id.h"

#include <atomic>
#include <cstring>

namespace wow64 {

request read_request(const unsigned char* section, std::size_t size) {
    const request none{false, operation::install, {}, {}};
    request_header header{};
    if (size < inf_offset) return none;
    std::memcpy(&header, section + request_offset, sizeof header);
    const auto what = static_cast<operation>(header.operation);
    const bool known = what == operation::install || what == operation::stage ||
                       what == operation::remove;
    if (header.marker != request_marker || !known || header.inf_units == 0 ||
        header.inf_units > longest_inf_units ||
        header.wanted_bytes > (what == operation::install ? idconv::compact_id::capacity + 1 : 0) ||
        section_size(header.inf_units, header.wanted_bytes) > size) {
        return none;
    }
    const request found{
        true, what,
        {reinterpret_cast<const char16_t*>(section + inf_offset), header.inf_units},
        {reinterpret_cast<const char*>(section + inf_offset + header.inf_units * sizeof(char16_t)),
         header.wanted_bytes}};
    const bool zero_free = found.inf_path.find(u'\0') == std::u16string_view::npos &&
                           found.wanted.find('\0') == std::string_view::npos;
    return zero_free ? found : none;
}

void write_record(unsigned char* section, answer_record& record) {
    record.check = answer_check(record);
    std::memcpy(section, &record, sizeof record);
    // The marker goes in last: a process that ends between the two writes
    // leaves no answer.
    std::atomic_thread_fence(std::memory_order_release);
    record.marker = answer_marker;
    std::memcpy(section, &record.marker, sizeof record.marker);
}

void write_answer(unsigned char* section, int result, DWORD error) {
    answer_record record{};
    record.operation = static_cast<std::uint32_t>(operation::install);
    record.result = result;
    record.error = error;
    write_record(section, record);
}

}  // namespace wow64
