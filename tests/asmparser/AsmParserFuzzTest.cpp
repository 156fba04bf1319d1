// Random and hostile source text: nothing may crash, hang or read out of
// bounds (run under the sanitizer build too), every error has a line, and a
// line never gives more than one error.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "asmparser/AsmParser.h"
#include "utils/StringSourceReader.h"

namespace {

void checkErrors(const AsmErrorList& errors) {
    for (const auto& e : errors) {
        ASSERT_TRUE(e->sourceLine());
        EXPECT_GT(e->lineNr(), 0);
        EXPECT_GT(e->numberOfErrorSources(), 0u);
        EXPECT_NE(std::string(e->what()), "");
        EXPECT_NE(std::string(e->errorType()), "");
    }
}

// Mostly pieces of the language, so that the lines reach deep into the parser,
// with arbitrary bytes mixed in.
std::string randomLine(std::mt19937& random) {
    static const std::vector<std::string> pieces = {
        ".DEF ", "N",   "x", "loop", ":",    " ",    "\t",
        ",",     "#",   "$", "@",    "R",    "r1",   "0x",
        "-",     "0",   "7", "9",    "08",   "ff",   "[",
        "]",     "^",   ".", "_",    "add ", "jmp ", "99999999999999999999",
        "\r",    "\n",  ";", "\\",   "\"",   "$N",   "@loop",
        "R0x1F", ".FOO"};
    std::uniform_int_distribution<int> count(0, 14);
    std::uniform_int_distribution<size_t> piece(0, pieces.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> kind(0, 3);
    std::string line;
    for (int n = count(random); n > 0; --n) {
        if (kind(random) == 0)
            line.push_back(static_cast<char>(byte(random)));
        else
            line += pieces[piece(random)];
    }
    return line;
}

TEST(AsmParserFuzz, RandomLinesThroughProcessLine) {
    std::mt19937 random(20240611);
    auto name = std::make_shared<const std::string>("fuzz.s");
    AsmParser parser;
    parser.config.keepComments = true;
    parser.config.keepCommentLines = true;
    parser.config.keepAllDirectives = true;
    for (int round = 0; round < 4; ++round) {
        parser.start();
        AsmErrorList errors;
        const int lines = 1500;
        for (int i = 1; i <= lines; ++i) {
            const size_t before = errors.size();
            parser.processLine(std::make_shared<const SourceLine>(randomLine(random), i, name),
                               errors);
            ASSERT_LE(errors.size(), before + 1) << "line " << i;
        }
        parser.finish(errors);
        checkErrors(errors);
        parser.container.assignInstructionAddresses(errors, 0, 1);
        checkErrors(errors);
        // The lines reach both the statements and the errors.
        EXPECT_GT(errors.size(), 100u);
        EXPECT_GT(parser.container.statements.size(), 100u);
        errors.toStringFullReport("assembler");
        errors.toStringOneLineSummary("assembler");

        // What the writer makes of it parses again without trouble.
        parser.config.addressAsLabel = round % 2 == 0;
        std::ostringstream os;
        EXPECT_EQ(parser.unparse(os), 0);
        AsmParser again;
        StringSourceReader reader(os.str(), "again.s");
        AsmErrorList againErrors;
        again.parse(reader, againErrors);
        checkErrors(againErrors);
    }
}

TEST(AsmParserFuzz, HostileLines) {
    const std::string megabyte(1 << 20, 'a');
    const std::vector<std::string> lines = {
        std::string("\0", 1),
        std::string("nop\0R1", 6),
        std::string("mov R1, \0", 9),
        std::string(".DEF Z R1\0", 10),
        "mov $Z",
        "\r",
        "nop\r# c",
        "\xff\xfe\x80",
        "mov \xe9",
        "x\xe9: nop",
        "mov 123456789012345678901234567890, -123456789012345678901234567890",
        "mov R99999999999999999999999",
        "mov 0x" + std::string(40, 'f'),
        std::string(1000, ' '),
        "nop " + megabyte,
        "mov R1, " + std::string(1 << 20, '9'),
        megabyte + ":",
        ".DEF " + megabyte + " 1",
        "mov $" + megabyte,
        "jmp @" + megabyte,
        "nop" + std::string(2000, '\t') + "?",
        std::string(1 << 20, ','),
        "add " + std::string(1 << 18, 'R') + "1",
        "loop: loop: loop:",
        ":::",
        "[",
        "@",
        "$",
        ".",
        "..",
        "#",
    };
    AsmParser parser;
    parser.config.keepComments = true;
    parser.start();
    AsmErrorList errors;
    int nr = 0;
    for (const std::string& text : lines) {
        const size_t before = errors.size();
        parser.processLine(std::make_shared<const SourceLine>(text, ++nr), errors);
        EXPECT_LE(errors.size(), before + 1) << "line " << nr;
    }
    parser.finish(errors);
    parser.container.assignInstructionAddresses(errors, 0, 1);
    checkErrors(errors);
    std::ostringstream os;
    EXPECT_EQ(parser.unparse(os), 0);

    // The same hostile text as one source, with its odd line ends.
    std::string source;
    for (const std::string& text : lines)
        source += text + "\n";
    StringSourceReader reader(source, "hostile.s");
    AsmParser whole;
    AsmErrorList wholeErrors;
    whole.parse(reader, wholeErrors);
    checkErrors(wholeErrors);
}

TEST(AsmParserFuzz, ThousandsOfLabelsAndSymbols) {
    std::string source;
    for (int i = 0; i < 5000; ++i)
        source += ".DEF S" + std::to_string(i) + " " + std::to_string(i) + "\n" + "L" +
                  std::to_string(i) + ": jmp @L" + std::to_string((i * 7919) % 5000) + ", $S" +
                  std::to_string(i) + "\n";
    source += "L0: nop\n.DEF S0 1\n";
    StringSourceReader reader(source, "many.s");
    AsmParser parser;
    AsmErrorList errors;
    EXPECT_EQ(parser.parse(reader, errors), 4u);
    ASSERT_EQ(errors.size(), 2u);
    parser.container.assignInstructionAddresses(errors, 0, 1);
    EXPECT_EQ(errors.size(), 2u);
    ASSERT_EQ(parser.container.statements.size(), 5000u);
    auto last = std::dynamic_pointer_cast<AsmInstruction>(parser.container.statements[4999]);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->arguments[0]->value, (4999 * 7919) % 5000);
    EXPECT_EQ(last->arguments[1]->value, 4999);
}

} // namespace
