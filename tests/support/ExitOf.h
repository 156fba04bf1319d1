// How a statement ends the process, for the tests of broken invariants, which
// end it: the statement runs in a forked child with its standard error
// captured (CapturedStderr.h). GoogleTest's own death tests keep that text in
// a named file in /tmp, which a test killed midway leaves behind.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>

#include "tests/support/CapturedStderr.h"

struct ProcessEnd {
    // The exit status, -1 when the child did not exit (a signal ended it).
    int status = -1;
    std::string stderrText;
};

// The status 0 when the statement returns, 122 when it throws.
template <typename Statement> ProcessEnd endOf(Statement&& statement) {
    captureStderr();
    const pid_t pid = fork();
    if (pid == 0) {
        try {
            statement();
        } catch (...) {
            _exit(122);
        }
        _exit(0);
    }
    int wstatus = 0;
    const bool reaped = pid > 0 && waitpid(pid, &wstatus, 0) == pid;
    ProcessEnd end;
    end.stderrText = capturedStderr();
    if (reaped && WIFEXITED(wstatus))
        end.status = WEXITSTATUS(wstatus);
    return end;
}

// The end has the status, and its standard error holds a match of the POSIX
// extended regular expression.
inline testing::AssertionResult exitedWith(const ProcessEnd& end, int status,
                                           const std::string& pattern) {
    if (end.status != status)
        return testing::AssertionFailure()
               << "ended with status " << end.status << ", not " << status << "; standard error:\n"
               << end.stderrText;
    if (!std::regex_search(end.stderrText, std::regex(pattern, std::regex::extended)))
        return testing::AssertionFailure() << "standard error does not match '" << pattern << "':\n"
                                           << end.stderrText;
    return testing::AssertionSuccess();
}
