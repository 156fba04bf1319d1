// Every program in examples/ is run through the facade seq and must do what
// its opening comment says: the table below holds, for each example, the
// real-time log and the registers that the comment promises. The examples are
// found on disk, so a new example without an entry fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Logging.h"
#include "assembler/seq.h"

namespace {

// One log entry as a line of text: the mnemonic, the duration, and the
// fields of whatever the entry issues.
std::string describe(const seq_sim::rt_info& entry) {
    std::string text = std::string(entry.name) + " " + std::to_string(entry.duration);
    if (entry.play)
        text += " wave " + std::to_string(entry.wave_idx0) + "," + std::to_string(entry.wave_idx1);
    if (entry.acquire)
        text += " acq " + std::to_string(entry.acq_idx) + " bin " + std::to_string(entry.bin_idx);
    if (entry.update)
        text += " gain " + std::to_string(entry.awg_gain0) + "," + std::to_string(entry.awg_gain1);
    return text;
}

struct Example {
    std::vector<std::string> log;           // every entry, as `describe` writes it
    std::map<unsigned, uint32_t> registers; // register number: value at the stop
};

// "Play a waveform and acquire into a bin, ten times over."
Example loop() {
    Example example;
    for (int i = 0; i < 10; ++i)
        example.log.insert(example.log.end(),
                           {"play 100 wave 3,4 gain 32767,32767",
                            "acquire 200 acq 0 bin 7 gain 32767,32767", "wait 1000"});
    example.registers = {{1, 0}};
    return example;
}

// "Sweep the AWG gain over four steps; at each step play a waveform, acquire
// into a bin chosen by a register, and wait for the trigger."
Example acquireSweep() {
    Example example;
    for (int step = 0; step < 4; ++step) {
        const std::string gain = std::to_string(4096 * step);
        const std::string gains = " gain " + gain + "," + gain;
        example.log.insert(example.log.end(),
                           {"upd_param 4" + gains, "play 200 wave 0,1" + gains,
                            "acquire 400 acq 0 bin " + std::to_string(step) + gains,
                            "wait_trigger 16"});
    }
    example.registers = {{1, 0}, {2, 4 * 4096}, {3, 4}};
    return example;
}

TEST(Examples, EveryExampleDoesWhatItsCommentSays) {
    Logging::setLogLevel(3);
    std::map<std::string, Example> expected = {{"loop.s", loop()},
                                               {"acquire_sweep.s", acquireSweep()}};

    std::vector<std::string> found;
    for (const auto& file : std::filesystem::directory_iterator(VOREL_SOURCE_DIR "/examples"))
        if (file.path().extension() == ".s")
            found.push_back(file.path().filename().string());
    std::sort(found.begin(), found.end());
    std::vector<std::string> listed;
    for (const auto& [name, example] : expected)
        listed.push_back(name);
    ASSERT_EQ(found, listed) << "every example needs an entry here, and every entry an example";

    for (const auto& [name, example] : expected) {
        SCOPED_TRACE(name);
        seq vorel;
        std::string message;
        ASSERT_EQ(vorel.assembleFile(VOREL_SOURCE_DIR "/examples/" + name, message), 0) << message;
        EXPECT_EQ(vorel.simulate(message), 0) << message;
        EXPECT_EQ(message, "");

        std::vector<std::string> log;
        for (const seq_sim::rt_info& entry : vorel.sim_->get_rt_log())
            log.push_back(describe(entry));
        EXPECT_EQ(log.size(), example.log.size()) << "entries in the real-time log";
        EXPECT_EQ(log, example.log);
        for (const auto& [index, value] : example.registers)
            EXPECT_EQ(vorel.getProcessor()->dataMemory.read(index), value) << "R" << index;
        // No example counts a register down past zero: none ends wrapped
        // around to the top of the 32-bit range.
        for (unsigned index = 0; index < 64; ++index)
            EXPECT_LT(vorel.getProcessor()->dataMemory.read(index), 0x80000000u) << "R" << index;
    }
}

} // namespace
