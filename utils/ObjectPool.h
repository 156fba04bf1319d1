// Memory for the many small shared objects of one assembly: source lines,
// statements and their operands. They are carved from large blocks by moving
// a cursor, far cheaper than a heap allocation each, and the room of a small
// one that dies goes to the next object of its size.
//
// The objects made between two renewals are a round. When none of them lives
// at the renewal, the next round uses the same blocks, and those the round did
// not reach go back to the heap. Otherwise the blocks of the round go back
// together, once the last of its objects is gone; the same holds at the
// pool's end. So an object may outlive the assembly, or the pool, that made
// it, and while it lives it keeps every block of its round.
//
// The pool and the objects it made belong to one thread: they are counted
// without locks, so making or letting go of them on two threads at once is a
// data race.
#pragma once

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
    ObjectPool();
    ~ObjectPool();
    ObjectPool(const ObjectPool&) = delete;
    ObjectPool& operator=(const ObjectPool&) = delete;

    template <typename T, typename... Args> std::shared_ptr<T> make(Args&&... args) {
        return std::allocate_shared<T>(Allocator<T>(arena), std::forward<Args>(args)...);
    }

    // Starts the next round. When no object of this round lives any more, its
    // blocks are used again from their start, so their pages are not touched
    // afresh, up to the last block the round reached; the blocks after that
    // one go back to the heap. A large source thus keeps its room through one
    // more round, and a smaller round after it gives the rest back. When
    // objects of the round still live, the pool lets go of its blocks (they
    // go back with the last of those objects) and starts with none.
    void renew();

    // The bytes of the heap blocks the pool holds for the current round;
    // blocks it has let go of, kept by living objects, do not count.
    size_t heldBytes() const;

private:
    class Arena;
    template <typename T> class Allocator;

    Arena* arena;
};

// The blocks of one round, counted by the pool and by every object that
// lives in them.
class ObjectPool::Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* allocate(size_t bytes, size_t alignment) {
        if (reusable(bytes, alignment)) {
            const size_t kind = (bytes - 1) / granule;
            bytes = (kind + 1) * granule;
            if (FreeSlot* slot = freed[kind]) {
                VOREL_POOL_OPEN(slot, bytes);
                freed[kind] = slot->next;
                ++references;
                return slot;
            }
        }
        const uintptr_t at =
            (reinterpret_cast<uintptr_t>(cursor) + alignment - 1) & ~uintptr_t(alignment - 1);
        const uintptr_t end = reinterpret_cast<uintptr_t>(limit);
        if (cursor == nullptr || at > end || end - at < bytes)
            return allocateFromNextBlock(bytes, alignment);
        cursor = reinterpret_cast<char*>(at + bytes);
        VOREL_POOL_OPEN(reinterpret_cast<void*>(at), bytes);
        ++references;
        return reinterpret_cast<void*>(at);
    }

    // The room of an object that died goes to the next object of its size, so
    // statements dropped while parsing do not make the pool grow.
    void deallocate(void* memory, size_t bytes, size_t alignment) noexcept {
        if (reusable(bytes, alignment)) {
            const size_t kind = (bytes - 1) / granule;
            bytes = (kind + 1) * granule;
            auto* slot = static_cast<FreeSlot*>(memory);
            slot->next = freed[kind];
            freed[kind] = slot;
        }
        VOREL_POOL_CLOSE(memory, bytes);
        release();
    }

    void release() noexcept {
        if (--references == 0)
            delete this;
    }

    // True when the pool is the arena's only holder: no object lives in it.
    bool unused() const { return references == 1; }
    void rewind();
    size_t heldBytes() const { return held; }

private:
    struct Block {
        Block* next;
        size_t size; // bytes of room after the header
    };

    // Freed room is kept per size, in steps of the granule, up to a size that
    // covers every pooled object; other sizes die with their round.
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
    void giveBack(Block* block);

    // The pool's own reference and one for every object that lives here.
    size_t references = 1;
    Block* first = nullptr;
    Block* current = nullptr;
    Block* last = nullptr;
    char* cursor = nullptr;
    char* limit = nullptr;
    size_t held = 0;
    // The free room of each size, linked through its first word; under the
    // sanitizer that word is closed too, and opened only to take the room.
    FreeSlot* freed[reusedKinds] = {};
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
