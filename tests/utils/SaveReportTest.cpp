// The lines on standard error that tell how a save failed: one wording for
// every caller, except the caller's own line for a name it cannot open.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "utils/SafeFileWrite.h"

namespace {

std::string reported(vorel::SaveResult result) {
    std::ostringstream captured;
    std::streambuf* const saved = std::cerr.rdbuf(captured.rdbuf());
    vorel::reportSaveFailure(result, "out/x.hex", "caller: cannot open out/x.hex");
    std::cerr.rdbuf(saved);
    return captured.str();
}

TEST(SaveReport, EachResultHasItsLines) {
    const struct {
        vorel::SaveResult result;
        const char* lines;
    } cases[] = {
        {vorel::SaveResult::saved, ""},
        {vorel::SaveResult::notOpened, "caller: cannot open out/x.hex\n"},
        {vorel::SaveResult::notWritten, "ERROR: could not write file out/x.hex\n"},
        {vorel::SaveResult::incomplete, "ERROR: could not write file out/x.hex\n"},
        {vorel::SaveResult::emptied,
         "ERROR: could not write file out/x.hex\nERROR: file out/x.hex was left empty\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(reported(c.result), c.lines) << static_cast<int>(c.result);
}

} // namespace
