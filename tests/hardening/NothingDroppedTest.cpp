// Typos that once vanished without a word: a line that begins with no word, text
// after a mnemonic that begins no operand, an empty command-line argument. Each
// must fail the run with its error and caret, write no .hex and leave an
// earlier one as it was; the comment lines and valid lines around them must
// assemble exactly as before.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/hardening/HardeningSupport.h"

namespace {

struct LineCase {
    const char* line;
    // Empty for a line that assembles; else the location and the caret line
    // of its one error.
    std::string where;
    std::string caret;
    std::vector<uint64_t> words = {};
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << testing::PrintToString(std::string(c.line));
}

class OneLine : public testing::TestWithParam<LineCase> {
protected:
    TempFolder dir;
};

// The line stands first, before a stop, so a dropped line would still leave a
// program that assembles.
TEST_P(OneLine, IsReportedOrAssembledNeverDropped) {
    const LineCase& c = GetParam();
    writeFile(dir / "prog.s", std::string(c.line) + "\n  stop\n");
    writeFile(dir / "prog.hex", earlierHex);
    const ProgramRun run = runVorelasm(dir.path(), {"prog.s"});
    std::string hex;
    ASSERT_TRUE(readFile(dir / "prog.hex", hex));
    if (c.where.empty()) {
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<uint64_t> words = c.words;
        words.push_back(stop);
        EXPECT_EQ(hex, hexText(words));
        return;
    }
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(hex, earlierHex) << "a failed run must leave the earlier .hex";
    const std::string report =
        "assembler failed with 1 errors:\n" + c.where +
        ": Syntax error: AsmParser: spurious characters after statement: \n" + c.line + "\n" +
        c.caret + "\n";
    EXPECT_NE(run.err.find(report), std::string::npos) << run.err;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(FirstByteStartsNoWord, OneLine, testing::Values(
    LineCase{"  *move 2, R1",     "prog.s:1:2", "--^^^^^^^^^^^"},
    LineCase{"  (nop)",           "prog.s:1:2", "--^^^^^"},
    LineCase{"  %x",              "prog.s:1:2", "--^^"},
    LineCase{"  $x: move 3, R1",  "prog.s:1:2", "--^^^^^^^^^^^^^^"},
    LineCase{"loop: *move 2, R1", "prog.s:1:6", "------^^^^^^^^^^^"},
    // Comment lines and blank lines stay ignored.
    LineCase{"# comment",         "", ""},
    LineCase{"; comment",         "", ""},
    LineCase{"  ;indented",       "", ""},
    LineCase{"  #indented",       "", ""},
    LineCase{"",                  "", ""},
    LineCase{"   ",               "", ""}
));

INSTANTIATE_TEST_SUITE_P(TextAfterMnemonic, OneLine, testing::Values(
    LineCase{"  nop , R1",        "prog.s:1:6", "------^^^^"},
    LineCase{"  stop ,R2",        "prog.s:1:7", "-------^^^"},
    LineCase{"  nop %x",          "prog.s:1:6", "------^^"},
    LineCase{"  nop ; c",         "prog.s:1:6", "------^^^"},
    // What assembled before still does, word for word.
    LineCase{"  nop # c",         "", "", {nop}},
    LineCase{"  nop",             "", "", {nop}},
    LineCase{"  move 1, R1 # c",  "", "", {moveOneToR1}},
    LineCase{"x: nop # c",        "", "", {nop}}
));
// clang-format on

TEST(TextAfterMnemonic, MissingOperandAfterSeparatorIsAnInvalidArgument) {
    TempFolder dir;
    writeFile(dir / "prog.s", "  move 1, , R1\n  stop\n");
    const ProgramRun run = runVorelasm(dir.path(), {"prog.s"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("prog.s:1:10: Syntax error: Invalid argument: \n  move 1, , R1\n"
                           "----------^\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(exists(dir / "prog.hex"));
}

struct ArgumentCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    const char* message;
};

void PrintTo(const ArgumentCase& c, std::ostream* os) {
    *os << c.name;
}

class EmptyArgument : public testing::TestWithParam<ArgumentCase> {};

// An argument that does not begin with '-' names the input, even when empty, so
// the result never depends on where the empty argument stands.
TEST_P(EmptyArgument, IsAnInputName) {
    const ArgumentCase& c = GetParam();
    TempFolder dir;
    writeFile(dir / "loop.s", "  nop\n  stop\n");
    const ProgramRun run = runVorelasm(dir.path(), c.arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"loop.s"})
        << "nothing is assembled or written";
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, EmptyArgument,
    testing::Values(ArgumentCase{"Alone", {""}, 1, "Could not open input file '' for reading"},
                    ArgumentCase{"BeforeInput", {"", "loop.s"}, 2, "Too many non-option arguments"},
                    ArgumentCase{"AfterInput", {"loop.s", ""}, 2, "Too many non-option arguments"}),
    [](const testing::TestParamInfo<ArgumentCase>& info) { return std::string(info.param.name); });

} // namespace
