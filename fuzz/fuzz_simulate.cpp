// Fuzz target: arbitrary bytes as instruction words (see SimulateChecks.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzTarget.h"
#include "fuzz/SimulateChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::runTarget("fuzz_simulate", fuzz::checkSimulateInput, data, size);
}
