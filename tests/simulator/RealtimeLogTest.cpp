// The real-time log: entries, the settings they carry, their start and
// duration, and the exact log text.
#include <gtest/gtest.h>

#include "Logging.h"
#include "SimTestSupport.h"
#include "tests/support/CapturedStderr.h"

namespace {

const char* const UPDATE_DEFAULTS = "\n\tawg_gain: 0:32767,1:32767"
                                    "\n\tawg_offset: 0:32767,1:32767"
                                    "\n\tphase: c:0,f:0,u:0"
                                    "\n\tphase delta: c:0,f:0,u:0"
                                    "\n\tmarker: 0";

class RealtimeLogTest : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(4); }

    // Runs `source` to its "stop" and returns the log text.
    static std::string runLog(SimFixture& f) {
        EXPECT_EQ(f.assembleResult, 0) << f.assembleMessage;
        std::string message;
        EXPECT_FALSE(f.sim->simulate(1000, message)) << message;
        return f.sim->rt_log_text("");
    }
};

TEST_F(RealtimeLogTest, ExampleProgram) {
    SimFixture f("play 1, 2, 100\nwait 50\nacquire 0, 3, 20\nstop");
    const std::string expected = std::string("\nSimulation start:"
                                             "\n@0ns play 100ns:"
                                             "\n\twave idx: 0:1,1:2") +
                                 UPDATE_DEFAULTS +
                                 "\n@100ns wait 50ns"
                                 "\n@150ns acquire 20ns:"
                                 "\n\tacq idx: 0"
                                 "\n\tbin idx: 3"
                                 "\n\tweight idx: 0:-1,1:-1" +
                                 UPDATE_DEFAULTS + "\nSimulation end";
    EXPECT_EQ(runLog(f), expected);
    EXPECT_EQ(f.sim->realtimeCycles, 170u);

    // The same text reaches the log as one info line.
    Logging::setLogLevel(6);
    captureStderr();
    f.sim->print_rt_log("");
    const std::string err = capturedStderr();
    EXPECT_NE(err.find(": " + expected + "\n"), std::string::npos) << err;
    EXPECT_EQ(err.rfind("+      ", 0), 0u) << err;

    // Below info nothing is written.
    Logging::setLogLevel(5);
    captureStderr();
    f.sim->print_rt_log("");
    EXPECT_EQ(capturedStderr(), "");
}

TEST_F(RealtimeLogTest, EmptyLogs) {
    SimFixture f("nop\nsw_req 3\nset_mrk 2\nset_awg_gain 1, 1\nstop");
    EXPECT_EQ(f.sim->rt_log_text(""), "\nSimulation start:\nSimulation end") << "before any run";
    EXPECT_EQ(runLog(f), "\nSimulation start:\nSimulation end");
    EXPECT_TRUE(f.sim->get_rt_log().empty());
}

TEST_F(RealtimeLogTest, FlagsAndDeltasLastOneEntry) {
    SimFixture f("set_ph_delta 4, 5, 6\nset_ph 1, 2, 3\nupd_param 10\nacquire_weighed 1, 2, 3, 4, "
                 "8\nupd_param 4\nstop");
    runLog(f);
    const auto& log = f.sim->get_rt_log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_STREQ(log[0].name, "upd_param");
    EXPECT_TRUE(log[0].update);
    EXPECT_FALSE(log[0].play);
    EXPECT_FALSE(log[0].acquire);
    EXPECT_EQ(log[0].phase_delta_c, 4u);
    EXPECT_EQ(log[0].phase_delta_f, 5u);
    EXPECT_EQ(log[0].phase_delta_u, 6u);
    EXPECT_EQ(log[0].phase_c, 1u);
    EXPECT_EQ(log[0].start, 0u);
    EXPECT_EQ(log[0].duration, 10);

    EXPECT_STREQ(log[1].name, "acquire_weighed");
    EXPECT_TRUE(log[1].acquire);
    EXPECT_EQ(log[1].acq_idx, 1u);
    EXPECT_EQ(log[1].bin_idx, 2u);
    EXPECT_EQ(log[1].weight_idx0, 3u);
    EXPECT_EQ(log[1].weight_idx1, 4u);
    EXPECT_EQ(log[1].phase_delta_c, 0u) << "deltas last one entry";
    EXPECT_EQ(log[1].phase_c, 1u) << "settings persist";
    EXPECT_EQ(log[1].start, 10u);

    EXPECT_FALSE(log[2].acquire) << "flags last one entry";
    EXPECT_EQ(log[2].weight_idx1, 4u) << "indexes persist";
    EXPECT_EQ(log[2].start, 18u);
    EXPECT_EQ(f.sim->realtimeCycles, 22u);

    const std::string text = f.sim->rt_log_text("");
    EXPECT_NE(text.find("\n@0ns upd_param 10ns:\n\tawg_gain"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\tphase: c:1,f:2,u:3\n\tphase delta: c:4,f:5,u:6\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\n\tweight idx: 0:3,1:4\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n@18ns upd_param 4ns:\n\tawg_gain"), std::string::npos) << text;
}

TEST_F(RealtimeLogTest, GainsOffsetsAndMarkerPersistUntilChanged) {
    SimFixture f("play 1, 1, 4\nset_awg_gain 100, -1\nset_awg_offs -32768, 5\nset_mrk 15\n"
                 "play 3, 4, 4\nstop");
    runLog(f);
    const auto& log = f.sim->get_rt_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].awg_gain0, 32767u);
    EXPECT_EQ(log[0].awg_offs1, 32767u);
    EXPECT_EQ(log[1].awg_gain0, 100u);
    EXPECT_EQ(log[1].awg_gain1, 65535u) << "the 16-bit field reads back unsigned";
    EXPECT_EQ(log[1].awg_offs0, 32768u);
    EXPECT_EQ(log[1].awg_offs1, 5u);
    EXPECT_EQ(log[1].marker, 15u);
    const std::string text = f.sim->rt_log_text("");
    EXPECT_NE(text.find("\n@4ns play 4ns:\n\twave idx: 0:3,1:4\n\tawg_gain: 0:100,1:65535"
                        "\n\tawg_offset: 0:32768,1:5\n\tphase: c:0,f:0,u:0"
                        "\n\tphase delta: c:0,f:0,u:0\n\tmarker: 15\nSimulation end"),
              std::string::npos)
        << text;
}

TEST_F(RealtimeLogTest, WaitsCarryNoFlags) {
    SimFixture f("play 1, 2, 10\nwait 4\nwait_trigger 5\nwait_sync 6\nplay 1, 2, 7\nstop");
    const std::string text = runLog(f);
    EXPECT_NE(text.find("\n@10ns wait 4ns\n@14ns wait_trigger 5ns\n@19ns wait_sync 6ns\n"
                        "@25ns play 7ns:\n"),
              std::string::npos)
        << text;
    const auto& log = f.sim->get_rt_log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_FALSE(log[1].play || log[1].update || log[1].acquire);
    EXPECT_EQ(log[1].wave_idx1, 2u) << "a wait copies the settings";
    EXPECT_EQ(f.sim->realtimeCycles, 32u);
}

TEST_F(RealtimeLogTest, NegativeRegisterCountMovesBack) {
    // The count register is read under the prefetch rule: set long before.
    SimFixture f("move 0xFFFFFFFF, R1\nnop\nwait R1\nplay 1, 2, 4\nwait 10\nwait R1\nstop");
    const std::string text = runLog(f);
    EXPECT_NE(text.find("\n@0ns wait -1ns\n@-1ns play 4ns:"), std::string::npos) << text;
    EXPECT_NE(text.find("\n@3ns wait 10ns\n@13ns wait -1ns\nSimulation end"), std::string::npos)
        << text;
    EXPECT_EQ(f.sim->realtimeCycles, 12u);
}

TEST_F(RealtimeLogTest, RegisterCountIsPrefetched) {
    // wait reads R2 one cycle after the add wrote it: the old value 0.
    SimFixture f("nop\nmove 5, R1\nadd R1, 1, R2\nwait R2\nnop\nwait R2\nstop");
    const std::string text = runLog(f);
    EXPECT_NE(text.find("\n@0ns wait 0ns\n@0ns wait 6ns\nSimulation end"), std::string::npos)
        << text;
}

TEST_F(RealtimeLogTest, RegisterOperands) {
    SimFixture f("nop\nmove 9, R1\nmove 8, R2\nmove 7, R3\nset_ph R1, R2, R3\nplay R1, R2, 5\n"
                 "acquire_weighed 2, R3, R2, R1, 6\nacquire 3, R2, 7\nstop");
    runLog(f);
    const auto& log = f.sim->get_rt_log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].phase_c, 9u);
    EXPECT_EQ(log[0].phase_f, 8u);
    EXPECT_EQ(log[0].phase_u, 7u);
    EXPECT_EQ(log[0].wave_idx0, 9u);
    EXPECT_EQ(log[0].wave_idx1, 8u);
    EXPECT_EQ(log[1].acq_idx, 2u);
    EXPECT_EQ(log[1].bin_idx, 7u);
    EXPECT_EQ(log[1].weight_idx0, 8u);
    EXPECT_EQ(log[1].weight_idx1, 9u);
    EXPECT_EQ(log[2].acq_idx, 3u);
    EXPECT_EQ(log[2].bin_idx, 8u);
    EXPECT_EQ(log[2].weight_idx0, 0xFFFFFFFFu);
    EXPECT_EQ(log[2].weight_idx1, 0xFFFFFFFFu);
}

TEST_F(RealtimeLogTest, FailingInstructionAppendsNothingButKeepsSetFields) {
    SimFixture f("nop\nmove 9, R1\nset_ph R1, R2, R9\nstop", 4096, 8);
    ASSERT_EQ(f.assembleResult, 0) << f.assembleMessage;
    std::string message;
    EXPECT_TRUE(f.sim->simulate(1000, message));
    EXPECT_EQ(message, "Attempt to read data at address 9 beyond maximum address 7");
    EXPECT_EQ(f.sim->rt_current.phase_c, 9u);
    EXPECT_EQ(f.sim->classicalCycles, 2u);

    SimFixture g("nop\nmove 9, R1\nplay R1, R8, 4\nstop", 4096, 8);
    EXPECT_TRUE(g.sim->simulate(1000, message));
    EXPECT_EQ(message, "Attempt to read data at address 8 beyond maximum address 7");
    EXPECT_TRUE(g.sim->get_rt_log().empty());
    EXPECT_EQ(g.sim->rt_current.wave_idx0, 9u);
}

TEST_F(RealtimeLogTest, EveryRunStartsAFreshLog) {
    SimFixture f("set_awg_gain 1, 2\nset_ph_delta 1, 1, 1\nplay 1, 2, 10\nset_mrk 3\nstop");
    runLog(f);
    ASSERT_EQ(f.sim->get_rt_log().size(), 1u);
    EXPECT_EQ(f.sim->rt_current.marker, 3u);
    runLog(f);
    const auto& log = f.sim->get_rt_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].marker, 0u) << "rt_current was reset";
    EXPECT_EQ(log[0].start, 0u);
    EXPECT_EQ(f.sim->realtimeCycles, 10u);
}

TEST_F(RealtimeLogTest, EntryNamesOutliveTheProcessor) {
    auto f = std::make_unique<SimFixture>("play 1, 2, 10\nwait 5\nstop");
    runLog(*f);
    // The facade deletes the processor before the simulator; the log must
    // stay readable (the sanitizer build catches a dangling name).
    f->processor.reset();
    const auto& log = f->sim->get_rt_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_STREQ(log[0].name, "play");
    EXPECT_STREQ(log[1].name, "wait");
    EXPECT_NE(f->sim->rt_log_text("").find("@10ns wait 5ns"), std::string::npos);
}

TEST_F(RealtimeLogTest, PlainSimulatorDoesNotRunRealtimeInstructions) {
    SimFixture f("nop\nwait 100\nstop");
    SeqSim plain(f.processor.get());
    std::string message;
    EXPECT_TRUE(plain.simulate(1000, message));
    EXPECT_EQ(message, "Instruction wait not yet supported.");
    EXPECT_EQ(plain.pc, 1u);
    EXPECT_EQ(plain.instructionCount, 1u);
    EXPECT_EQ(plain.classicalCycles, 1u);
}

} // namespace
