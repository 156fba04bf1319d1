#include "SimTestSupport.h"

#include "assembler/seq.h"

int assembleInto(std::vector<unsigned long long>& buffer, const std::string& source,
                 std::string& message) {
    seq assembler(buffer.data(), static_cast<int>(buffer.size()), 64, 250.0, 250.0);
    return assembler.assemble(source, message);
}

SimFixture::SimFixture(const std::string& source, unsigned instructionWords, unsigned dataWords) {
    assembleResult = assembleInto(buffer, source, assembleMessage);
    processor =
        std::make_unique<SeqProcessor>(seq_instr_set(), buffer.data(), instructionWords, dataWords);
    processor->classicalClockMHz = 250.0;
    processor->realtimeClockMHz = 250.0;
    sim = std::make_unique<seq_sim>(processor.get());
}
