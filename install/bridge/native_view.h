// The caller's file-system view: the folders a WOW64 process sees under
// other names. %windir%\System32 is the 32-bit system folder (SysWOW64)
// but for a few subfolders the system does not redirect, and
// %windir%\Sysnative is the native System32. The helper runs in the native
// view, so the INF path it is handed names the file there.
#pragma once

#include <cstddef>
#include <string_view>

namespace wow64 {

struct view_folders {
    std::wstring_view windows;     // GetSystemWindowsDirectoryW
    std::wstring_view system;      // GetSystemDirectoryW: "…\System32"
    std::wstring_view system_x86;  // GetSystemWow64DirectoryW: "…\SysWOW64"
};

// Where a full path in the caller's view leads in the native view: the
// leading `cut` characters are replaced by `with` (cut 0: unchanged).
// Folder names compare without regard to ASCII letter case.
struct redirection {
    std::size_t cut;
    std::wstring_view with;
};
redirection native_view(std::wstring_view full_path, const view_folders& folders);

}  // namespace wow64
