// The complete instruction set of the processor: the variants grouped by
// mnemonic, the arguments and fields they use, and the opcode and select
// fields that every instruction word carries. Writes opcode and select into a
// word and finds the variant that a word encodes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "seqprocessor/SeqArgumentTable.h"
#include "seqprocessor/SeqField.h"
#include "seqprocessor/SeqIdNameLUT.h"
#include "seqprocessor/SeqInstructionDef.h"
#include "seqprocessor/SeqInstructionVariations.h"
#include "seqprocessor/SeqTypes.h"

struct SeqInstructionInit {
    uint32_t opcode;
    const char* mnemonic;
    uint32_t select;
    std::vector<uint32_t> argumentIds; // in operand order
};

class SeqInstructionSet
    : public SeqIdNameLUT<SeqInstructionVariations, SeqInstructionVariations::OpcodeMnemonicFunc> {
public:
    uint16_t versionMajor = 0;
    uint16_t versionMinor = 0;
    std::shared_ptr<SeqField const> opcodeField;
    std::shared_ptr<SeqField const> selectField;
    SeqArgumentTable argumentTable;

    SeqInstructionSet() = default;
    SeqInstructionSet(unsigned short versionMajor, unsigned short versionMinor,
                      unsigned int opcodeFieldId, unsigned int selectFieldId,
                      const SeqArgumentTable& arguments,
                      std::initializer_list<SeqInstructionInit> instructions);
    // The name is accepted for the reader of the table and not kept.
    SeqInstructionSet(const std::string& name, unsigned short versionMajor,
                      unsigned short versionMinor, unsigned int opcodeFieldId,
                      unsigned int selectFieldId, std::initializer_list<SeqFieldInit> fields,
                      std::initializer_list<SeqArgumentInit> arguments,
                      std::initializer_list<SeqInstructionInit> instructions);
    SeqInstructionSet(const SeqInstructionSet&) = default;
    SeqInstructionSet& operator=(const SeqInstructionSet&) = default;
    ~SeqInstructionSet() override;

    void setBaseFields(unsigned int opcodeFieldId, unsigned int selectFieldId);

    // Every refused add leaves the set as it was.
    void add(std::shared_ptr<SeqInstructionDef> def);
    void add(const SeqInstructionInit& init);
    void add(std::initializer_list<SeqInstructionInit> list);
    void add(const SeqInstructionDef& def);

    std::shared_ptr<SeqInstructionDef> find(unsigned int opcode, unsigned int select) const;
    std::shared_ptr<SeqInstructionDef> find(const std::string& mnemonic,
                                            const std::string& signature) const;
    std::shared_ptr<SeqInstructionDef> findForBinary(unsigned long long word) const;

    // A value outside its field is a broken invariant, so both return true.
    bool writeOpcodeField(unsigned long long& word, unsigned int opcode) const;
    bool writeSelectField(unsigned long long& word, unsigned int select) const;

    void validateFields(const SeqInstructionDef& def) const;
    void validate() const;

    void getVersion(unsigned short& major, unsigned short& minor) const;
    void setVersion(unsigned short major, unsigned short minor);
};

std::ostream& operator<<(std::ostream& os, const SeqInstructionSet& set);
