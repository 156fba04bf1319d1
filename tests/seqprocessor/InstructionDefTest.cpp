// Instruction definitions and the variants of one mnemonic: signatures, the
// field checks of a definition and the printed form.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "seqprocessor/SeqArgumentTable.h"
#include "seqprocessor/SeqInstructionDef.h"
#include "seqprocessor/SeqInstructionVariations.h"
#include "tests/support/ExitOf.h"

// Fields A and B are disjoint, C overlaps B.
class InstructionDefTest : public ::testing::Test {
protected:
    SeqArgumentTable table{{{0, "A", 5, 0}, {1, "B", 11, 6}, {2, "C", 13, 10}, {3, "TOP", 63, 59}},
                           {
                               {0, "ra", "R", 0, 0, 63},
                               {1, "ib", "", 1, 0, -1},
                               {2, "rb", "R", 1, 0, 63},
                               {3, "ic", "", 2, 0, -1},
                           }};
    std::shared_ptr<SeqArgument const> arg(uint32_t id) { return table.findById(id); }
};

TEST(SeqInstructionDefSignature, PiecesPerOperandKind) {
    struct Case {
        const char* prefix;
        const char* signature;
    };
    const Case cases[] = {
        {"R", "R#"}, {"RX", "RX#"}, {"r", "r#"}, {"", "#"}, {"#", "#"}, {"1", "#"},
    };
    SeqFieldTable fields{{0, "F", 7, 0}};
    for (const Case& c : cases) {
        auto argument = std::make_shared<SeqArgument>();
        argument->field = fields.findById(0);
        argument->id = 0;
        argument->name = "x";
        argument->registerPrefix = c.prefix;
        SeqInstructionDef def(1, "op", 0);
        def.addArgument(argument);
        EXPECT_EQ(def.signature.text, c.signature) << "prefix '" << c.prefix << "'";
    }

    SeqInstructionDef::Signature signature;
    EXPECT_EQ(signature.toPrettyString(), "");
    signature.addRegisterArg('R');
    signature.addImmediateArg();
    signature.addRegisterArg(std::string("Q"));
    EXPECT_EQ(signature.toPrettyString(), "R#,#,Q#");
    EXPECT_EQ(signature.argumentCount, 3);
    std::ostringstream os;
    os << signature;
    EXPECT_EQ(os.str(), "R#,#,Q#");
}

TEST_F(InstructionDefTest, ArgumentsBuildSignatureAndFieldTable) {
    SeqInstructionDef def(4, "jge", 1);
    def.addArgument(arg(0));
    def.addArgument(nullptr); // ignored
    def.addArgument(arg(1));
    EXPECT_EQ(def.signature.text, "R#,#");
    EXPECT_EQ(def.signature.argumentCount, 2);
    EXPECT_EQ(def.arguments.size(), 2u);
    EXPECT_EQ(def.fields.count, 2u);
    EXPECT_EQ(def.fields.findByName("B").get(), table.fields.findById(1).get());
    EXPECT_EQ(&def.getArg(1), arg(1).get());

    std::ostringstream os;
    os << def;
    EXPECT_EQ(os.str(), "jge ra(R#), ib(#)");
    std::ostringstream bare;
    bare << SeqInstructionDef(2, "nop", 0);
    EXPECT_EQ(bare.str(), "nop");
}

TEST_F(InstructionDefTest, TwoArgumentsWritingOneFieldNameTheInstruction) {
    SeqInstructionDef def(7, "dup", 0);
    def.addArgument(arg(0));
    def.addArgument(arg(1));
    try {
        def.addArgument(arg(2));
        FAIL() << "no error";
    } catch (const SeqProcDuplicateError& error) {
        EXPECT_STREQ(error.what(), "Instruction \"dup\" has different arguments writing into the "
                                   "same field:\nadding argument \"rb\" with field=B (id=1)"
                                   "\nExisting arguments and fields:"
                                   "\n  ra: field=A (id=0)\n  ib: field=B (id=1)"
                                   "\n  rb: field=B (id=1)");
    }
    // The refused argument stays in the definition; the set discards such a definition.
    EXPECT_EQ(def.signature.text, "R#,#,R#");
    EXPECT_EQ(def.fields.count, 2u);
}

TEST_F(InstructionDefTest, OverlappingFieldsFoundOnlyByValidate) {
    SeqInstructionDef def(3, "ovl", 0);
    def.addArgument(arg(0));
    def.addArgument(arg(1));
    def.addArgument(arg(3));
    try {
        def.validateFields({table.fields.findById(3)});
        FAIL() << "no error";
    } catch (const SeqProcInstructionTableError& error) {
        EXPECT_STREQ(error.what(), "Instruction \"ovl\" has overlapping field bit patterns of "
                                   "fields 'B'' and 'C'");
    }

    // Base fields come first in the pairing.
    SeqInstructionDef clash(3, "base", 0);
    clash.addArgument(arg(0));
    try {
        clash.validateFields({table.fields.findById(3), table.fields.findById(0)});
        FAIL() << "no error";
    } catch (const SeqProcInstructionTableError& error) {
        EXPECT_STREQ(error.what(), "Instruction \"base\" has overlapping field bit patterns of "
                                   "fields 'A'' and 'A'");
    }

    SeqInstructionDef single(3, "one", 0);
    single.addArgument(arg(3));
    EXPECT_NO_THROW(single.validateFields({}));
}

TEST_F(InstructionDefTest, GetArgBeyondTheLastIsABug) {
    SeqInstructionDef def(3, "two", 0);
    def.addArgument(arg(0));
    def.addArgument(arg(1));
    EXPECT_EQ(def.getArg(1).name, "ib");
    EXPECT_TRUE(
        exitedWith(endOf([&] { def.getArg(2); }), 1,
                   "THROW_BUG: file='seqprocessor/SeqInstructionDef.cpp', line=[0-9]+, "
                   "function='getArg', error='Argument number 2 of instruction two is too large "
                   "for 2 arguments'"));
}

TEST_F(InstructionDefTest, VariationsKeyedBySelectAndSignature) {
    SeqInstructionVariations group;
    auto immediate = std::make_shared<SeqInstructionDef>(9, "sub", 1);
    immediate->addArgument(arg(1));
    group.add(immediate);
    EXPECT_EQ(group.opcode(), 9u);
    EXPECT_EQ(group.mnemonic(), "sub");

    auto reg = std::make_shared<SeqInstructionDef>(9, "sub", 0);
    reg->addArgument(arg(2));
    group.add(reg);
    EXPECT_EQ(group.findById(0), reg);
    EXPECT_EQ(group.findByName("#"), immediate);

    // Same signature with a new select value, same select with a new signature.
    auto sameSignature = std::make_shared<SeqInstructionDef>(9, "sub", 2);
    sameSignature->addArgument(arg(1));
    EXPECT_THROW(group.add(sameSignature), SeqProcDuplicateError);
    auto sameSelect = std::make_shared<SeqInstructionDef>(9, "sub", 1);
    EXPECT_THROW(group.add(sameSelect), SeqProcDuplicateError);
    EXPECT_THROW(group.add(std::make_shared<SeqInstructionDef>()), SeqProcUninitializedError);
    EXPECT_EQ(group.count, 2u);

    // The empty signature is a name: a second variant without arguments collides.
    SeqInstructionVariations bare;
    bare.add(std::make_shared<SeqInstructionDef>(1, "stop", 0));
    EXPECT_EQ(bare.findByName("")->select, 0u);
    EXPECT_THROW(bare.add(std::make_shared<SeqInstructionDef>(1, "stop", 1)),
                 SeqProcDuplicateError);
}

TEST(SeqInstructionVariations, EmptyGroupIsABug) {
    SeqInstructionVariations group;
    EXPECT_FALSE(SeqInstructionVariations::OpcodeMnemonicFunc::isInitialized(group));
    EXPECT_TRUE(exitedWith(endOf([&] { group.opcode(); }), 1,
                           "function='opcode', error='Requesting opcode from empty "
                           "SeqInstructionVariations'"));
    EXPECT_TRUE(exitedWith(endOf([&] { group.mnemonic(); }), 1,
                           "function='mnemonic', error='Requesting mnemonic from empty "
                           "SeqInstructionVariations'"));
}
