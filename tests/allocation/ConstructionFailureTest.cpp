// Building a facade when memory runs out: whichever allocation fails, the
// constructor lets std::bad_alloc out and frees exactly what it had built.
// The program's global allocation is replaced here by one that can be told to
// fail at its Nth call and counts the blocks alive, so this test program has
// one of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Vorel.h"
#include "assembler/seq.h"
#include "assembler/seq_instr_set.h"

namespace {

// 0: every allocation is served; N: the Nth counted allocation fails.
std::atomic<long> failingAllocation{0};
std::atomic<bool> counting{false};
std::atomic<long> allocationsCounted{0};
std::atomic<long> blocksAlive{0};

void* allocate(std::size_t size, std::size_t alignment) {
    if (counting.load() && ++allocationsCounted == failingAllocation.load())
        throw std::bad_alloc();
    if (size == 0)
        size = 1;
    void* block = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        block = std::malloc(size);
    } else if (posix_memalign(&block, alignment, size) != 0) {
        block = nullptr;
    }
    if (block == nullptr)
        throw std::bad_alloc();
    ++blocksAlive;
    return block;
}

void release(void* block) noexcept {
    if (block == nullptr)
        return;
    --blocksAlive;
    std::free(block);
}

void* allocateOrNull(std::size_t size, std::size_t alignment) noexcept {
    try {
        return allocate(size, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size) {
    return allocate(size, alignof(std::max_align_t));
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, alignof(std::max_align_t));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* block) noexcept {
    release(block);
}
void operator delete[](void* block) noexcept {
    release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    release(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    release(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    release(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    release(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    release(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    release(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    release(block);
}

namespace {

using Build = std::function<std::unique_ptr<Vorel>()>;

// One build with the Nth allocation failing (0: none fails).
std::unique_ptr<Vorel> buildFailingAt(const Build& build, long n) {
    allocationsCounted = 0;
    failingAllocation = n;
    counting = true;
    struct Stop {
        ~Stop() { counting = false; }
    } stop;
    return build();
}

struct Case {
    std::string name;
    Build build;
    // The message after a successful assembly that started with "kept": the
    // facade leaves it, the wrapper writes its own.
    std::string successMessage;
};

TEST(ConstructionFailure, EveryFailedAllocationLeavesTheConstructorAndNothingBehind) {
    const SeqInstructionSet set = seq_instr_set();
    std::vector<unsigned long long> buffer(4096);
    const std::vector<Case> cases = {
        {"Vorel over the caller's buffer",
         [&] { return std::make_unique<Vorel>(set, buffer.data(), 4096, 64, 250.0, 250.0); },
         "kept"},
        {"Vorel with its own memories", [&] { return std::make_unique<Vorel>(set, 4096, 64); },
         "kept"},
        {"seq", [] { return std::make_unique<seq>(); }, "assembler finished successfully"},
        {"seq over the caller's buffer",
         [&] { return std::make_unique<seq>(buffer.data(), 4096, 64, 250.0, 250.0); },
         "assembler finished successfully"},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // What a first build sets up once for the whole program stays.
        buildFailingAt(c.build, 0).reset();
        const long needed = [&] {
            buildFailingAt(c.build, 0).reset();
            return allocationsCounted.load();
        }();
        ASSERT_GT(needed, 3);

        // The steps whose failure the build swallowed, and those after which
        // blocks were left (or freed that were not the build's).
        std::vector<long> swallowed;
        std::vector<long> leftBlocks;
        for (long n = 1; n <= needed; ++n) {
            const long before = blocksAlive;
            bool outOfMemory = false;
            try {
                buildFailingAt(c.build, n).reset();
            } catch (const std::bad_alloc&) {
                outOfMemory = true;
            }
            const long left = blocksAlive - before;
            if (!outOfMemory)
                swallowed.push_back(n);
            if (left != 0)
                leftBlocks.push_back(n);
        }
        EXPECT_EQ(swallowed, std::vector<long>{}) << "of " << needed << " allocations";
        EXPECT_EQ(leftBlocks, std::vector<long>{}) << "of " << needed << " allocations";

        // One allocation more than the build makes: nothing fails, and what is
        // built works.
        std::unique_ptr<Vorel> vorel = buildFailingAt(c.build, needed + 1);
        ASSERT_NE(vorel, nullptr);
        std::string message = "kept";
        EXPECT_EQ(vorel->assemble(std::string("nop\nstop\n"), message), 0);
        EXPECT_EQ(message, c.successMessage);
        EXPECT_EQ(vorel->getProcessor()->instructionMemory.read(1), 0x0800000000000000ull);
    }
}

} // namespace
