// A registry key owned for the test programs: null owns nothing, nor does
// INVALID_HANDLE_VALUE, which SetupDiOpenDevRegKey returns on failure.
#pragma once

#include "platform/unique_handle.h"

namespace e2e {

struct hkey_policy {
    using pointer = HKEY;
    static pointer invalid() noexcept { return nullptr; }
    static bool is_valid(pointer key) noexcept {
        return key != nullptr && key != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    static void close(pointer key) noexcept { RegCloseKey(key); }
};
using unique_hkey = platform::unique_any<hkey_policy>;

}  // namespace e2e
