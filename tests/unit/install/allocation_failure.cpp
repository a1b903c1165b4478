// The test program's global operator new and delete, with the switch of
// allocation_failure.h.
#include "allocation_failure.h"

#include "tests/sim/sim_control.h"

#include <cstdlib>
#include <new>

namespace allocation_failure {
namespace {

// Constant-initialised: operator new runs before any dynamic initialiser.
bool armed = false;
bool failed = false;
std::size_t failing_index = 0;
std::size_t allocations = 0;

}  // namespace

void fail_at(std::size_t n) {
    failing_index = n;
    allocations = 0;
    failed = false;
    armed = true;
}

void disarm() { armed = false; }

bool fired() { return failed; }

std::size_t counted() { return allocations; }

namespace {

bool this_allocation_fails() {
    if (!armed || sim::inside_platform_call()) {
        return false;
    }
    if (allocations++ != failing_index) {
        return false;
    }
    failed = true;
    return true;
}

void* allocate(std::size_t size) {
    if (this_allocation_fails()) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void* allocate_nothrow(std::size_t size) noexcept {
    if (this_allocation_fails()) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace
}  // namespace allocation_failure

void* operator new(std::size_t size) { return allocation_failure::allocate(size); }
void* operator new[](std::size_t size) { return allocation_failure::allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocation_failure::allocate_nothrow(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocation_failure::allocate_nothrow(size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
