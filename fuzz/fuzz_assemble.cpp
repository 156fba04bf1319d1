// Fuzz target: arbitrary bytes as assembly source (see AssembleChecks.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/AssembleChecks.h"
#include "fuzz/FuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::runTarget("fuzz_assemble", fuzz::checkAssembleInput, data, size);
}
