#include "seqprocessor/SeqInstructionDef.h"

#include <utility>

#include "Logging.h"
#include "seqprocessor/SeqProcError.h"

SeqInstructionDef::Signature::Signature() {
    // Room for the longest signature of the built-in set, five operands.
    text.reserve(18);
}

void SeqInstructionDef::Signature::addImmediateArg() {
    if (argumentCount != 0) {
        text += ',';
    }
    text += '#';
    ++argumentCount;
}

void SeqInstructionDef::Signature::addRegisterArg(char registerLetter) {
    if (argumentCount != 0) {
        text += ',';
    }
    text += registerLetter;
    text += '#';
    ++argumentCount;
}

void SeqInstructionDef::Signature::addRegisterArg(const std::string& registerPrefix) {
    if (argumentCount != 0) {
        text += ',';
    }
    text += registerPrefix;
    text += '#';
    ++argumentCount;
}

std::ostream& operator<<(std::ostream& os, const SeqInstructionDef::Signature& signature) {
    return os << signature.text;
}

SeqInstructionDef::SeqInstructionDef(unsigned long long opcode, const std::string& mnemonic,
                                     unsigned long long select)
    : opcode(opcode), select(select), mnemonic(mnemonic) {}

void SeqInstructionDef::addArgument(std::shared_ptr<SeqArgument const> argument) {
    if (!argument) {
        return;
    }
    arguments.push_back(argument);
    if (argument->isRegister()) {
        signature.addRegisterArg(argument->registerPrefix);
    } else {
        signature.addImmediateArg();
    }
    try {
        fields.add(argument->field);
    } catch (SeqProcDuplicateError&) {
        const SeqField& field = *argument->field;
        SeqProcDuplicateError error("Instruction \"");
        error << mnemonic << "\" has different arguments writing into the same field:"
              << "\nadding argument \"" << argument->name << "\" with field=" << field.name
              << " (id=" << field.id << ")"
              << "\nExisting arguments and fields:";
        for (const auto& existing : arguments) {
            error << "\n  " << existing->name << ": field=" << existing->field->name
                  << " (id=" << existing->field->id << ")";
        }
        throw error;
    }
}

void SeqInstructionDef::validateFields(
    const std::vector<std::shared_ptr<SeqField const>>& baseFields) const {
    std::vector<const SeqField*> all;
    all.reserve(baseFields.size() + arguments.size());
    for (const auto& field : baseFields) {
        if (field) {
            all.push_back(field.get());
        }
    }
    for (const auto& argument : arguments) {
        if (argument->field) {
            all.push_back(argument->field.get());
        }
    }
    for (size_t i = 0; i < all.size(); ++i) {
        for (size_t j = i + 1; j < all.size(); ++j) {
            if ((all[i]->shiftedMask & all[j]->shiftedMask) != 0) {
                SeqProcInstructionTableError error("Instruction \"");
                error << mnemonic << "\" has overlapping field bit patterns of fields '"
                      << all[i]->name << "'' and '" << all[j]->name << "'";
                throw error;
            }
        }
    }
}

const SeqArgument& SeqInstructionDef::getArg(uint32_t position) const {
    if (position >= arguments.size()) {
        THROW_BUG("Argument number " << position << " of instruction " << mnemonic
                                     << " is too large for " << arguments.size() << " arguments");
    }
    return *arguments[position];
}

std::ostream& operator<<(std::ostream& os, const SeqInstructionDef& def) {
    os << def.mnemonic;
    bool first = true;
    for (const auto& argument : def.arguments) {
        os << (first ? " " : ", ") << argument->name << "(" << argument->registerPrefix << "#)";
        first = false;
    }
    return os;
}
