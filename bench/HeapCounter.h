// Live heap bytes and heap allocations of a bench program, counted by the
// replacements of the global allocation functions in HeapCounter.cpp, which
// every bench program is linked with.
#pragma once

#include <cstddef>

namespace bench {

// Bytes as asked of the heap, without the heap's own overhead.
size_t liveHeapBytes();
size_t heapAllocations();

} // namespace bench
