#include "Vorel.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <sstream>

#include "Logging.h"
#include "asmparser/AsmErrorList.h"
#include "asmparser/AsmSyntax.h"
#include "asmparser/AsmToken.h"
#include "utils/FileSourceReader.h"
#include "utils/StringSourceReader.h"
#include "utils/StringUtils.h"

namespace {

unsigned int words(int count) {
    return count > 0 ? static_cast<unsigned int>(count) : 0u;
}

} // namespace

Vorel::Vorel() = default;

// Delegating first makes the object built, so the destructor frees whatever
// the body had handed over when a later allocation fails.
Vorel::Vorel(const SeqInstructionSet& set, unsigned long long* instructionBuffer,
             int instructionWords, int dataWords, double classicalClockMHz, double realtimeClockMHz)
    : Vorel() {
    auto cpu = newProcessor(set, instructionBuffer, instructionWords, dataWords, classicalClockMHz,
                            realtimeClockMHz);
    auto code = std::make_unique<SeqAssembler>(cpu.get(), AsmSyntax());
    auto simulator = std::make_unique<SeqSim>(cpu.get());
    adopt(std::move(cpu), std::move(code), std::move(simulator));
}

Vorel::Vorel(const SeqInstructionSet& set, int instructionWords, int dataWords)
    : Vorel(set, nullptr, instructionWords, dataWords, 0.0, 0.0) {}

std::unique_ptr<SeqProcessor> Vorel::newProcessor(const SeqInstructionSet& set,
                                                  unsigned long long* instructionBuffer,
                                                  int instructionWords, int dataWords,
                                                  double classicalClockMHz,
                                                  double realtimeClockMHz) {
    auto cpu = std::make_unique<SeqProcessor>(set, instructionBuffer, words(instructionWords),
                                              words(dataWords));
    cpu->classicalClockMHz = classicalClockMHz;
    cpu->realtimeClockMHz = realtimeClockMHz;
    return cpu;
}

void Vorel::adopt(std::unique_ptr<SeqProcessor> cpu, std::unique_ptr<SeqAssembler> code,
                  std::unique_ptr<SeqSim> simulator) {
    processor = cpu.release();
    assembler = code.release();
    sim = simulator.release();
    registerAsmSection(assembler);
    registerAsmSection(sim);
}

Vorel::~Vorel() {
    delete sim;
    delete assembler;
    delete processor;
    asmSections.clear();
}

void Vorel::registerAsmSection(AsmSection* section) {
    if (section == nullptr)
        return;
    const std::string key = section->asmSectionGetDirective();
    if (asmSections.emplace(key, section).second) {
        if (Logging::getLogLevel() > 6)
            Logging::write(7, "registered AsmSection handler for directive '%s'", key.c_str());
    } else if (Logging::getLogLevel() > 2) {
        Logging::write(3,
                       "Vorel::registerAsmSection: duplicate AsmSection handler for directive '%s'",
                       key.c_str());
    }
}

int Vorel::assemble(SourceReader& reader, std::string& message) {
    AsmErrorList errors;
    const AsmSyntax syntax;
    std::string startMessage;
    if (!reader.start(startMessage)) {
        message = startMessage;
        return 1;
    }

    const bool debug = Logging::getLogLevel() > 6;
    for (const auto& entry : asmSections) {
        if (debug)
            Logging::write(7, "starting section '%s'", entry.first.c_str());
        entry.second->asmSectionStart(errors);
    }

    const auto code = asmSections.find(".CODE");
    if (code == asmSections.end()) {
        if (Logging::getLogLevel() >= 0)
            Logging::write(0, "no AsmSection found for '.CODE'");
        std::exit(1);
    }
    currentAsmSection = code->second;

    // The sections have let go of the last assembly's statements, and with
    // them of its lines.
    linePool.renew();
    struct PoolScope {
        SourceReader& reader;
        ObjectPool* const before;
        ~PoolScope() { reader.setLinePool(before); }
    } poolScope{reader, reader.getLinePool()};
    reader.setLinePool(&linePool);

    for (;;) {
        std::shared_ptr<const SourceLine> line;
        try {
            line = reader.nextLine(false);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            // Recorded like any error of the source: the assembly fails and the
            // sections, finished below, encode nothing.
            errors.emplace<AsmRuntimeError>(SeqAssembler::readFailureText(reader, e));
            break;
        }
        if (!line)
            break;

        AsmToken token(line);
        syntax.filter2Token(token, syntax.directive);
        const bool control = token.size() >= 2 && token.front() == syntax.directiveChar &&
                             syntax.directive.accept(token.data(), token.size());
        if (control) {
            if (token == ".CPU" || token == ".END")
                continue;
            const auto section = asmSections.find(token.toString());
            if (section != asmSections.end()) {
                if (Logging::getLogLevel() > 5)
                    Logging::write(6, "found section '%s'",
                                   vorel::loggable(section->first).c_str());
                currentAsmSection = section->second;
                continue;
            }
        }
        if (currentAsmSection->asmSectionProcessLine(line, errors))
            break;
    }

    for (const auto& entry : asmSections) {
        if (debug)
            Logging::write(7, "finishing section '%s'", entry.first.c_str());
        entry.second->asmSectionFinish(errors);
    }

    const int n = static_cast<int>(errors.size());
    if (Logging::getLogLevel() > 6 && assembler != nullptr)
        Logging::write(7, "%s", vorel::timerReport(assembler->getTimers()).c_str());

    if (n != 0) {
        if (Logging::getLogLevel() > 3)
            Logging::write(4, "assembly failed with %d errors", n);
        message = errors.toStringFullReport("assembler");
        if (message.empty() && Logging::getLogLevel() > 3)
            Logging::write(4, "empty error message");
        return n;
    }
    if (debug)
        Logging::write(7, "assembly completed");
    assembled = true;
    return 0;
}

int Vorel::assemble(const std::string& source, std::string& message) {
    StringSourceReader reader(source);
    return assemble(static_cast<SourceReader&>(reader), message);
}

int Vorel::assemble(std::shared_ptr<const std::string> source, std::string& message) {
    StringSourceReader reader(std::move(source));
    return assemble(static_cast<SourceReader&>(reader), message);
}

int Vorel::assembleFile(const std::string& fileName, std::string& message) {
    FileSourceReader reader(fileName);
    return assemble(static_cast<SourceReader&>(reader), message);
}

int Vorel::simulate(int maxInstructions) {
    if (!assembled || sim == nullptr)
        return 1;
    return sim->simulate(maxInstructions) ? 1 : 0;
}

int Vorel::disassemble(std::string& text) {
    std::ostringstream os;
    const unsigned unknown = assembler != nullptr ? assembler->disassemble(os) : 0u;
    text = os.str();
    return static_cast<int>(unknown);
}
