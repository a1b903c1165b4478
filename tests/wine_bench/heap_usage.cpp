#include "tests/wine_bench/heap_usage.h"

#include <windows.h>

namespace wine_bench {
namespace {

// More heaps than a process of this kind has (Wine gives it a handful).
constexpr DWORD max_heaps = 64;

}  // namespace

heap_usage measure_heap_usage() {
    heap_usage usage;
    HANDLE heaps[max_heaps];
    const DWORD count = GetProcessHeaps(max_heaps, heaps);
    for (DWORD i = 0; i < count && i < max_heaps; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                usage.busy_bytes += entry.cbData;
                ++usage.busy_blocks;
            }
        }
        HeapUnlock(heaps[i]);
        ++usage.heaps;
    }
    return usage;
}

}  // namespace wine_bench
