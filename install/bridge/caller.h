// The library's side of the bridge: finds the helper by the wide-character
// path of its own file (or in a folder its caller names), starts it by that
// full path with the system directory as its current folder and the
// request's section as its one inherited handle, waits for it and reads its
// answer. A helper that ends without a well-formed answer gives -3 (for
// staging and removal no_helper_answer), with its exit status as the
// caller's last error.
#pragma once

#include "install/bridge/machines.h"
#include "install/bridge/section.h"
#include "install/driver_package.h"

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

// Helpers in a folder of the caller's choosing (folder_caller.cpp, which
// the library does not link): for code that runs where no helper stands
// beside it, such as a custom action run from a temporary file. `folder`
// must be a full path ending in a backslash (is_full_folder), else no helper is looked for; the
// file looked for there is the one helper_file_name chooses for this
// process, by that exact name, started by its full path.
//
// run_in_64bit_helper with the helper looked for in `folder`.
bridged run_in_helper_from(std::wstring_view folder, const char* inf_path, const char* compact_id);

// driver_package::stage (`what` stage, `operand` an INF path) or
// driver_package::remove (remove, an INF path or a published name) in the
// helper from `folder`. `delegated` false when the call is to run in this
// process: no helper is chosen or found, it cannot be started, or the
// operand cannot be passed to it (the helper's not_delegated too).
struct delegated_package {
    bool delegated;
    driver_package::outcome outcome;
};
delegated_package package_in_helper(std::wstring_view folder, operation what, const char* operand);

#if defined(_WIN32)
// Whether `path` names a file, not a folder.
inline bool is_file(const platform::wide_text& path) {
    const DWORD attributes = GetFileAttributesW(path.data());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Reads the answer out of `section` once the helper has ended (`waited`
// false: the wait failed) with `status` (its exit status, or the wait's
// error) into `answer`.
using answer_reader = void (*)(const unsigned char* section, bool waited, DWORD status, void* answer);

// Writes the request for `what` on `operand` (as the helper is to get it)
// with `compact_id` (null for staging and removal) into a new section,
// runs the helper at `helper`, a full path whose file is `file_name`, to
// its end, and hands the section to `read`; false, nothing read, when the
// helper cannot be started and the call is to run in this process.
bool call_helper(const platform::wide_text& helper, const wchar_t* file_name, operation what,
                 const platform::wide_text& operand, const char* compact_id, answer_reader read,
                 void* answer);

// An answer_reader for an installation, into a `bridged`: the helper's
// answer, or -3 with its exit status.
void installation_answer(const unsigned char* section, bool waited, DWORD status, void* answer);

// The INF path as a native process is to get it: the caller's bytes read in
// the caller's ANSI code page as the platform's ANSI calls read them, made
// full from this process's current folder, and named as the native view
// names the file this process's view names (another name only when
// `wow64_view`). False when it cannot be made.
bool native_inf_path(platform::wide_text& native, const char* inf_path, bool wow64_view);
#endif

}  // namespace wow64
