// Fuzz target: arbitrary bytes as assembly source (see AssembleChecks.h).
#include <cstddef>
#include <cstdint>

#include "Logging.h"
#include "fuzz/AssembleChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every log line is still formatted at the most detailed level, so user
    // text that reaches a format is exercised, but nothing floods the output.
    static const bool logOpened =
        Logging::open("fuzz_assemble", Logging::logLevelFromName("verbose"), "/dev/null");
    (void)logOpened;
    fuzz::checkAssembleInput(data, size);
    return 0;
}
