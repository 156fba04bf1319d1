// The assembler back end of the ".CODE" section: hands the section's lines to
// its parser, encodes the parsed instructions into the processor's instruction
// memory, and writes the program as a .hex file or as disassembled source text.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "asmparser/AsmErrorList.h"
#include "asmparser/AsmInstruction.h"
#include "asmparser/AsmParser.h"
#include "asmparser/AsmSection.h"
#include "asmparser/AsmSyntax.h"
#include "seqprocessor/SeqProcessor.h"
#include "seqprocessor/SeqTypes.h"
#include "utils/SourceLine.h"
#include "utils/SourceReader.h"
#include "utils/StopWatch.h"

class SeqAssembler : public AsmSection {
public:
    using Timer = StopWatch<std::chrono::system_clock>;
    using TimerList = std::vector<std::shared_ptr<Timer>>;

    SeqAssembler();
    SeqAssembler(SeqProcessor* processor, const AsmSyntax& syntax);
    ~SeqAssembler() override;

    SeqAssembler(const SeqAssembler&) = delete;
    SeqAssembler& operator=(const SeqAssembler&) = delete;

    // Section face: ".CODE".
    std::string asmSectionGetDirective() override;
    bool asmSectionStart(AsmErrorList& errors) override;
    bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                               AsmErrorList& errors) override;
    // Address assignment and encoding, unless an error has been recorded.
    void asmSectionFinish(AsmErrorList& errors) override;

    // Writes nothing and returns 0.
    virtual int generateRandomProgram(std::ostream& os, int instructions) const;

    // Stand-alone assembly of a whole source, without the facade. Returns the
    // number of entries in the list afterwards.
    int assemble(SourceReader& reader, AsmErrorList& errors);
    int assembleFile(const std::string& fileName, AsmErrorList& errors);

    // Stores one word; a gap left by skipped addresses is zero-filled. Throws
    // SeqProcMemoryError beyond the instruction memory.
    void writeInstructionMem(uint32_t address, instruction_t word);

    // The word of one parsed instruction; AsmSyntaxError for every fault of the
    // source.
    instruction_t assembleInstruction(const AsmInstruction& instruction) const;

    const TimerList& getTimers() const { return timers; }
    void clearTimers();
    void printTimers(const std::string& title) const;

    // Output of the program left by the last assembly (words 0 to programSize-1).
    bool printHexOutput(std::ostream& os) const;
    // A plain file is replaced only once every word is written (see
    // saveFileSafely); false, with the reason on standard error, when the
    // file could not be opened or did not take the whole text (a file
    // written in place is then left empty).
    bool saveHexOutput(const std::string& fileName) const;
    bool disassemble(instruction_t word, uint32_t address, AsmInstruction& instruction) const;
    bool disassemble(instruction_t word, uint32_t address, std::ostream& os) const;
    // The whole program, one line per word; the number of words that matched no
    // definition.
    unsigned disassemble(std::ostream& os) const;
    int saveDisassemble(const std::string& fileName) const;
    static void printCPU_info();

    uint32_t getProgramSize() const { return programSize; }
    SeqProcessor* getProcessor() const { return processor; }
    const AsmParser& getParser() const { return parser; }

    // The error text of a source that failed while it was being read.
    static std::string readFailureText(const SourceReader& reader, const std::exception& error);

protected:
    AsmParser parser;
    SeqProcessor* processor = nullptr;
    uint32_t programSize = 0;
    std::shared_ptr<Timer> instructionTimer;
    TimerList timers;

private:
    void init();
    bool hasInstructionMemory() const;
};
