// The line parser: statements and arguments of single lines, the error of
// each faulty line with its pointer text, label-only lines, symbols and
// directives, comments, and whole sources through parse().
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "Logging.h"
#include "asmparser/AsmParser.h"
#include "tests/support/CapturedStderr.h"
#include "utils/CharArraySourceReader.h"
#include "utils/StringSourceReader.h"

namespace {

// A numbered line without source name ("line 3" in locations).
std::shared_ptr<const SourceLine> numbered(const std::string& text, int nr) {
    return std::make_shared<const SourceLine>(text, nr);
}

class ParserFixture : public ::testing::Test {
protected:
    AsmParser parser;
    AsmErrorList errors;
    std::shared_ptr<const std::string> name = std::make_shared<const std::string>("t.s");
    int lineNr = 0;

    void SetUp() override { parser.start(); }

    std::shared_ptr<const SourceLine> feed(const std::string& text) {
        auto line = std::make_shared<const SourceLine>(text, ++lineNr, name);
        parser.processLine(line, errors);
        return line;
    }

    std::vector<std::shared_ptr<AsmInstruction>> instructions() const {
        std::vector<std::shared_ptr<AsmInstruction>> result;
        for (const auto& s : parser.container.statements)
            if (auto i = std::dynamic_pointer_cast<AsmInstruction>(s))
                result.push_back(i);
        return result;
    }

    std::shared_ptr<AsmInstruction> onlyInstruction() const {
        auto all = instructions();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? nullptr : all.front();
    }

    std::string allErrors() const {
        std::string text;
        for (const auto& e : errors)
            text += e->what();
        return text;
    }
};

struct ArgWant {
    const char* text;
    char registerName;
    long long value;
    bool hasValue;
    const char* label;
};

struct LineCase {
    const char* source;
    const char* mnemonic; // nullptr: no instruction
    const char* label;
    std::vector<ArgWant> args;
};

// Test names and failure messages show a case by its source line.
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(std::string(c.source));
}

class LineStatements : public ParserFixture, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineStatements, GivesTheStatementAndItsArguments) {
    const LineCase& c = GetParam();
    feed(c.source);
    EXPECT_EQ(allErrors(), "");
    EXPECT_FALSE(parser.pendingLabel);
    auto all = instructions();
    if (!c.mnemonic) {
        EXPECT_TRUE(parser.container.statements.empty());
        return;
    }
    ASSERT_EQ(all.size(), 1u);
    const AsmInstruction& i = *all.front();
    EXPECT_EQ(i.type, AsmType::INSTRUCTION);
    EXPECT_EQ(i.mnemonic.toString(), c.mnemonic);
    EXPECT_EQ(i.addressLabel.toString(), c.label);
    ASSERT_EQ(i.arguments.size(), c.args.size());
    for (size_t k = 0; k < c.args.size(); ++k) {
        const AsmArgument& a = *i.arguments[k];
        const ArgWant& w = c.args[k];
        EXPECT_EQ(a.text.toString(), w.text) << k;
        EXPECT_EQ(a.registerName, w.registerName) << k;
        EXPECT_EQ(a.hasValue, w.hasValue) << k;
        if (w.hasValue) {
            EXPECT_EQ(a.value, w.value) << k;
        }
        EXPECT_EQ(a.label.toString(), w.label) << k;
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, LineStatements, ::testing::Values(
    LineCase{"add R1, R2, R3", "add", "", {{"R1", 'R', 1, true, ""}, {"R2", 'R', 2, true, ""},
                                            {"R3", 'R', 3, true, ""}}},
    LineCase{"loop: add R1,R2", "add", "loop", {{"R1", 'R', 1, true, ""}, {"R2", 'R', 2, true, ""}}},
    LineCase{"loop : nop", "nop", "loop", {}},
    LineCase{"\t nop \t", "nop", "", {}},
    LineCase{"nop # comment", "nop", "", {}},
    LineCase{"nop#comment", "nop", "", {}},
    LineCase{"mov R0x1F, R-1", "mov", "", {{"R0x1F", 'R', 31, true, ""}, {"R-1", 'R', -1, true, ""}}},
    LineCase{"mov r1", "mov", "", {{"r1", 'r', 1, true, ""}}},
    LineCase{"mov 010, -0x10, 0", "mov", "", {{"010", '#', 8, true, ""}, {"-0x10", '#', -16, true, ""},
                                               {"0", '#', 0, true, ""}}},
    LineCase{"mov 99999999999999999999", "mov", "", {{"99999999999999999999", '#', LLONG_MAX, true, ""}}},
    LineCase{"jmp @loop # back", "jmp", "", {{"@loop", '#', 0, false, "loop"}}},
    LineCase{"_x-1: jmp @_y-2", "jmp", "_x-1", {{"@_y-2", '#', 0, false, "_y-2"}}},
    LineCase{"1abc R1", "1abc", "", {{"R1", 'R', 1, true, ""}}},
    LineCase{"", nullptr, "", {}},
    LineCase{"   \t  ", nullptr, "", {}},
    LineCase{"# comment only", nullptr, "", {}},
    LineCase{"; other comment", nullptr, "", {}},
    LineCase{"  ;indented", nullptr, "", {}},
    LineCase{"  #indented", nullptr, "", {}},
    LineCase{".DEF N 5", nullptr, "", {}}
));
// clang-format on

struct ErrorCase {
    const char* source;
    const char* errorType;
    const char* what;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(std::string(c.source));
}

class LineErrors : public ParserFixture, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(LineErrors, GiveExactlyOneErrorWithItsPointer) {
    const ErrorCase& c = GetParam();
    feed(c.source);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors[0]->errorType(), c.errorType);
    EXPECT_EQ(std::string(errors[0]->what()), c.what);
    EXPECT_EQ(errors[0]->lineNr(), 1);
    EXPECT_TRUE(parser.container.statements.empty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, LineErrors, ::testing::Values(
    ErrorCase{"add R1 R2", "Asm syntax error",
        "t.s:1:7: Syntax error: AsmParser: spurious characters after statement: \n"
        "add R1 R2\n-------^^\n"},
    ErrorCase{"nop R1, :", "Asm syntax error",
        "t.s:1:8: Syntax error: Invalid argument: \nnop R1, :\n--------^\n"},
    ErrorCase{"nop [", "Asm syntax error",
        "t.s:1:4: Syntax error: Invalid argument: \nnop [\n----^\n"},
    ErrorCase{"mov R1, @1", "Asm syntax error",
        "t.s:1:9: Syntax error: Invalid address label reference: \nmov R1, @1\n---------^\n"},
    ErrorCase{"mov R1x", "Asm syntax error",
        "t.s:1:5: Syntax error: AsmParser: Invalid Register argument: Value '1x' is not a valid "
        "integer. Invalid character 'x' at index 1: \nmov R1x\n-----^^\n"},
    ErrorCase{"mov 08", "Asm syntax error",
        "t.s:1:4: Syntax error: AsmParser: Invalid Immediate argument: Value '08' is not a valid "
        "integer. Invalid character '8' at index 1: \nmov 08\n----^^\n"},
    // The caret stands under the argument, not under the first "a" of the line.
    ErrorCase{"add a", "Asm syntax error",
        "t.s:1:4: Syntax error: AsmParser: Invalid Immediate argument: Value 'a' is not a valid "
        "integer. Invalid character 'a' at index 0: \nadd a\n----^\n"},
    ErrorCase{"mov -", "Asm syntax error",
        "t.s:1:4: Syntax error: AsmParser: Invalid Immediate argument: Value '-' is not a valid "
        "integer. Invalid character '-' at index 0: \nmov -\n----^\n"},
    ErrorCase{"mov $1x", "Asm syntax error",
        "t.s:1:4: Syntax error: Invalid symbol name: \nmov $1x\n----^^^\n"},
    ErrorCase{"mov $", "Asm syntax error",
        "t.s:1:4: Syntax error: Invalid argument: \nmov $\n----^\n"},
    ErrorCase{"mov @", "Asm syntax error",
        "t.s:1:4: Syntax error: Invalid argument: \nmov @\n----^\n"},
    ErrorCase{"mov $N", "Unresolved symbol error",
        "t.s:1:5: Unresolved symbol: N. : \nmov $N\n-----^\n"},
    ErrorCase{".DEF", "Asm syntax error",
        "t.s:1:4: Syntax error: AsmParser: empty directive .DEF: \n.DEF\n----^\n"},
    ErrorCase{".DEF N", "Asm syntax error",
        "t.s:1:6: Syntax error: AsmParser: directive .DEF has no value: \n.DEF N\n------^\n"},
    ErrorCase{".DEF N # c", "Asm syntax error",
        "t.s:1:7: Syntax error: AsmParser: directive .DEF has no value: \n.DEF N # c\n-------^\n"},
    ErrorCase{".FOO N 1", "Asm syntax error",
        "t.s:1:0: Syntax error: AsmParser: directive '.FOO' not supported: \n.FOO N 1\n^^^^\n"},
    ErrorCase{"x: .DEF a 1", "Asm syntax error",
        "t.s:1:3: Syntax error: AsmParser: spurious characters after statement: \n"
        "x: .DEF a 1\n---^^^^^^^^\n"},
    ErrorCase{"a^b nop", "Asm syntax error",
        "t.s:1:0: Syntax error: AsmParser: spurious characters after statement: \n"
        "a^b nop\n^^^^^^^\n"},
    ErrorCase{"\tmov\tR1 ?", "Asm syntax error",
        "t.s:1:8: Syntax error: AsmParser: spurious characters after statement: \n"
        "    mov    R1 ?\n--------------^\n"},
    // An operand missing after a separator is an error, not a dropped operand.
    ErrorCase{"add R1, , R2", "Asm syntax error",
        "t.s:1:8: Syntax error: Invalid argument: \nadd R1, , R2\n--------^\n"},
    ErrorCase{"wait 100,,200", "Asm syntax error",
        "t.s:1:9: Syntax error: Invalid argument: \nwait 100,,200\n---------^\n"},
    ErrorCase{"add R1,", "Asm syntax error",
        "t.s:1:7: Syntax error: Invalid argument: \nadd R1,\n-------^\n"},
    ErrorCase{"add R1, # c", "Asm syntax error",
        "t.s:1:8: Syntax error: Invalid argument: \nadd R1, # c\n--------^\n"},
    // A line that begins with a byte that starts no word is no comment line
    // unless that byte is '#' or ';': it is reported, never dropped.
    ErrorCase{"  *move 2, R1", "Asm syntax error",
        "t.s:1:2: Syntax error: AsmParser: spurious characters after statement: \n"
        "  *move 2, R1\n--^^^^^^^^^^^\n"},
    ErrorCase{"(%)", "Asm syntax error",
        "t.s:1:0: Syntax error: AsmParser: spurious characters after statement: \n"
        "(%)\n^^^\n"},
    ErrorCase{"  $x: move 3, R1", "Asm syntax error",
        "t.s:1:2: Syntax error: AsmParser: spurious characters after statement: \n"
        "  $x: move 3, R1\n--^^^^^^^^^^^^^^\n"},
    ErrorCase{"loop: *move 2, R1", "Asm syntax error",
        "t.s:1:6: Syntax error: AsmParser: spurious characters after statement: \n"
        "loop: *move 2, R1\n------^^^^^^^^^^^\n"},
    // Text after a mnemonic that begins no operand is reported, not dropped.
    ErrorCase{"nop %", "Asm syntax error",
        "t.s:1:4: Syntax error: AsmParser: spurious characters after statement: \n"
        "nop %\n----^\n"},
    ErrorCase{"nop , x", "Asm syntax error",
        "t.s:1:4: Syntax error: AsmParser: spurious characters after statement: \n"
        "nop , x\n----^^^\n"},
    ErrorCase{"stop ,R2", "Asm syntax error",
        "t.s:1:5: Syntax error: AsmParser: spurious characters after statement: \n"
        "stop ,R2\n-----^^^\n"},
    ErrorCase{"nop ; c", "Asm syntax error",
        "t.s:1:4: Syntax error: AsmParser: spurious characters after statement: \n"
        "nop ; c\n----^^^\n"},
    // Only the first fault of a line is recorded.
    ErrorCase{"mov R1x, @1 junk", "Asm syntax error",
        "t.s:1:5: Syntax error: AsmParser: Invalid Register argument: Value '1x' is not a valid "
        "integer. Invalid character 'x' at index 1: \nmov R1x, @1 junk\n-----^^\n"}
));
// clang-format on

TEST_F(ParserFixture, LinesAreCountedAndParsingGoesOnAfterErrors) {
    feed("");
    feed("# c");
    feed("add R1 R2");
    feed("nop");
    feed("mov 08");
    feed("add R1, R2");
    EXPECT_EQ(parser.lines, 6);
    EXPECT_EQ(parser.instructions, 4);
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0]->lineNr(), 3);
    EXPECT_EQ(errors[1]->lineNr(), 5);
    ASSERT_EQ(instructions().size(), 2u);
    EXPECT_EQ(instructions()[1]->sourceLine->lineNr, 6);
}

TEST_F(ParserFixture, CountsStopAtTheirLargestValue) {
    parser.lines = INT_MAX - 1;
    parser.instructions = INT_MAX - 1;
    parser.directives = INT_MAX - 1;
    for (const char* text : {"nop", ".DEF A 1", "nop", ".DEF B 2", ""})
        feed(text);
    EXPECT_TRUE(errors.empty()) << errors.toStringDetails();
    EXPECT_EQ(parser.lines, INT_MAX);
    EXPECT_EQ(parser.instructions, INT_MAX);
    EXPECT_EQ(parser.directives, INT_MAX);
    parser.finish(errors);
    EXPECT_EQ(parser.parseTimer->count, static_cast<unsigned>(INT_MAX));
}

TEST_F(ParserFixture, PendingLabelsGoToTheNextInstruction) {
    feed("first:");
    feed(".DEF N 1");
    feed("mov 08"); // a failing line keeps the label pending
    feed("# comment");
    feed("add R1, R2"); // labelled first
    feed("a:");
    feed("b: # a comment after a label");
    feed("nop"); // labelled b: the later label-only line wins
    feed("c:");
    feed("d: nop"); // the pending label replaces the line's own
    auto all = instructions();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0]->addressLabel.toString(), "first");
    EXPECT_EQ(all[1]->addressLabel.toString(), "b");
    EXPECT_EQ(all[2]->addressLabel.toString(), "c");
    EXPECT_FALSE(parser.pendingLabel);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(parser.container.typeCount(AsmType::INSTRUCTION), 3u);
    EXPECT_EQ(parser.container.typeCount(AsmType::LABEL_ONLY), 0u);
}

TEST_F(ParserFixture, LabelOnlyLineAtTheEndIsReportedWithoutCaret) {
    feed("nop");
    feed("  end:   ");
    ASSERT_TRUE(parser.pendingLabel);
    parser.finish(errors);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors[0]->errorType(), "Asm syntax error");
    EXPECT_EQ(std::string(errors[0]->what()),
              "t.s:2: Syntax error: Label-only line without associated instruction line "
              "(expected after the label-only line):   end:   ");
    EXPECT_EQ(parser.parseTimer->count, 2u);
    EXPECT_TRUE(parser.parseTimer->stopped);

    parser.start();
    EXPECT_FALSE(parser.pendingLabel);
    EXPECT_EQ(parser.lines, 0);
    AsmErrorList fresh;
    parser.finish(fresh);
    EXPECT_TRUE(fresh.empty());
}

TEST_F(ParserFixture, DuplicateLabelDropsTheSecondInstruction) {
    feed("a: nop");
    feed("nop");
    feed("a: add R1, R2");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors[0]->errorType(), "Duplicate address label error");
    EXPECT_EQ(errors[0]->numberOfErrorSources(), 2u);
    EXPECT_EQ(std::string(errors[0]->what()),
              "t.s:1:0: Duplicate address label: a. : \na: nop\n^\n"
              "t.s:3:0: Duplicate address label: a. : \na: add R1, R2\n^\n");
    EXPECT_EQ(instructions().size(), 2u);

    // A pending label that is defined already: the instruction is dropped and
    // the pending label is consumed all the same.
    feed("a:");
    feed("mov R1");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1]->lineNr(), 1);
    EXPECT_FALSE(parser.pendingLabel);
    EXPECT_EQ(instructions().size(), 2u);
}

TEST_F(ParserFixture, SymbolsAreSubstitutedBeforeInterpretation) {
    auto def = feed(".DEF N 5   # five");
    feed(".DEF LBL @loop");
    feed(".DEF REG R3");
    feed("loop: mov $N, $REG, $LBL");
    EXPECT_EQ(allErrors(), "");
    auto i = onlyInstruction();
    ASSERT_TRUE(i);
    ASSERT_EQ(i->arguments.size(), 3u);
    const AsmArgument& n = *i->arguments[0];
    EXPECT_EQ(n.text.toString(), "5");
    EXPECT_EQ(n.text.line, def);
    EXPECT_EQ(n.symbol.toString(), "N");
    EXPECT_EQ(n.value, 5);
    EXPECT_EQ(n.registerName, '#');
    EXPECT_EQ(i->arguments[1]->registerName, 'R');
    EXPECT_EQ(i->arguments[1]->value, 3);
    EXPECT_EQ(i->arguments[2]->label.toString(), "loop");
    EXPECT_EQ(parser.directives, 3);
    ASSERT_EQ(parser.symbols.count("N"), 1u);
    EXPECT_EQ(parser.symbols.at("N").lineNr, 1);
    EXPECT_EQ(parser.symbols.at("N").value.toString(), "5");
    // Directives are not stored by default.
    EXPECT_EQ(parser.container.typeCount(AsmType::DIRECTIVE), 0u);
}

TEST_F(ParserFixture, SymbolErrors) {
    feed("mov $N"); // used before its definition
    feed(".DEF N 1 2   # c");
    feed("mov $N");   // the value is reported on the defining line
    feed(".DEF N 7"); // duplicate: the first definition stays
    feed(".DEF n 1");
    feed("mov $n, $X");
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_STREQ(errors[0]->errorType(), "Unresolved symbol error");
    EXPECT_EQ(errors[0]->lineNr(), 1);
    EXPECT_EQ(std::string(errors[1]->what()),
              "t.s:2:7: Syntax error: Invalid argument: \n.DEF N 1 2   # c\n-------^^^\n");
    EXPECT_STREQ(errors[2]->errorType(), "Duplicate symbol error");
    EXPECT_EQ(std::string(errors[2]->what()),
              "t.s:2:5: Duplicate symbol: N. : \n.DEF N 1 2   # c\n-----^\n"
              "t.s:4:5: Duplicate symbol: N. : \n.DEF N 7\n-----^\n");
    EXPECT_EQ(parser.symbols.at("N").value.toString(), "1 2");
    EXPECT_STREQ(errors[3]->errorType(), "Unresolved symbol error");
    EXPECT_EQ(errors[3]->lineNr(), 6);

    // A new parse forgets the symbols.
    parser.start();
    AsmErrorList again;
    parser.processLine(numbered("mov $n", 1), again);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_STREQ(again[0]->errorType(), "Unresolved symbol error");
}

// Errors about a name point at the name where it is written: a label on a
// line of its own is named there, not on the line of the instruction it
// labels; a name is not looked for elsewhere in the line.
TEST(AsmParserSource, NameErrorsPointWhereTheNameIsWritten) {
    using namespace std::string_literals;
    struct Case {
        std::string source;
        int lineNr;
        std::string report;
    };
    const Case cases[] = {
        {"a:\nnop\na: stop\n", 1,
         "d.s:1:0: Duplicate address label: a. : \na:\n^\n"
         "d.s:3:0: Duplicate address label: a. : \na: stop\n^\n"},
        {"a: nop\n  a:   # again\n\n  stop\n", 1,
         "d.s:1:0: Duplicate address label: a. : \na: nop\n^\n"
         "d.s:2:2: Duplicate address label: a. : \n  a:   # again\n--^\n"},
        {"  lbl:\n.DEF x 1\n  nop\n lbl:\n  stop\n", 1,
         "d.s:1:2: Duplicate address label: lbl. : \n  lbl:\n--^^^\n"
         "d.s:4:1: Duplicate address label: lbl. : \n lbl:\n-^^^\n"},
        // The label's text also stands in the labelled line's mnemonic.
        {"nop\nop:\nloop R1, @op\nop: stop\n", 2,
         "d.s:2:0: Duplicate address label: op. : \nop:\n^^\n"
         "d.s:4:0: Duplicate address label: op. : \nop: stop\n^^\n"},
        // The name also stands inside the keyword.
        {".DEF EF 1\n.DEF EF 2\n", 1,
         "d.s:1:5: Duplicate symbol: EF. : \n.DEF EF 1\n-----^^\n"
         "d.s:2:5: Duplicate symbol: EF. : \n.DEF EF 2\n-----^^\n"},
        {"move $move, R1\n", 1,
         "d.s:1:6: Unresolved symbol: move. : \nmove $move, R1\n------^^^^\n"},
        {"R1: move $R, R1\n", 1,
         "d.s:1:10: Unresolved symbol: R. : \nR1: move $R, R1\n----------^\n"},
        // The whole text of the integer error, past the NUL of the value; the
        // excerpt shows the NUL as \0.
        {".DEF X R5\0junk\nmove 1, $X\n"s, 1,
         "d.s:1:8: Syntax error: AsmParser: Invalid Register argument: Value '5\0junk' is not a "
         "valid integer. Invalid character '\0' at index 1: \n.DEF X R5\\0junk\n--------^^^^^^^\n"s},
    };
    for (const Case& c : cases) {
        StringSourceReader reader(c.source, "d.s");
        AsmParser parser;
        AsmErrorList errors;
        parser.parse(reader, errors);
        ASSERT_EQ(errors.size(), 1u) << c.source;
        EXPECT_EQ(errors[0]->text(), c.report) << c.source;
        EXPECT_EQ(errors[0]->lineNr(), c.lineNr) << c.source;
    }
}

TEST(AsmParserDirectives, TableAndKeptDirectives) {
    AsmSyntax syntax;
    syntax.ignoredDirectives.push_back(".ORG");
    syntax.symbolDirectives.push_back(".SET");
    AsmParser parser(syntax);
    EXPECT_EQ(parser.directiveProcessors.size(), 4u);
    EXPECT_TRUE(parser.directiveProcessors.at(AsmToken(".SET"))->isSymbol());
    EXPECT_FALSE(parser.directiveProcessors.at(AsmToken(".ORG"))->isSymbol());
    EXPECT_FALSE(parser.directiveProcessors.at(AsmToken(""))->isSymbol());

    parser.config.keptDirectives.insert(".ORG");
    parser.start();
    AsmErrorList errors;
    parser.processLine(numbered(".ORG base 100", 1), errors);
    parser.processLine(numbered(".SET two 2", 2), errors);
    parser.processLine(numbered("mov $two", 3), errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(parser.container.statements.size(), 2u);
    auto directive = std::dynamic_pointer_cast<AsmDirective>(parser.container.statements[0]);
    ASSERT_TRUE(directive);
    EXPECT_EQ(directive->keyword.toString(), ".ORG");
    EXPECT_EQ(directive->name.toString(), "base");
    EXPECT_EQ(directive->value.toString(), "100");
    EXPECT_EQ(parser.symbols.count("base"), 0u);
    EXPECT_EQ(parser.container.typeCount(AsmType::DIRECTIVE), 1u);

    // A later registration replaces the earlier one.
    parser.ignoreDirective(".SET");
    EXPECT_FALSE(parser.directiveProcessors.at(AsmToken(".SET"))->isSymbol());
    EXPECT_EQ(parser.directiveProcessors.size(), 4u);
}

TEST(AsmParserComments, TheSyntaxNamesTheLineCommentCharacter) {
    AsmSyntax syntax;
    syntax.lineCommentChar = '%';
    AsmParser parser(syntax);
    parser.start();
    AsmErrorList errors;
    parser.processLine(numbered("  % a comment line", 1), errors);
    EXPECT_TRUE(errors.empty());
    parser.processLine(numbered("; no longer one", 2), errors);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]->lineNr(), 2);
    EXPECT_NE(std::string(errors[0]->what()).find("spurious characters after statement"),
              std::string::npos)
        << errors[0]->what();
    EXPECT_TRUE(parser.container.statements.empty());
}

TEST(AsmParserComments, KeptOnlyAfterArgumentsAndValues) {
    AsmParser parser;
    parser.config.keepComments = true;
    parser.config.keepAllDirectives = true;
    parser.start();
    AsmErrorList errors;
    int nr = 0;
    auto feed = [&](const std::string& text) {
        parser.processLine(std::make_shared<const SourceLine>(text, ++nr), errors);
    };
    feed("add R1, R2   #  note: [x] ");
    feed(".DEF N 5 # five");
    feed("nop # lost");
    feed("lbl: # lost too");
    feed("mov R1 # first\n  # second\n#third");
    feed("mov R2 # alone\n  nop");
    ASSERT_TRUE(errors.empty()) << errors.toStringFullReport("t");
    const auto& s = parser.container.statements;
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0]->comment.toString(), "note: [x] ");
    EXPECT_EQ(s[1]->comment.toString(), "five");
    EXPECT_TRUE(s[2]->comment.empty());
    EXPECT_EQ(s[3]->comment.toString(), "first\n  # second\n#third");
    EXPECT_EQ(std::static_pointer_cast<AsmInstruction>(s[3])->addressLabel.toString(), "lbl");
    EXPECT_EQ(s[4]->comment.toString(), "alone");
}

TEST(AsmParserLog, SymbolLinesOnlyAtVerbose) {
    const int saved = Logging::getLogLevel();
    for (int level : {7, 8}) {
        Logging::setLogLevel(level);
        AsmParser parser;
        parser.start();
        AsmErrorList errors;
        captureStderr();
        parser.processLine(numbered(".DEF N 5", 3), errors);
        parser.processLine(numbered("mov $N", 4), errors);
        const std::string log = capturedStderr();
        const bool verbose = level == 8;
        EXPECT_EQ(log.find("parse: line 3, found symbol: N = '5'") != std::string::npos, verbose);
        EXPECT_EQ(log.find("parsing: line 4, lookup of symbol 'N' gave value '5'") !=
                      std::string::npos,
                  verbose);
    }
    Logging::setLogLevel(saved);
}

TEST(AsmParserSource, WholeSourceReport) {
    const std::string source = ".DEF N 5\n"
                               "start:\n"
                               "        add R1, R2 R3\n"
                               "        mov $M, R1\n"
                               "        mov $N, R1   # uses N\n"
                               "loop:   jmp @loop\n"
                               "end:\n";
    StringSourceReader reader(source, "prog.s");
    AsmParser parser;
    AsmErrorList errors;
    EXPECT_EQ(parser.parse(reader, errors), 3u);
    EXPECT_EQ(errors.toStringFullReport("assembler"),
              "assembler failed with 3 errors:\n"
              "prog.s:3:19: Syntax error: AsmParser: spurious characters after statement: \n"
              "        add R1, R2 R3\n"
              "-------------------^^\n"
              "\n"
              "prog.s:4:13: Unresolved symbol: M. : \n"
              "        mov $M, R1\n"
              "-------------^\n"
              "\n"
              "prog.s:7: Syntax error: Label-only line without associated instruction line "
              "(expected after the label-only line): end:");
    EXPECT_EQ(errors.toStringOneLineSummary("assembler"), "assembler failed with 3 errors");
    EXPECT_EQ(parser.lines, 7);
    EXPECT_EQ(parser.container.typeCount(AsmType::INSTRUCTION), 2u);
    auto first = std::dynamic_pointer_cast<AsmInstruction>(parser.container.statements[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->addressLabel.toString(), "start");
    EXPECT_EQ(parser.parseTimer->count, 7u);

    // A clean source after it starts from scratch.
    StringSourceReader clean("a: nop\n\njmp @a\n", "clean.s");
    AsmErrorList none;
    EXPECT_EQ(parser.parse(clean, none), 0u);
    EXPECT_EQ(none.toStringFullReport("assembler"), "assembler finished successfully");
    EXPECT_EQ(parser.container.statements.size(), 2u);
    EXPECT_TRUE(parser.symbols.empty());
}

TEST(AsmParserSource, ReaderThatCannotStartAndEmptySource) {
    AsmParser parser;
    AsmErrorList errors;
    CharArraySourceReader none;
    EXPECT_EQ(parser.parse(none, errors), 1u);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors[0]->errorType(), "AsmRuntimeError");
    EXPECT_STREQ(errors[0]->what(), "Empty character array source");

    AsmErrorList empty;
    StringSourceReader blank("");
    EXPECT_EQ(parser.parse(blank, empty), 0u);
    EXPECT_TRUE(empty.empty());
}

} // namespace

// Statements and operands are made in a pool of the parser that starts over
// with every start(): one held by a caller stays whole through that and
// through the parser's end, and the next parse does not write over it.
TEST(AsmParserPoolTest, StatementsHeldByACallerOutliveTheParser) {
    std::shared_ptr<AsmInstruction> held;
    {
        AsmParser parser;
        AsmErrorList errors;
        parser.start();
        parser.processLine(numbered("  play 1, 2, 3 # kept", 1), errors);
        held = std::dynamic_pointer_cast<AsmInstruction>(parser.container.statements.at(0));
        parser.start();
        for (int i = 0; i < 2000; ++i)
            parser.processLine(numbered("  move 7, R9", i + 1), errors);
        EXPECT_TRUE(errors.empty());
    }
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->mnemonic, "play");
    ASSERT_EQ(held->arguments.size(), 3u);
    EXPECT_EQ(held->arguments[2]->text, "3");
    EXPECT_EQ(held->arguments[2]->value, 3);
    EXPECT_EQ(held->sourceLine->text, "  play 1, 2, 3 # kept");
}
