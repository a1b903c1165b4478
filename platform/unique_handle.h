// Owners for the platform's handles: one small type per handle kind, each
// kind's invalid values and release function declared once, in its policy.
// An owner releases a valid handle exactly once, when it goes out of scope
// or is reset, and never touches an invalid one. A release keeps the
// thread's last error, so an owner going out of scope after a failed call
// leaves that call's error for the caller.
//
// The library, qvinst and the test programs all hold their handles here.
#pragma once

#include "platform/platform.h"

#include <utility>

namespace platform {

template <typename Policy>
class unique_any {
public:
    using pointer = typename Policy::pointer;

    unique_any() noexcept = default;
    explicit unique_any(pointer handle) noexcept : handle_(handle) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : handle_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    pointer get() const noexcept { return handle_; }
    bool valid() const noexcept { return Policy::is_valid(handle_); }
    explicit operator bool() const noexcept { return valid(); }

    pointer release() noexcept { return std::exchange(handle_, Policy::invalid()); }
    void reset(pointer handle = Policy::invalid()) noexcept {
        const pointer old = std::exchange(handle_, handle);
        if (Policy::is_valid(old)) {
            const DWORD last_error = GetLastError();
            Policy::close(old);
            SetLastError(last_error);
        }
    }

private:
    pointer handle_ = Policy::invalid();
};

// A device information set: INVALID_HANDLE_VALUE (or null) owns nothing.
struct hdevinfo_policy {
    using pointer = HDEVINFO;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool is_valid(pointer set) noexcept { return set != INVALID_HANDLE_VALUE && set != nullptr; }
    static void close(pointer set) noexcept { SetupDiDestroyDeviceInfoList(set); }
};

// A loaded library: null owns nothing.
struct hmodule_policy {
    using pointer = HMODULE;
    static pointer invalid() noexcept { return nullptr; }
    static bool is_valid(pointer module) noexcept { return module != nullptr; }
    static void close(pointer module) noexcept { FreeLibrary(module); }
};

// A kernel object (process, thread, file, pipe, event): null and
// INVALID_HANDLE_VALUE own nothing, since kernel functions return either.
struct handle_policy {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static bool is_valid(pointer handle) noexcept {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void close(pointer handle) noexcept { CloseHandle(handle); }
};

// A block of the process heap: null owns nothing.
struct heap_block_policy {
    using pointer = void*;
    static pointer invalid() noexcept { return nullptr; }
    static bool is_valid(pointer block) noexcept { return block != nullptr; }
    static void close(pointer block) noexcept { HeapFree(GetProcessHeap(), 0, block); }
};

using unique_hdevinfo = unique_any<hdevinfo_policy>;
using unique_hmodule = unique_any<hmodule_policy>;
using unique_handle = unique_any<handle_policy>;
using unique_heap_block = unique_any<heap_block_policy>;

// A registry key: null owns nothing, nor does INVALID_HANDLE_VALUE, which
// SetupDiOpenDevRegKey returns on failure.
struct hkey_policy {
    using pointer = HKEY;
    static pointer invalid() noexcept { return nullptr; }
    static bool is_valid(pointer key) noexcept {
        return key != nullptr && key != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    static void close(pointer key) noexcept { RegCloseKey(key); }
};
using unique_hkey = unique_any<hkey_policy>;

#if defined(_WIN32)
// A mapped view of a section: null owns nothing.
struct mapped_view_policy {
    using pointer = void*;
    static pointer invalid() noexcept { return nullptr; }
    static bool is_valid(pointer view) noexcept { return view != nullptr; }
    static void close(pointer view) noexcept { UnmapViewOfFile(view); }
};
using unique_mapped_view = unique_any<mapped_view_policy>;

// An open INF file: INVALID_HANDLE_VALUE owns nothing, as SetupOpenInfFile
// returns it on failure.
struct hinf_policy {
    using pointer = HINF;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool is_valid(pointer inf) noexcept { return inf != INVALID_HANDLE_VALUE; }
    static void close(pointer inf) noexcept { SetupCloseInfFile(inf); }
};
using unique_hinf = unique_any<hinf_policy>;
#endif

// Holds an SRW lock exclusively for its scope.
class exclusive_lock {
public:
    explicit exclusive_lock(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    exclusive_lock(const exclusive_lock&) = delete;
    exclusive_lock& operator=(const exclusive_lock&) = delete;
    ~exclusive_lock() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK& lock_;
};

}  // namespace platform
