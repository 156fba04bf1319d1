// Small programs run to their end: final registers, pc, counts, cycles, the
// run's result and message, each worked out by hand from the cycle rules.
#include <gtest/gtest.h>

#include <climits>
#include <utility>

#include "Logging.h"
#include "SimTestSupport.h"

namespace {

struct ProgramCase {
    const char* name;
    const char* source;
    int limit;
    bool interrupted;
    const char* message;
    uint32_t pc;
    uint64_t instructions;
    uint64_t classicalCycles;
    uint64_t realtimeCycles;
    std::vector<std::pair<unsigned, uint32_t>> registers;
    unsigned instructionWords = 4096;
    unsigned dataWords = 64;
};

std::ostream& operator<<(std::ostream& os, const ProgramCase& c) {
    return os << c.name;
}

const char* const LIMIT5 =
    "Maximum number of instructions reached (5). Could the program be running an infinite loop?";
const char* const LIMIT0 =
    "Maximum number of instructions reached (0). Could the program be running an infinite loop?";
const char* const LIMIT1 =
    "Maximum number of instructions reached (1). Could the program be running an infinite loop?";

// clang-format off
const ProgramCase programCases[] = {
    // Control.
    {"StopFirst", "stop", 1000, false, "", 0, 1, 1, 0, {}},
    {"NopStop", "nop\nstop", 1000, false, "", 1, 2, 2, 0, {}},
    {"JmpImmediate", "jmp @end\nmove 1, R1\nend: stop", 1000, false, "", 2, 2, 5, 0, {{1, 0}}},
    {"JmpRegister", "nop\nmove 5, R1\nnop\njmp R1\nmove 1, R2\nstop", 1000, false, "",
     5, 5, 8, 0, {{2, 0}}},
    {"JgeEqualTaken", "nop\nmove 5, R1\njge R1, 5, @t\nmove 1, R2\nt: stop", 1000, false, "",
     4, 4, 8, 0, {{2, 0}}},
    {"JgeLessNotTaken", "nop\nmove 4, R1\njge R1, 5, @t\nmove 1, R2\nt: stop", 1000, false, "",
     4, 5, 6, 0, {{2, 1}}},
    {"JgeRegisterTarget", "nop\nmove 5, R1\nmove 5, R3\njge R1, 0, R3\nmove 1, R2\nstop", 1000,
     false, "", 5, 5, 9, 0, {{2, 0}}},
    {"JltEqualNotTaken", "nop\nmove 5, R1\njlt R1, 5, @t\nmove 1, R2\nt: stop", 1000, false, "",
     4, 5, 6, 0, {{2, 1}}},
    {"JltLessTaken", "nop\nmove 4, R1\njlt R1, 5, @t\nmove 1, R2\nt: stop", 1000, false, "",
     4, 4, 8, 0, {{2, 0}}},
    {"JltComparesUnsigned", "nop\nmove 0xFFFFFFFF, R1\njlt R1, 1, @t\nmove 1, R2\nt: stop", 1000,
     false, "", 4, 5, 6, 0, {{2, 1}}},
    {"JltRegisterFormNotTaken", "jlt R1, 0, R3\nmove 1, R2\nstop", 1000, false, "",
     2, 3, 4, 0, {{2, 1}}},
    // loop: the counter is read under the prefetch rule, written back at once.
    {"LoopThreeTimes", "move 3, R1\nl: nop\nloop R1, @l\nstop", 1000, false, "",
     3, 8, 17, 0, {{1, 0}}},
    {"LoopOnItself", "move 2, R1\nnop\nl: loop R1, @l\nstop", 1000, false, "",
     3, 5, 10, 0, {{1, 0}}},
    {"LoopFromZeroWrapsAndJumps", "loop R1, @e\ne: stop", 1000, false, "",
     1, 2, 6, 0, {{1, 4294967295u}}},
    {"LoopRegisterTarget", "nop\nmove 2, R1\nmove 5, R2\nloop R1, R2\nstop\nstop", 1000, false,
     "", 5, 5, 9, 0, {{1, 1}}},
    // move writes past the prefetch bookkeeping.
    {"MoveImmediate", "move 7, R1\nstop", 1000, false, "", 1, 2, 2, 0, {{1, 7}}},
    {"MoveRegisterSeesMovedValue", "nop\nmove 7, R1\nmove R1, R2\nstop", 1000, false, "",
     3, 4, 4, 0, {{1, 7}, {2, 7}}},
    {"MoveAtRunStartReadAtCycleOne", "move 7, R1\nmove R1, R2\nstop", 1000, false, "",
     2, 3, 3, 0, {{1, 7}, {2, 7}}},
    // Arithmetic and logic, immediate (2 cycles) and register (3 cycles) forms.
    {"NotImmediate", "not 0, R1\nstop", 1000, false, "", 1, 2, 3, 0, {{1, 0xFFFFFFFFu}}},
    {"NotRegister", "nop\nmove 5, R1\nnot R1, R2\nstop", 1000, false, "",
     3, 4, 5, 0, {{2, 0xFFFFFFFAu}}},
    {"AddImmediateWraps", "nop\nmove 4294967295, R1\nadd R1, 1, R2\nstop", 1000, false, "",
     3, 4, 5, 0, {{2, 0}}},
    {"AddRegister", "nop\nmove 3, R1\nmove 4, R2\nadd R1, R2, R3\nstop", 1000, false, "",
     4, 5, 7, 0, {{3, 7}}},
    {"SubImmediateWraps", "sub R1, 1, R2\nstop", 1000, false, "", 1, 2, 3, 0,
     {{2, 4294967295u}}},
    {"SubRegister", "nop\nmove 10, R1\nmove 3, R2\nsub R1, R2, R3\nstop", 1000, false, "",
     4, 5, 7, 0, {{3, 7}}},
    {"AndImmediate", "nop\nmove 12, R1\nand R1, 10, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 8}}},
    {"AndRegister", "nop\nmove 12, R1\nmove 10, R2\nand R1, R2, R3\nstop", 1000, false, "",
     4, 5, 7, 0, {{3, 8}}},
    {"OrImmediate", "nop\nmove 12, R1\nor R1, 3, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 15}}},
    {"OrRegister", "nop\nmove 12, R1\nmove 10, R2\nor R1, R2, R3\nstop", 1000, false, "",
     4, 5, 7, 0, {{3, 14}}},
    {"XorImmediate", "nop\nmove 12, R1\nxor R1, 10, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 6}}},
    {"XorRegister", "nop\nmove 12, R1\nmove 5, R2\nxor R1, R2, R3\nstop", 1000, false, "",
     4, 5, 7, 0, {{3, 9}}},
    // Shifts: only the low 6 bits of the count, 32 to 63 give 0, asr is logical.
    {"AslBy0", "nop\nmove 1, R1\nasl R1, 0, R2\nstop", 1000, false, "", 3, 4, 5, 0, {{2, 1}}},
    {"AslBy31", "nop\nmove 1, R1\nasl R1, 31, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 2147483648u}}},
    {"AslBy32", "nop\nmove 1, R1\nasl R1, 32, R2\nstop", 1000, false, "", 3, 4, 5, 0, {{2, 0}}},
    {"AslBy63", "nop\nmove 1, R1\nasl R1, 63, R2\nstop", 1000, false, "", 3, 4, 5, 0, {{2, 0}}},
    {"AslBy64ActsAs0", "nop\nmove 1, R1\nasl R1, 64, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 1}}},
    {"AslKeepsLow32Bits", "nop\nmove 0x80000001, R1\nasl R1, 1, R2\nstop", 1000, false, "",
     3, 4, 5, 0, {{2, 2}}},
    {"AslRegister", "nop\nmove 3, R1\nmove 4, R2\nasl R1, R2, R3\nstop", 1000, false, "",
     4, 5, 7, 0, {{3, 48}}},
    {"AsrBy0", "nop\nmove 0x80000000, R1\nasr R1, 0, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 0x80000000u}}},
    {"AsrBy1IsLogical", "nop\nmove 0x80000000, R1\nasr R1, 1, R2\nstop", 1000, false, "",
     3, 4, 5, 0, {{2, 0x40000000u}}},
    {"AsrBy31", "nop\nmove 0x80000000, R1\nasr R1, 31, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 1}}},
    {"AsrBy32", "nop\nmove 0x80000000, R1\nasr R1, 32, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 0}}},
    {"AsrBy63", "nop\nmove 0xFFFFFFFF, R1\nasr R1, 63, R2\nstop", 1000, false, "", 3, 4, 5, 0,
     {{2, 0}}},
    {"AsrRegister", "nop\nmove 256, R1\nmove 4, R2\nasr R1, R2, R3\nstop", 1000, false, "",
     4, 5, 7, 0, {{3, 16}}},
    // Prefetch rule: a register written at cycle w reads old at w + 1, new at w + 2.
    {"PrefetchOneCycleAfterImmediateWrite",
     "nop\nmove 5, R1\nadd R1, 1, R2\nmove R2, R3\nstop", 1000, false, "",
     4, 5, 6, 0, {{2, 6}, {3, 0}}},
    {"PrefetchTwoCyclesAfterImmediateWrite",
     "nop\nmove 5, R1\nadd R1, 1, R2\nnop\nmove R2, R3\nstop", 1000, false, "",
     5, 6, 7, 0, {{2, 6}, {3, 6}}},
    {"PrefetchOneCycleAfterRegisterWrite",
     "nop\nmove 5, R1\nadd R1, R1, R2\nmove R2, R3\nstop", 1000, false, "",
     4, 5, 7, 0, {{2, 10}, {3, 0}}},
    {"SecondOperandIsCurrent", "nop\nmove 5, R1\nadd R1, 1, R2\nadd R1, R2, R3\nstop", 1000,
     false, "", 4, 5, 8, 0, {{2, 6}, {3, 11}}},
    {"JmpTargetIsPrefetched", "nop\nmove 2, R1\nadd R1, 3, R2\njmp R2\nstop\nstop", 1000, false,
     "", 5, 9, 17, 0, {{2, 5}}},
    // Limit: N runs N + 1 instructions.
    {"LimitRunsOneMore", "l: nop\njmp @l", 5, true, LIMIT5, 0, 6, 15, 0, {}},
    {"LimitZero", "nop\nnop\nstop", 0, true, LIMIT0, 1, 1, 1, 0, {}},
    {"StopCrossingLimit", "nop\nstop", 1, true, LIMIT1, 1, 2, 2, 0, {}},
    {"NegativeLimitIsLarge", "nop\nstop", -1, false, "", 1, 2, 2, 0, {}},
    {"MostNegativeLimitIsLarge", "nop\nstop", INT_MIN, false, "", 1, 2, 2, 0, {}},
    // Traps and memory bounds.
    {"Illegal", "nop\nnop\nnop\nnop\nnop\nillegal", 1000, true,
     "ILLEGAL instruction at instruction address:  5", 5, 5, 5, 0, {}},
    {"RunOffProgramTraps", "nop\nnop", 1000, true,
     "ILLEGAL instruction at instruction address:  2", 2, 2, 2, 0, {}},
    {"JumpBeyondInstructionMemory", "nop\nmove 4096, R1\nnop\njmp R1", 1000, true,
     "Attempt to read instruction at address 4096 beyond maximum address 4095",
     4096, 4, 7, 0, {}},
    {"RunOffFullMemory", "nop\nnop\nnop\nnop", 1000, true,
     "Attempt to read instruction at address 4 beyond maximum address 3", 4, 4, 4, 0, {}, 4},
    {"WriteRegisterBeyondData", "add R1, 1, R10\nstop", 1000, true,
     "Attempt to write register at address 10 beyond maximum address 7", 0, 0, 1, 0, {}, 4096, 8},
    {"WriteRegisterBeyondDataRegisterForm", "add R1, R2, R9\nstop", 1000, true,
     "Attempt to write register at address 9 beyond maximum address 7", 0, 0, 2, 0, {}, 4096, 8},
    {"MoveBeyondData", "nop\nmove 1, R10\nstop", 1000, true,
     "Attempt to write data at address 10 beyond maximum address 7", 1, 1, 1, 0, {}, 4096, 8},
    {"PrefetchedReadBeyondData", "add R10, 1, R1\nstop", 1000, true,
     "Attempt to read data at address 10 beyond maximum address 7", 0, 0, 0, 0, {}, 4096, 8},
    {"CurrentReadBeyondData", "add R1, R63, R2\nstop", 1000, true,
     "Attempt to read data at address 63 beyond maximum address 7", 0, 0, 0, 0, {}, 4096, 8},
    {"LoopCounterBeyondData", "loop R12, @l\nl: stop", 1000, true,
     "Attempt to read data at address 12 beyond maximum address 7", 0, 0, 0, 0, {}, 4096, 8},
    // Real-time instructions: their classical cycles and the real-time count.
    {"RealtimeImmediateForms",
     "sw_req 5\nset_mrk 3\nset_ph 1, 2, 3\nset_ph_delta 1, 2, 3\nset_awg_gain 1, 2\n"
     "set_awg_offs 1, 2\nupd_param 4\nplay 1, 2, 10\nacquire 0, 3, 20\n"
     "acquire_weighed 1, 2, 3, 4, 30\nwait 40\nwait_trigger 50\nwait_sync 60\nstop",
     1000, false, "", 13, 14, 24, 214, {}},
    {"RealtimeRegisterForms",
     "nop\nmove 7, R1\nsw_req R1\nset_mrk R1\nset_ph R1, R2, R3\nset_ph_delta R1, R2, R3\n"
     "set_awg_gain R1, R2\nset_awg_offs R1, R2\nplay R1, R2, 10\nacquire 1, R1, 10\n"
     "acquire_weighed 1, R1, R2, R3, 10\nwait R1\nwait_trigger R1\nwait_sync R1\nstop",
     1000, false, "", 14, 15, 25, 51, {}},
};
// clang-format on

class ProgramTest : public ::testing::TestWithParam<ProgramCase> {
protected:
    void SetUp() override { Logging::setLogLevel(4); }
};

TEST_P(ProgramTest, RunsToExpectedState) {
    const ProgramCase& c = GetParam();
    SimFixture f(c.source, c.instructionWords, c.dataWords);
    ASSERT_EQ(f.assembleResult, 0) << f.assembleMessage;
    std::string message = "stale";
    const bool interrupted = f.sim->simulate(c.limit, message);
    EXPECT_EQ(interrupted, c.interrupted);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(f.sim->pc, c.pc);
    EXPECT_EQ(f.sim->instructionCount, c.instructions);
    EXPECT_EQ(f.sim->classicalCycles, c.classicalCycles);
    EXPECT_EQ(f.sim->realtimeCycles, c.realtimeCycles);
    for (const auto& [index, value] : c.registers) {
        EXPECT_EQ(f.reg(index), value) << "R" << index;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramTest, ::testing::ValuesIn(programCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A program's registers do not depend on whether it starts at address 0 or
// behind a nop: a move is seen by the next instruction from the first one on,
// and a write through setRegister is still seen one instruction late.
struct StartCase {
    const char* name;
    const char* source;
    std::vector<std::pair<unsigned, uint32_t>> registers;
};

std::ostream& operator<<(std::ostream& os, const StartCase& c) {
    return os << c.name;
}

// clang-format off
const StartCase startCases[] = {
    {"MoveReadByMove",     "move 7, R1\nmove R1, R2\nstop",                    {{1, 7}, {2, 7}}},
    {"MoveReadByAdd",      "move 7, R1\nadd R1, 1, R2\nstop",                  {{1, 7}, {2, 8}}},
    {"MoveReadByAddReg",   "move 7, R1\nadd R1, R1, R2\nstop",                 {{1, 7}, {2, 14}}},
    {"MoveReadByJge",      "move 7, R1\njge R1, 7, @t\nmove 1, R3\nt: stop",  {{1, 7}, {3, 0}}},
    {"MoveReadByLoop",     "move 2, R1\nloop R1, @t\nmove 1, R3\nt: stop",    {{1, 1}, {3, 0}}},
    {"MoveReadByNot",      "move 7, R1\nnot R1, R2\nstop",                     {{2, 0xFFFFFFF8u}}},
    {"AddReadAtOnceOld",   "add R0, 7, R1\nmove R1, R2\nstop",                 {{1, 7}, {2, 0}}},
    {"AddReadLaterNew",    "add R0, 7, R1\nnop\nmove R1, R2\nstop",            {{1, 7}, {2, 7}}},
    {"MoveThenAddHazard",  "move 7, R1\nadd R1, 1, R1\nmove R1, R2\nstop",     {{1, 8}, {2, 7}}},
};
// clang-format on

class StartTest : public ::testing::TestWithParam<StartCase> {
protected:
    void SetUp() override { Logging::setLogLevel(4); }
};

TEST_P(StartTest, RegistersDoNotDependOnALeadingNop) {
    const StartCase& c = GetParam();
    SimFixture atZero(c.source);
    SimFixture behindNop(std::string("nop\n") + c.source);
    ASSERT_EQ(atZero.assembleResult, 0) << atZero.assembleMessage;
    ASSERT_EQ(behindNop.assembleResult, 0) << behindNop.assembleMessage;
    std::string message;
    ASSERT_FALSE(atZero.sim->simulate(1000, message)) << message;
    ASSERT_FALSE(behindNop.sim->simulate(1000, message)) << message;
    EXPECT_EQ(behindNop.sim->instructionCount, atZero.sim->instructionCount + 1);
    EXPECT_EQ(behindNop.sim->classicalCycles, atZero.sim->classicalCycles + 1);
    for (const auto& [index, value] : c.registers) {
        EXPECT_EQ(atZero.reg(index), value) << "R" << index << " at address 0";
        EXPECT_EQ(behindNop.reg(index), value) << "R" << index << " behind a nop";
    }
    for (unsigned i = 0; i < 64; ++i)
        EXPECT_EQ(atZero.reg(i), behindNop.reg(i)) << "R" << i;
}

INSTANTIATE_TEST_SUITE_P(Start, StartTest, ::testing::ValuesIn(startCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
