// A run of a program as the tests start it: its own argument vector, no
// shell, with what it writes to standard output and standard error captured.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

struct RunOptions {
    // The working folder, the user and the limits of the run.
    ChildSetup setup;
    // The text of standard input; none: standard input is /dev/null.
    std::optional<std::string> input;
    // Runs with an empty environment instead of the test's own.
    bool emptyEnvironment = false;
};

struct ProgramRun {
    // The exit status (127 when the program could not be started), -1 when
    // it did not exit.
    int status = -1;
    // The signal that ended it, 0 when it exited.
    int signal = 0;
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` after its own path as argv[0], and waits
// until it ends and has closed both output streams.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const RunOptions& options = {});
// The same with the whole argument vector as given, argv[0] included, so that
// it may also be empty.
ProgramRun runWithArgumentVector(const std::string& program, const std::vector<std::string>& argv,
                                 const RunOptions& options = {});
