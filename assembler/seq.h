// The ready-made facade over the built-in Vorel instruction set, with fixed
// memory sizes and clock rates: assembles sources (setting the success
// message), simulates the program with an instruction limit and prints the
// real-time log. Offered to front ends; vorelasm uses it for assembling.
#pragma once

#include <string>

#include "Vorel.h"
#include "assembler/seq_asm.h"
#include "assembler/seq_sim.h"
#include "utils/SourceReader.h"

class seq : public Vorel {
public:
    // 4096 instruction words and 64 data words, both clocks at 250 MHz.
    seq();
    // The caller's instruction buffer (which must outlive the object), sizes and
    // clock rates in MHz.
    seq(unsigned long long* instructionBuffer, int instructionWords, int dataWords,
        double classicalClockMHz, double realtimeClockMHz);
    ~seq() override;

    using Vorel::assemble;
    // The facade's loop; on success the message becomes
    // "assembler finished successfully".
    int assemble(SourceReader& reader, std::string& message) override;

    using Vorel::simulate;
    // 1 until an assembly has succeeded; otherwise the simulation's result with
    // the limit max_sim_instr (0: stopped, 1: interrupted, message says why).
    int simulate(std::string& message);
    // The real-time log of the last simulation, to the log.
    void print_sim();
    void set_max_sim_instr(int limit);

    // The same objects as the base's assembler and sim, with their own types.
    seq_asm* asm_ = nullptr;
    seq_sim* sim_ = nullptr;
    int max_sim_instr = 1000000;
};
