// Runs of the real vorelasm program for the end-to-end tests, whose targets
// name the built program in VORELASM_BINARY.
#pragma once

#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"

#ifndef VORELASM_BINARY
#error "the end-to-end tests are built with VORELASM_BINARY, the path of vorelasm"
#endif

inline const std::string vorelasmBinary = VORELASM_BINARY;

// Runs vorelasm with the arguments in `folder` as its working folder.
inline ProgramRun runVorelasm(const std::string& folder, const std::vector<std::string>& arguments,
                              RunOptions options = {}) {
    options.setup.folder = folder;
    return runProgram(vorelasmBinary, arguments, options);
}
