#include "bench/HeapCounter.h"

#include <cstdlib>
#include <new>

// Each block carries its size in front of it. The benches are single-threaded.
namespace {
size_t liveBytes = 0;
size_t allocations = 0;
constexpr size_t header = alignof(std::max_align_t);
} // namespace

size_t bench::liveHeapBytes() {
    return liveBytes;
}

size_t bench::heapAllocations() {
    return allocations;
}

void* operator new(size_t size) {
    void* block = std::malloc(size + header);
    if (block == nullptr)
        throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    liveBytes += size;
    ++allocations;
    return static_cast<char*>(block) + header;
}

void operator delete(void* pointer) noexcept {
    if (pointer == nullptr)
        return;
    void* block = static_cast<char*>(pointer) - header;
    liveBytes -= *static_cast<size_t*>(block);
    std::free(block);
}

void operator delete(void* pointer, size_t) noexcept {
    operator delete(pointer);
}

void* operator new[](size_t size) {
    return operator new(size);
}

void operator delete[](void* pointer) noexcept {
    operator delete(pointer);
}

void operator delete[](void* pointer, size_t) noexcept {
    operator delete(pointer);
}
