// The platform seam: every operating-system operation that install/ calls,
// with its records and constants, under its Windows name.
//
// On the Windows builds these are the real Windows headers and libraries
// (setupapi, kernel32). The host build is given the same names by a
// simulation of its own, so the code in install/ is one source for both.
#pragma once

#include "platform/system_headers.h"

#include <cstddef>

namespace platform {

// The size fields of the Setup API records: the sizes of their layouts in
// this build, 32-bit (also the simulated platform's) or 64-bit. The checks
// below hold on every build: a record laid out otherwise does not compile.
struct record_sizes {
    DWORD devinfo_data;    // SP_DEVINFO_DATA
    DWORD install_params;  // SP_DEVINSTALL_PARAMS_A
    DWORD driver_info;     // SP_DRVINFO_DATA_V2_A
};
inline constexpr record_sizes layout_32_bit{28, 296, 796};
inline constexpr record_sizes layout_64_bit{32, 320, 800};
#if defined(_WIN64)
inline constexpr record_sizes record_size = layout_64_bit;
#else
inline constexpr record_sizes record_size = layout_32_bit;
#endif
inline constexpr DWORD devinfo_data_size = record_size.devinfo_data;
inline constexpr DWORD install_params_size = record_size.install_params;
inline constexpr DWORD driver_info_size = record_size.driver_info;
inline constexpr std::size_t max_path = 260;  // MAX_PATH
// The longest path the platform takes, in UTF-16 code units (a "\\?\" path).
inline constexpr std::size_t longest_path = 32767;

static_assert(sizeof(SP_DEVINFO_DATA) == devinfo_data_size,
              "SP_DEVINFO_DATA is not laid out as this build's platform lays it out");
static_assert(sizeof(SP_DEVINSTALL_PARAMS_A) == install_params_size,
              "SP_DEVINSTALL_PARAMS_A is not laid out as this build's platform lays it out");
static_assert(sizeof(SP_DRVINFO_DATA_V2_A) == driver_info_size,
              "SP_DRVINFO_DATA_V2_A is not laid out as this build's platform lays it out");
static_assert(sizeof(SP_DEVINSTALL_PARAMS_A::DriverPath) == max_path);

// InstallSelectedDriver of NEWDEV.DLL: parent window, device information set,
// reserved (null), backup flag, address of the reboot word. Loaded at run time.
using install_selected_driver_fn = BOOL(WINAPI*)(HWND parent, HDEVINFO set, LPCSTR reserved,
                                                 BOOL backup, PDWORD reboot);

}  // namespace platform
