// The processor facade: owns a processor, its assembler section (".CODE") and
// its simulator section (".SIM"), reads a source and routes every line to the
// section named by the latest section directive, and returns the error count
// of the assembly with its full report.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "SeqAssembler.h"
#include "SeqSim.h"
#include "asmparser/AsmSection.h"
#include "seqprocessor/SeqInstructionSet.h"
#include "seqprocessor/SeqProcessor.h"
#include "utils/ObjectPool.h"
#include "utils/SourceReader.h"

class Vorel {
public:
    // The processor wraps the caller's instruction buffer (which must outlive
    // it) and allocates its data memory; the clock rates are in MHz.
    Vorel(const SeqInstructionSet& set, unsigned long long* instructionBuffer, int instructionWords,
          int dataWords, double classicalClockMHz, double realtimeClockMHz);
    // The processor allocates both memories; the clock rates stay 0.
    Vorel(const SeqInstructionSet& set, int instructionWords, int dataWords);
    virtual ~Vorel();

    Vorel(const Vorel&) = delete;
    Vorel& operator=(const Vorel&) = delete;

    // Registers a section under its directive; the first registration of a
    // directive wins. The section stays the caller's.
    void registerAsmSection(AsmSection* section);

    // The assembly loop. 0 on success, 1 when the reader cannot start (message:
    // the reader's text), otherwise the number of errors (message: the full
    // report). On success the message is left as it was.
    virtual int assemble(SourceReader& reader, std::string& message);
    int assemble(const std::string& source, std::string& message);
    int assemble(std::shared_ptr<const std::string> source, std::string& message);
    int assembleFile(const std::string& fileName, std::string& message);

    // 1 until an assembly has succeeded; otherwise the simulator's result.
    int simulate(int maxInstructions);
    // The disassembly of the whole program into text; the number of words that
    // matched no definition.
    int disassemble(std::string& text);

    SeqProcessor* getProcessor() const { return processor; }
    SeqAssembler* getAssembler() const { return assembler; }
    SeqSim* getSimulator() const { return sim; }
    bool isAssembled() const { return assembled; }

protected:
    // For derived classes, which build processor, assembler and simulator
    // themselves and hand them over with adopt.
    Vorel();

    // A processor over a copy of the set that wraps the caller's instruction
    // buffer, or allocates its instruction memory when the buffer is null, and
    // allocates its data memory; a negative size counts as 0.
    static std::unique_ptr<SeqProcessor> newProcessor(const SeqInstructionSet& set,
                                                      unsigned long long* instructionBuffer,
                                                      int instructionWords, int dataWords,
                                                      double classicalClockMHz,
                                                      double realtimeClockMHz);
    // Takes the three over and registers the assembler, then the simulator.
    // Called once, from a constructor's body: from the handover on the
    // destructor frees them, so a registration that runs out of memory lets the
    // constructor throw without leaking them or freeing them twice.
    void adopt(std::unique_ptr<SeqProcessor> processor, std::unique_ptr<SeqAssembler> assembler,
               std::unique_ptr<SeqSim> simulator);

    SeqProcessor* processor = nullptr;
    std::map<std::string, AsmSection*> asmSections;
    AsmSection* currentAsmSection = nullptr;
    bool assembled = false;
    SeqAssembler* assembler = nullptr;
    SeqSim* sim = nullptr;

private:
    // The lines of one assembly, made in one pool that starts over with the next.
    ObjectPool linePool;
};
