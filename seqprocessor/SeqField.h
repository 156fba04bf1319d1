// A field of the instruction word: a contiguous bit range, with the masks that
// encoding and decoding use, and the plain row that a field table is built from.
#pragma once

#include <cstdint>
#include <string>

struct SeqField {
    uint64_t mask = 0;        // unshifted value mask, 2^width - 1
    uint64_t shiftedMask = 0; // the field's bits within the word
    uint32_t lsb = 0;         // shift count of encoding and decoding
    uint32_t id = 0xFFFFFFFFu;
    std::string name;
};

struct SeqFieldInit {
    uint32_t id;
    const char* name;
    uint32_t msb;
    uint32_t lsb;
};
