#include "assembler/seq.h"

#include <memory>

#include "asmparser/AsmSyntax.h"
#include "assembler/seq_instr_set.h"

namespace {

constexpr int instructionWordsOfSeq = 4096;
constexpr int dataWordsOfSeq = 64;
constexpr double clockMHzOfSeq = 250.0;

} // namespace

seq::seq() : seq(nullptr, instructionWordsOfSeq, dataWordsOfSeq, clockMHzOfSeq, clockMHzOfSeq) {}

seq::seq(unsigned long long* instructionBuffer, int instructionWords, int dataWords,
         double classicalClockMHz, double realtimeClockMHz) {
    auto cpu = newProcessor(seq_instr_set(), instructionBuffer, instructionWords, dataWords,
                            classicalClockMHz, realtimeClockMHz);
    auto code = std::make_unique<seq_asm>(cpu.get(), AsmSyntax());
    auto simulator = std::make_unique<seq_sim>(cpu.get());
    asm_ = code.get();
    sim_ = simulator.get();
    adopt(std::move(cpu), std::move(code), std::move(simulator));
}

seq::~seq() = default;

int seq::assemble(SourceReader& reader, std::string& message) {
    const int result = Vorel::assemble(reader, message);
    if (result == 0)
        message = "assembler finished successfully";
    return result;
}

int seq::simulate(std::string& message) {
    if (!assembled)
        return 1;
    return sim_->simulate(max_sim_instr, message) ? 1 : 0;
}

void seq::print_sim() {
    sim_->print_rt_log("");
}

void seq::set_max_sim_instr(int limit) {
    max_sim_instr = limit;
}
