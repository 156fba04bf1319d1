// Fuzz target: arbitrary bytes as instruction words (see DisassembleChecks.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/DisassembleChecks.h"
#include "fuzz/FuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::runTarget("fuzz_disassemble", fuzz::checkDisassembleInput, data, size);
}
