// Helpers of the simulator tests: assemble a small vorel program into an
// instruction buffer and run it on a simulator over a processor of the
// built-in instruction set that wraps the same buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "assembler/seq_instr_set.h"
#include "assembler/seq_sim.h"
#include "seqprocessor/SeqProcessor.h"

// Assembles `source` through the wrapper `seq` into `buffer`. Returns the
// assembler's result (0 on success) and its message in `message`.
int assembleInto(std::vector<unsigned long long>& buffer, const std::string& source,
                 std::string& message);

// A program in a zeroed 4096-word buffer and a seq_sim over a processor that
// sees `instructionWords` of it and has `dataWords` registers, clocks 250 MHz.
struct SimFixture {
    std::vector<unsigned long long> buffer = std::vector<unsigned long long>(4096, 0);
    std::unique_ptr<SeqProcessor> processor;
    std::unique_ptr<seq_sim> sim;
    std::string assembleMessage;
    int assembleResult = -1;

    SimFixture(const std::string& source, unsigned instructionWords = 4096,
               unsigned dataWords = 64);

    uint32_t reg(unsigned i) const { return processor->dataMemory.read(i); }
};
