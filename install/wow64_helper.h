// On 64-bit Windows a 32-bit process may not install device drivers (the
// platform refuses with ERROR_IN_WOW64). There the 32-bit library runs the
// whole call in QUORVANT64.exe, the 64-bit build of the same routine, when
// that file stands beside the library.
#pragma once

namespace wow64 {

inline constexpr const char* helper_file_name = "QUORVANT64.exe";

// What run_in_64bit_helper returns when the call is to run in this process;
// 0 is no result code of the library.
inline constexpr int not_delegated = 0;

// Runs the call in the helper and returns its result code (-3 when the
// helper ends with a status that is no result code). Returns not_delegated
// in a 64-bit process, on 32-bit Windows, on any Windows but x64, when no
// helper stands in the library's own folder, when it cannot be started, and
// when the call cannot reach the driver installer anyway (an INF path whose
// full form is too long for the driver search). `inf_path` is not empty.
int run_in_64bit_helper(const char* inf_path, const char* compact_id);

}  // namespace wow64
