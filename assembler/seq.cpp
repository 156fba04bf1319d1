#include "assembler/seq.h"

#include "asmparser/AsmSyntax.h"
#include "assembler/seq_instr_set.h"

namespace {

constexpr unsigned int instructionWordsOfSeq = 4096;
constexpr unsigned int dataWordsOfSeq = 64;
constexpr double clockMHzOfSeq = 250.0;

unsigned int words(int count) {
    return count > 0 ? static_cast<unsigned int>(count) : 0u;
}

} // namespace

seq::seq() {
    processor = new SeqProcessor(seq_instr_set(), instructionWordsOfSeq, dataWordsOfSeq);
    processor->classicalClockMHz = clockMHzOfSeq;
    processor->realtimeClockMHz = clockMHzOfSeq;
    createSections();
}

seq::seq(unsigned long long* instructionBuffer, int instructionWords, int dataWords,
         double classicalClockMHz, double realtimeClockMHz) {
    processor = new SeqProcessor(seq_instr_set(), instructionBuffer, words(instructionWords),
                                 words(dataWords));
    processor->classicalClockMHz = classicalClockMHz;
    processor->realtimeClockMHz = realtimeClockMHz;
    createSections();
}

void seq::createSections() {
    // The destructor does not run for a half-built object.
    try {
        asm_ = new seq_asm(processor, AsmSyntax());
        assembler = asm_;
        sim_ = new seq_sim(processor);
        sim = sim_;
    } catch (...) {
        delete asm_;
        delete processor;
        throw;
    }
    registerAsmSection(asm_);
    registerAsmSection(sim_);
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
