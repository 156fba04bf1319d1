// Simulation speed: loop-heavy programs run to the default limit of 1000000
// instructions; prints simulated instructions per second and the heap
// allocations made per simulated instruction. The counts and a checksum of the
// real-time log text are printed too, so two builds can be seen to agree.
// The first run, on a fresh simulator, is shown apart: it grows the real-time
// log entry by entry, where the later runs reuse the log's room.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "Logging.h"
#include "Vorel.h"
#include "assembler/seq.h"
#include "assembler/seq_instr_set.h"
#include "assembler/seq_sim.h"
#include "bench/HeapCounter.h"
#include "seqprocessor/SeqProcessor.h"

// FNV-1a over the text: equal texts give equal sums in every build.
static uint64_t checksum(const std::string& text) {
    uint64_t sum = 14695981039346656037ull;
    for (const char c : text) {
        sum = (sum ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return sum;
}

struct Program {
    const char* name;
    const char* source;
};

// clang-format off
static const Program programs[] = {
    {"classical loops",
     "        move 0, R2\n"
     "outer:  move 100, R1\n"
     "inner:  add R2, 1, R2\n"
     "        xor R2, R1, R3\n"
     "        asl R3, 3, R4\n"
     "        jlt R4, 5, @skip\n"
     "        sub R4, R3, R5\n"
     "skip:   loop R1, @inner\n"
     "        jmp @outer\n"},
    {"real-time loops",
     "        move 0, R2\n"
     "outer:  move 50, R1\n"
     "inner:  add R2, 1, R2\n"
     "        set_awg_gain R2, R1\n"
     "        play R2, R1, 10\n"
     "        wait 20\n"
     "        acquire 1, R2, 30\n"
     "        loop R1, @inner\n"
     "        upd_param 4\n"
     "        jmp @outer\n"},
};
// clang-format on

int main() {
    Logging::setLogLevel(3);
    const int limit = 1000000;
    const int repeats = 5;
    for (const Program& program : programs) {
        std::vector<unsigned long long> memory(4096, 0);
        std::string message;
        {
            seq assembler(memory.data(), 4096, 64, 250.0, 250.0);
            Vorel& facade = assembler;
            if (facade.assemble(std::string(program.source), message) != 0) {
                std::fprintf(stderr, "%s\n", message.c_str());
                return 1;
            }
        }
        SeqProcessor processor(seq_instr_set(), memory.data(), 4096, 64);
        processor.classicalClockMHz = 250.0;
        processor.realtimeClockMHz = 250.0;
        seq_sim sim(&processor);

        double first = 0.0;
        double best = 0.0;
        double total = 0.0;
        unsigned long long allocs = 0;
        for (int r = 0; r < repeats; ++r) {
            const unsigned long long before = bench::heapAllocations();
            const auto start = std::chrono::steady_clock::now();
            sim.simulate(limit, message);
            const auto stop = std::chrono::steady_clock::now();
            allocs = bench::heapAllocations() - before;
            const double seconds = std::chrono::duration<double>(stop - start).count();
            const double rate = static_cast<double>(sim.instructionCount) / seconds;
            if (r == 0) {
                first = rate;
            }
            best = rate > best ? rate : best;
            total += rate;
        }
        std::printf("%-16s %llu instructions, %llu classical cycles, %llu real-time cycles\n",
                    program.name, static_cast<unsigned long long>(sim.instructionCount),
                    static_cast<unsigned long long>(sim.classicalCycles),
                    static_cast<unsigned long long>(sim.realtimeCycles));
        std::printf("%-16s %zu log entries, log text checksum %016llx\n", "",
                    sim.get_rt_log().size(),
                    static_cast<unsigned long long>(checksum(sim.rt_log_text(""))));
        std::printf("%-16s best %.3e, mean %.3e simulated instructions/second\n", "", best,
                    total / repeats);
        std::printf("%-16s first run %.3e simulated instructions/second, on a fresh simulator\n",
                    "", first);
        std::printf("%-16s %llu heap allocations in the last run (%.2e per instruction)\n", "",
                    allocs,
                    static_cast<double>(allocs) / static_cast<double>(sim.instructionCount));
        std::printf("%-16s %s\n", "", message.c_str());
    }
    return 0;
}
