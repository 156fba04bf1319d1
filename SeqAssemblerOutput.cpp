// Output operations of SeqAssembler: the .hex file, the disassembly of
// instruction memory and the CPU information block.
#include <cctype>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "SeqAssembler.h"
#include "utils/SafeFileWrite.h"
#include "utils/StringUtils.h"

bool SeqAssembler::printHexOutput(std::ostream& os) const {
    if (!hasInstructionMemory()) {
        std::cerr << "ERROR: No instruction memory available." << std::endl;
        return false;
    }
    const auto& memory = processor->instructionMemory;
    os << std::hex << std::setfill('0');
    for (uint32_t address = 0; address < programSize; ++address)
        os << std::setw(16) << memory.read(address) << "\n";
    os << std::dec << std::setfill(' ');
    return true;
}

bool SeqAssembler::saveHexOutput(const std::string& fileName) const {
    bool printed = false;
    const vorel::SaveResult result = vorel::saveFileSafely(fileName, [&](std::ostream& os) {
        printed = printHexOutput(os);
        return printed;
    });
    // Without instruction memory printHexOutput has said so already. A name
    // that could not be opened is only found after the text is made, so it
    // always comes with a printed text.
    if (printed)
        vorel::reportSaveFailure(
            result, fileName, stringCat("ERROR: could not open file ", fileName, " for writing"));
    return result == vorel::SaveResult::saved;
}

bool SeqAssembler::disassemble(instruction_t word, uint32_t address,
                               AsmInstruction& instruction) const {
    instruction.address = address;
    instruction.hasAddress = true;
    if (processor == nullptr)
        return false;
    const SeqInstructionSet& set = processor->instructionSet;
    const std::shared_ptr<SeqInstructionDef> def = set.findForBinary(word);
    if (def) {
        instruction.mnemonic = AsmToken(def->mnemonic);
        for (const std::shared_ptr<SeqArgument const>& argument : def->arguments) {
            auto decoded = std::make_shared<AsmArgument>();
            const SeqField& field = *argument->field;
            decoded->value =
                static_cast<AsmArgument::value_t>((word >> (field.lsb & 63u)) & field.mask);
            decoded->hasValue = true;
            const std::string& prefix = argument->registerPrefix;
            decoded->registerName =
                !prefix.empty() && std::isalpha(static_cast<unsigned char>(prefix[0])) ? prefix[0]
                                                                                       : 0;
            instruction.arguments.push_back(std::move(decoded));
        }
        return true;
    }

    const unsigned long long opcode = processor->getInstructionOpcode(word);
    std::shared_ptr<SeqInstructionVariations> variations;
    if (opcode <= 0xFFFFFFFFull)
        variations = set.findById(static_cast<uint32_t>(opcode));
    if (variations && variations->count != 0)
        instruction.mnemonic = AsmToken(stringCat(variations->mnemonic(), "_UNKNOWN_select_",
                                                  processor->getInstructionSelect(word)));
    else
        instruction.mnemonic = AsmToken(stringCat("UNKNOWN_opcode_", opcode));
    return false;
}

bool SeqAssembler::disassemble(instruction_t word, uint32_t address, std::ostream& os) const {
    AsmInstruction instruction;
    const bool found = disassemble(word, address, instruction);
    int col = 0;
    parser.unparseInstruction(os, instruction, col);
    return found;
}

unsigned SeqAssembler::disassemble(std::ostream& os) const {
    unsigned unknown = 0;
    if (processor == nullptr)
        return unknown;
    const auto& memory = processor->instructionMemory;
    for (uint32_t address = 0; address < programSize; ++address) {
        AsmInstruction instruction;
        if (!disassemble(memory.read(address), address, instruction))
            ++unknown;
        int col = 0;
        parser.unparseInstruction(os, instruction, col);
        os << std::endl;
    }
    return unknown;
}

int SeqAssembler::saveDisassemble(const std::string& fileName) const {
    return vorel::saveCounted(
        fileName, [this](std::ostream& os) { return static_cast<int>(disassemble(os)); });
}

void SeqAssembler::printCPU_info() {
    std::cout << "CPU info:"
              << "\n\tSize of int           : " << 8 * sizeof(int) << " bits"
              << "\n\tSize of long int      : " << 8 * sizeof(long int) << " bits"
              << "\n\tSize of long long int : " << 8 * sizeof(long long int) << " bits"
              << "\n\tSize of instruction_t : " << 8 * sizeof(instruction_t) << " bits"
              << "\n\tSize of Arg::value_t  : " << 8 * sizeof(Arg::value_t) << " bits" << std::endl;
}
