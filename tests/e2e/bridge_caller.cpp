// The 32-bit library's bridge on ARM64 Windows, in an ARM64 DLL: the arm64
// Wine here runs no x86 program, so this stands in for the 32-bit library
// under WOW64 on ARM64. Its export runs the bridge's own code for that
// process (x86 on an ARM64 machine): the ARM64 helper is looked for beside
// this DLL, started with the section and the arguments as the 32-bit
// library passes them, and its answer returned. Where the 32-bit library
// would go on in process (no helper beside it, or it could not be
// started), this returns 0, which is no result code: nothing else runs.
//
// With QV_BRIDGE_CALLER=x64 it stands in for the x64 library in an x64
// process that ARM64 Windows emulates, which is no WOW64 process.
#include "include/quorvant.h"
#include "install/bridge/caller.h"

#include <cstring>

extern "C" int QV7_CALL qv7_installdevice(const char* inf_path, const char* compact_id) {
    char caller[8] = {};
    GetEnvironmentVariableA("QV_BRIDGE_CALLER", caller, sizeof caller);
    const bool x64 = std::strcmp(caller, "x64") == 0;
    const USHORT image = x64 ? USHORT{IMAGE_FILE_MACHINE_AMD64} : USHORT{IMAGE_FILE_MACHINE_I386};
    const wow64::machines m{x64 ? USHORT{IMAGE_FILE_MACHINE_UNKNOWN} : USHORT{IMAGE_FILE_MACHINE_I386},
                            IMAGE_FILE_MACHINE_ARM64};
    const wow64::bridged outcome =
        wow64::run_in_helper(wow64::helper_file_name(image, m), m, inf_path, compact_id);
    SetLastError(outcome.error);
    return outcome.result;
}
