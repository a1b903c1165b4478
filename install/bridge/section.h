// The shared section between the library and its helper: the request (the
// operation; the INF path, full and as the native view names it, or a
// published name, in UTF-16; the wanted ID's bytes) and, once the helper
// has run it, the answer: a marked record of the operation, the result and
// the last error, and for staging and removal the package's published name
// and the devices whose driver was removed.
//
// The library hands the helper the section by handle, inherited (only
// that handle), whose decimal value is the helper's one argument.
#pragma once

#include "install/package_results.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>

namespace wow64 {

// A call's result code and the last error the caller is to see; `result`
// is not_delegated when the call is to run in the caller's process.
inline constexpr int not_delegated = 0;
struct bridged {
    int result;
    DWORD error;
};

// What the helper is asked to do: the library's installation routine,
// driver_package::stage or driver_package::remove.
enum class operation : std::uint32_t { install = 1, stage = 2, remove = 3 };

// The answer record, at the start of the section. The helper writes every
// field but the marker, then the marker; the library takes the answer only
// when marker and check hold, the operation is the one it asked for and the
// result is one of the operation's (or not_delegated: the helper could not
// pass the INF path to the system in its code page, and the call runs in
// the caller). `result` is a result code of the library for an
// installation, and a package result's row number plus one for staging and
// removal; `name` holds `name_bytes` bytes, the published name.
struct answer_record {
    std::uint32_t marker;
    std::uint32_t operation;
    std::int32_t result;
    std::uint32_t error;
    std::uint32_t devices_removed;
    std::uint32_t name_bytes;
    char name[platform::max_path];
    std::uint32_t check;
};
inline constexpr std::uint32_t answer_marker = 0x5156'4141;   // "AAVQ"
inline constexpr std::uint32_t request_marker = 0x5156'5152;  // "RQVQ"

// The request, after the answer: its header, then the INF path's UTF-16
// code units, then the wanted ID's bytes (none for staging and removal); no
// terminating zeros.
struct request_header {
    std::uint32_t marker;
    std::uint32_t inf_units;
    std::uint32_t wanted_bytes;
    std::uint32_t operation;
};
inline constexpr std::size_t request_offset = sizeof(answer_record);
inline constexpr std::size_t inf_offset = request_offset + sizeof(request_header);
// Longest INF path the request carries, in UTF-16 code units.
inline constexpr std::size_t longest_inf_units = platform::longest_path;

// Bytes of the section for a request of this size.
std::size_t section_size(std::size_t inf_units, std::size_t wanted_bytes);

// Writes the request into `section` (section_size bytes, zeroed).
void write_request(unsigned char* section, operation what, std::u16string_view inf_path,
                   std::string_view wanted);

// The request read back from `section` of `size` bytes, or empty views
// with `valid` false when the header, the sizes or the contents (a zero
// unit or byte, an unknown operation, a wanted ID with staging or removal)
// are not what write_request leaves.
struct request {
    bool valid;
    operation what;
    std::u16string_view inf_path;
    std::string_view wanted;
};
request read_request(const unsigned char* section, std::size_t size);

// Writes the answer to an installation; the marker last.
void write_answer(unsigned char* section, int result, DWORD error);

// The answer to an installation in `section`, or {not_delegated, 0} with
// `answered` false.
struct answer {
    bool answered;
    bridged outcome;
};
answer read_answer(const unsigned char* section);

// Ties the marker to every other field of the record it was written with
// (FNV-1a over the record's bytes between the marker and the check, begun
// from the marker).
inline std::uint32_t answer_check(const answer_record& record) {
    const auto* const bytes = reinterpret_cast<const unsigned char*>(&record);
    std::uint32_t hash = 0x811C'9DC5u ^ answer_marker;
    for (std::size_t i = sizeof record.marker; i < offsetof(answer_record, check); ++i) {
        hash = (hash ^ bytes[i]) * 0x0100'0193u;
    }
    return ~hash;
}

// The record written into `section`, its check computed, the marker last
// (section_helper.cpp); and the record read out of it, true when it is a
// whole answer to `what`. The answers to staging and removal below are made
// of these, inline, so that the library, which never asks for them, links
// none of their code.
void write_record(unsigned char* section, answer_record& record);
inline bool read_record(const unsigned char* section, operation what, answer_record& record) {
    std::memcpy(&record, section, sizeof record);
    return record.marker == answer_marker && record.check == answer_check(record) &&
           record.operation == static_cast<std::uint32_t>(what);
}

// What staging or removing ended with; `delegated` false: the call runs in
// the caller (the helper's not_delegated).
struct package_outcome {
    bool delegated;
    driver_package::result what;
    DWORD error;
    std::string_view name;  // the published name; empty when there is none
    DWORD devices_removed;
};

// Writes the answer to staging or removal (`what` either); a name longer
// than the record holds is left out.
inline void write_package_answer(unsigned char* section, operation what, const package_outcome& outcome) {
    answer_record record{};
    record.operation = static_cast<std::uint32_t>(what);
    record.result = outcome.delegated ? static_cast<std::int32_t>(outcome.what) + 1 : not_delegated;
    record.error = outcome.error;
    record.devices_removed = outcome.devices_removed;
    if (outcome.name.size() < sizeof record.name) {
        record.name_bytes = static_cast<std::uint32_t>(outcome.name.size());
        std::memcpy(record.name, outcome.name.data(), outcome.name.size());
    }
    write_record(section, record);
}

// The answer to staging or removal (`what`) in `section`, its name a view
// into the section; `answered` false when there is none.
struct package_answer {
    bool answered;
    package_outcome outcome;
};
inline package_answer read_package_answer(const unsigned char* section, operation what) {
    const package_answer none{false, {false, driver_package::result::staged, 0, {}, 0}};
    answer_record record{};
    if ((what != operation::stage && what != operation::remove) ||
        !read_record(section, what, record) || record.result < not_delegated ||
        record.result > static_cast<std::int32_t>(std::size(driver_package::result_rows)) ||
        record.name_bytes >= sizeof record.name) {
        return none;
    }
    const std::string_view name(reinterpret_cast<const char*>(section) + offsetof(answer_record, name),
                                record.name_bytes);
    if (name.find('\0') != std::string_view::npos) return none;
    if (record.result == not_delegated) {
        return record.error == 0 && record.devices_removed == 0 && name.empty()
                   ? package_answer{true, none.outcome}
                   : none;
    }
    return {true,
            {true, static_cast<driver_package::result>(record.result - 1), record.error, name,
             record.devices_removed}};
}

}  // namespace wow64
