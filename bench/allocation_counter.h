// Counts the heap allocations of the program: the benchmark binary replaces
// the global operator new with one that counts.
#pragma once

#include <cstddef>

namespace bench {

// Allocations through operator new since the program started.
std::size_t allocation_count();

}  // namespace bench
