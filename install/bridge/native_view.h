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

// Whether `path` names a folder by a full path of its own, ending in a
// backslash (as Windows Installer's folder properties do): a drive's root
// and below ("C:\\…\\") or a UNC or "\\?\" path ("\\server\share\\…");
// never one the current folder, the current drive's folder or PATH would
// complete. Inline, so that only the code that asks links it.
inline bool is_full_folder(std::wstring_view path) {
    const wchar_t drive = path.empty() ? L'\0' : static_cast<wchar_t>(path[0] | 0x20);
    const bool rooted_drive = path.size() >= 3 && drive >= L'a' && drive <= L'z' &&
                              path[1] == L':' && path[2] == L'\\';
    const bool unc = path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\';
    return (rooted_drive || unc) && path.back() == L'\\';
}

}  // namespace wow64
