#include "utils/ObjectPool.h"

#include <algorithm>
#include <iterator>
#include <new>

namespace {
// Large enough that a block costs little per object, small enough that a
// short source touches few pages of it.
constexpr size_t blockRoom = 64 * 1024 - 64;
constexpr size_t headerRoom = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;
} // namespace

ObjectPool::ObjectPool() : arena(new Arena) {}

ObjectPool::~ObjectPool() {
    arena->release();
}

void ObjectPool::renew() {
    if (arena->unused()) {
        arena->rewind();
        return;
    }
    Arena* fresh = new Arena;
    arena->release();
    arena = fresh;
}

size_t ObjectPool::heldBytes() const {
    return arena->heldBytes();
}

ObjectPool::Arena::~Arena() {
    giveBack(first);
}

void ObjectPool::Arena::giveBack(Block* block) {
    while (block != nullptr) {
        Block* next = block->next;
        held -= headerRoom + block->size;
        VOREL_POOL_OPEN(reinterpret_cast<char*>(block) + headerRoom, block->size);
        ::operator delete(block);
        block = next;
    }
}

void ObjectPool::Arena::rewind() {
    std::fill(std::begin(freed), std::end(freed), nullptr);
    if (current == nullptr)
        return;
    // The round reached no block after the current one: those go back.
    giveBack(current->next);
    current->next = nullptr;
    last = current;
    for (Block* block = first; block != nullptr; block = block->next)
        VOREL_POOL_CLOSE(reinterpret_cast<char*>(block) + headerRoom, block->size);
    enter(first);
}

void ObjectPool::Arena::enter(Block* block) {
    current = block;
    cursor = reinterpret_cast<char*>(block) + headerRoom;
    limit = cursor + block->size;
}

void* ObjectPool::Arena::allocateFromNextBlock(size_t bytes, size_t alignment) {
    const size_t needed = bytes + alignment;
    if (needed < bytes)
        throw std::bad_alloc();
    // Blocks kept from the last round are used again in their order; one too
    // small for this object is passed over and stays for the next round.
    Block* next = current != nullptr ? current->next : nullptr;
    while (next != nullptr && next->size < needed)
        next = next->next;
    if (next == nullptr) {
        const size_t room = std::max(blockRoom, needed);
        if (room > size_t(-1) - headerRoom)
            throw std::bad_alloc();
        next = static_cast<Block*>(::operator new(headerRoom + room));
        next->next = nullptr;
        next->size = room;
        held += headerRoom + room;
        VOREL_POOL_CLOSE(reinterpret_cast<char*>(next) + headerRoom, room);
        // Appended after the last block, so a rewind finds every block in order.
        if (last == nullptr)
            first = next;
        else
            last->next = next;
        last = next;
    }
    enter(next);
    return allocate(bytes, alignment);
}
