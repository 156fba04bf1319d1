// Basic value types of the Vorel processor model: the instruction word and the
// value of an instruction argument. Kept free of every other header so that the
// parser can name argument values without pulling in the processor model.
#pragma once

#include <cstdint>

// One 64-bit instruction word: opcode, select value and argument fields.
using instruction_t = unsigned long long;

struct Arg {
    // Register number, immediate value or resolved label address of an operand.
    // The same type as SeqArgument::min and max and as the parser's argument value.
    using value_t = int64_t;
};
