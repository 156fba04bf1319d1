#include "tests/support/ExitOf.h"

#include <regex>

#include "tests/support/CapturedStderr.h"

ProcessEnd endOf(const std::function<void()>& statement) {
    captureStderr();
    ProcessEnd process;
    try {
        process.end = runInChild([&] {
            statement();
            return 0;
        });
    } catch (...) {
        capturedStderr();
        throw;
    }
    process.stderrText = capturedStderr();
    return process;
}

testing::AssertionResult exitedWith(const ProcessEnd& process, int status,
                                    const std::string& pattern) {
    if (process.end.status != status)
        return testing::AssertionFailure()
               << "ended with status " << process.end.status << " (signal " << process.end.signal
               << "), not " << status << "; standard error:\n"
               << process.stderrText;
    if (!std::regex_search(process.stderrText, std::regex(pattern, std::regex::extended)))
        return testing::AssertionFailure() << "standard error does not match '" << pattern << "':\n"
                                           << process.stderrText;
    return testing::AssertionSuccess();
}
