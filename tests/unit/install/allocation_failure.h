// A switch that makes one chosen allocation of the test program fail, for
// proving that running out of memory reaches the caller as a result code
// and leaves nothing behind. The global operator new of the program counts
// the allocations made outside the simulated platform while the switch is
// armed; the simulation's own allocations are never failed.
#pragma once

#include <cstddef>

namespace allocation_failure {

// Arms the switch: the allocation numbered `n` (from 0) that follows,
// counting only those made outside the simulation, throws std::bad_alloc.
void fail_at(std::size_t n);

// Disarms the switch.
void disarm();

// Whether the armed allocation was reached and failed.
bool fired();

// Allocations counted since the switch was armed.
std::size_t counted();

}  // namespace allocation_failure
