#include "BackendTestSupport.h"

#include "Logging.h"
#include "assembler/seq_instr_set.h"
#include "utils/StringSourceReader.h"

AssemblerRig::AssemblerRig(unsigned instructionWords)
    : processor(seq_instr_set(), instructionWords, 64), assembler(&processor, AsmSyntax()) {
    // Keep the warnings of failed assemblies out of the test output.
    Logging::setLogLevel(3);
}

int AssemblerRig::assemble(const std::string& source) {
    errors = AsmErrorList();
    StringSourceReader reader(source);
    return assembler.assemble(reader, errors);
}

std::string messageOf(const AsmError& error) {
    if (const auto* source = dynamic_cast<const AsmSourceError*>(&error))
        return source->StreamException<AsmRuntimeError>::message();
    return error.what();
}

size_t caretOf(const AsmError& error) {
    const auto* source = dynamic_cast<const AsmSourceError*>(&error);
    if (source == nullptr || source->errorRefs.empty())
        return std::string::npos;
    return source->errorRefs.front().position;
}

size_t extentOf(const AsmError& error) {
    const auto* source = dynamic_cast<const AsmSourceError*>(&error);
    if (source == nullptr || source->errorRefs.empty())
        return 0;
    return source->errorRefs.front().length;
}
