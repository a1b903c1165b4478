// On 64-bit Windows a 32-bit process may not install device drivers (the
// platform refuses with ERROR_IN_WOW64). There the 32-bit library runs the
// whole call in QUORVANT64.exe, the 64-bit build of the same routine, when
// that file stands beside the library.
//
// The bridge: the library finds the helper by the wide-character path of
// its own file, starts it by that full path with the system directory as
// its current folder, and hands it one shared section, inherited by handle
// (only that handle), whose value is the helper's one argument. The section
// holds the request (the INF path, full and as the caller's file-system view
// names it, in UTF-16; the wanted ID's bytes) and, once the helper has
// called the library's entry point, the answer: a marked record of the
// result code and the last error. A helper that ends without a well-formed
// answer gives -3, with its exit status as the caller's last error.
#pragma once

#include "platform/platform.h"
#if defined(_WIN32)
#include "platform/unique_handle.h"
#endif

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wow64 {

// ---- Which helper: (process machine, native machine) -> helper file name.

// What IsWow64Process2 reports for this process: the machine the process
// runs as under WOW64 (IMAGE_FILE_MACHINE_UNKNOWN when it is no WOW64
// process) and the system's native machine.
struct machines {
    USHORT process;
    USHORT native;
};

// What a system without IsWow64Process2 (x64 Windows before 10 1709; every
// ARM64 Windows has it) implies through IsWow64Process: WOW64 there is an
// x86 process on x64.
machines machines_without_is_wow64_process2(bool wow64);

// The machine this library is built for.
#if defined(__aarch64__) || defined(_M_ARM64)
inline constexpr USHORT this_image_machine = IMAGE_FILE_MACHINE_ARM64;
#elif defined(__x86_64__) || defined(_M_X64)
inline constexpr USHORT this_image_machine = IMAGE_FILE_MACHINE_AMD64;
#else
inline constexpr USHORT this_image_machine = IMAGE_FILE_MACHINE_I386;
#endif

// The helper that runs the call for a library built for `image` in a
// process on these machines, or null when the call runs in this process.
const wchar_t* helper_file_name(USHORT image, machines m);

#if defined(_WIN32)
// This process's machines, from IsWow64Process2 where the system has it.
machines this_process_machines();
#endif

// ---- The call and its outcome.

// What run_in_64bit_helper returns: the result code and the last error the
// caller is to see; `result` is not_delegated when the call is to run in
// this process.
inline constexpr int not_delegated = 0;
struct bridged {
    int result;
    DWORD error;
};

// Runs the call in the helper. Returns not_delegated when no helper is
// chosen for this process, none stands in the library's own folder, it
// cannot be started, or the INF path cannot be made full or passed to the
// helper (the call in process then gives what it gives). `inf_path` is not
// empty.
bridged run_in_64bit_helper(const char* inf_path, const char* compact_id);

// ---- The files beside this module.

#if defined(_WIN32)
// A wide text on the process heap, grown on demand; empty when a growth
// found no memory.
class wide_text {
public:
    wide_text() = default;
    wide_text(const wide_text&) = delete;
    wide_text& operator=(const wide_text&) = delete;

    // Room for `units` code units and a zero; false when there is no memory.
    bool reserve(std::size_t units) {
        if (units < capacity_) return true;
        block_.reset(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (units + 1) * sizeof(wchar_t)));
        capacity_ = block_ ? units + 1 : 0;
        size_ = 0;
        return block_.valid();
    }
    wchar_t* data() const { return static_cast<wchar_t*>(block_.get()); }
    DWORD capacity() const { return static_cast<DWORD>(capacity_); }
    void set_size(std::size_t units) { size_ = units; }
    std::wstring_view view() const { return {data(), size_}; }

private:
    platform::unique_heap_block block_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// The full path of `name` (a file name, or a path below the folder) in the
// folder of the module this code is linked into (the library, the helper,
// qvinst), from the module's wide name, whole: a path of MAX_PATH
// characters or more in its "\\?\" form, which the platform takes at any
// length. False when the module's name cannot be read or there is no
// memory; whether the file exists is the caller's to find out.
bool path_beside_own_module(wide_text& path, std::wstring_view name);

// The INF path as a native process is to get it: the caller's bytes read in
// the caller's ANSI code page as the platform's ANSI calls read them, made
// full from this process's current folder, and named as the native view
// names the file this process's view names (another name only when
// `wow64_view`). False when it cannot be made.
bool native_inf_path(wide_text& native, const char* inf_path, bool wow64_view);
#endif
// The same for a process on machines `m`, with the helper `file_name`
// (helper_file_name's choice for them): run_in_64bit_helper passes this
// process's own. The helper is looked for beside the module this code is
// linked into; the INF path is named in the native view when `m` is a WOW64
// process's.
bridged run_in_helper(const wchar_t* file_name, machines m, const char* inf_path,
                      const char* compact_id);

// ---- The caller's file-system view.

// The folders a WOW64 process sees under other names: %windir%\System32 is
// the 32-bit system folder (SysWOW64) but for a few subfolders the system
// does not redirect, and %windir%\Sysnative is the native System32.
struct view_folders {
    std::wstring_view windows;     // GetSystemWindowsDirectoryW
    std::wstring_view system;      // GetSystemDirectoryW: "…\System32"
    std::wstring_view system_x86;  // GetSystemWow64DirectoryW: "…\SysWOW64"
};

// Where a full path in the caller's view leads in the native view: the
// leading `cut` characters are replaced by `with` (cut 0: unchanged).
// Folder names compare without regard to ASCII letter case.
struct redirection {
    std::size_t cut;
    std::wstring_view with;
};
redirection native_view(std::wstring_view full_path, const view_folders& folders);

// ---- The shared section.

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
// Longest INF path the request carries, in UTF-16 code units: the longest
// path the platform takes.
inline constexpr std::size_t longest_inf_units = 32767;

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
