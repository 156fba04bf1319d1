// Properties of fuzz_disassemble: arbitrary bytes as 64-bit instruction words
// (little-endian, 8 bytes each). Every word is disassembled on its own, then
// the whole program is disassembled and the listing assembled again: a word
// whose operands are all within their accepted ranges must come back with the
// same text and no bit it did not have; every other word must cost exactly one
// error. Shared by the fuzz target and the regression tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "asmparser/AsmInstruction.h"
#include "assembler/seq.h"
#include "fuzz/FuzzSupport.h"

namespace fuzz {
namespace disassemble_checks {

// At most the instruction memory of seq.
constexpr size_t maxWords = 4096;

inline std::string wordText(uint64_t word) {
    std::ostringstream os;
    os << "0x" << std::hex << word;
    return os.str();
}

// True when the word decodes and every operand value, read back from its field
// as the disassembler does, lies within the argument's accepted range.
inline bool reassemblesExactly(const SeqInstructionSet& set, uint64_t word) {
    const auto def = set.findForBinary(word);
    if (!def)
        return false;
    for (const auto& argument : def->arguments) {
        const uint64_t raw = (word >> argument->field->lsb) & argument->field->mask;
        const auto value = static_cast<int64_t>(raw);
        if (value < argument->min || value > argument->max)
            return false;
    }
    return true;
}

// The listing line without the address label that the disassembler writes in
// front ("12:" is no label of the source language: it starts with a digit).
inline std::string withoutAddress(const std::string& line, uint32_t address) {
    const std::string label = std::to_string(address) + ":";
    FUZZ_CHECK(line.compare(0, label.size(), label) == 0, line);
    return line.substr(label.size());
}

inline std::string listingOf(const SeqAssembler& assembler, unsigned& unknown) {
    std::ostringstream os;
    unknown = assembler.disassemble(os);
    return os.str();
}

} // namespace disassemble_checks

inline void checkDisassembleInput(const uint8_t* data, size_t size) {
    using namespace disassemble_checks;
    std::vector<uint64_t> words = wordsOf(data, size);
    if (words.size() > maxWords)
        words.resize(maxWords);

    seq original;
    SeqAssembler& assembler = *original.asm_;
    const SeqInstructionSet& set = assembler.getProcessor()->instructionSet;

    // Each word on its own, in both forms.
    std::vector<std::string> singleLines;
    size_t undecodable = 0;
    size_t faulty = 0;
    for (uint32_t address = 0; address < words.size(); ++address) {
        const uint64_t word = words[address];
        AsmInstruction instruction;
        const bool decoded = assembler.disassemble(word, address, instruction);
        FUZZ_CHECK(decoded == (set.findForBinary(word) != nullptr), wordText(word));
        FUZZ_CHECK(instruction.hasAddress && instruction.address == address, wordText(word));
        std::ostringstream line;
        FUZZ_CHECK(assembler.disassemble(word, address, line) == decoded, wordText(word));
        FUZZ_CHECK(line.str().find('\n') == std::string::npos, line.str());
        singleLines.push_back(line.str());
        if (!decoded)
            ++undecodable;
        if (!reassemblesExactly(set, word))
            ++faulty;
        assembler.writeInstructionMem(address, word);
    }
    FUZZ_CHECK(assembler.getProgramSize() == words.size(), std::to_string(words.size()));

    // The whole program: one line per word, the same as the single-word form.
    unsigned unknown = 0;
    const std::string listing = listingOf(assembler, unknown);
    FUZZ_CHECK(unknown == undecodable, listing);
    const auto lines = linesOf(listing);
    FUZZ_CHECK(lines == singleLines, listing);
    std::string facadeListing;
    FUZZ_CHECK(original.disassemble(facadeListing) == int(undecodable), facadeListing);
    FUZZ_CHECK(facadeListing == listing, facadeListing);

    // The listing as source, assembled again.
    std::string source;
    for (uint32_t address = 0; address < lines.size(); ++address)
        source += withoutAddress(lines[address], address) + "\n";
    seq again;
    std::string message;
    const int result = again.assemble(source, message);
    FUZZ_CHECK(result == int(faulty),
               "expected " + std::to_string(faulty) + " errors\n" + source + "----\n" + message);
    if (result != 0)
        return;

    const SeqAssembler& reassembler = *again.asm_;
    FUZZ_CHECK(reassembler.getProgramSize() == words.size(), message);
    const auto& memory = reassembler.getProcessor()->instructionMemory;
    unsigned unknownAgain = 0;
    const std::string listingAgain = listingOf(reassembler, unknownAgain);
    FUZZ_CHECK(unknownAgain == 0 && listingAgain == listing, listing + "----\n" + listingAgain);
    for (uint32_t address = 0; address < words.size(); ++address) {
        const uint64_t word = memory.read(address);
        FUZZ_CHECK((word & ~words[address]) == 0,
                   wordText(words[address]) + " came back as " + wordText(word));
    }
}

} // namespace fuzz
