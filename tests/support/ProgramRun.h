// A run of a program as the tests start it: its own argument vector, no
// shell, with what it writes to standard output and standard error captured;
// or a program left running for the test to watch and signal.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
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
    // "NAME=value" entries that the run's environment holds over any that
    // it would otherwise have of the same name.
    std::vector<std::string> environment;
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

// A program started as runProgram starts it but left running, so that the
// test can watch and signal it meanwhile. Standard output and standard error
// both go to one file, standard input is /dev/null.
class StartedProgram {
public:
    // Throws std::invalid_argument when options.input is set, and
    // std::runtime_error when the output file cannot be made.
    StartedProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outputFile, const RunOptions& options = {});
    // Kills what still runs of it (the whole session when it has its own,
    // see ChildSetup::newSession) and reaps it.
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    pid_t pid() const { return child; }
    // Waits up to `timeout` for the program to end; none while it runs. An
    // ended program is only reaped when the object goes, so that its pid,
    // which names its session, passes to no other process meanwhile.
    std::optional<ChildEnd> waitFor(std::chrono::milliseconds timeout) const;

private:
    pid_t child = -1;
    bool ownSession;
};

// Polls `done` until it holds, or `timeout` has passed: false then.
bool eventually(std::chrono::milliseconds timeout, const std::function<bool()>& done);
