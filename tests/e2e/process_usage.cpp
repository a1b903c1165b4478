#include "tests/e2e/process_usage.h"

#include <windows.h>

#include <cstdint>

namespace e2e {
namespace {

// Handle values are multiples of 4; Wine hands out the lowest free slot, so
// a process with a few hundred handles stays far below this bound.
constexpr std::uintptr_t handle_step = 4;
constexpr std::uintptr_t handle_probe_limit = 0x10000;

}  // namespace

process_usage measure_process_usage() {
    process_usage usage;
    for (std::uintptr_t value = handle_step; value < handle_probe_limit; value += handle_step) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++usage.handles;
            usage.highest_handle = static_cast<unsigned long>(value);
        }
    }
    MEMORY_BASIC_INFORMATION region{};
    const char* address = nullptr;
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            usage.private_bytes += region.RegionSize;
        }
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return usage;
}

}  // namespace e2e
