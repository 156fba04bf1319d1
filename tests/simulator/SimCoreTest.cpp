// The simulator object: its section face, decoding failures, operand lookup by
// field name, the prefetch rule at the register level, statistics and timers.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "Logging.h"
#include "SeqSim.h"
#include "SimTestSupport.h"
#include "asmparser/AsmErrorList.h"
#include "tests/support/CapturedStderr.h"

namespace {

class SimCoreTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(4); }

    static std::string captureLog(const std::function<void()>& action) {
        captureStderr();
        action();
        return capturedStderr();
    }
};

TEST_F(SimCoreTest, SectionFaceDropsLines) {
    SimFixture f("stop");
    SeqSim& sim = *f.sim;
    AsmErrorList errors;
    EXPECT_EQ(sim.asmSectionGetDirective(), ".SIM");
    EXPECT_FALSE(sim.asmSectionStart(errors));
    auto line = std::make_shared<const SourceLine>("anything at all ,,, @@");
    EXPECT_FALSE(sim.asmSectionProcessLine(line, errors));
    sim.asmSectionFinish(errors);
    EXPECT_EQ(errors.size(), 0u);
    EXPECT_EQ(errors.toStringFullReport("assembler"), "assembler finished successfully");
}

TEST_F(SimCoreTest, ConstructionState) {
    SeqSim plain;
    EXPECT_EQ(plain.processor, nullptr);
    EXPECT_EQ(plain.asmSectionGetDirective(), ".SIM");
    EXPECT_TRUE(plain.previousValues.empty());
    EXPECT_TRUE(plain.writeCycles.empty());
    EXPECT_EQ(plain.jumpCycles, 3);
    EXPECT_EQ(plain.instructionCount, 0u);
    EXPECT_FALSE(plain.isRunning);

    SimFixture f("stop", 4096, 16);
    EXPECT_EQ(f.sim->previousValues.size(), 16u);
    EXPECT_EQ(f.sim->writeCycles.size(), 16u);
}

TEST_F(SimCoreTest, UnknownWordsFailToDecode) {
    struct Case {
        unsigned opcode;
        unsigned select;
        const char* message;
    };
    const Case cases[] = {
        {22, 0, "Binary instruction with opcode=22 select=0 not supported"},
        {31, 1, "Binary instruction with opcode=31 select=1 not supported"},
        {1, 1, "Binary instruction with opcode=1 select=1 not supported"},
    };
    for (const Case& c : cases) {
        SimFixture f("nop\nnop");
        unsigned long long word = 0;
        f.processor->instructionSet.writeOpcodeField(word, c.opcode);
        f.processor->instructionSet.writeSelectField(word, c.select);
        f.buffer[1] = word;
        std::string message;
        EXPECT_TRUE(f.sim->simulate(100, message));
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(f.sim->pc, 1u);
        EXPECT_EQ(f.sim->instructionCount, 1u);
    }
}

TEST_F(SimCoreTest, PrefetchRuleAtRegisterLevel) {
    SimFixture f("stop");
    SeqSim& sim = *f.sim;
    sim.initRegisters();
    sim.classicalCycles = 10;
    sim.setRegister(4, 77);
    EXPECT_EQ(sim.previousValues[4], 0u);
    EXPECT_EQ(sim.writeCycles[4], 10u);
    EXPECT_EQ(f.reg(4), 77u);
    sim.classicalCycles = 11;
    EXPECT_EQ(sim.getPrefetchedRegister(4), 0u) << "w + 1 sees the old value";
    sim.classicalCycles = 12;
    EXPECT_EQ(sim.getPrefetchedRegister(4), 77u) << "w + 2 sees the new value";
    sim.setRegister(4, 78);
    EXPECT_EQ(sim.previousValues[4], 77u);
    EXPECT_EQ(sim.getPrefetchedRegister(4), 77u);

    try {
        sim.setRegister(64, 1);
        FAIL() << "no error";
    } catch (const SeqProcMemoryError& e) {
        EXPECT_STREQ(e.what(), "Attempt to write register at address 64 beyond maximum address 63");
    }
    try {
        sim.getPrefetchedRegister(64);
        FAIL() << "no error";
    } catch (const SeqProcMemoryError& e) {
        EXPECT_STREQ(e.what(), "Attempt to read data at address 64 beyond maximum address 63");
    }

    sim.initRegisters();
    EXPECT_EQ(f.reg(4), 0u);
    EXPECT_EQ(sim.previousValues[4], 0u);
    EXPECT_EQ(sim.writeCycles[4], 0u);
}

TEST_F(SimCoreTest, OperandFunctionsReadFieldsByName) {
    SimFixture f("add R1, 0x12345678, R2\nadd R1, R5, R2\nstop");
    SeqSim& sim = *f.sim;
    sim.initRegisters();
    f.processor->dataMemory.write(5, 99);
    const auto imm = f.processor->instructionSet.findForBinary(f.buffer[0]);
    const auto reg = f.processor->instructionSet.findForBinary(f.buffer[1]);
    ASSERT_TRUE(imm && reg);
    EXPECT_EQ(sim.getImmediateValue(*imm, "IMM", f.buffer[0]), 0x12345678u);
    EXPECT_EQ(sim.getImmediateOrRegisterValue(*imm, "IMM", "REG0", f.buffer[0]), 0x12345678u);
    EXPECT_EQ(sim.getImmediateOrRegisterValue(*reg, "IMM", "REG0", f.buffer[1]), 99u);

    SeqSim::ALUArgs2 args;
    sim.classicalCycles = 0;
    sim.getALUArgs2(args, *imm, f.buffer[0]);
    EXPECT_EQ(args.dest, 2u);
    EXPECT_EQ(args.b, 0x12345678u);
    EXPECT_EQ(sim.classicalCycles, 1u);
    sim.getALUArgs2(args, *reg, f.buffer[1]);
    EXPECT_EQ(args.b, 99u);
    EXPECT_EQ(sim.classicalCycles, 3u) << "the register form costs one more";

    try {
        sim.getImmediateValue(*reg, "IMM", f.buffer[1]);
        FAIL() << "no error";
    } catch (const SeqProcArgumentNotFoundError& e) {
        EXPECT_STREQ(e.what(), "Instruction add( opcode=8, select=0) does not have an argument "
                               "that sets field with name=IMM");
    }
}

// A set whose "add" lacks its destination and whose "upd_param" lacks its
// count, to reach the missing-field failures inside a run.
SeqInstructionSet brokenSet() {
    return SeqInstructionSet("broken", 1, 0, 22, 21,
                             {{0, "IMM", 31, 0},
                              {15, "REG0", 5, 0},
                              {16, "REG1", 37, 32},
                              {17, "REG2", 43, 38},
                              {21, "SELECT", 58, 58},
                              {22, "OPCODE", 63, 59}},
                             {{3, "alu_lft_reg", "R", 16, 0, 63},
                              {4, "alu_rgt_reg", "R", 15, 0, 63},
                              {5, "alu_rgt_imm", "", 0, 0, -1}},
                             {{2, "nop", 0, {}},
                              {8, "add", 1, {3, 5}},
                              {8, "add", 0, {3, 4}},
                              {22, "upd_param", 1, {}}});
}

TEST_F(SimCoreTest, MissingFieldsFailTheRun) {
    struct Case {
        const char* mnemonic;
        unsigned opcode;
        unsigned select;
        const char* message;
        uint64_t cycles;
    };
    const Case cases[] = {
        {"add", 8, 1,
         "Instruction add( opcode=8, select=1) does not have an argument that sets field with "
         "name=REG2",
         1},
        {"add", 8, 0,
         "Instruction add( opcode=8, select=0) does not have an argument that sets field with "
         "name=REG2",
         2},
        {"upd_param", 22, 1,
         "Instruction upd_param( opcode=22, select=1) does not have an argument that sets field "
         "with name=COUNT",
         1},
    };
    for (const Case& c : cases) {
        std::vector<unsigned long long> memory(8, 0);
        SeqProcessor processor(brokenSet(), memory.data(), 8, 8);
        processor.instructionSet.writeOpcodeField(memory[0], 2);
        processor.instructionSet.writeOpcodeField(memory[1], c.opcode);
        processor.instructionSet.writeSelectField(memory[1], c.select);
        seq_sim sim(&processor);
        std::string message;
        EXPECT_TRUE(sim.simulate(100, message)) << c.mnemonic;
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(sim.instructionCount, 1u);
        EXPECT_EQ(sim.pc, 1u);
        EXPECT_EQ(sim.classicalCycles, c.cycles) << "cycles added before the failure stay";
        EXPECT_TRUE(sim.get_rt_log().empty());
        EXPECT_TRUE(sim.isRunning) << "an interrupted run stays running";
    }
}

TEST_F(SimCoreTest, JumpCyclesAreConfigurable) {
    SimFixture f("jmp @a\na: jge R0, 0, @b\nb: stop");
    f.sim->jumpCycles = 0;
    std::string message;
    EXPECT_FALSE(f.sim->simulate(100, message));
    EXPECT_EQ(f.sim->classicalCycles, 1u + 2u + 1u);
    f.sim->jumpCycles = -1;
    EXPECT_FALSE(f.sim->simulate(100, message));
    EXPECT_EQ(f.sim->classicalCycles, 0u + 1u + 1u) << "added sign-extended";
}

TEST_F(SimCoreTest, OneArgumentSimulateLogsOutcomeAndStats) {
    // 5 instructions, 12 cycles: jge taken 5, jmp 4, nop, nop, stop.
    SimFixture f("jge R0, 0, @a\na: jmp @b\nb: nop\nnop\nstop");
    Logging::setLogLevel(6);
    bool interrupted = true;
    std::string log = captureLog([&] { interrupted = f.sim->simulate(1000); });
    EXPECT_FALSE(interrupted);
    EXPECT_NE(log.find(": Simulation finished\n"), std::string::npos) << log;
    EXPECT_NE(log.find(": \nSimulated 5 instructions which took 12 classical cycles (0.048 us) "
                       "and 0 real-time cycles (0.000 us).\n"),
              std::string::npos)
        << log;

    SimFixture g("l: jmp @l");
    log = captureLog([&] { interrupted = g.sim->simulate(2); });
    EXPECT_TRUE(interrupted);
    EXPECT_NE(log.find("****   "), std::string::npos) << log;
    EXPECT_NE(log.find(": Maximum number of instructions reached (2). Could the program be "
                       "running an infinite loop?\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(": Simulation interrupted\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Simulated 3 instructions which took 12 classical cycles (0.048 us)"),
              std::string::npos)
        << log;

    Logging::setLogLevel(3);
    log = captureLog([&] { g.sim->simulate(2); });
    EXPECT_NE(log.find("Maximum number"), std::string::npos) << log;
    EXPECT_EQ(log.find("Simulation interrupted"), std::string::npos) << log;
    EXPECT_EQ(log.find("Simulated"), std::string::npos) << log;
}

TEST_F(SimCoreTest, StatsTextAndClockRates) {
    SimFixture f("play 1, 2, 1000\nstop");
    std::string message;
    f.sim->simulate(10, message);
    f.processor->classicalClockMHz = 1000.0;
    f.processor->realtimeClockMHz = 3.0;
    Logging::setLogLevel(6);
    std::string log = captureLog([&] { f.sim->printStats("100% %s done"); });
    EXPECT_NE(log.find(": 100% %s done\nSimulated 2 instructions which took 3 classical cycles "
                       "(0.003 us) and 1000 real-time cycles (333.333 us).\n"),
              std::string::npos)
        << log;

    f.processor->classicalClockMHz = 0.0;
    log = captureLog([&] { f.sim->printStats(""); });
    EXPECT_NE(log.find("classical cycles (inf us)"), std::string::npos) << log;

    Logging::setLogLevel(-1000);
    EXPECT_EQ(captureLog([&] { f.sim->printStats("x"); }), "");
}

TEST_F(SimCoreTest, OneTimerPerRun) {
    SimFixture f("nop\nstop");
    std::string message;
    f.sim->simulate(10, message);
    SimFixture longer("nop\nnop\nnop\nnop\nstop");
    // Reuse the first simulator on a longer program in the same buffer.
    std::copy(longer.buffer.begin(), longer.buffer.end(), f.buffer.begin());
    f.sim->simulate(10, message);
    ASSERT_EQ(f.sim->runTimers.size(), 2u);
    for (const auto& timer : f.sim->runTimers) {
        EXPECT_EQ(timer->name, "Vorel processor");
        EXPECT_EQ(timer->unit, "instruction");
        EXPECT_FALSE(timer->running);
        EXPECT_EQ(timer->count, 5u) << "earlier timers take the latest count";
    }
    Logging::setLogLevel(6);
    const std::string log = captureLog([&] { f.sim->printTimers("Timers of the run"); });
    EXPECT_NE(log.find(": Timers of the run\nSimulation time:\nVorel processor: "),
              std::string::npos)
        << log;
    size_t lines = 0;
    for (size_t at = log.find("Vorel processor: "); at != std::string::npos;
         at = log.find("Vorel processor: ", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 2u);
    EXPECT_NE(log.find(" for 5 instructions = "), std::string::npos) << log;
}

} // namespace
