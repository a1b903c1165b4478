// Bytes in use on the process's heaps, block by block (HeapWalk). Finer
// than committed private memory: a heap commits memory in large steps and
// keeps freed blocks committed, so a small leak per call can stay inside
// memory the heap committed before; the sum of busy blocks grows with it.
#pragma once

#include <cstddef>

namespace wine_bench {

struct heap_usage {
    std::size_t busy_bytes = 0;   // data bytes of every block in use
    std::size_t busy_blocks = 0;
    unsigned heaps = 0;           // heaps walked
};

// Walks every heap of the process; allocates nothing itself.
heap_usage measure_heap_usage();

}  // namespace wine_bench
