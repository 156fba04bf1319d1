// An instruction line (or a label-only line waiting for its instruction):
// mnemonic, operands, address label and the address it is given.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "asmparser/AsmArgument.h"
#include "asmparser/AsmStatement.h"

class AsmInstruction : public AsmStatement {
public:
    // All bits set: the instruction has no address.
    static constexpr uint64_t noAddress = ~uint64_t(0);

    AsmToken addressLabel;
    AsmToken mnemonic;
    std::vector<std::shared_ptr<AsmArgument>> arguments;
    uint64_t address = noAddress;
    bool hasAddress = false;

    AsmInstruction() = default;
    AsmInstruction(const std::shared_ptr<const SourceLine>& line, AsmType type);
    explicit AsmInstruction(const AsmToken& mnemonic);
    AsmInstruction(const AsmToken& mnemonic, const AsmToken& addressLabel);

    void setAddressLabel(const AsmToken& label) { addressLabel = label; }
    void clear() override;
};
