// One variant of a machine instruction: opcode, select value, mnemonic and its
// ordered arguments, with the argument signature ("R#,#,R#") and the table of
// the fields that its arguments write.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "seqprocessor/SeqArgument.h"
#include "seqprocessor/SeqField.h"
#include "seqprocessor/SeqIdNameLUT.h"

class SeqInstructionDef {
public:
    // Operand kinds in operand order: "#" for an immediate, the register prefix
    // and "#" for a register, comma-separated. Compared as plain text.
    class Signature {
    public:
        std::string text;
        int32_t argumentCount = 0;

        Signature();
        void addImmediateArg();
        void addRegisterArg(char registerLetter);
        void addRegisterArg(const std::string& registerPrefix);
        std::string toPrettyString() const { return text; }
    };

    // Key of a variant within the variants of one mnemonic.
    struct SelectSignatureFunc {
        static uint32_t id(const SeqInstructionDef& def) { return uint32_t(def.select); }
        static std::string name(const SeqInstructionDef& def) { return def.signature.text; }
        static bool isInitialized(const SeqInstructionDef& def) { return def.opcode != ~0ull; }
        // The empty signature of an instruction without arguments is a name too.
        static bool hasName(const SeqInstructionDef& def) { return isInitialized(def); }
    };

    unsigned long long opcode = ~0ull; // all ones: not initialised
    unsigned long long select = 0;
    std::string mnemonic;
    std::vector<std::shared_ptr<SeqArgument const>> arguments;
    Signature signature;
    SeqIdNameLUT<SeqField const> fields;

    SeqInstructionDef() = default;
    SeqInstructionDef(unsigned long long opcode, const std::string& mnemonic,
                      unsigned long long select);

    // Appends an operand; an empty pointer is ignored. Refuses a second
    // argument writing an already written field (SeqProcDuplicateError).
    void addArgument(std::shared_ptr<SeqArgument const> argument);

    // Throws SeqProcInstructionTableError when two of the base fields and the
    // argument fields share a bit.
    void validateFields(const std::vector<std::shared_ptr<SeqField const>>& baseFields) const;

    const SeqArgument& getArg(uint32_t position) const;
};

std::ostream& operator<<(std::ostream& os, const SeqInstructionDef::Signature& signature);
std::ostream& operator<<(std::ostream& os, const SeqInstructionDef& def);
