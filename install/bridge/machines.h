// Which helper serves which machine. On 64-bit Windows a 32-bit process may
// not install device drivers (the platform refuses with ERROR_IN_WOW64), nor
// may an x64 process that ARM64 Windows emulates; there the library runs
// the whole call in the helper of the system's machine, the native build of
// the same routine, when that file stands beside the library.
//
// Plain code: no platform header, so that qvinst's text layer reads the
// table too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wow64 {

// A machine's number, IMAGE_FILE_MACHINE_...; 0 is IMAGE_FILE_MACHINE_UNKNOWN.
using machine = std::uint16_t;

struct machine_row {
    machine number;
    std::string_view architecture;    // as INF decorations name it
    std::string_view release_folder;  // below dist/; empty: dist/ itself
    const wchar_t* helper;            // the helper's file name; empty: none
};

enum class machine_name : std::size_t {
#define QV_MACHINE(name, number, architecture, folder, helper, description, processor) name,
#include "install/bridge/machines.def"
#undef QV_MACHINE
};

inline constexpr machine_row machine_rows[] = {
#define QV_MACHINE(name, number, architecture, folder, helper, description, processor) \
    {number, architecture, folder, L"" helper},
#include "install/bridge/machines.def"
#undef QV_MACHINE
};

constexpr const machine_row& row_of(machine_name name) {
    return machine_rows[static_cast<std::size_t>(name)];
}

// The row of machine `number`; null for a machine without one.
const machine_row* find_machine(machine number);

// The machine this code is built for.
#if defined(__aarch64__) || defined(_M_ARM64)
inline constexpr machine_row this_build = row_of(machine_name::ARM64);
#elif defined(__x86_64__) || defined(_M_X64)
inline constexpr machine_row this_build = row_of(machine_name::AMD64);
#else
inline constexpr machine_row this_build = row_of(machine_name::I386);
#endif
inline constexpr machine this_image_machine = this_build.number;
// Whether a process of this build can run on a system of another machine
// (x86 under WOW64, x64 emulated on ARM64), where a helper serves it. An
// ARM64 process runs natively wherever it runs: its build needs no caller.
inline constexpr bool this_build_may_be_served =
    this_image_machine != row_of(machine_name::ARM64).number;

// What IsWow64Process2 reports for this process: the machine the process
// runs as under WOW64 (IMAGE_FILE_MACHINE_UNKNOWN when it is no WOW64
// process) and the system's native machine.
struct machines {
    machine process;
    machine native;
};

// What a system without IsWow64Process2 (x64 Windows before 10 1709; every
// ARM64 Windows has it) implies through IsWow64Process: WOW64 there is an
// x86 process on x64.
machines machines_without_is_wow64_process2(bool wow64);

// The helper that runs the call for a library built for `image` in a
// process on these machines, or null when the call runs in this process:
// a WOW64 process, and a native one whose library is built for another
// 64-bit machine than the system's, are served by the system's helper.
const wchar_t* helper_file_name(machine image, machines m);

#if defined(_WIN32)
// This process's machines, from IsWow64Process2 where the system has it.
machines this_process_machines();
#endif

}  // namespace wow64
