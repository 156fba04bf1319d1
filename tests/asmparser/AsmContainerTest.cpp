// Statement container: type counts, instruction addresses and address-label
// resolution with forward and backward references.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "asmparser/AsmContainer.h"
#include "asmparser/AsmParser.h"
#include "tests/support/ExitOf.h"

namespace {

class ContainerFixture : public ::testing::Test {
protected:
    AsmParser parser;
    AsmErrorList errors;
    std::shared_ptr<const std::string> name = std::make_shared<const std::string>("c.s");
    int lineNr = 0;

    void SetUp() override { parser.start(); }

    void source(const std::vector<std::string>& lines) {
        for (const std::string& text : lines)
            parser.processLine(std::make_shared<const SourceLine>(text, ++lineNr, name), errors);
        parser.finish(errors);
    }

    std::shared_ptr<AsmInstruction> instruction(size_t i) const {
        return std::dynamic_pointer_cast<AsmInstruction>(parser.container.statements.at(i));
    }

    const AsmArgument& argument(size_t i, size_t k) const {
        return *instruction(i)->arguments.at(k);
    }
};

TEST_F(ContainerFixture, ForwardBackwardAndOwnReferences) {
    source({"a: jmp @b", "b: jmp @a", "c: jmp @c, @d", "nop", "d: jmp @a"});
    ASSERT_TRUE(errors.empty()) << errors.toStringFullReport("t");
    parser.container.assignInstructionAddresses(errors, 0, 1);
    EXPECT_TRUE(errors.empty()) << errors.toStringFullReport("t");
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(instruction(i)->hasAddress);
        EXPECT_EQ(instruction(i)->address, i);
    }
    EXPECT_EQ(argument(0, 0).value, 1);
    EXPECT_EQ(argument(1, 0).value, 0);
    EXPECT_EQ(argument(2, 0).value, 2);
    EXPECT_EQ(argument(2, 1).value, 4);
    EXPECT_EQ(argument(4, 0).value, 0);
    for (size_t i : {0, 1, 4})
        EXPECT_TRUE(argument(i, 0).hasValue);
    // Resolved operands are written by their value from now on.
    EXPECT_TRUE(argument(0, 0).text.empty());
    EXPECT_EQ(argument(0, 0).label.toString(), "b");
}

// An instruction may come with an address of its own (from another pass or
// another program); a forward reference must still get the address of this
// pass, in the first pass and in a later one.
TEST(AsmContainer, ForwardReferenceIgnoresAnAddressGivenBefore) {
    AsmParser parser;
    AsmErrorList errors;
    parser.start();
    parser.processLine(std::make_shared<const SourceLine>(std::string("jmp @b"), 1), errors);
    parser.processLine(std::make_shared<const SourceLine>(std::string("b: nop"), 2), errors);
    ASSERT_TRUE(errors.empty());
    AsmContainer moved;
    for (const auto& statement : parser.container.statements) {
        auto instruction = std::static_pointer_cast<AsmInstruction>(statement);
        if (!instruction->addressLabel.empty()) {
            instruction->address = 99;
            instruction->hasAddress = true;
        }
        moved.push_back(statement);
    }
    for (size_t start : {0, 10}) {
        moved.assignInstructionAddresses(errors, start, 1);
        ASSERT_TRUE(errors.empty()) << errors.toStringFullReport("t");
        auto jump = std::static_pointer_cast<AsmInstruction>(moved.statements[0]);
        EXPECT_EQ(jump->arguments[0]->value, static_cast<long long>(start + 1)) << start;
    }
}

TEST_F(ContainerFixture, StartAndStepAndStatementsWithoutAddress) {
    parser.config.keepAllDirectives = true;
    source({"nop", ".DEF N 1", "x: nop", "jmp @x"});
    auto comment = std::make_shared<AsmStatement>(AsmToken("kept"));
    parser.container.push_back(comment);
    parser.container.push_back(std::make_shared<AsmStatement>(AsmToken("kept too")));
    EXPECT_EQ(parser.container.typeCount(AsmType::INSTRUCTION), 3u);
    EXPECT_EQ(parser.container.typeCount(AsmType::COMMENT_ONLY), 2u);
    EXPECT_EQ(parser.container.typeCount(AsmType::DIRECTIVE), 1u);
    EXPECT_EQ(parser.container.typeCount(AsmType::EMPTY), 0u);
    parser.container.assignInstructionAddresses(errors, 16, 2);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(instruction(0)->address, 16u);
    EXPECT_EQ(instruction(2)->address, 18u);
    EXPECT_EQ(instruction(3)->address, 20u);
    EXPECT_EQ(argument(3, 0).value, 18);
}

TEST_F(ContainerFixture, UnresolvedReferencesOnePerOperand) {
    source({"nop", "nop", "a: nop", "jmp @loop", "mov @gone, @gone, @a"});
    parser.container.assignInstructionAddresses(errors, 0, 1);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_STREQ(errors[0]->errorType(), "Unresolved address label error");
    EXPECT_EQ(errors[0]->lineNr(), 4);
    EXPECT_EQ(std::string(errors[0]->what()),
              "c.s:4:5: Unresolved address label: loop. : \njmp @loop\n-----^^^^\n");
    EXPECT_EQ(errors[1]->lineNr(), 5);
    EXPECT_EQ(errors[2]->lineNr(), 5);
    EXPECT_EQ(std::string(errors[1]->what()),
              "c.s:5:5: Unresolved address label: gone. : \nmov @gone, @gone, @a\n-----^^^^\n");
    EXPECT_EQ(std::string(errors[2]->what()),
              "c.s:5:12: Unresolved address label: gone. : \nmov @gone, @gone, @a\n"
              "------------^^^^\n");
    EXPECT_FALSE(argument(3, 0).hasValue);
    EXPECT_EQ(argument(4, 2).value, 2);

    // The unresolved references stay in the table: a second run reports them again.
    AsmErrorList again;
    parser.container.assignInstructionAddresses(again, 0, 1);
    EXPECT_EQ(again.size(), 3u);
}

// Each unresolved reference points at its own operand on the referring line:
// the label name after its '@', or the symbol that stands for it.
TEST(AsmContainer, UnresolvedReferencePointsAtItsOperand) {
    struct Case {
        std::vector<std::string> source;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        // The name also stands in the line's own label.
        {{"xa: jmp @a"}, {"c.s:1:9: Unresolved address label: a. : \nxa: jmp @a\n---------^\n"}},
        {{"jge R1, @q, @q"},
         {"c.s:1:9: Unresolved address label: q. : \njge R1, @q, @q\n---------^\n",
          "c.s:1:13: Unresolved address label: q. : \njge R1, @q, @q\n-------------^\n"}},
        {{".DEF T @nowhere", "jmp $T"},
         {"c.s:2:4: Unresolved address label: nowhere. : \njmp $T\n----^^\n"}},
        {{".DEF T @zz", "jge R1, $T, @zz"},
         {"c.s:2:8: Unresolved address label: zz. : \njge R1, $T, @zz\n--------^^\n",
          "c.s:2:13: Unresolved address label: zz. : \njge R1, $T, @zz\n-------------^^\n"}},
    };
    auto name = std::make_shared<const std::string>("c.s");
    for (const Case& c : cases) {
        AsmParser parser;
        AsmErrorList errors;
        parser.start();
        int lineNr = 0;
        for (const std::string& text : c.source)
            parser.processLine(std::make_shared<const SourceLine>(text, ++lineNr, name), errors);
        parser.finish(errors);
        ASSERT_TRUE(errors.empty()) << errors.toStringFullReport("t");
        parser.container.assignInstructionAddresses(errors, 0, 1);
        ASSERT_EQ(errors.size(), c.reports.size()) << c.source.back();
        for (size_t i = 0; i < c.reports.size(); ++i)
            EXPECT_EQ(errors[i]->text(), c.reports[i]) << c.source.back();
    }
}

TEST_F(ContainerFixture, SecondDefinitionIsLeftOutOfTheNumbering) {
    source({"nop", "a: nop", "jmp @a", "nop", "nop", "nop", "nop", "nop", "a: nop", "b: jmp @a"});
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_STREQ(errors[0]->errorType(), "Duplicate address label error");
    auto* duplicate = dynamic_cast<AsmSourceError*>(errors[0].get());
    ASSERT_NE(duplicate, nullptr);
    ASSERT_EQ(duplicate->errorRefs.size(), 2u);
    EXPECT_EQ(duplicate->errorRefs[0].line->lineNr, 2);
    EXPECT_EQ(duplicate->errorRefs[1].line->lineNr, 9);
    ASSERT_EQ(parser.container.statements.size(), 9u);
    parser.container.assignInstructionAddresses(errors, 0, 1);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(instruction(8)->addressLabel.toString(), "b");
    EXPECT_EQ(instruction(8)->address, 8u);
    EXPECT_EQ(argument(8, 0).value, 1);
}

TEST(AsmContainer, ClearEmptiesEverything) {
    AsmContainer container;
    auto line = std::make_shared<const SourceLine>(std::string("x: nop"), 1);
    container.push_back(
        std::make_shared<AsmInstruction>(AsmToken(line, 3, 3), AsmToken(line, 0, 1)));
    EXPECT_EQ(container.labels.size(), 1u);
    EXPECT_THROW(container.push_back(
                     std::make_shared<AsmInstruction>(AsmToken(line, 3, 3), AsmToken(line, 0, 1))),
                 AsmDuplicateAddressLabelError);
    EXPECT_EQ(container.statements.size(), 1u);
    EXPECT_EQ(container.typeCount(AsmType::INSTRUCTION), 1u);
    container.clear();
    EXPECT_TRUE(container.statements.empty());
    EXPECT_TRUE(container.labels.empty());
    EXPECT_EQ(container.typeCount(AsmType::INSTRUCTION), 0u);
}

TEST(AsmContainerDeathTest, LabelOnlyStatementsAreABug) {
    auto line = std::make_shared<const SourceLine>(std::string("x:"), 1);
    EXPECT_TRUE(exitedWith(
        endOf([&] {
            AsmContainer container;
            container.push_back(std::make_shared<AsmInstruction>(line, AsmType::LABEL_ONLY));
        }),
        1,
        "THROW_BUG: file='asmparser/AsmContainer.cpp', line=[0-9]+, function='push_back', "
        "error='Can "
        "not add LABEL_ONLY statements to AsmContainer. Merge with next real instruction before "
        "adding'"));
}

} // namespace
