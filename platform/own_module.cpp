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
    return path_in_folder(path, own.view().substr(0, own.view().rfind(L'\\') + 1), name);
}

}  // namespace platform
