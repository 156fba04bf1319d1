// Writing statements back as text in the column layout, files, round trips
// through the parser, and the timer report.
#include <gtest/gtest.h>

#include <unistd.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "Logging.h"
#include "asmparser/AsmParser.h"
#include "tests/support/CapturedStderr.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"
#include "utils/StringSourceReader.h"

namespace {

std::string unparseLine(AsmParser& parser, const std::string& text) {
    parser.start();
    AsmErrorList errors;
    parser.processLine(std::make_shared<const SourceLine>(text, 1), errors);
    EXPECT_TRUE(errors.empty()) << errors.toStringFullReport("t");
    std::ostringstream os;
    EXPECT_EQ(parser.unparse(os), 0);
    return os.str();
}

TEST(AsmWriter, InstructionColumns) {
    AsmParser parser;
    parser.config.keepComments = true;
    struct Case {
        const char* source;
        const char* text;
    };
    // clang-format off
    const Case cases[] = {
        {"start: mov 5,R2 # init", "start:  mov         5, R2               #init\n"},
        {"abcdef: nop",            "abcdef: nop\n"},
        {"abcdefg: nop",           "abcdefg: nop\n"},
        {"abcdefghijkl R1",        "        abcdefghijkl R1\n"},
        {"nop",                    "        nop\n"},
        {"add R1, R2, R3, R4, R5, R6 # long",
                                   "        add         R1, R2, R3, R4, R5, R6 #long\n"},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(unparseLine(parser, c.source), c.text) << c.source;

    parser.config.unparseLabels = false;
    parser.config.unparseComments = false;
    EXPECT_EQ(unparseLine(parser, "start: mov 5,R2 # init"), "        mov         5, R2\n");
}

TEST(AsmWriter, AddressAsLabelAndArgumentsWithoutText) {
    AsmParser parser;
    AsmInstruction instruction(AsmToken("nop"));
    instruction.address = 12;
    instruction.hasAddress = true;
    std::ostringstream os;
    int col = 0;
    parser.unparseInstruction(os, instruction, col);
    EXPECT_EQ(os.str(), "12:     nop");
    EXPECT_EQ(col, 11);
    parser.config.addressAsLabel = false;
    std::ostringstream plain;
    col = 0;
    parser.unparseInstruction(plain, instruction, col);
    EXPECT_EQ(plain.str(), "        nop");

    struct Case {
        long long value;
        char letter;
        bool hasValue;
        const char* text;
    };
    // clang-format off
    const Case cases[] = {
        {255, 'R', true, "R255"},  {255, '#', true, "0xff"}, {255, 0, true, "0xff"},
        {-1, 0, true, "0xffffffffffffffff"}, {-7, 'r', true, "r-7"}, {5, 'R', false, "??"},
    };
    // clang-format on
    for (const Case& c : cases) {
        AsmArgument a;
        a.value = c.value;
        a.registerName = c.letter;
        a.hasValue = c.hasValue;
        std::ostringstream text;
        int width = 3;
        EXPECT_EQ(AsmParser::unparseArgument(text, a, width), static_cast<int>(strlen(c.text)));
        EXPECT_EQ(text.str(), c.text);
        EXPECT_EQ(width, 3 + static_cast<int>(strlen(c.text)));
        text << 10;
        EXPECT_EQ(text.str(), std::string(c.text) + "10") << "stream left in decimal";
    }
}

TEST(AsmWriter, OtherStatementKinds) {
    AsmParser parser;
    AsmStatement comment(AsmToken("note"));
    auto directiveLine = std::make_shared<const SourceLine>(std::string(".DEF   N    5"), 1);
    AsmDirective directive(directiveLine, AsmToken(directiveLine, 0, 4));
    directive.name = AsmToken(directiveLine, 7, 1);
    directive.value = AsmToken(directiveLine, 12, 1);
    AsmInstruction label(directiveLine, AsmType::LABEL_ONLY);
    label.setAddressLabel(AsmToken("here"));
    label.setComment(AsmToken("c"));

    auto text = [&](const AsmStatement& s) {
        std::ostringstream os;
        parser.unparseStatement(os, s);
        return os.str();
    };
    EXPECT_EQ(text(comment), "#note\n");
    EXPECT_EQ(text(directive), ".DEF N 5\n");
    EXPECT_EQ(text(label), "here:#c\n");
    EXPECT_EQ(text(AsmStatement()), "\n");
    parser.config.unparseCommentLines = false;
    parser.config.unparseDirectives = false;
    EXPECT_EQ(text(comment), "\n");
    EXPECT_EQ(text(directive), "\n");
    parser.config.unparseCommentLines = true;
    parser.config.unparseComments = false;
    EXPECT_EQ(text(comment), "\n");
    EXPECT_EQ(text(label), "here:\n");
    parser.config.unparseLabels = false;
    parser.config.unparseComments = true;
    EXPECT_EQ(text(label), "\n");
}

TEST(AsmWriter, RoundTripGivesTheSameStatements) {
    const std::string source = ".DEF N 0x10  # sixteen\n"
                               "start:\n"
                               "\tadd R1 ,R2,   R3   # sum\n"
                               "loop: mov $N, r4\n"
                               "  jmp @loop\n"
                               "x: nop # end\n";
    auto parsed = [](AsmParser& parser, const std::string& text) {
        parser.config.keepComments = true;
        parser.config.keepAllDirectives = true;
        StringSourceReader reader(text, "r.s");
        AsmErrorList errors;
        EXPECT_EQ(parser.parse(reader, errors), 0u) << errors.toStringFullReport("t");
        std::ostringstream os;
        EXPECT_EQ(parser.unparse(os), 0);
        return os.str();
    };
    AsmParser first;
    AsmParser second;
    const std::string text = parsed(first, source);
    EXPECT_EQ(text, ".DEF N 0x10\n"
                    "start:  add         R1, R2, R3          #sum\n"
                    "loop:   mov         0x10, r4\n"
                    "        jmp         @loop\n"
                    "x:      nop\n");
    EXPECT_EQ(parsed(second, text), text);
    ASSERT_EQ(first.container.statements.size(), second.container.statements.size());
    for (size_t i = 0; i < first.container.statements.size(); ++i) {
        auto a = std::dynamic_pointer_cast<AsmInstruction>(first.container.statements[i]);
        auto b = std::dynamic_pointer_cast<AsmInstruction>(second.container.statements[i]);
        ASSERT_EQ(!a, !b) << i;
        if (!a)
            continue;
        EXPECT_TRUE(a->mnemonic == b->mnemonic) << i;
        EXPECT_TRUE(a->addressLabel == b->addressLabel) << i;
        ASSERT_EQ(a->arguments.size(), b->arguments.size()) << i;
        for (size_t k = 0; k < a->arguments.size(); ++k) {
            EXPECT_EQ(a->arguments[k]->value, b->arguments[k]->value);
            EXPECT_EQ(a->arguments[k]->registerName, b->arguments[k]->registerName);
            EXPECT_TRUE(a->arguments[k]->label == b->arguments[k]->label);
        }
    }
}

// A save says whether it wrote: -1 and the reason on standard error when the
// file cannot be opened or does not take the text, else the count of failed
// statements.
TEST(AsmWriter, SaveUnparsed) {
    const TempFolder folder;
    const std::string& dir = folder.path();
    AsmParser parser;
    parser.start();
    AsmErrorList errors;
    parser.processLine(std::make_shared<const SourceLine>(std::string("start: nop"), 1), errors);
    ASSERT_TRUE(errors.empty());

    struct SaveCase {
        std::string file;
        int result;
        std::string err;
        std::string text; // what the file holds afterwards
    };
    const std::string missing = dir + "/missing/x.s";
    const SaveCase cases[] = {
        {dir + "/x.s", 0, "", "start:  nop\n"},
        {missing, -1, "Could not open file \"" + missing + "\" for writing\n", ""},
        {"/dev/full", -1, "ERROR: could not write file /dev/full\n", ""},
    };
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.file == "/dev/full" && access("/dev/full", W_OK) != 0) {
            std::cout << "/dev/full: skipped, no such device to refuse the text\n";
            continue;
        }
        captureStderr();
        EXPECT_EQ(parser.saveUnparsed(c.file), c.result);
        EXPECT_EQ(capturedStderr(), c.err);
        if (c.result == 0) {
            EXPECT_EQ(readFile(c.file), c.text);
        }
    }

    parser.start();
    const std::string empty = dir + "/empty.s";
    EXPECT_EQ(parser.saveUnparsed(empty), 0);
    std::string text;
    ASSERT_TRUE(readFile(empty, text));
    EXPECT_EQ(text, "");
}

// Written in place (one of two hard links) and refused part-way by the disk:
// the file is emptied again, and the save says so.
TEST(AsmWriter, SaveUnparsedThatFailsInPlaceLeavesTheFileEmpty) {
    enum Outcome { asExpected = 10, reportedSuccess, otherMessage };
    const TempFolder folder;
    folder.write("x.s", std::string(100, 'o') + "\n");
    ASSERT_EQ(link((folder / "x.s").c_str(), (folder / "y.s").c_str()), 0);
    ChildSetup limited;
    limited.fileSizeBytes = 8;
    const ChildEnd end = runInChild(
        [&] {
            AsmParser parser;
            parser.start();
            AsmErrorList errors;
            parser.processLine(std::make_shared<const SourceLine>(std::string("start: nop"), 1),
                               errors);
            // Not gtest's capture, which goes through a file that the limit
            // would cut.
            std::ostringstream captured;
            std::streambuf* const saved = std::cerr.rdbuf(captured.rdbuf());
            const int result = parser.saveUnparsed(folder / "x.s");
            std::cerr.rdbuf(saved);
            const std::string err = captured.str();
            if (result != -1)
                return int(reportedSuccess);
            const std::string name = folder / "x.s";
            return int(err == "ERROR: could not write file " + name + "\nERROR: file " + name +
                                   " was left empty\n"
                           ? asExpected
                           : otherMessage);
        },
        limited);
    EXPECT_EQ(end.status, asExpected);
    EXPECT_EQ(folder.read("x.s"), "");
    EXPECT_EQ(folder.read("y.s"), "");
}

TEST(AsmWriter, TimerReport) {
    const int saved = Logging::getLogLevel();
    AsmParser parser;
    StringSourceReader reader("nop\nnop\n");
    AsmErrorList errors;
    parser.parse(reader, errors);
    Logging::setLogLevel(6);
    captureStderr();
    parser.printTimers();
    std::string log = capturedStderr();
    EXPECT_NE(log.find("parse: "), std::string::npos) << log;
    EXPECT_NE(log.find(" seconds for 2 source lines = "), std::string::npos) << log;
    EXPECT_NE(log.find(" microseconds/source line\n"), std::string::npos) << log;
    Logging::setLogLevel(-1000);
    captureStderr();
    parser.printTimers();
    EXPECT_EQ(capturedStderr(), "");
    Logging::setLogLevel(saved);
}

} // namespace
