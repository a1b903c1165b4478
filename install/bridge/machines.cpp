// Which helper serves which machine.
#include "install/bridge/machines.h"

#include "platform/platform.h"

#include <array>
#include <iterator>

namespace wow64 {

#define QV_MACHINE(name, number, architecture, folder, helper, description, processor) \
    static_assert(number == IMAGE_FILE_MACHINE_##name, #name " is numbered otherwise by the platform");
#include "install/bridge/machines.def"
#undef QV_MACHINE

const machine_row* find_machine(machine number) {
    for (const machine_row& row : machine_rows) {
        if (row.number == number) return &row;
    }
    return nullptr;
}

machines machines_without_is_wow64_process2(bool wow64) {
    return wow64 ? machines{IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64}
                 : machines{IMAGE_FILE_MACHINE_UNKNOWN, IMAGE_FILE_MACHINE_UNKNOWN};
}

namespace {

// Each machine's helper, null for none: all the library needs of the table,
// taken from it when this compiles.
struct machine_helper {
    machine number;
    const wchar_t* helper;
};
constexpr auto machine_helpers = [] {
    std::array<machine_helper, std::size(machine_rows)> helpers{};
    for (std::size_t i = 0; i < helpers.size(); ++i) {
        const machine_row& row = machine_rows[i];
        helpers[i] = {row.number, *row.helper ? row.helper : nullptr};
    }
    return helpers;
}();

const wchar_t* helper_of(machine number) {
    for (const machine_helper& row : machine_helpers) {
        if (row.number == number) return row.helper;
    }
    return nullptr;
}

}  // namespace

const wchar_t* helper_file_name(machine image, machines m) {
    // IsWow64Process2 reports an x64 process that ARM64 Windows emulates as
    // it reports a native ARM64 one: only the library's own machine tells
    // them apart. A library for a machine that has a helper is a 64-bit one.
    const bool wow64 = m.process != IMAGE_FILE_MACHINE_UNKNOWN;
    const bool emulated = !wow64 && helper_of(image) && image != m.native;
    return wow64 || emulated ? helper_of(m.native) : nullptr;
}

#if defined(_WIN32)
machines this_process_machines() {
    using is_wow64_process2_fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel ? GetProcAddress(kernel, "IsWow64Process2") : nullptr;
    if (found) {
        const auto is_wow64_process2 =
            reinterpret_cast<is_wow64_process2_fn>(reinterpret_cast<void (*)()>(found));
        USHORT process = IMAGE_FILE_MACHINE_UNKNOWN;
        USHORT native = IMAGE_FILE_MACHINE_UNKNOWN;
        return is_wow64_process2(GetCurrentProcess(), &process, &native)
                   ? machines{process, native}
                   : machines{IMAGE_FILE_MACHINE_UNKNOWN, IMAGE_FILE_MACHINE_UNKNOWN};
    }
    BOOL wow64 = FALSE;
    return machines_without_is_wow64_process2(IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}
#endif

}  // namespace wow64
