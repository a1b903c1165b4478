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

bool widen_ansi(wide_text& wide, const char* text) {
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1 || !wide.reserve(static_cast<std::size_t>(units)) ||
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units) != units) {
        return false;
    }
    wide.set_size(static_cast<std::size_t>(units - 1));
    return true;
}

}  // namespace platform
