// QUORVANT.dll's result codes as qvinst reports them: name, meaning and the
// exit status that qvinst ends with.
//
// Exit statuses:
//   0     installed (result 1); for the other commands: done
//   1     qvinst could not do its work (QUORVANT.dll missing or without its
//         export, out of memory, output not written)
//   2     bad arguments, or a command this build does not offer
//   3     id: at least one text has no compact ID
//   4     drivers, install --explain, stage, remove: under WOW64, the native qvinst that
//         runs them cannot be started
//   3010  installed, and a reboot (result 2) or restart (result 3) is needed
//   10-N  result -N: 11 no device, 12 no driver, 13 installation failed,
//         14 no INF path, 17 no NEWDEV.DLL, 18 not an NT driver, 19 no entry
//         point, 20 out of memory; find also ends with 11 when the library
//         would pick no device
//   30    a result code outside the library's table
//   stage and remove: the exit status of their result
//         (install/package_results.def): 0 done or nothing to remove, 3010
//         removed and a restart is needed, 21 to 24 refused or failed, 740
//         not run as administrator
#pragma once

#include "install/result_codes.h"

namespace qvinst {

inline constexpr int exit_success = 0;
inline constexpr int exit_trouble = 1;
inline constexpr int exit_usage = 2;
inline constexpr int exit_no_compact_id = 3;
inline constexpr int exit_no_native_qvinst = 4;
inline constexpr int exit_reboot_needed = 3010;
inline constexpr int exit_unknown_result = 30;

// A row of the library's table of result codes (install/result_codes.def,
// result_codes::table: every code, from 3 down to -10).
using result_code_info = result_codes::row;

// The entry for `code`; for a code outside the table a row named "UNKNOWN"
// with exit status exit_unknown_result.
result_code_info describe_result(int code);

}  // namespace qvinst
