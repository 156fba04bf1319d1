// Sources that editors and generators produce by mistake: odd bytes and line
// ends, huge lines and files, extreme numbers and names. Each must end in a
// program or in clear errors, the same through the library and through the
// vorelasm program, which writes no .hex for a failed source and leaves an
// earlier one as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "fuzz/AssembleChecks.h"
#include "tests/hardening/FuzzReplay.h"
#include "tests/hardening/HardeningSupport.h"
#include "tests/support/Excerpt.h"

namespace {

constexpr uint64_t moveFifteenToR1 = 0x3C0000400000000Full;
constexpr uint64_t jmpTo0 = 0x1C00000000000000ull;
constexpr uint64_t jmpTo1 = 0x1C00004000000000ull;

struct BadInput {
    const char* name;
    // The source, unless `make` gives it.
    std::string text;
    // 0: the program below; otherwise the number of errors.
    int errors;
    std::vector<uint64_t> words;
    // Found in the library's report (and in the program's standard error
    // unless stderrMust is given).
    std::string reportMust = std::string();
    // Found in the program's standard error in place of reportMust, for texts
    // that carry the source's name.
    std::string stderrMust = std::string();
    // Makes a large source when its case runs: each case runs in a process of
    // its own, which would otherwise build every large source at its start.
    std::string (*make)() = nullptr;

    std::string source() const { return make ? make() : text; }
};

std::string repeat(const std::string& piece, size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

std::string highBytes() {
    std::string bytes;
    for (int b = 128; b < 256; ++b)
        bytes += char(b);
    return bytes;
}

const std::string label1000(1000, 'L');

std::string megabyte() {
    return std::string(1 << 20, 'x');
}

std::vector<BadInput> badInputs() {
    using namespace std::string_literals;
    return {
        // NUL bytes: not blanks, so after a statement they are spurious; in a
        // comment they are comment text; the report is not cut at them.
        // A byte that cannot begin an argument is spurious after a statement.
        {"NulAfterStatement", "\tnop\0\n\tstop\n"s, 1, {}, "spurious characters"},
        {"NulInComment", "\tnop # a\0b\n\tstop\n"s, 0, {nop, stop}},
        {"NulInOperand", "\tmove 1\0, R1\n"s, 1, {}, "spurious characters"},
        // The library's report and the program's log both show the line's NUL
        // as \0 and go on to the caret line, whose carets count its two columns.
        {"NulInOperandWholeReport",
         "\tmove 1\0, R1\n"s,
         1,
         {},
         "    move 1\\0, R1\n----------^^^^^^\n"},
        // A message that quotes a NUL goes on past it.
        {"NulInSymbolValue",
         ".DEF X R5\0junk\n\tmove 1, $X\n"s,
         1,
         {},
         "Value '5\0junk' is not a valid integer. Invalid character '\0' at index 1: \n"
         ".DEF X R5\\0junk\n--------^^^^^^^\n"s,
         "Value '5\\0junk' is not a valid integer. Invalid character '\\0' at index 1: \n"
         ".DEF X R5\\0junk\n--------^^^^^^^\n"},
        // A line whose first byte is no word character is no comment line:
        // it is reported, not dropped.
        {"NulStartsLine", "\0\tnop\n\tstop\n"s, 1, {}, "spurious characters"},
        {"HighBytesInComment", "\tnop # " + highBytes() + "\n\tstop\n", 0, {nop, stop}},
        {"HighBytesLine", highBytes() + "\n\tstop\n", 1, {}, "spurious characters"},
        {"HighByteInMnemonic", "\tn\xe9op\n", 1, {}, "spurious characters"},
        {"HighByteAsOperand", "\tmove \xe9, R1\n", 1, {}, "spurious characters"},

        // Line ends: a lone CR, CR LF and LF CR each end one line, and the
        // line numbers of later errors count lines, not terminator bytes.
        {"LoneCr", "\tmove 1, R1\r\tstop\r", 0, {moveOneToR1, stop}},
        {"CrLf", "\tmove 1, R1\r\n\tstop\r\n", 0, {moveOneToR1, stop}},
        {"LfCr", "\tmove 1, R1\n\r\tstop\n\r", 0, {moveOneToR1, stop}},
        {"CrLfLineNumbers", "\tnop\r\n\tnop\r\n\tbad\r\n", 1, {}, "line 3 column 1", "prog.s:3:1"},
        {"LoneCrLineNumbers", "\tnop\r\tbad\r", 1, {}, "line 2 column 1", "prog.s:2:1"},
        {"LfCrLineNumbers", "\tnop\n\r\tnop\n\r\tbad\n\r", 1, {}, "line 3 column 1", "prog.s:3:1"},

        // A 1 MB line.
        // clang-format off
        {"MegabyteComment", "", 0, {nop, stop}, "", "",
         [] { return "\tnop # " + megabyte() + "\n\tstop\n"; }},
        {"MegabyteOfBlanks", "", 0, {nop, stop}, "", "",
         [] { return "\tnop" + std::string(1 << 20, ' ') + "\n\tstop\n"; }},
        {"MegabyteOperand", "", 1, {}, "out of range (0,4294967295)", "",
         [] { return "\tmove " + std::string(1 << 20, '7') + ", R1\n"; }},
        {"MegabyteMnemonic", "", 1, {}, "not found", "", [] { return megabyte() + "\n"; }},

        // 200,000 lines.
        {"TwoHundredThousandInstructions", "", 1, {},
         "Program too long (200000). Maximum 4096 instructions", "",
         [] { return repeat("\tnop\n", 200000); }},
        {"TwoHundredThousandLines", "", 0, {nop, stop}, "", "",
         [] { return repeat("# comment\n\n", 99999) + "\tnop\n\tstop\n"; }},
        // clang-format on

        // A 1000-character label, on its instruction's line and on its own.
        {"LongLabel", label1000 + ":\tjmp @" + label1000 + "\n", 0, {jmpTo0}},
        {"LongPendingLabel",
         "\tnop\n" + label1000 + ":\n\tjmp @" + label1000 + "\n",
         0,
         {nop, jmpTo1}},
        {"LongLabelUnresolved", "\tjmp @" + label1000 + "x\n", 1, {}, label1000 + "x"},

        // Numbers of 30 digits are beyond 64 bits: they reach the encoder's
        // range check, whatever their form. Leading zeros make octal.
        {"ThirtyDigits",
         "\tmove 123456789012345678901234567890, R1\n",
         1,
         {},
         "out of range (0,4294967295)"},
        {"ThirtyDigitsNegative",
         "\tmove -123456789012345678901234567890, R1\n",
         1,
         {},
         "out of range (0,4294967295)"},
        {"ThirtyHexDigits",
         "\tmove 0x" + std::string(30, 'f') + ", R1\n",
         1,
         {},
         "out of range (0,4294967295)"},
        {"ThirtyDigitRegister",
         "\tmove 1, R123456789012345678901234567890\n",
         1,
         {},
         "out of range (0,63)"},
        {"ThirtyDigitsOfOctal",
         "\tmove 000000000000000000000000000017, R1\n",
         0,
         {moveFifteenToR1}},

        {"HexPrefixAlone", "\tmove 0x, R1\n", 1, {}, "AsmParser: Invalid Immediate argument"},
        {"DoubleMinus", "\tmove --5, R1\n", 1, {}, "AsmParser: Invalid Immediate argument"},
        {"HugeRegister",
         "\tmove R99999999999, R1\n",
         1,
         {},
         "value: 99999999999 out of range (0,63)"},

        {"EmptyFile", "", 0, {}},
        {"OnlyDefLines", ".DEF A 1\n.DEF B R2\n.DEF C @nowhere\n", 0, {}},
        {"OnlyDefLinesOneBad",
         ".DEF A 1\n.DEF B\n.DEF C 3\n",
         1,
         {},
         "AsmParser: directive .DEF has no value"},
    };
}

// Test names and failure messages show an input by its name, not its bytes.
void PrintTo(const BadInput& input, std::ostream* os) {
    *os << input.name;
}

class BadInputTest : public testing::TestWithParam<BadInput> {};

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST_P(BadInputTest, LibraryGivesProgramOrErrors) {
    const BadInput& input = GetParam();
    seq s;
    std::string message;
    const int result = s.assemble(input.source(), message);
    ASSERT_EQ(result, input.errors) << firstLine(message);
    if (input.errors == 0) {
        EXPECT_EQ(message, "assembler finished successfully");
        ASSERT_EQ(s.asm_->getProgramSize(), input.words.size());
        for (uint32_t address = 0; address < input.words.size(); ++address)
            EXPECT_EQ(s.asm_->getProcessor()->instructionMemory.read(address), input.words[address])
                << "address " << address;
    } else {
        EXPECT_EQ(firstLine(message),
                  "assembler failed with " + std::to_string(input.errors) + " errors:");
        EXPECT_NE(message.find(input.reportMust), std::string::npos) << message.substr(0, 2000);
    }
}

// A failed run writes no .hex: the earlier one stays byte for byte, which also
// shows that none was written in its place.
TEST_P(BadInputTest, ProgramWritesHexOnlyOnSuccess) {
    const BadInput& input = GetParam();
    TempFolder dir;
    writeFile(dir / "prog.s", input.source());
    writeFile(dir / "prog.hex", earlierHex);

    const ProgramRun run = runVorelasm(dir.path(), {"prog.s"});
    EXPECT_EQ(run.status, input.errors > 255 ? 255 : input.errors) << run.err.substr(0, 2000);
    std::string hex;
    ASSERT_TRUE(readFile(dir / "prog.hex", hex));
    if (input.errors == 0) {
        EXPECT_EQ(hex, hexText(input.words));
    } else {
        EXPECT_EQ(hex, earlierHex);
        // A location without a source name is the library's; the program names its file.
        const std::string& must = input.stderrMust.empty() ? input.reportMust : input.stderrMust;
        EXPECT_NE(run.err.find(must), std::string::npos) << run.err.substr(0, 2000);
    }
    // Nothing else is left behind (no temporary or stray output file).
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"prog.hex", "prog.s"}));
}

TEST_P(BadInputTest, KeepsThePropertiesTheFuzzerChecks) {
    EXPECT_EQ(brokenProperty(fuzz::checkAssembleInput, GetParam().source()), "");
}

// The library's report and the program's log show a line with NUL bytes as
// one text, each NUL as \0, with the carets under the referenced bytes as
// they are shown.
TEST(NulBytesInTheReport, LibraryAndProgramShowOneExcerpt) {
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string source;
        // The shown line, and its text above the carets.
        std::string line, under;
    };
    const Case cases[] = {
        {"NUL at the referenced byte", "\tnop\n\twait 9\0\n"s, "    wait 9\\0", "\\0"},
        {"NUL inside, after a tab", "\tmove 1\0, R1\n"s, "    move 1\\0, R1", "\\0, R1"},
        {"NUL inside a symbol value", ".DEF X R5\0junk\n\tmove 1, $X\n"s, ".DEF X R5\\0junk",
         "5\\0junk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seq s;
        std::string message;
        ASSERT_EQ(s.assemble(c.source, message), 1) << message;
        const std::optional<Excerpt> excerpt = excerptAtEnd(message);
        ASSERT_TRUE(excerpt) << message;
        EXPECT_EQ(excerpt->line, c.line);
        EXPECT_EQ(excerpt->underCarets(), c.under);
        EXPECT_EQ(excerpt->carets, c.under.size());

        TempFolder dir;
        dir.write("prog.s", c.source);
        const ProgramRun run = runVorelasm(dir.path(), {"prog.s"});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(excerpt->text()), std::string::npos) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, BadInputTest, testing::ValuesIn(badInputs()),
                         [](const testing::TestParamInfo<BadInput>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
