// Fuzz target: arbitrary bytes as instruction words (see SimulateChecks.h).
#include <cstddef>
#include <cstdint>

#include "Logging.h"
#include "fuzz/SimulateChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every log line is still formatted at the most detailed level, so user
    // text that reaches a format is exercised, but nothing floods the output.
    static const bool logOpened =
        Logging::open("fuzz_simulate", Logging::logLevelFromName("verbose"), "/dev/null");
    (void)logOpened;
    fuzz::checkSimulateInput(data, size);
    return 0;
}
