// Simulation through the wrapper seq and the facade: an assembled program
// runs, ".SIM" lines are dropped, the limit applies and the log is printed.
#include <gtest/gtest.h>

#include "Logging.h"
#include "assembler/seq.h"
#include "tests/support/CapturedStderr.h"

namespace {

class SeqWrapperSimTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(4); }
};

TEST_F(SeqWrapperSimTest, SimulatesAssembledProgramAndPrintsLog) {
    seq s;
    std::string message = "untouched";
    EXPECT_EQ(s.simulate(message), 1) << "nothing assembled yet";
    EXPECT_EQ(message, "untouched");

    const std::string source = "play 1, 2, 100\n"
                               ".SIM\n"
                               "these lines are read and dropped ,,, @@ $$\n"
                               ".CODE\n"
                               "wait 50\n"
                               "acquire 0, 3, 20\n"
                               "stop\n";
    ASSERT_EQ(s.assemble(source, message), 0) << message;
    EXPECT_EQ(message, "assembler finished successfully");
    EXPECT_EQ(s.simulate(message), 0) << message;
    EXPECT_EQ(message, "");
    EXPECT_EQ(s.sim_->instructionCount, 4u);
    EXPECT_EQ(s.sim_->realtimeCycles, 170u);
    ASSERT_EQ(s.sim_->get_rt_log().size(), 3u);

    Logging::setLogLevel(6);
    captureStderr();
    s.print_sim();
    const std::string log = capturedStderr();
    EXPECT_NE(log.find(": \nSimulation start:\n@0ns play 100ns:\n\twave idx: 0:1,1:2\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\n@100ns wait 50ns\n@150ns acquire 20ns:\n\tacq idx: 0\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\n\tmarker: 0\nSimulation end\n"), std::string::npos) << log;
}

TEST_F(SeqWrapperSimTest, InstructionLimit) {
    seq s;
    std::string message;
    ASSERT_EQ(s.assemble(std::string("l: nop\njmp @l\n"), message), 0) << message;
    EXPECT_EQ(s.max_sim_instr, 1000000);
    EXPECT_EQ(s.simulate(message), 1);
    EXPECT_EQ(message, "Maximum number of instructions reached (1000000). Could the program be "
                       "running an infinite loop?");
    EXPECT_EQ(s.sim_->instructionCount, 1000001u);

    s.set_max_sim_instr(10);
    EXPECT_EQ(s.simulate(message), 1);
    EXPECT_EQ(s.sim_->instructionCount, 11u);
    EXPECT_NE(message.find("(10)"), std::string::npos) << message;
}

TEST_F(SeqWrapperSimTest, FacadeSimulateLogsTheOutcome) {
    seq s;
    std::string message;
    ASSERT_EQ(s.assemble(std::string("nop\nnop\n"), message), 0) << message;
    Logging::setLogLevel(6);
    captureStderr();
    const int result = s.Vorel::simulate(100);
    const std::string log = capturedStderr();
    EXPECT_EQ(result, 1) << "running off the program traps";
    EXPECT_NE(log.find(": ILLEGAL instruction at instruction address:  2\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find(": Simulation interrupted\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\nSimulated 2 instructions which took 2 classical cycles (0.008 us) and "
                       "0 real-time cycles (0.000 us).\n"),
              std::string::npos)
        << log;
}

} // namespace
