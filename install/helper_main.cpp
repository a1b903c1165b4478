// QUORVANT64.exe: the 64-bit helper that the 32-bit library starts on 64-bit
// Windows, where a 32-bit process may not install device drivers.
//
//   QUORVANT64.exe SECTION_HANDLE
//
// SECTION_HANDLE is the decimal value of an inherited handle of the shared
// section that the library wrote its request into (install/bridge/section.h).
// The helper runs the library's installation routine with the request's INF
// path, in this process's ANSI code page, and wanted ID, and writes the
// result code and the last error after the routine into the section's
// answer record; then it exits with 0. When it cannot answer it exits with a Windows error code
// (ERROR_BAD_ARGUMENTS for anything but one handle of a well-formed request)
// and leaves no answer. A request to stage or remove a driver package runs
// driver_package::stage or driver_package::remove on the INF path (or
// published name) instead, and its answer carries what that ended with.
#include "idconv/compact_id.h"
#include "install/ID_MAIN2.h"
#include "install/bridge/section.h"
#include "install/driver_package.h"
#include "platform/own_module.h"
#include "platform/unique_handle.h"

#include <cstdint>
#include <cstring>

namespace {

// The handle's value: decimal digits only, no more than a handle holds.
HANDLE parse_handle(const char* text) {
    std::uint64_t value = 0;
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > 10) return nullptr;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return nullptr;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return value > 0xFFFF'FFFFu ? nullptr : reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

// The INF path in this process's ANSI code page, exactly: no best-fit or
// default character. Longest: every code unit as two bytes. On the stack:
// a zero-filled array of this size at namespace scope would be stored in
// the program file.
using ansi_path = char[2 * wow64::longest_inf_units + 1];

bool to_ansi(std::u16string_view path, ansi_path& inf_path) {
    const std::wstring_view units(reinterpret_cast<const wchar_t*>(path.data()), path.size());
    const int length = platform::narrow_exact(units, CP_ACP, inf_path, static_cast<int>(sizeof inf_path - 1));
    if (length <= 0) return false;
    inf_path[length] = '\0';
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const HANDLE section = argc == 2 ? parse_handle(argv[1]) : nullptr;
    if (!section) {
        return ERROR_BAD_ARGUMENTS;
    }
    const platform::unique_mapped_view mapped{MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0)};
    auto* const view = static_cast<unsigned char*>(mapped.get());
    MEMORY_BASIC_INFORMATION region{};
    if (!view || VirtualQuery(view, &region, sizeof region) == 0) {
        const DWORD error = GetLastError();
        return error ? static_cast<int>(error) : ERROR_BAD_ARGUMENTS;
    }
    const wow64::request request = wow64::read_request(view, region.RegionSize);
    if (!request.valid) {
        return ERROR_BAD_ARGUMENTS;
    }
    char wanted[idconv::compact_id::capacity + 2] = {};
    std::memcpy(wanted, request.wanted.data(), request.wanted.size());
    ansi_path inf_path;
    if (!to_ansi(request.inf_path, inf_path)) {
        // No ANSI name for the file here: the call runs in the caller.
        if (request.what == wow64::operation::install) {
            wow64::write_answer(view, wow64::not_delegated, 0);
        } else {
            wow64::write_package_answer(view, request.what, {false, {}, 0, {}, 0});
        }
        return 0;
    }
    if (request.what != wow64::operation::install) {
        const driver_package::outcome done = request.what == wow64::operation::stage
                                                  ? driver_package::stage(inf_path)
                                                  : driver_package::remove(inf_path);
        wow64::write_package_answer(view, request.what,
                                    {true, done.what, done.error, done.name.view(), done.devices_removed});
        return 0;
    }
    // The request holds the full path that the caller made, not empty, and
    // the routine takes it as it stands; this process is no caller a helper
    // would serve, and runs one call alone.
    const int result = ID_MAIN2::install_driver_for_device(nullptr, wanted, {inf_path, true});
    const DWORD error = GetLastError();
    wow64::write_answer(view, result, error);
    return 0;
}
