// The body of every libFuzzer entry point: the log set up once, then the
// target's property check on the input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Logging.h"

namespace fuzz {

using InputCheck = void (*)(const uint8_t* data, size_t size);

inline int runTarget(const char* name, InputCheck check, const uint8_t* data, size_t size) {
    // Every log line is still formatted at the most detailed level, so user
    // text that reaches a format is exercised, but nothing floods the output.
    static const bool logOpened =
        Logging::open(name, Logging::logLevelFromName("verbose"), "/dev/null");
    (void)logOpened;
    check(data, size);
    return 0;
}

} // namespace fuzz
