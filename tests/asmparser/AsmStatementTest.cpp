// Statement kinds, comments taken over by statements, and clearing.
#include <gtest/gtest.h>

#include <memory>

#include "asmparser/AsmDirective.h"
#include "asmparser/AsmInstruction.h"
#include "asmparser/AsmStatement.h"

namespace {

std::shared_ptr<const SourceLine> lineOf(const std::string& text, int nr) {
    return std::make_shared<const SourceLine>(text, nr);
}

TEST(AsmStatement, SetCommentTakesKindAndNumberedLine) {
    AsmStatement s;
    EXPECT_EQ(s.type, AsmType::EMPTY);
    EXPECT_EQ(static_cast<int>(s.type), 1);
    EXPECT_FALSE(s.sourceLine);
    auto line7 = lineOf("# hello", 7);
    s.setComment(AsmToken(line7, 2));
    EXPECT_EQ(s.type, AsmType::COMMENT_ONLY);
    EXPECT_EQ(s.sourceLine, line7);
    EXPECT_EQ(s.sourceString(), "# hello");

    AsmStatement unnumbered;
    unnumbered.setComment(AsmToken("plain"));
    EXPECT_EQ(unnumbered.type, AsmType::COMMENT_ONLY);
    EXPECT_FALSE(unnumbered.sourceLine);

    auto line3 = lineOf("nop # c", 3);
    AsmInstruction instruction(AsmToken(line3, 0, 3));
    instruction.setComment(AsmToken(line7, 2));
    EXPECT_EQ(instruction.type, AsmType::INSTRUCTION);
    EXPECT_EQ(instruction.sourceLine, line3);

    AsmStatement zero(lineOf("text", 0), AsmType::COMMENT_ONLY);
    EXPECT_EQ(zero.sourceString(), "");
}

TEST(AsmStatement, InstructionConstructionAndClear) {
    auto line = lineOf("start: mov 5, R2", 4);
    AsmInstruction instruction(AsmToken(line, 7, 3), AsmToken(line, 0, 5));
    EXPECT_EQ(instruction.type, AsmType::INSTRUCTION);
    EXPECT_EQ(instruction.sourceLine, line);
    EXPECT_TRUE(instruction.mnemonic == "mov");
    EXPECT_TRUE(instruction.addressLabel == "start");
    EXPECT_TRUE(instruction.comment.empty());
    EXPECT_EQ(instruction.address, ~uint64_t(0));
    EXPECT_FALSE(instruction.hasAddress);
    EXPECT_GE(instruction.arguments.capacity(), 6u);

    instruction.arguments.push_back(std::make_shared<AsmArgument>(AsmToken(line, 11, 1)));
    instruction.address = 3;
    instruction.hasAddress = true;
    instruction.clear();
    EXPECT_EQ(instruction.type, AsmType::EMPTY);
    EXPECT_FALSE(instruction.sourceLine);
    EXPECT_TRUE(instruction.arguments.empty());
    EXPECT_TRUE(instruction.mnemonic.empty());
    EXPECT_EQ(instruction.address, ~uint64_t(0));
    EXPECT_FALSE(instruction.hasAddress);

    EXPECT_EQ(AsmInstruction().type, AsmType::EMPTY);
    AsmInstruction labelOnly(line, AsmType::LABEL_ONLY);
    EXPECT_EQ(labelOnly.type, AsmType::LABEL_ONLY);
    EXPECT_EQ(labelOnly.sourceLine, line);

    AsmDirective directive(line, AsmToken(".DEF"));
    EXPECT_EQ(directive.type, AsmType::DIRECTIVE);
    directive.name = "N";
    directive.clear();
    EXPECT_EQ(directive.type, AsmType::EMPTY);
    EXPECT_TRUE(directive.keyword.empty());
    EXPECT_TRUE(directive.name.empty());

    AsmArgument argument(AsmToken("R1"));
    EXPECT_TRUE(argument.text == "R1");
    EXPECT_EQ(argument.registerName, 0);
    EXPECT_FALSE(argument.hasValue);
    EXPECT_EQ(argument.value, 0);
}

} // namespace
