#include "seqprocessor/SeqProcessor.h"

#include "Logging.h"

SeqProcessor::SeqProcessor() = default;

SeqProcessor::SeqProcessor(const SeqInstructionSet& set) : instructionSet(set) {}

SeqProcessor::SeqProcessor(const SeqInstructionSet& set, unsigned int instructionWords,
                           unsigned int dataWords)
    : instructionSet(set) {
    instructionMemory.allocate(instructionWords);
    dataMemory.allocate(dataWords);
}

SeqProcessor::SeqProcessor(const SeqInstructionSet& set, unsigned long long* instructionBuffer,
                           unsigned int instructionWords, unsigned int dataWords)
    : instructionSet(set) {
    if (instructionBuffer != nullptr) {
        instructionMemory.wrap(instructionBuffer, instructionWords);
    } else {
        instructionMemory.allocate(instructionWords);
    }
    dataMemory.allocate(dataWords);
}

SeqProcessor::~SeqProcessor() = default;

unsigned long long SeqProcessor::getInstructionOpcode(unsigned long long word) const {
    const auto& field = instructionSet.opcodeField;
    if (!field) {
        THROW_BUG("opcodeField pointer not set");
    }
    return (word >> field->lsb) & field->mask;
}

unsigned long long SeqProcessor::getInstructionSelect(unsigned long long word) const {
    const auto& field = instructionSet.selectField;
    if (!field) {
        THROW_BUG("selectField pointer not set");
    }
    return (word >> field->lsb) & field->mask;
}

std::ostream& SeqProcessor::printInstructionSet(std::ostream& os) const {
    os << "Instruction set:\n";
    return os << instructionSet;
}
