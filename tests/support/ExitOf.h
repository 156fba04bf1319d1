// How a statement ends the process, for the tests of broken invariants, which
// end it: the statement runs in a child (runInChild) with its standard error
// captured (CapturedStderr.h). GoogleTest's own death tests keep that text in
// a named file in /tmp, which a test killed midway leaves behind.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/ChildProcess.h"

struct ProcessEnd {
    ChildEnd end;
    std::string stderrText;
};

// The child exits with 0 when the statement returns, with childFunctionThrew
// when it throws.
ProcessEnd endOf(const std::function<void()>& statement);

// The child exited with the status, and its standard error holds a match of
// the POSIX extended regular expression.
testing::AssertionResult exitedWith(const ProcessEnd& process, int status,
                                    const std::string& pattern);
