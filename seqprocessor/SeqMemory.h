// A named array of processor words, accessed one word at a time after testing
// the address against the size. Either owns its words or wraps a caller's buffer.
#pragma once

#include <string>
#include <utility>

#include "seqprocessor/SeqProcError.h"

template <class T, class A> class SeqMemory {
public:
    T* data = nullptr;
    A size = 0;
    std::string name;
    bool ownsData = false;

    explicit SeqMemory(std::string memoryName) : name(std::move(memoryName)) {}
    // Two owners of one buffer would free it twice.
    SeqMemory(const SeqMemory&) = delete;
    SeqMemory& operator=(const SeqMemory&) = delete;
    ~SeqMemory() { release(); }

    // A new array of zero words, so nothing ever reads an indeterminate word.
    void allocate(A words) {
        T* fresh = new T[words]();
        release();
        data = fresh;
        size = words;
        ownsData = true;
    }

    // The buffer stays the caller's and must outlive the memory.
    void wrap(T* buffer, A words) {
        release();
        data = buffer;
        size = words;
        ownsData = false;
    }

    T read(A address) const {
        if (address >= size) {
            throwOutOfRange("Attempt to read ", address);
        }
        return data[address];
    }

    void write(A address, T value) {
        if (address >= size) {
            throwOutOfRange("Attempt to write ", address);
        }
        data[address] = value;
    }

private:
    void release() {
        if (ownsData && data != nullptr) {
            delete[] data;
        }
        data = nullptr;
        size = 0;
        ownsData = false;
    }

    [[noreturn]] void throwOutOfRange(const char* access, A address) const {
        SeqProcMemoryError error(access);
        error << name << " at address " << address << " beyond maximum address " << A(size - 1);
        throw error;
    }
};
