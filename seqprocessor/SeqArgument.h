// An operand of an instruction: the field its value is written into, the range
// of accepted values and the register prefix that tells registers from
// immediates; and the plain row that an argument table is built from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "seqprocessor/SeqField.h"

struct SeqArgument {
    std::shared_ptr<SeqField const> field;
    uint32_t id = 0xFFFFFFFFu;
    int64_t min = 0;
    int64_t max = 0;
    std::string name;
    std::string registerPrefix; // "R" for a register operand, empty for an immediate

    // A prefix that begins with a letter marks a register operand.
    bool isRegister() const;
};

struct SeqArgumentInit {
    uint32_t id;
    const char* name;
    const char* registerPrefix;
    uint32_t fieldId;
    int32_t min;
    int32_t max; // below min: the whole range of the field
};
