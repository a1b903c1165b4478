// Owners for the Windows handles the end-to-end programs hold: each closes
// its handle exactly once, when it goes out of scope.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <utility>

namespace e2e {

template <typename Handle, Handle Invalid, typename Closer>
class unique_handle {
public:
    unique_handle() = default;
    explicit unique_handle(Handle h) : handle_(h) {}
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& other) noexcept : handle_(std::exchange(other.handle_, Invalid)) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, Invalid);
        }
        return *this;
    }
    ~unique_handle() { reset(); }

    Handle get() const { return handle_; }
    bool valid() const { return handle_ != Invalid; }
    void reset() {
        if (handle_ != Invalid) Closer{}(std::exchange(handle_, Invalid));
    }

private:
    Handle handle_ = Invalid;
};

struct close_dev_info_set {
    void operator()(HDEVINFO h) const { SetupDiDestroyDeviceInfoList(h); }
};
struct close_module {
    void operator()(HMODULE h) const { FreeLibrary(h); }
};
struct close_reg_key {
    void operator()(HKEY h) const { RegCloseKey(h); }
};
struct close_kernel_handle {
    void operator()(HANDLE h) const { CloseHandle(h); }
};

// INVALID_HANDLE_VALUE is not a constant expression, so the device-set and
// file owners compare against a null handle and are filled only after the
// caller has turned INVALID_HANDLE_VALUE into null (see adopt_* below).
using dev_info_set = unique_handle<HDEVINFO, nullptr, close_dev_info_set>;
using module_handle = unique_handle<HMODULE, nullptr, close_module>;
using reg_key = unique_handle<HKEY, nullptr, close_reg_key>;
using kernel_handle = unique_handle<HANDLE, nullptr, close_kernel_handle>;

inline dev_info_set adopt_dev_info_set(HDEVINFO h) {
    return dev_info_set(h == INVALID_HANDLE_VALUE ? nullptr : h);
}
inline kernel_handle adopt_file(HANDLE h) {
    return kernel_handle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}
inline reg_key adopt_reg_key(HKEY h) {
    return reg_key(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

}  // namespace e2e
