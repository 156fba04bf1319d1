#include "SeqSim.h"

#include <cstdio>

#include "Logging.h"
#include "seqprocessor/SeqProcessor.h"

SeqSim::SeqSim() = default;

SeqSim::SeqSim(SeqProcessor* processor)
    : processor(processor), previousValues(processor ? processor->dataMemory.size : 0, 0),
      writeCycles(processor ? processor->dataMemory.size : 0, 0) {}

SeqSim::~SeqSim() = default;

std::string SeqSim::asmSectionGetDirective() {
    return sectionDirective;
}

bool SeqSim::asmSectionStart(AsmErrorList&) {
    return false;
}

bool SeqSim::asmSectionProcessLine(const std::shared_ptr<const SourceLine>&, AsmErrorList&) {
    return false;
}

void SeqSim::asmSectionFinish(AsmErrorList&) {}

// ---- registers -------------------------------------------------------------

void SeqSim::initRegisters() {
    auto& data = processor->dataMemory;
    // Sized again here so that a run never indexes past the register vectors,
    // whatever processor the simulator was built with; no allocation when the
    // sizes already agree.
    previousValues.assign(data.size, 0);
    writeCycles.assign(data.size, 0);
    for (unsigned i = 0; i < data.size; ++i) {
        data.data[i] = 0;
    }
}

uint32_t SeqSim::getRegister(unsigned index) const {
    return processor->dataMemory.read(index);
}

void SeqSim::setRegister(unsigned index, unsigned value) {
    auto& data = processor->dataMemory;
    if (index >= data.size) {
        SeqProcMemoryError error("Attempt to write register at address ");
        error << index << " beyond maximum address " << static_cast<unsigned>(data.size - 1);
        throw error;
    }
    previousValues[index] = data.data[index];
    writeCycles[index] = classicalCycles;
    data.data[index] = value;
}

uint32_t SeqSim::getPrefetchedRegister(unsigned index) const {
    const uint32_t current = getRegister(index);
    if (writeCycles[index] + 1 < classicalCycles) {
        return current;
    }
    return previousValues[index];
}

// ---- operands --------------------------------------------------------------

uint32_t SeqSim::fieldValue(const SeqInstructionDef& def, std::string_view field,
                            uint64_t word) const {
    if (const SeqField* f = def.fields.scanByName(field)) {
        return static_cast<uint32_t>((word >> (f->lsb & 63)) & f->mask);
    }
    SeqProcArgumentNotFoundError error("Instruction ");
    error << def.mnemonic << "( opcode=" << static_cast<unsigned long long>(def.opcode)
          << ", select=" << static_cast<unsigned long long>(def.select) << ")"
          << " does not have an argument that sets field with name=" << std::string(field);
    throw error;
}

uint32_t SeqSim::getImmediateValue(const SeqInstructionDef& def, std::string_view field,
                                   uint64_t word) const {
    return fieldValue(def, field, word);
}

uint32_t SeqSim::getPrefetchedRegisterValue(const SeqInstructionDef& def,
                                            std::string_view registerField, uint64_t word) const {
    return getPrefetchedRegister(fieldValue(def, registerField, word));
}

uint32_t SeqSim::getImmediateOrRegisterValue(const SeqInstructionDef& def,
                                             std::string_view immediateField,
                                             std::string_view registerField, uint64_t word) const {
    if (def.select != 0) {
        return fieldValue(def, immediateField, word);
    }
    return getRegister(fieldValue(def, registerField, word));
}

uint32_t SeqSim::getImmediateOrPrefetchedRegisterValue(const SeqInstructionDef& def,
                                                       std::string_view immediateField,
                                                       std::string_view registerField,
                                                       uint64_t word) const {
    if (def.select != 0) {
        return fieldValue(def, immediateField, word);
    }
    return getPrefetchedRegister(fieldValue(def, registerField, word));
}

void SeqSim::getALUArgs1(ALUArgs1& args, const SeqInstructionDef& def, uint64_t word) {
    args.a = getImmediateOrPrefetchedRegisterValue(def, "IMM", "REG0", word);
    args.dest = fieldValue(def, "REG2", word);
    classicalCycles += 1;
}

void SeqSim::getALUArgs2(ALUArgs2& args, const SeqInstructionDef& def, uint64_t word) {
    args.a = getPrefetchedRegisterValue(def, "REG1", word);
    args.b = getImmediateOrRegisterValue(def, "IMM", "REG0", word);
    if (def.select == 0) {
        classicalCycles += 1;
    }
    args.dest = fieldValue(def, "REG2", word);
    classicalCycles += 1;
}

// ---- execution -------------------------------------------------------------

uint64_t SeqSim::fetchInstruction() const {
    return processor->instructionMemory.read(pc);
}

std::shared_ptr<SeqInstructionDef> SeqSim::decode(uint64_t word) const {
    auto found = processor->instructionSet.findForBinary(word);
    if (!found) {
        SeqProcInstructionNotFoundError error("Binary instruction with opcode=");
        error << static_cast<unsigned long long>(processor->getInstructionOpcode(word))
              << " select=" << (processor->getInstructionSelect(word) != 0 ? "1" : "0")
              << " not supported";
        throw error;
    }
    return found;
}

bool SeqSim::processInstruction() {
    const uint64_t word = fetchInstruction();
    const auto def = decode(word);
    return executeClassical(*def, word) == Classical::notClassical;
}

SeqSim::Classical SeqSim::executeClassical(const SeqInstructionDef& def, uint64_t word) {
    const std::string& m = def.mnemonic;
    const uint64_t jump = static_cast<uint64_t>(static_cast<int64_t>(jumpCycles));

    if (textIs(m, "illegal")) {
        VorelIllegalInterrupt interrupt("ILLEGAL instruction at instruction address: ", pc);
        throw interrupt;
    }
    if (textIs(m, "stop")) {
        isRunning = false;
    } else if (textIs(m, "nop")) {
        pc += 1;
    } else if (textIs(m, "jmp")) {
        pc = getImmediateOrPrefetchedRegisterValue(def, "INSTR_ADDR", "REG2", word);
        classicalCycles += jump;
    } else if (const bool jge = textIs(m, "jge"); jge || textIs(m, "jlt")) {
        const uint32_t a = getPrefetchedRegisterValue(def, "REG1", word);
        const uint32_t k = getImmediateValue(def, "IMM", word);
        const bool taken = jge ? a >= k : a < k;
        if (taken) {
            pc = getImmediateOrRegisterValue(def, "INSTR_ADDR", "REG2", word);
            classicalCycles += 1 + jump;
        } else {
            pc += 1;
            classicalCycles += 1;
        }
    } else if (textIs(m, "loop")) {
        const uint32_t r = getImmediateValue(def, "REG1", word);
        const uint32_t v = getPrefetchedRegister(r) - 1;
        setRegister(r, v);
        if (v != 0) {
            pc = getImmediateOrRegisterValue(def, "INSTR_ADDR", "REG2", word);
            classicalCycles += 1 + jump;
        } else {
            pc += 1;
            classicalCycles += 1;
        }
    } else if (textIs(m, "move")) {
        const uint32_t v = getImmediateOrPrefetchedRegisterValue(def, "IMM", "REG0", word);
        const uint32_t d = getImmediateValue(def, "REG2", word);
        // A move skips setRegister and also replaces the value that a prefetched
        // read takes while a write settles, so the next instruction always sees
        // the moved value.
        processor->dataMemory.write(d, v);
        previousValues[d] = v;
        pc += 1;
    } else if (textIs(m, "not")) {
        ALUArgs1 args;
        getALUArgs1(args, def, word);
        setRegister(args.dest, static_cast<uint32_t>(~args.a));
        pc += 1;
    } else {
        enum class Op { ADD, SUB, AND, OR, XOR, ASL, ASR };
        Op op;
        if (textIs(m, "add")) {
            op = Op::ADD;
        } else if (textIs(m, "sub")) {
            op = Op::SUB;
        } else if (textIs(m, "and")) {
            op = Op::AND;
        } else if (textIs(m, "or")) {
            op = Op::OR;
        } else if (textIs(m, "xor")) {
            op = Op::XOR;
        } else if (textIs(m, "asl")) {
            op = Op::ASL;
        } else if (textIs(m, "asr")) {
            op = Op::ASR;
        } else {
            return Classical::notClassical;
        }
        ALUArgs2 args;
        getALUArgs2(args, def, word);
        // a and b hold zero-extended 32-bit values; shifting the 64-bit value by
        // at most 63 is always defined, and counts of 32 and more give 0.
        const unsigned shift = static_cast<unsigned>(args.b & 63);
        uint64_t result = 0;
        switch (op) {
        case Op::ADD:
            result = args.a + args.b;
            break;
        case Op::SUB:
            result = args.a - args.b;
            break;
        case Op::AND:
            result = args.a & args.b;
            break;
        case Op::OR:
            result = args.a | args.b;
            break;
        case Op::XOR:
            result = args.a ^ args.b;
            break;
        case Op::ASL:
            result = args.a << shift;
            break;
        case Op::ASR:
            result = args.a >> shift;
            break;
        }
        setRegister(args.dest, static_cast<uint32_t>(result));
        pc += 1;
    }
    instructionCount += 1;
    classicalCycles += 1;
    return Classical::executed;
}

// ---- run loop --------------------------------------------------------------

bool SeqSim::simulate(int maxInstructions, std::string& errorMessage) {
    errorMessage.clear();
    auto timer = std::make_shared<Timer>("Vorel processor", "instruction");
    runTimers.push_back(timer);
    initRegisters();
    isRunning = true;
    classicalCycles = 0;
    realtimeCycles = 0;
    instructionCount = 0;
    pc = 0;
    timer->start();

    const uint64_t limit = static_cast<uint32_t>(maxInstructions);
    bool interrupted = false;
    while (isRunning) {
        try {
            if (!processInstruction()) {
                if (instructionCount > limit) {
                    errorMessage = "Maximum number of instructions reached (" +
                                   std::to_string(maxInstructions) +
                                   "). Could the program be running an infinite loop?";
                    interrupted = true;
                    break;
                }
            } else {
                const auto def = processor->instructionSet.findForBinary(fetchInstruction());
                errorMessage =
                    "Instruction " + (def ? def->mnemonic : std::string()) + " not yet supported.";
                interrupted = true;
                break;
            }
        } catch (const VorelInterrupt& interrupt) {
            errorMessage =
                std::string(interrupt.what()) + " " + std::to_string(interrupt.instructionAddress);
            interrupted = true;
            break;
        } catch (const std::exception& error) {
            errorMessage = error.what();
            interrupted = true;
            break;
        }
    }
    stopTimers();
    return interrupted;
}

bool SeqSim::simulate(int maxInstructions) {
    std::string message;
    const bool interrupted = simulate(maxInstructions, message);
    if (interrupted) {
        if (Logging::getLogLevel() > 2) {
            Logging::write(3, "%s", message.c_str());
        }
        if (Logging::getLogLevel() > 5) {
            Logging::write(6, "Simulation interrupted");
        }
    } else if (Logging::getLogLevel() > 5) {
        Logging::write(6, "Simulation finished");
    }
    printStats("");
    return interrupted;
}

// ---- reports ---------------------------------------------------------------

void SeqSim::printStats(const std::string& prefix) const {
    if (Logging::getLogLevel() == Logging::quietLevel) {
        return;
    }
    const double us1 = static_cast<double>(classicalCycles) / processor->classicalClockMHz;
    const double us2 = static_cast<double>(realtimeCycles) / processor->realtimeClockMHz;
    char t1[64];
    char t2[64];
    std::snprintf(t1, sizeof t1, "%.3f", us1);
    std::snprintf(t2, sizeof t2, "%.3f", us2);
    const std::string text = prefix + "\nSimulated " + std::to_string(instructionCount) +
                             " instructions which took " + std::to_string(classicalCycles) +
                             " classical cycles (" + t1 + " us) and " +
                             std::to_string(realtimeCycles) + " real-time cycles (" + t2 + " us).";
    Logging::write(6, "%s", text.c_str());
}

void SeqSim::printTimers(const std::string& title) const {
    if (Logging::getLogLevel() != Logging::quietLevel) {
        Logging::write(6, "%s\nSimulation time:\n%s", title.c_str(),
                       vorel::timerReport(runTimers).c_str());
    }
}

void SeqSim::stopTimers() {
    // The stopwatch counts in unsigned int; a longer run saturates there.
    const unsigned count =
        instructionCount > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<unsigned>(instructionCount);
    for (const auto& timer : runTimers) {
        timer->stop();
        timer->setCount(count);
    }
}
