// Properties of fuzz_simulate: arbitrary bytes as 64-bit instruction words
// (little-endian, 8 bytes each) written straight into instruction memory and simulated by
// seq_sim with a small instruction limit. Every word, valid or not, must end
// in a result and a message, within the limit + 1 instructions, with a
// real-time log that adds up, and the same again on a second run.
//
// The bytes after the last whole word tune the processor: the last one sets
// the instruction limit (4 times its value; 1000 without it) and the one
// before it the number of data words (0 to 64; 64 without it), so register
// numbers beyond the data memory are reached too. The instruction memory holds
// exactly the given words, so a run can also fall off its end. Shared by the
// fuzz target and the regression tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "fuzz/FuzzSupport.h"

namespace fuzz {
namespace simulate_checks {

struct Run {
    bool interrupted = false;
    std::string message;
    uint64_t instructions = 0;
    uint64_t classicalCycles = 0;
    uint64_t realtimeCycles = 0;
    uint32_t pc = 0;
    size_t logEntries = 0;
    std::string logText;
};

inline std::string describe(const Run& run) {
    return "interrupted=" + std::to_string(run.interrupted) +
           " instructions=" + std::to_string(run.instructions) +
           " cycles=" + std::to_string(run.classicalCycles) + "/" +
           std::to_string(run.realtimeCycles) + " pc=" + std::to_string(run.pc) +
           " entries=" + std::to_string(run.logEntries) + " message='" + run.message + "'";
}

inline Run simulateChecked(seq& s, int limit) {
    seq_sim& sim = *s.sim_;
    Run run;
    run.interrupted = sim.simulate(limit, run.message);
    run.instructions = sim.instructionCount;
    run.classicalCycles = sim.classicalCycles;
    run.realtimeCycles = sim.realtimeCycles;
    run.pc = sim.pc;
    run.logEntries = sim.get_rt_log().size();
    run.logText = sim.rt_log_text("");

    // Ended by "stop" with an empty message, or interrupted with a reason.
    FUZZ_CHECK(run.interrupted == !run.message.empty(), describe(run));
    FUZZ_CHECK(run.interrupted || !sim.isRunning, describe(run));
    FUZZ_CHECK(run.instructions <= uint64_t(uint32_t(limit)) + 1, describe(run));
    FUZZ_CHECK(run.logEntries <= run.instructions, describe(run));
    FUZZ_CHECK(run.classicalCycles >= run.instructions, describe(run));

    // Every entry starts where the durations before it end, and the real-time
    // count is their sum.
    uint64_t sum = 0;
    for (const auto& entry : sim.get_rt_log()) {
        FUZZ_CHECK(entry.start == uint32_t(sum), describe(run));
        FUZZ_CHECK(entry.name != nullptr, describe(run));
        sum += uint64_t(int64_t(entry.duration));
    }
    FUZZ_CHECK(sum == run.realtimeCycles, describe(run));
    FUZZ_CHECK(run.logText.compare(0, 18, "\nSimulation start:") == 0, run.logText);

    sim.printStats("");
    sim.print_rt_log("");
    return run;
}

} // namespace simulate_checks

inline void checkSimulateInput(const uint8_t* data, size_t size) {
    using namespace simulate_checks;
    std::vector<uint64_t> words = wordsOf(data, size);
    const size_t extra = size % 8;
    const int limit = extra >= 1 ? 4 * int(data[size - 1]) : 1000;
    const int dataWords = extra >= 2 ? int(data[size - 2]) % 65 : 64;

    // seq wraps the buffer without owning it; an empty program still needs a
    // valid pointer so that the processor does not allocate one of its own.
    std::vector<unsigned long long> buffer(words.begin(), words.end());
    unsigned long long none = 0;
    unsigned long long* memory = buffer.empty() ? &none : buffer.data();
    seq s(memory, int(buffer.size()), dataWords, 250.0, 250.0);
    FUZZ_CHECK(s.getProcessor()->instructionMemory.size == buffer.size(), "memory size");

    std::string message;
    FUZZ_CHECK(s.simulate(message) == 1 && message.empty(), "simulate before any assembly");

    const Run first = simulateChecked(s, limit);
    const Run second = simulateChecked(s, limit);
    FUZZ_CHECK(first.interrupted == second.interrupted && first.message == second.message &&
                   first.instructions == second.instructions &&
                   first.classicalCycles == second.classicalCycles &&
                   first.realtimeCycles == second.realtimeCycles && first.pc == second.pc &&
                   first.logText == second.logText,
               describe(first) + "\n" + describe(second));
}

} // namespace fuzz
