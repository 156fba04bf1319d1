#include "seqprocessor/SeqInstructionVariations.h"

#include "Logging.h"

const SeqInstructionDef* SeqInstructionVariations::lowestVariant() const {
    for (const auto& slot : byId) {
        if (slot) {
            return slot.get();
        }
    }
    return nullptr;
}

unsigned long long SeqInstructionVariations::opcode() const {
    const SeqInstructionDef* variant = count == 0 ? nullptr : lowestVariant();
    if (variant == nullptr) {
        THROW_BUG("Requesting opcode from empty SeqInstructionVariations");
    }
    return variant->opcode;
}

const std::string& SeqInstructionVariations::mnemonic() const {
    const SeqInstructionDef* variant = count == 0 ? nullptr : lowestVariant();
    if (variant == nullptr) {
        THROW_BUG("Requesting mnemonic from empty SeqInstructionVariations");
    }
    return variant->mnemonic;
}
