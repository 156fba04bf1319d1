// Helpers of the assembler back-end tests: a processor of the built-in
// instruction set with its own instruction memory, an assembler section over
// it, and the pieces of a recorded error that the tests compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "SeqAssembler.h"
#include "asmparser/AsmError.h"
#include "asmparser/AsmErrorList.h"
#include "asmparser/AsmSyntax.h"
#include "seqprocessor/SeqProcessor.h"

struct AssemblerRig {
    SeqProcessor processor;
    SeqAssembler assembler;
    AsmErrorList errors;

    explicit AssemblerRig(unsigned instructionWords = 4096);

    // Stand-alone assembly of the text into a fresh error list; the number of
    // errors.
    int assemble(const std::string& source);
    uint64_t word(uint32_t address) const { return processor.instructionMemory.read(address); }
};

// Calls f with every definition of the set, in the order of opcodes and
// select values.
template <class F> void forEachDefinition(const SeqInstructionSet& set, F f) {
    for (const auto& group : set.byId) {
        if (!group)
            continue;
        for (const auto& def : group->byId)
            if (def)
                f(*def);
    }
}

// The message of an error without location and pointer text: for a source
// error "Syntax error: " and what the thrower appended.
std::string messageOf(const AsmError& error);
// The byte position of the error's first source reference; npos without one.
size_t caretOf(const AsmError& error);
// The length of that reference; 0 without one.
size_t extentOf(const AsmError& error);
