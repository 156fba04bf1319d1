#include "SeqAssembler.h"

#include <algorithm>
#include <new>
#include <sstream>

#include "Logging.h"
#include "asmparser/AsmError.h"
#include "asmparser/AsmType.h"
#include "utils/CharFilter.h"
#include "utils/FileSourceReader.h"
#include "utils/StringUtils.h"

namespace {

bool debugActive() {
    return Logging::getLogLevel() > 6;
}

// An operand as the parser writes it back: the text as written, else the value.
std::string printedArgument(const AsmArgument& argument) {
    std::ostringstream os;
    AsmParser::unparseArgument(os, argument);
    return os.str();
}

// An error points at the mnemonic or operand where the instruction's own line
// shows it. A token elsewhere (a symbol's value on the line of its definition,
// an operand made by the disassembler) is searched for in the line by its
// text instead.
bool standsOn(const AsmToken& token, const std::shared_ptr<const SourceLine>& line) {
    return line && !token.empty() && token.line == line;
}

AsmSyntaxError errorAt(const AsmToken& token, const std::shared_ptr<const SourceLine>& line,
                       const std::string& text) {
    return standsOn(token, line) ? AsmSyntaxError(token) : AsmSyntaxError(line, text);
}

} // namespace

SeqAssembler::SeqAssembler() {
    init();
}

SeqAssembler::SeqAssembler(SeqProcessor* processor, const AsmSyntax& syntax)
    : parser(syntax), processor(processor) {
    init();
}

SeqAssembler::~SeqAssembler() = default;

void SeqAssembler::init() {
    programSize = 0;
    instructionTimer = std::make_shared<Timer>("assemble", "instruction");
}

bool SeqAssembler::hasInstructionMemory() const {
    return processor != nullptr && processor->instructionMemory.size > 0;
}

std::string SeqAssembler::asmSectionGetDirective() {
    return ".CODE";
}

bool SeqAssembler::asmSectionStart(AsmErrorList& errors) {
    if (!hasInstructionMemory()) {
        errors.emplace<AsmRuntimeError>("Can not assemble source: No instruction memory defined.");
        return true;
    }
    parser.start();
    clearTimers();
    programSize = 0;
    return false;
}

bool SeqAssembler::asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                                         AsmErrorList& errors) {
    parser.processLine(line, errors);
    return false;
}

void SeqAssembler::asmSectionFinish(AsmErrorList& errors) {
    parser.finish(errors);
    if (!errors.empty()) {
        if (Logging::getLogLevel() > 3)
            Logging::write(4, "SeqAssembler::assembleFinish: parsing failed");
        return;
    }

    timers.push_back(instructionTimer);
    instructionTimer->start();

    AsmContainer& container = parser.container;
    container.assignInstructionAddresses(errors, 0, 1);
    if (!errors.empty()) {
        if (Logging::getLogLevel() > 3)
            Logging::write(4, "SeqAssembler::assemble: assignInstructionAddresses failed");
        return;
    }

    for (const std::shared_ptr<AsmStatement>& statement : container.statements) {
        if (!statement || statement->type != AsmType::INSTRUCTION)
            continue;
        const auto* instruction = vorel::statementAs<const AsmInstruction>(statement.get());
        if (instruction == nullptr)
            THROW_BUG("AsmStatement of AsmType::INSTRUCTION is not an instance of the "
                      "AsmInstruction class");
        try {
            const instruction_t word = assembleInstruction(*instruction);
            writeInstructionMem(static_cast<uint32_t>(instruction->address), word);
        } catch (const SeqProcMemoryError& e) {
            if (debugActive())
                Logging::write(7, "SeqAssembler::assemble:loop: caught SeqProcMemoryError ('%s')",
                               e.what());
            errors.emplace<AsmProgramTooLongError>(stringCat(
                "Program too long (",
                static_cast<unsigned int>(container.typeCount(AsmType::INSTRUCTION)), "). Maximum ",
                static_cast<unsigned int>(processor->instructionMemory.size), " instructions"));
            break;
        } catch (const AsmError& e) {
            if (debugActive())
                Logging::write(7, "SeqAssembler::assemble:loop: caught AsmError ('%s')",
                               vorel::loggable(e.text()).c_str());
            errors.insert(e.shared_ptr_copy());
        }
    }

    instructionTimer->stop();
    instructionTimer->count = programSize;
}

int SeqAssembler::generateRandomProgram(std::ostream&, int) const {
    return 0;
}

int SeqAssembler::assemble(SourceReader& reader, AsmErrorList& errors) {
    if (!hasInstructionMemory()) {
        errors.emplace<AsmRuntimeError>("Can not assemble source: No instruction memory defined.");
        return 1;
    }
    clearTimers();
    programSize = 0;
    try {
        const unsigned n = parser.parse(reader, errors);
        timers.insert(timers.end(), parser.timers.begin(), parser.timers.end());
        if (n == 0) {
            if (debugActive())
                Logging::write(7, "SeqAssembler::assemble: parsing succeeded");
            asmSectionFinish(errors);
        } else {
            if (debugActive())
                Logging::write(7, "SeqAssembler::assemble: parsing failed with %d errors",
                               static_cast<int>(n));
        }
    } catch (const AsmError& e) {
        if (debugActive())
            Logging::write(7, "SeqAssembler::assemble: caught AsmError ('%s')",
                           vorel::loggable(e.text()).c_str());
        errors.insert(e.shared_ptr_copy());
        return static_cast<int>(errors.size());
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        // A source that fails while it is read is an error of the assembly: the
        // list is not empty, so nothing is encoded.
        errors.emplace<AsmRuntimeError>(readFailureText(reader, e));
    }

    auto& memory = processor->instructionMemory;
    std::fill(memory.data + std::min(programSize, memory.size), memory.data + memory.size,
              instruction_t(0));
    return static_cast<int>(errors.size());
}

int SeqAssembler::assembleFile(const std::string& fileName, AsmErrorList& errors) {
    FileSourceReader reader(fileName);
    return assemble(reader, errors);
}

void SeqAssembler::writeInstructionMem(uint32_t address, instruction_t word) {
    if (processor == nullptr) {
        SeqProcMemoryError error("Attempt to write ");
        error << "instruction"
              << " at address " << address << " beyond maximum address "
              << static_cast<unsigned int>(-1);
        throw error;
    }
    auto& memory = processor->instructionMemory;
    if (address > programSize) {
        const uint32_t end = std::min(address, memory.size);
        if (programSize < end)
            std::fill(memory.data + programSize, memory.data + end, instruction_t(0));
    }
    memory.write(address, word);
    programSize = std::max(programSize, address + 1);
}

instruction_t SeqAssembler::assembleInstruction(const AsmInstruction& instruction) const {
    if (processor == nullptr)
        THROW_BUG("SeqAssembler without processor");
    const SeqInstructionSet& set = processor->instructionSet;
    const std::shared_ptr<const SourceLine>& line = instruction.sourceLine;
    const std::string mnemonic = instruction.mnemonic.toString();

    // E1: the mnemonic.
    const std::shared_ptr<SeqInstructionVariations> variations = set.findByName(mnemonic);
    if (!variations) {
        const std::string text = stringCat("instruction '", mnemonic, "' not found");
        if (debugActive())
            Logging::write(7, "%s", vorel::loggable(text).c_str());
        AsmSyntaxError error = errorAt(instruction.mnemonic, line, mnemonic);
        error << text;
        throw error;
    }

    // E2: the kind of every operand, giving the signature.
    SeqInstructionDef::Signature signature;
    unsigned int k = 0;
    for (const std::shared_ptr<AsmArgument>& argument : instruction.arguments) {
        ++k;
        if (!argument)
            THROW_BUG("No argument object for argument " << k << " of " << mnemonic);
        const char registerName = argument->registerName;
        if (registerName == '#') {
            signature.addImmediateArg();
        } else if (CharFilters::isAlpha.accept(registerName)) {
            signature.addRegisterArg(registerName);
        } else {
            const std::string printed = printedArgument(*argument);
            const std::string text =
                stringCat("Could not determine signature type for argument number ", k,
                          ": registerName=", registerName,
                          " (ASCII=", static_cast<int>(static_cast<signed char>(registerName)), ")",
                          " argument string value='", printed, "'");
            if (debugActive())
                Logging::write(7, "%s", vorel::loggable(text).c_str());
            AsmSyntaxError error = errorAt(argument->written(), line, printed);
            error << text;
            throw error;
        }
    }

    // E3: the variant with that signature.
    const std::shared_ptr<SeqInstructionDef> def = variations->findByName(signature.text);
    if (!def) {
        std::string text =
            stringCat("Instruction \"", mnemonic, "\" does not support argument signature \"",
                      signature.text, "\"\nSupported signatures:");
        for (const std::shared_ptr<SeqInstructionDef>& variant : variations->byId)
            if (variant)
                append_(false, text, " \"", variant->signature.text, "\"");

        const std::string source = instruction.sourceString();
        size_t position = std::string::npos;
        size_t length = 1;
        if (instruction.arguments.empty()) {
            if (!source.empty() && standsOn(instruction.mnemonic, line)) {
                position = instruction.mnemonic.end;
            } else {
                const size_t found = source.find(mnemonic);
                if (found != std::string::npos)
                    position = found + mnemonic.size();
            }
        } else {
            const AsmToken written = instruction.arguments.front()->written();
            if (!source.empty() && standsOn(written, line)) {
                position = written.start;
                length = written.size();
            } else {
                const std::string first = printedArgument(*instruction.arguments.front());
                length = first.size();
                position = source.find(first);
            }
            if (position != std::string::npos && instruction.arguments.size() > 1)
                length = source.size() - position;
        }
        if (debugActive())
            Logging::write(7, "%s: start=%d, len=%d", vorel::loggable(text).c_str(),
                           static_cast<int>(position), static_cast<int>(length));
        AsmSyntaxError error(line, position, length);
        error << text;
        throw error;
    }

    // The word: opcode and select, then every argument in its field.
    instruction_t word = 0;
    if (set.writeOpcodeField(word, static_cast<unsigned int>(def->opcode)))
        set.writeSelectField(word, static_cast<unsigned int>(def->select));

    const size_t count = std::min(def->arguments.size(), instruction.arguments.size());
    for (size_t i = 0; i < count; ++i) {
        const SeqArgument& target = *def->arguments[i];
        const AsmArgument& source = *instruction.arguments[i];
        const unsigned int position = static_cast<unsigned int>(i + 1);
        if (!source.hasValue)
            THROW_BUG("No value determined for argument " << position << ": '" << source.text
                                                          << "'");
        // E4: the value's range.
        const int64_t value = source.value;
        if (value < target.min || value > target.max) {
            const std::string text =
                stringCat("Instruction ", def->mnemonic, " argument ", position, " (", target.name,
                          ") value: ", value, " out of range (", target.min, ",", target.max, ")");
            if (debugActive())
                Logging::write(7, "%s", vorel::loggable(text).c_str());
            AsmSyntaxError error = errorAt(source.written(), line, source.text.toString());
            error << text;
            throw error;
        }
        const SeqField& field = *target.field;
        word = (word & ~field.shiftedMask) |
               ((static_cast<uint64_t>(value) & field.mask) << (field.lsb & 63u));
    }
    return word;
}

void SeqAssembler::clearTimers() {
    timers.clear();
    instructionTimer->reset();
}

void SeqAssembler::printTimers(const std::string& title) const {
    if (Logging::getLogLevel() != Logging::quietLevel)
        Logging::write(6, "%s\n%s", title.c_str(), vorel::timerReport(timers).c_str());
}

std::string SeqAssembler::readFailureText(const SourceReader& reader, const std::exception& error) {
    return stringCat("Could not read source '", reader.name(), "': ", error.what());
}
