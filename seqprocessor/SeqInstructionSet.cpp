#include "seqprocessor/SeqInstructionSet.h"

#include <utility>

#include "Logging.h"
#include "seqprocessor/SeqProcError.h"

SeqInstructionSet::SeqInstructionSet(unsigned short versionMajor, unsigned short versionMinor,
                                     unsigned int opcodeFieldId, unsigned int selectFieldId,
                                     const SeqArgumentTable& arguments,
                                     std::initializer_list<SeqInstructionInit> instructions)
    : argumentTable(arguments) {
    setBaseFields(opcodeFieldId, selectFieldId);
    add(instructions);
    setVersion(versionMajor, versionMinor);
}

SeqInstructionSet::SeqInstructionSet(const std::string& /*name*/, unsigned short versionMajor,
                                     unsigned short versionMinor, unsigned int opcodeFieldId,
                                     unsigned int selectFieldId,
                                     std::initializer_list<SeqFieldInit> fields,
                                     std::initializer_list<SeqArgumentInit> arguments,
                                     std::initializer_list<SeqInstructionInit> instructions)
    : argumentTable(fields, arguments) {
    setBaseFields(opcodeFieldId, selectFieldId);
    add(instructions);
    setVersion(versionMajor, versionMinor);
}

SeqInstructionSet::~SeqInstructionSet() = default;

void SeqInstructionSet::setBaseFields(unsigned int opcodeFieldId, unsigned int selectFieldId) {
    std::shared_ptr<SeqField const> opcode = argumentTable.fields.findById(opcodeFieldId);
    if (!opcode) {
        SeqProcInstructionTableError error("Opcode SeqField with Id=");
        error << opcodeFieldId << " not found";
        throw error;
    }
    std::shared_ptr<SeqField const> select = argumentTable.fields.findById(selectFieldId);
    if (!select) {
        SeqProcInstructionTableError error("Select SeqField with Id=");
        error << selectFieldId << " not found";
        throw error;
    }
    opcodeField = std::move(opcode);
    selectField = std::move(select);
}

void SeqInstructionSet::add(std::shared_ptr<SeqInstructionDef> def) {
    if (!def) {
        THROW_BUG("Adding null pointer SeqInstructionDef to SeqInstructionSet");
    }
    if (def->opcode == ~0ull) {
        THROW_BUG("Adding uninitialized SeqInstructionDef to SeqInstructionSet");
    }
    std::shared_ptr<SeqInstructionVariations> group = findByName(def->mnemonic);
    if (group) {
        if (group->opcode() != def->opcode) {
            SeqProcInstructionTableError error("Instruction with mnemonic \"");
            error << def->mnemonic << "\" is defined with different opcodes: " << group->opcode()
                  << " and " << def->opcode;
            throw error;
        }
        try {
            group->add(def);
        } catch (SeqProcDuplicateError&) {
            SeqProcInstructionTableError error("Instruction with opcode=");
            error << def->opcode << " mnemonic=\"" << def->mnemonic
                  << "\" is already defined for select=" << def->select << " signature=\""
                  << def->signature.text << "\"";
            throw error;
        }
        return;
    }
    auto fresh = std::make_shared<SeqInstructionVariations>();
    fresh->add(def);
    try {
        SeqIdNameLUT::add(fresh);
    } catch (SeqProcDuplicateError&) {
        // The name was free, so the opcode slot is taken.
        std::shared_ptr<SeqInstructionVariations> holder = findById(uint32_t(def->opcode));
        if (holder && holder->mnemonic() != def->mnemonic) {
            SeqProcInstructionTableError error("Instruction with opcode ");
            error << def->opcode << " is defined with different mnemonics: \"" << holder->mnemonic()
                  << "\" and \"" << def->mnemonic << "\"";
            throw error;
        }
        THROW_BUG("Inconsistent filling of InstructionTable");
    }
}

void SeqInstructionSet::add(const SeqInstructionInit& init) {
    if (init.mnemonic == nullptr) {
        SeqProcInstructionTableError error("Instruction with opcode=");
        error << init.opcode << " select=" << init.select << " has no mnemonic";
        throw error;
    }
    auto def = std::make_shared<SeqInstructionDef>(init.opcode, init.mnemonic, init.select);
    for (uint32_t argumentId : init.argumentIds) {
        std::shared_ptr<SeqArgument const> argument = argumentTable.findById(argumentId);
        if (!argument) {
            SeqProcInstructionTableError error("Instruction ");
            error << init.mnemonic << " (opcode=" << init.opcode
                  << " refers to non-existing Argument ID=" << argumentId;
            throw error;
        }
        def->addArgument(std::move(argument));
    }
    add(std::move(def));
}

void SeqInstructionSet::add(std::initializer_list<SeqInstructionInit> list) {
    for (const SeqInstructionInit& init : list) {
        add(init);
    }
}

void SeqInstructionSet::add(const SeqInstructionDef& def) {
    add(std::make_shared<SeqInstructionDef>(def));
}

std::shared_ptr<SeqInstructionDef> SeqInstructionSet::find(unsigned int opcode,
                                                           unsigned int select) const {
    std::shared_ptr<SeqInstructionVariations> group = findById(opcode);
    if (!group) {
        return nullptr;
    }
    return group->findById(select);
}

std::shared_ptr<SeqInstructionDef> SeqInstructionSet::find(const std::string& mnemonic,
                                                           const std::string& signature) const {
    std::shared_ptr<SeqInstructionVariations> group = findByName(mnemonic);
    if (!group) {
        return nullptr;
    }
    return group->findByName(signature);
}

std::shared_ptr<SeqInstructionDef> SeqInstructionSet::findForBinary(unsigned long long word) const {
    // A set without base fields encodes nothing.
    if (!opcodeField || !selectField) {
        return nullptr;
    }
    const auto opcode = uint32_t((word >> opcodeField->lsb) & opcodeField->mask);
    if (opcode >= byId.size() || !byId[opcode]) {
        return nullptr;
    }
    const SeqInstructionVariations& group = *byId[opcode];
    const auto select = uint32_t((word >> selectField->lsb) & selectField->mask);
    if (select >= group.byId.size()) {
        return nullptr;
    }
    return group.byId[select];
}

bool SeqInstructionSet::writeOpcodeField(unsigned long long& word, unsigned int opcode) const {
    if (!opcodeField) {
        THROW_BUG("opcodeField pointer not set");
    }
    if (opcode > opcodeField->mask) {
        THROW_BUG("opcode " << opcode << " is out of range " << opcodeField->mask);
    }
    word = (word & ~opcodeField->shiftedMask) |
           ((uint64_t(opcode) & opcodeField->mask) << opcodeField->lsb);
    return true;
}

bool SeqInstructionSet::writeSelectField(unsigned long long& word, unsigned int select) const {
    if (!selectField) {
        THROW_BUG("selectField pointer not set");
    }
    if (select > selectField->mask) {
        THROW_BUG("select " << select << " is out of range " << selectField->mask);
    }
    word = (word & ~selectField->shiftedMask) |
           ((uint64_t(select) & selectField->mask) << selectField->lsb);
    return true;
}

void SeqInstructionSet::validateFields(const SeqInstructionDef& def) const {
    if (!opcodeField) {
        THROW_BUG("opcodeField pointer not set");
    }
    if (!selectField) {
        THROW_BUG("selectField pointer not set");
    }
    if (def.opcode > opcodeField->mask) {
        SeqProcInstructionTableError error("Instruction \"");
        error << def.mnemonic << "\" has opcode " << def.opcode << " out of range (0,"
              << opcodeField->mask << ")";
        throw error;
    }
    if (def.select > selectField->mask) {
        SeqProcInstructionTableError error("Instruction \"");
        error << def.mnemonic << "\" has select " << def.select << " out of range (0,"
              << selectField->mask << ")";
        throw error;
    }
    def.validateFields({opcodeField, selectField});
}

void SeqInstructionSet::validate() const {
    for (const auto& group : byId) {
        if (!group) {
            continue;
        }
        for (const auto& def : group->byId) {
            if (def) {
                validateFields(*def);
            }
        }
    }
}

void SeqInstructionSet::getVersion(unsigned short& major, unsigned short& minor) const {
    major = versionMajor;
    minor = versionMinor;
}

void SeqInstructionSet::setVersion(unsigned short major, unsigned short minor) {
    versionMajor = major;
    versionMinor = minor;
}

std::ostream& operator<<(std::ostream& os, const SeqInstructionSet& set) {
    for (const auto& group : set.byId) {
        if (!group) {
            continue;
        }
        for (const auto& def : group->byId) {
            if (def) {
                os << *def << "\n";
            }
        }
    }
    return os;
}
