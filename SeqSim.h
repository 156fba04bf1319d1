// The simulator of the Vorel: runs the program in a processor's instruction
// memory one word at a time on the 32-bit registers of its data memory, counting
// instructions and classical cycles. As a source section (".SIM") it reads and
// drops its lines. The real-time instructions are added by seq_sim.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "VorelInterrupt.h"
#include "asmparser/AsmSection.h"
#include "utils/StopWatch.h"

class SeqProcessor;
class SeqInstructionDef;
class SourceLine;
class AsmErrorList;

class SeqSim : public AsmSection {
public:
    // Operands of "not": destination register and one operand.
    struct ALUArgs1 {
        uint32_t dest = 0;
        uint64_t a = 0;
    };
    // Operands of the two-operand arithmetic and logic instructions.
    struct ALUArgs2 {
        uint32_t dest = 0;
        uint64_t a = 0;
        uint64_t b = 0;
    };

    SeqSim();
    explicit SeqSim(SeqProcessor* processor);
    ~SeqSim() override;

    SeqSim(const SeqSim&) = delete;
    SeqSim& operator=(const SeqSim&) = delete;

    // Section face: the simulator takes no source lines.
    std::string asmSectionGetDirective() override;
    bool asmSectionStart(AsmErrorList& errors) override;
    bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                               AsmErrorList& errors) override;
    void asmSectionFinish(AsmErrorList& errors) override;

    // Runs the program from address 0. False when it ended by "stop" (message
    // empty), true when it was interrupted (message says why). Never throws.
    virtual bool simulate(int maxInstructions, std::string& errorMessage);
    // The same, logging the outcome and the statistics.
    virtual bool simulate(int maxInstructions);
    // Executes the instruction at pc; true (nothing changed) when this class does
    // not execute the decoded instruction.
    virtual bool processInstruction();

    void printStats(const std::string& prefix) const;
    void printTimers(const std::string& title) const;
    void stopTimers();

    void initRegisters();
    void setRegister(unsigned index, unsigned value);
    uint32_t getPrefetchedRegister(unsigned index) const;

    // Operands by field name; every call looks the name up again.
    uint32_t getImmediateValue(const SeqInstructionDef& def, std::string_view field,
                               uint64_t word) const;
    uint32_t getPrefetchedRegisterValue(const SeqInstructionDef& def,
                                        std::string_view registerField, uint64_t word) const;
    uint32_t getImmediateOrRegisterValue(const SeqInstructionDef& def,
                                         std::string_view immediateField,
                                         std::string_view registerField, uint64_t word) const;
    uint32_t getImmediateOrPrefetchedRegisterValue(const SeqInstructionDef& def,
                                                   std::string_view immediateField,
                                                   std::string_view registerField,
                                                   uint64_t word) const;
    void getALUArgs1(ALUArgs1& args, const SeqInstructionDef& def, uint64_t word);
    void getALUArgs2(ALUArgs2& args, const SeqInstructionDef& def, uint64_t word);

    using Timer = StopWatch<std::chrono::system_clock>;

    // Not owned.
    SeqProcessor* processor = nullptr;
    std::string sectionDirective = ".SIM";
    // Per register: its value before, and the cycle count at, its last write
    // through setRegister; they make the prefetch rule. A move, which is seen
    // at once, puts its value in both the register and previousValues.
    std::vector<uint32_t> previousValues;
    std::vector<uint64_t> writeCycles;
    // One stopwatch per run, never removed.
    std::vector<std::shared_ptr<Timer>> runTimers;
    // Extra classical cycles of a taken jump.
    int32_t jumpCycles = 3;
    uint64_t classicalCycles = 0;
    uint64_t realtimeCycles = 0;
    // 64-bit, so that no limit makes the count wrap before the limit test.
    uint64_t instructionCount = 0;
    uint32_t pc = 0;
    bool isRunning = false;

protected:
    // Exact, case-sensitive comparison with a literal. Its length is known when
    // compiling, so a text of another length is told apart by one compare and
    // bytes are compared only when the lengths agree.
    template <std::size_t N> static bool textIs(const std::string& text, const char (&literal)[N]) {
        return text.size() == N - 1 && std::memcmp(text.data(), literal, N - 1) == 0;
    }

    // Bounds-tested read of the word at pc.
    uint64_t fetchInstruction() const;
    // The definition that the word encodes; throws when the set has none.
    std::shared_ptr<SeqInstructionDef> decode(uint64_t word) const;
    // Whether executeClassical carried the instruction out; notClassical
    // changed nothing, so that a subclass can execute it instead.
    enum class Classical { executed, notClassical };
    // Executes a classical instruction decoded from the word at pc. Subclasses
    // decode once and pass the definition on.
    Classical executeClassical(const SeqInstructionDef& def, uint64_t word);
    // Current read of a register (the data memory's own read error).
    uint32_t getRegister(unsigned index) const;
    // Field value of a named field of the word; throws when def has no such field.
    uint32_t fieldValue(const SeqInstructionDef& def, std::string_view field, uint64_t word) const;
};
