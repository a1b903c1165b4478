// The shared section between the library and its helper: the request (the
// INF path, full and as the native view names it, in UTF-16; the wanted
// ID's bytes) and, once the helper has run the installation routine, the
// answer: a marked record of the result code and the last error.
//
// The library hands the helper the section by handle, inherited (only
// that handle), whose decimal value is the helper's one argument.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wow64 {

// A call's result code and the last error the caller is to see; `result`
// is not_delegated when the call is to run in the caller's process.
inline constexpr int not_delegated = 0;
struct bridged {
    int result;
    DWORD error;
};

// The answer record, at the start of the section. The helper writes the
// result, the error and the check, then the marker; the library takes the
// answer only when marker and check hold and the result is a result code of
// the library (or not_delegated: the helper could not pass the INF path to
// the driver search in its code page, and the call runs in the caller).
struct answer_record {
    std::uint32_t marker;
    std::int32_t result;
    std::uint32_t error;
    std::uint32_t check;
};
inline constexpr std::uint32_t answer_marker = 0x5156'4141;   // "AAVQ"
inline constexpr std::uint32_t request_marker = 0x5156'5152;  // "RQVQ"

// The request, after the answer: its header, then the INF path's UTF-16
// code units, then the wanted ID's bytes; no terminating zeros.
struct request_header {
    std::uint32_t marker;
    std::uint32_t inf_units;
    std::uint32_t wanted_bytes;
    std::uint32_t reserved;
};
inline constexpr std::size_t request_offset = sizeof(answer_record);
inline constexpr std::size_t inf_offset = request_offset + sizeof(request_header);
// Longest INF path the request carries, in UTF-16 code units.
inline constexpr std::size_t longest_inf_units = platform::longest_path;

// Bytes of the section for a request of this size.
std::size_t section_size(std::size_t inf_units, std::size_t wanted_bytes);

// Writes the request into `section` (section_size bytes, zeroed).
void write_request(unsigned char* section, std::u16string_view inf_path, std::string_view wanted);

// The request read back from `section` of `size` bytes, or empty views
// with `valid` false when the header, the sizes or the contents (a zero
// unit or byte) are not what write_request leaves.
struct request {
    bool valid;
    std::u16string_view inf_path;
    std::string_view wanted;
};
request read_request(const unsigned char* section, std::size_t size);

// Writes the answer; the marker last.
void write_answer(unsigned char* section, int result, DWORD error);

// The answer in `section`, or {not_delegated, 0} with `answered` false.
struct answer {
    bool answered;
    bridged outcome;
};
answer read_answer(const unsigned char* section);

}  // namespace wow64
