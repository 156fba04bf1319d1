// Model of one Vorel processor: instruction memory (64-bit words), data memory
// (32-bit words, the simulator's registers), the classical and real-time clock
// rates, and its own copy of the instruction set.
#pragma once

#include <ostream>

#include "seqprocessor/SeqInstructionSet.h"
#include "seqprocessor/SeqMemory.h"
#include "seqprocessor/SeqProcError.h"
#include "seqprocessor/SeqTypes.h"

class SeqProcessor {
public:
    SeqMemory<unsigned long long, unsigned int> instructionMemory{"instruction"};
    SeqMemory<unsigned int, unsigned int> dataMemory{"data"};
    double classicalClockMHz = 0.0;
    double realtimeClockMHz = 0.0;
    SeqInstructionSet instructionSet;

    SeqProcessor();
    explicit SeqProcessor(const SeqInstructionSet& set);
    SeqProcessor(const SeqInstructionSet& set, unsigned int instructionWords,
                 unsigned int dataWords);
    // A non-null buffer is wrapped, not owned: it must outlive the processor.
    // A null buffer gets an owned instruction memory of that size.
    SeqProcessor(const SeqInstructionSet& set, unsigned long long* instructionBuffer,
                 unsigned int instructionWords, unsigned int dataWords);
    SeqProcessor(const SeqProcessor&) = delete;
    SeqProcessor& operator=(const SeqProcessor&) = delete;
    virtual ~SeqProcessor();

    unsigned long long getInstructionOpcode(unsigned long long word) const;
    unsigned long long getInstructionSelect(unsigned long long word) const;

    std::ostream& printInstructionSet(std::ostream& os) const;
};
