// Which helper serves which machine.
#include "install/bridge/machines.h"

#include "platform/platform.h"

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

const wchar_t* helper_file_name(machine image, machines m) {
    // IsWow64Process2 reports an x64 process that ARM64 Windows emulates as
    // it reports a native ARM64 one: only the library's own machine tells
    // them apart. A library for a machine that has a helper is a 64-bit one.
    const machine_row* native = find_machine(m.native);
    const machine_row* own = find_machine(image);
    const bool wow64 = m.process != IMAGE_FILE_MACHINE_UNKNOWN;
    const bool emulated = !wow64 && own && *own->helper && image != m.native;
    return native && *native->helper && (wow64 || emulated) ? native->helper : nullptr;
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
