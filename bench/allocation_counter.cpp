// Replaces the global allocation functions with counting ones on malloc.
#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Only the benchmark thread allocates while a count is taken; a relaxed load
// and store keep the counter free of locked instructions.
std::atomic<std::size_t> allocations{0};

void* counted_allocate(std::size_t size) noexcept {
    allocations.store(allocations.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

namespace bench {

std::size_t allocation_count() { return allocations.load(std::memory_order_relaxed); }

}  // namespace bench

void* operator new(std::size_t size) {
    if (void* p = counted_allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return operator new(size); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted_allocate(size); }

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted_allocate(size); }

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
