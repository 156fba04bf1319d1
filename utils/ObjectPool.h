// Memory for the many small shared objects of one assembly: source lines,
// statements and their operands. They are carved from large blocks by moving
// a cursor, far cheaper than a heap allocation each, and freeing one only
// counts it off. A block goes back to the heap once the pool has let go of it
// and every object carved from it is gone, so an object may outlive the
// assembly, or the pool, that made it.
//
// One thread makes objects from a pool at a time; the objects may be let go
// of anywhere, like any shared object.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

// Under AddressSanitizer the room of dead objects and the unused rest of the
// blocks are marked unusable, so a use after the end of an object's life is
// still reported, as it is for objects on the heap.
#if defined(__SANITIZE_ADDRESS__)
#define VOREL_POOL_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VOREL_POOL_CHECKED 1
#endif
#endif
#ifdef VOREL_POOL_CHECKED
#include <sanitizer/asan_interface.h>
#define VOREL_POOL_CLOSE(at, bytes) ASAN_POISON_MEMORY_REGION((at), (bytes))
#define VOREL_POOL_OPEN(at, bytes) ASAN_UNPOISON_MEMORY_REGION((at), (bytes))
#else
#define VOREL_POOL_CLOSE(at, bytes) ((void)(at), (void)(bytes))
#define VOREL_POOL_OPEN(at, bytes) ((void)(at), (void)(bytes))
#endif

class ObjectPool {
public:
    class Arena;
    template <typename T> class Allocator;

    ObjectPool();
    ~ObjectPool();
    ObjectPool(const ObjectPool&) = delete;
    ObjectPool& operator=(const ObjectPool&) = delete;

    template <typename T, typename... Args> std::shared_ptr<T> make(Args&&... args) {
        return std::allocate_shared<T>(Allocator<T>(arena), std::forward<Args>(args)...);
    }

    // Starts over for the next assembly. Blocks that nothing lives in any more
    // are used again from their start, so their pages are not touched afresh;
    // otherwise they stay with the objects that still live in them.
    void renew();

private:
    Arena* arena;
};

class ObjectPool::Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* allocate(size_t bytes, size_t alignment) {
        if (reusable(bytes, alignment)) {
            const size_t kind = (bytes - 1) / granule;
            if (spare[kind] == nullptr && returned[kind].load(std::memory_order_relaxed) != nullptr)
                spare[kind] = returned[kind].exchange(nullptr, std::memory_order_acquire);
            if (FreeSlot* slot = spare[kind]) {
                spare[kind] = slot->next;
                VOREL_POOL_OPEN(slot, (kind + 1) * granule);
                references.fetch_add(1, std::memory_order_relaxed);
                return slot;
            }
            bytes = (kind + 1) * granule;
        }
        const uintptr_t at =
            (reinterpret_cast<uintptr_t>(cursor) + alignment - 1) & ~uintptr_t(alignment - 1);
        const uintptr_t end = reinterpret_cast<uintptr_t>(limit);
        if (cursor == nullptr || at > end || end - at < bytes)
            return allocateFromNextBlock(bytes, alignment);
        cursor = reinterpret_cast<char*>(at + bytes);
        VOREL_POOL_OPEN(reinterpret_cast<void*>(at), bytes);
        references.fetch_add(1, std::memory_order_relaxed);
        return reinterpret_cast<void*>(at);
    }

    // The room of an object that died goes to the next object of its size, so
    // statements dropped while parsing do not make the pool grow.
    void deallocate(void* memory, size_t bytes, size_t alignment) noexcept {
        if (reusable(bytes, alignment)) {
            auto* slot = static_cast<FreeSlot*>(memory);
            const size_t kind = (bytes - 1) / granule;
            // The link to the next free room stays open; the rest is closed.
            VOREL_POOL_CLOSE(reinterpret_cast<char*>(memory) + sizeof(FreeSlot),
                             (kind + 1) * granule - sizeof(FreeSlot));
            std::atomic<FreeSlot*>& list = returned[kind];
            slot->next = list.load(std::memory_order_relaxed);
            while (!list.compare_exchange_weak(slot->next, slot, std::memory_order_release,
                                               std::memory_order_relaxed)) {
            }
        }
        release();
    }

    void release() noexcept {
        if (references.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }

    // True when the pool is the arena's only holder: no object lives in it.
    bool unused() const { return references.load(std::memory_order_acquire) == 1; }
    void rewind();

private:
    struct Block {
        Block* next;
        size_t size; // bytes of room after the header
    };

    // Freed room is kept per size, in steps of the granule, up to a size that
    // covers every pooled object.
    static constexpr size_t granule = alignof(void*);
    static constexpr size_t reusedKinds = 512 / granule;
    struct FreeSlot {
        FreeSlot* next;
    };
    static bool reusable(size_t bytes, size_t alignment) {
        return bytes != 0 && bytes <= reusedKinds * granule && alignment <= granule;
    }

    ~Arena();
    void* allocateFromNextBlock(size_t bytes, size_t alignment);
    void enter(Block* block);

    // The pool's own reference and one for every object that lives here.
    std::atomic<size_t> references{1};
    Block* first = nullptr;
    Block* current = nullptr;
    Block* last = nullptr;
    char* cursor = nullptr;
    char* limit = nullptr;
    // Given back by any thread; taken over whole by the thread that makes.
    std::atomic<FreeSlot*> returned[reusedKinds] = {};
    FreeSlot* spare[reusedKinds] = {};
};

template <typename T> class ObjectPool::Allocator {
public:
    using value_type = T;

    explicit Allocator(Arena* arena) noexcept : arena(arena) {}
    template <typename U> Allocator(const Allocator<U>& other) noexcept : arena(other.arena) {}

    T* allocate(size_t n) {
        if (n > size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(arena->allocate(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* memory, size_t n) noexcept {
        arena->deallocate(memory, n * sizeof(T), alignof(T));
    }

    template <typename U> bool operator==(const Allocator<U>& other) const {
        return arena == other.arena;
    }
    template <typename U> bool operator!=(const Allocator<U>& other) const {
        return arena != other.arena;
    }

private:
    template <typename U> friend class Allocator;
    Arena* arena;
};
