// Owning wrappers for the platform resources a routine acquires: each is
// released exactly once, on every path, and only when it is valid.
#pragma once

#include "platform/platform.h"

#include <utility>

namespace install {

template <typename Traits>
class unique_resource {
public:
    using handle_type = typename Traits::handle_type;

    unique_resource() noexcept : handle_(Traits::invalid()) {}
    explicit unique_resource(handle_type handle) noexcept : handle_(handle) {}
    unique_resource(const unique_resource&) = delete;
    unique_resource& operator=(const unique_resource&) = delete;
    unique_resource(unique_resource&& other) noexcept : handle_(other.release()) {}
    unique_resource& operator=(unique_resource&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~unique_resource() { reset(); }

    handle_type get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }

    handle_type release() noexcept { return std::exchange(handle_, Traits::invalid()); }
    void reset(handle_type handle = Traits::invalid()) noexcept {
        const handle_type old = std::exchange(handle_, handle);
        if (old != Traits::invalid()) {
            Traits::close(old);
        }
    }

private:
    handle_type handle_;
};

struct hdevinfo_traits {
    using handle_type = HDEVINFO;
    static handle_type invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(handle_type set) noexcept { SetupDiDestroyDeviceInfoList(set); }
};

struct hmodule_traits {
    using handle_type = HMODULE;
    static handle_type invalid() noexcept { return nullptr; }
    static void close(handle_type module) noexcept { FreeLibrary(module); }
};

// A device information set, destroyed with SetupDiDestroyDeviceInfoList.
using unique_hdevinfo = unique_resource<hdevinfo_traits>;
// A loaded library, released with FreeLibrary.
using unique_hmodule = unique_resource<hmodule_traits>;

}  // namespace install
