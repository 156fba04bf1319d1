// A program of a user who links the libraries and has functions and a
// variable of their own under common names. The libraries keep their helpers
// to themselves, so the program links, and a save through the facade neither
// calls the program's functions nor touches its variable.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstddef>
#include <exception>
#include <string>
#include <vector>

#include "Logging.h"
#include "assembler/seq.h"
#include "tests/support/TempFolder.h"

namespace {
int ownCalls = 0;
} // namespace

// The user's own, with the signatures that the libraries' save and text
// helpers had when they stood in the global namespace.
char temporaryName[4096] = "the user's";
bool writeAll(int, const char*, size_t) {
    ++ownCalls;
    return false;
}
int createTemporary(int, unsigned int) {
    ++ownCalls;
    return -1;
}
bool renameTemporary(const char*) {
    ++ownCalls;
    return false;
}
void removeTemporary() {
    ++ownCalls;
}
std::string loggable(const std::string& text) {
    ++ownCalls;
    return text;
}
std::string exceptionText(const std::exception& error) {
    ++ownCalls;
    return error.what();
}
int vstrprintf(std::string&, const char*, va_list) {
    ++ownCalls;
    return -1;
}

namespace {

TEST(OwnNames, ASaveThroughTheFacadeUsesNoneOfThem) {
    Logging::setLogLevel(std::string("quiet"));
    const TempFolder dir;
    seq vorel;
    std::string message;
    ASSERT_EQ(vorel.assembleFile(std::string(VOREL_SOURCE_DIR) + "/examples/loop.s", message), 0)
        << message;
    ASSERT_TRUE(vorel.asm_->saveHexOutput(dir / "loop.hex"));
    EXPECT_EQ(dir.read("loop.hex"),
              readFile(std::string(VOREL_SOURCE_DIR) + "/tests/assembler/cases/loop.hex"));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"loop.hex"});
    EXPECT_EQ(ownCalls, 0);
    EXPECT_STREQ(temporaryName, "the user's");
}

} // namespace
