// All variants of one mnemonic (sharing its opcode), by select value and by
// signature text.
#pragma once

#include <cstdint>
#include <string>

#include "seqprocessor/SeqIdNameLUT.h"
#include "seqprocessor/SeqInstructionDef.h"

class SeqInstructionVariations
    : public SeqIdNameLUT<SeqInstructionDef, SeqInstructionDef::SelectSignatureFunc> {
public:
    // Key of a group within the instruction set.
    struct OpcodeMnemonicFunc {
        static uint32_t id(const SeqInstructionVariations& group) {
            return uint32_t(group.opcode());
        }
        static std::string name(const SeqInstructionVariations& group) { return group.mnemonic(); }
        static bool isInitialized(const SeqInstructionVariations& group) {
            return group.count != 0 && group.opcode() != ~0ull;
        }
        static bool hasName(const SeqInstructionVariations& group) { return isInitialized(group); }
    };

    // Of the variant with the lowest select value; a broken invariant on an
    // empty group.
    unsigned long long opcode() const;
    const std::string& mnemonic() const;

private:
    const SeqInstructionDef* lowestVariant() const;
};
