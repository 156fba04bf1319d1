#include "asmparser/AsmInstruction.h"

namespace {
// Room for the operands of the widest instruction without reallocation.
constexpr size_t reservedArguments = 6;
} // namespace

AsmInstruction::AsmInstruction(const std::shared_ptr<const SourceLine>& line, AsmType type)
    : AsmStatement(line, type) {}

AsmInstruction::AsmInstruction(const AsmToken& mnemonic)
    : AsmStatement(mnemonic.line, AsmType::INSTRUCTION), mnemonic(mnemonic) {
    arguments.reserve(reservedArguments);
}

AsmInstruction::AsmInstruction(const AsmToken& mnemonic, const AsmToken& addressLabel)
    : AsmStatement(mnemonic.line, AsmType::INSTRUCTION), addressLabel(addressLabel),
      mnemonic(mnemonic) {
    arguments.reserve(reservedArguments);
}

void AsmInstruction::clear() {
    AsmStatement::clear();
    addressLabel = AsmToken();
    mnemonic = AsmToken();
    arguments.clear();
    address = noAddress;
    hasAddress = false;
}
