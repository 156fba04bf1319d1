// Basic value types of the Vorel processor model: the instruction word and the
// value of an instruction argument. Kept free of every other header so that the
// parser can name argument values without pulling in the processor model.
#pragma once

// One 64-bit instruction word: opcode, select value and argument fields.
using instruction_t = unsigned long long;

struct Arg {
    // Register number, immediate value or resolved label address of an operand.
    using value_t = long long;
};
