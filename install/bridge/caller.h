// The library's side of the bridge: finds the helper by the wide-character
// path of its own file, starts it by that full path with the system
// directory as its current folder and the request's section as its one
// inherited handle, waits for it and reads its answer. A helper that ends
// without a well-formed answer gives -3, with its exit status as the
// caller's last error.
#pragma once

#include "install/bridge/machines.h"
#include "install/bridge/section.h"

#if defined(_WIN32)
#include "platform/own_module.h"
#endif

namespace wow64 {

// Runs the call in the helper that helper_file_name chooses for this
// process. Returns not_delegated when none is chosen, none stands in the
// library's own folder, it cannot be started, or the INF path cannot be
// made full (an empty one cannot) or passed to the helper: the call in
// process then gives what it gives.
bridged run_in_64bit_helper(const char* inf_path, const char* compact_id);

// The same for a process on machines `m`, with the helper `file_name`
// (helper_file_name's choice for them): run_in_64bit_helper passes this
// process's own. The helper is looked for beside the module this code is
// linked into; the INF path is named in the native view when `m` is a
// WOW64 process's.
bridged run_in_helper(const wchar_t* file_name, machines m, const char* inf_path,
                      const char* compact_id);

#if defined(_WIN32)
// The INF path as a native process is to get it: the caller's bytes read in
// the caller's ANSI code page as the platform's ANSI calls read them, made
// full from this process's current folder, and named as the native view
// names the file this process's view names (another name only when
// `wow64_view`). False when it cannot be made.
bool native_inf_path(platform::wide_text& native, const char* inf_path, bool wow64_view);
#endif

}  // namespace wow64
