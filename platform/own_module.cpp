// The files beside the module this code is linked into.
#include "platform/own_module.h"

namespace platform {

bool path_beside_own_module(wide_text& path, std::wstring_view name) {
    HMODULE self = nullptr;
    wide_text own;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&path_beside_own_module), &self) ||
        !read_growing(own, [&](wchar_t* buffer, DWORD size) {
            return GetModuleFileNameW(self, buffer, size);
        })) {
        return false;
    }
    const std::wstring_view folder = own.view().substr(0, own.view().rfind(L'\\') + 1);
    const bool plain = folder.size() + name.size() < max_path || folder.substr(0, 4) == L"\\\\?\\";
    const bool unc = !plain && folder.substr(0, 2) == L"\\\\";
    const std::wstring_view prefix = plain ? L"" : unc ? L"\\\\?\\UNC" : L"\\\\?\\";
    const std::wstring_view kept = unc ? folder.substr(1) : folder;
    if (folder.empty() || !path.reserve(prefix.size() + kept.size() + name.size())) {
        return false;
    }
    wchar_t* out = path.data();
    out = std::copy(prefix.begin(), prefix.end(), out);
    out = std::copy(kept.begin(), kept.end(), out);
    out = std::copy(name.begin(), name.end(), out);
    *out = L'\0';
    path.set_size(static_cast<std::size_t>(out - path.data()));
    return true;
}

}  // namespace platform
