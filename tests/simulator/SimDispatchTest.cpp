// Which instruction runs and which field an operand comes from: mnemonics and
// field names are matched exactly, case and length included, so a near miss
// is an instruction the simulator does not execute or a field it lacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Logging.h"
#include "SimTestSupport.h"

namespace {

using namespace std::string_literals;

class SimDispatchTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(4); }
};

// "nop" at opcode 2 and, at opcode 3, an instruction without operands whose
// mnemonic is `mnemonic`.
SeqInstructionSet setWith(const std::string& mnemonic) {
    SeqInstructionSet set("dispatch", 1, 0, 22, 21,
                          {{21, "SELECT", 58, 58}, {22, "OPCODE", 63, 59}}, {},
                          {{2, "nop", 0, {}}});
    set.add(SeqInstructionDef(3, mnemonic, 0));
    return set;
}

TEST_F(SimDispatchTest, NearMissMnemonicsAreNotExecuted) {
    // Each differs from a mnemonic of the classical or the real-time table in
    // case, in one byte, or by being a prefix or an extension of it.
    const std::vector<std::string> mnemonics = {
        "Stop",
        "STOP",
        "sto",
        "stopp",
        "stop ",
        "stoq",
        "jgt",
        "jle",
        "ad",
        "addd",
        "Add",
        "as",
        "nop\0"s,
        "Wait",
        "wait_",
        "wait_syncx",
        "wai",
        "acquire_",
        "acquire_weighe",
        "acquire_weighedx",
        "play2",
        "set_ph_",
        "set_ph_deltas",
        "",
    };
    for (const std::string& m : mnemonics) {
        std::vector<unsigned long long> memory(4, 0);
        SeqProcessor processor(setWith(m), memory.data(), 4, 8);
        processor.instructionSet.writeOpcodeField(memory[0], 2);
        processor.instructionSet.writeOpcodeField(memory[1], 3);
        const std::string expected = "Instruction " + m + " not yet supported.";

        seq_sim sim(&processor);
        std::string message;
        EXPECT_TRUE(sim.simulate(100, message)) << m;
        EXPECT_EQ(message, expected);
        EXPECT_EQ(sim.pc, 1u) << m;
        EXPECT_EQ(sim.instructionCount, 1u) << m;
        EXPECT_EQ(sim.classicalCycles, 1u) << m;
        EXPECT_EQ(sim.realtimeCycles, 0u) << m;
        EXPECT_TRUE(sim.get_rt_log().empty()) << m;
        EXPECT_STREQ(sim.rt_current.name, m.c_str()) << "the name is taken all the same";

        SeqSim plain(&processor);
        EXPECT_TRUE(plain.simulate(100, message)) << m;
        EXPECT_EQ(message, expected);
        EXPECT_EQ(plain.instructionCount, 1u) << m;
    }
}

// "add" at opcode 8 whose immediate operand writes a field named `immName`.
SeqInstructionSet addWithImmediateField(const char* immName) {
    return SeqInstructionSet("fields", 1, 0, 22, 21,
                             {{0, immName, 31, 0},
                              {16, "REG1", 37, 32},
                              {17, "REG2", 43, 38},
                              {21, "SELECT", 58, 58},
                              {22, "OPCODE", 63, 59}},
                             {{0, "alu_dst_reg", "R", 17, 0, 63},
                              {3, "alu_lft_reg", "R", 16, 0, 63},
                              {5, "alu_rgt_imm", "", 0, 0, -1}},
                             {{8, "add", 1, {3, 5, 0}}});
}

TEST_F(SimDispatchTest, OperandFieldsAreFoundByTheirExactName) {
    struct Case {
        const char* immName;
        const char* message; // empty: the add runs
    };
    const char* const missing = "Instruction add( opcode=8, select=1) does not have an argument "
                                "that sets field with name=IMM";
    const Case cases[] = {
        {"IMM", ""},       {"imm", missing},  {"Imm", missing}, {"IM", missing},
        {"IMMX", missing}, {"IMM ", missing}, {"IMX", missing}, {"JMM", missing},
    };
    for (const Case& c : cases) {
        std::vector<unsigned long long> memory(2, 0);
        SeqProcessor processor(addWithImmediateField(c.immName), memory.data(), 2, 8);
        SeqInstructionSet& set = processor.instructionSet;
        set.writeOpcodeField(memory[0], 8);
        set.writeSelectField(memory[0], 1);
        // add R1, 5, R2
        memory[0] |= (1ull << 32) | 5ull | (2ull << 38);

        SeqSim sim(&processor);
        std::string message;
        sim.simulate(100, message);
        if (*c.message == '\0') {
            EXPECT_EQ(message, "Binary instruction with opcode=0 select=0 not supported")
                << c.immName << ": the add ran, the next word is not in the set";
            EXPECT_EQ(processor.dataMemory.read(2), 5u) << c.immName;
        } else {
            EXPECT_EQ(message, c.message) << c.immName;
            EXPECT_EQ(sim.instructionCount, 0u) << c.immName;
            EXPECT_EQ(processor.dataMemory.read(2), 0u) << c.immName;
        }
    }
}

} // namespace
