// Properties of fuzz_assemble: arbitrary bytes as assembly source through the
// whole road of seq::assemble (facade, section dispatch, parser, symbols,
// labels, encoder, error reports), checking what a successful and a failed
// assembly promise. Shared by the fuzz target and the regression tests.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "asmparser/AsmType.h"
#include "assembler/seq.h"
#include "fuzz/FuzzSupport.h"
#include "utils/CharArraySourceReader.h"

namespace fuzz {
namespace assemble_checks {

struct Outcome {
    int result = 0;
    std::string message;
    std::string hex;
};

inline bool isHexWordLine(const std::string& line) {
    if (line.size() != 16)
        return false;
    for (const char c : line)
        if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'a' || c > 'f'))
            return false;
    return true;
}

inline std::string hexOf(const seq& s) {
    std::ostringstream os;
    FUZZ_CHECK(s.asm_->printHexOutput(os), "printHexOutput failed with instruction memory");
    return os.str();
}

// A successful assembly: the success text, one word per instruction, a .hex
// text of exactly programSize words that match the memory, and a disassembly
// in which every word decodes (each came from a definition).
inline void checkSuccess(const seq& s, const std::string& message, std::string& hex) {
    FUZZ_CHECK(message == "assembler finished successfully", message);
    const SeqAssembler& assembler = *s.asm_;
    const uint32_t size = assembler.getProgramSize();
    const auto& memory = assembler.getProcessor()->instructionMemory;
    FUZZ_CHECK(size <= memory.size, std::to_string(size));
    FUZZ_CHECK(size == assembler.getParser().container.typeCount(AsmType::INSTRUCTION),
               "programSize " + std::to_string(size));

    hex = hexOf(s);
    const auto lines = linesOf(hex);
    FUZZ_CHECK(lines.size() == size, hex);
    FUZZ_CHECK(hex.empty() || hex.back() == '\n', hex);
    for (uint32_t address = 0; address < size; ++address) {
        FUZZ_CHECK(isHexWordLine(lines[address]), lines[address]);
        FUZZ_CHECK(std::stoull(lines[address], nullptr, 16) == memory.read(address),
                   lines[address]);
    }

    std::ostringstream listing;
    const unsigned unknown = assembler.disassemble(listing);
    FUZZ_CHECK(unknown == 0, listing.str());
    FUZZ_CHECK(linesOf(listing.str()).size() == size, listing.str());
}

// A failed assembly: a positive count and a full report whose first line
// names that count.
inline void checkFailure(int result, const std::string& message) {
    FUZZ_CHECK(result > 0, std::to_string(result));
    FUZZ_CHECK(firstLine(message) == "assembler failed with " + std::to_string(result) + " errors:",
               message);
}

inline Outcome assembleChecked(seq& s, const std::string& source) {
    Outcome outcome;
    outcome.result = s.assemble(source, outcome.message);
    if (outcome.result == 0)
        checkSuccess(s, outcome.message, outcome.hex);
    else
        checkFailure(outcome.result, outcome.message);
    return outcome;
}

} // namespace assemble_checks

inline void checkAssembleInput(const uint8_t* data, size_t size) {
    using namespace assemble_checks;
    const std::string source(reinterpret_cast<const char*>(data), size);

    seq s;
    const Outcome first = assembleChecked(s, source);

    // The character-array reader ends a source at a NUL that starts a line, so
    // its outcome may differ; it must still keep every promise.
    {
        CharArraySourceReader reader(source.data(), source.size(), "fuzz.s");
        std::string message;
        const int result = s.assemble(reader, message);
        std::string hex;
        if (result == 0)
            checkSuccess(s, message, hex);
        else
            checkFailure(result, message);
    }

    // Every assembly starts its sections anew: the same source on the same
    // facade gives the same outcome.
    const Outcome again = assembleChecked(s, source);
    FUZZ_CHECK(again.result == first.result,
               std::to_string(first.result) + " then " + std::to_string(again.result));
    FUZZ_CHECK(again.message == first.message, first.message + "\n----\n" + again.message);
    FUZZ_CHECK(again.hex == first.hex, first.hex + "\n----\n" + again.hex);
}

} // namespace fuzz
