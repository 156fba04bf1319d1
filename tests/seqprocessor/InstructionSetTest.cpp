// Building an instruction set from records: grouping by mnemonic, every
// refusal with its text, the base fields, and sharing between copies.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "seqprocessor/SeqInstructionSet.h"
#include "tests/support/ExitOf.h"

template <class Action> static std::string tableErrorText(Action action) {
    try {
        action();
    } catch (const SeqProcInstructionTableError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no SeqProcInstructionTableError";
    return "";
}

// A small set: opcode bits 15-12, select bit 11, registers in bits 3-0 and 7-4, an
// immediate in bits 10-4.
class InstructionSetTest : public ::testing::Test {
protected:
    static SeqInstructionSet makeSet() {
        return SeqInstructionSet(
            "Small", 2, 3, 4, 3,
            {{0, "RA", 3, 0},
             {1, "RB", 7, 4},
             {2, "IMM", 10, 4},
             {3, "SEL", 11, 11},
             {4, "OPC", 15, 12}},
            {{0, "ra", "R", 0, 0, 15}, {1, "rb", "R", 1, 0, 15}, {2, "imm", "", 2, 0, -1}},
            {{1, "mov", 1, {2, 0}}, {1, "mov", 0, {1, 0}}, {2, "halt", 0, {}}});
    }
    SeqInstructionSet set = makeSet();
};

TEST_F(InstructionSetTest, BuildsGroupsByMnemonic) {
    unsigned short major = 0, minor = 0;
    set.getVersion(major, minor);
    EXPECT_EQ(major, 2);
    EXPECT_EQ(minor, 3);
    EXPECT_EQ(set.count, 2u);
    EXPECT_EQ(set.findByName("mov")->count, 2u);
    EXPECT_EQ(set.opcodeField->name, "OPC");
    EXPECT_EQ(set.selectField->name, "SEL");
    EXPECT_EQ(set.find(1, 0), set.find("mov", "R#,R#"));
    EXPECT_EQ(set.find(1, 1)->signature.text, "#,R#");
    EXPECT_EQ(set.find("halt", "")->opcode, 2u);
    EXPECT_FALSE(set.find("mov", "R#"));
    EXPECT_FALSE(set.find("MOV", "R#,R#"));
    EXPECT_FALSE(set.find(2, 1));
    EXPECT_FALSE(set.find(7, 0));
    EXPECT_NO_THROW(set.validate());

    std::ostringstream os;
    os << set;
    EXPECT_EQ(os.str(), "mov rb(R#), ra(R#)\nmov imm(#), ra(R#)\nhalt\n");
}

TEST_F(InstructionSetTest, RefusalsLeaveTheSetUnchanged) {
    struct Case {
        SeqInstructionInit init;
        const char* text;
    };
    const Case cases[] = {
        {{1, "mov", 1, {1, 0}},
         "Instruction with opcode=1 mnemonic=\"mov\" is already defined for select=1 "
         "signature=\"R#,R#\""},
        {{1, "mov", 2, {2, 0}},
         "Instruction with opcode=1 mnemonic=\"mov\" is already defined for select=2 "
         "signature=\"#,R#\""},
        {{3, "mov", 2, {}},
         "Instruction with mnemonic \"mov\" is defined with different "
         "opcodes: 1 and 3"},
        {{2, "stop", 1, {}},
         "Instruction with opcode 2 is defined with different mnemonics: "
         "\"halt\" and \"stop\""},
        {{5, "jmp", 0, {0, 3}}, "Instruction jmp (opcode=5 refers to non-existing Argument ID=3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(tableErrorText([&] { set.add(c.init); }), c.text);
        EXPECT_EQ(set.count, 2u);
        EXPECT_EQ(set.findByName("mov")->count, 2u);
        EXPECT_EQ(set.findByName("halt")->count, 1u);
        EXPECT_FALSE(set.findByName("stop"));
        EXPECT_FALSE(set.findByName("jmp"));
    }
    // Two arguments writing one field: the definition's own error passes through.
    EXPECT_THROW(set.add(SeqInstructionInit{6, "both", 0, {0, 0}}), SeqProcDuplicateError);
    EXPECT_FALSE(set.findByName("both"));
    // A huge opcode or select is refused, not allocated.
    EXPECT_THROW(set.add(SeqInstructionInit{0xFFFFFFFF, "huge", 0, {}}),
                 SeqProcInstructionTableError);
    EXPECT_THROW(set.add(SeqInstructionInit{1, "mov", 0x7FFFFFFF, {0}}),
                 SeqProcInstructionTableError);
    EXPECT_EQ(set.count, 2u);
}

TEST_F(InstructionSetTest, ListAddKeepsRecordsBeforeTheFailure) {
    EXPECT_THROW(set.add({{6, "inc", 0, {0}}, {7, "dec", 0, {9}}, {8, "neg", 0, {0}}}),
                 SeqProcInstructionTableError);
    EXPECT_TRUE(set.findByName("inc"));
    EXPECT_FALSE(set.findByName("dec"));
    EXPECT_FALSE(set.findByName("neg"));
}

TEST_F(InstructionSetTest, ConstructorRefusesBadTables) {
    EXPECT_EQ(tableErrorText([] {
                  SeqInstructionSet("x", 1, 0, 9, 0, {{0, "F", 3, 0}}, {}, {});
              }),
              "Opcode SeqField with Id=9 not found");
    EXPECT_EQ(tableErrorText([] {
                  SeqInstructionSet("x", 1, 0, 0, 8, {{0, "F", 3, 0}}, {}, {});
              }),
              "Select SeqField with Id=8 not found");
    EXPECT_THROW(SeqInstructionSet("x", 1, 0, 0, 0, {{0, "F", 3, 0}, {1, "F", 5, 4}}, {}, {}),
                 SeqProcDuplicateError);

    // A failing setBaseFields keeps both pointers as they were.
    EXPECT_THROW(set.setBaseFields(4, 77), SeqProcInstructionTableError);
    EXPECT_EQ(set.opcodeField->name, "OPC");
    EXPECT_EQ(set.selectField->name, "SEL");
}

TEST_F(InstructionSetTest, ConstructorOverAnArgumentTableSharesIt) {
    SeqInstructionSet other(1, 1, 4, 3, set.argumentTable, {{9, "swap", 0, {0, 1}}});
    EXPECT_EQ(other.argumentTable.findById(0).get(), set.argumentTable.findById(0).get());
    EXPECT_EQ(other.find(9, 0)->arguments[1].get(), set.argumentTable.findById(1).get());
}

TEST_F(InstructionSetTest, ValidateFindsRangeAndOverlapFaults) {
    SeqInstructionDef wide(16, "wide", 0);
    EXPECT_EQ(tableErrorText([&] { set.validateFields(wide); }),
              "Instruction \"wide\" has opcode 16 out of range (0,15)");
    SeqInstructionDef sel(3, "sel", 2);
    EXPECT_EQ(tableErrorText([&] { set.validateFields(sel); }),
              "Instruction \"sel\" has select 2 out of range (0,1)");

    // Overlaps pass the build and are found by validate only.
    set.add(SeqInstructionInit{3, "ovl", 0, {2, 1}});
    EXPECT_EQ(tableErrorText([&] { set.validate(); }),
              "Instruction \"ovl\" has overlapping field bit patterns of fields 'IMM'' and 'RB'");
}

TEST_F(InstructionSetTest, OpcodeAndSelectBitsOfAWord) {
    unsigned long long word = 0xFFFF;
    EXPECT_TRUE(set.writeOpcodeField(word, 0));
    EXPECT_EQ(word, 0x0FFFu);
    EXPECT_TRUE(set.writeOpcodeField(word, 15));
    EXPECT_EQ(word, 0xFFFFu);
    EXPECT_TRUE(set.writeSelectField(word, 0));
    EXPECT_EQ(word, 0xF7FFu); // opcode bits untouched
    word = 0;
    set.writeOpcodeField(word, 1);
    set.writeSelectField(word, 1);
    EXPECT_EQ(word, 0x1800u);
    EXPECT_EQ(set.findForBinary(word | 0x7FF), set.find(1, 1));
    EXPECT_FALSE(set.findForBinary(0x2800)); // halt has no select 1
    EXPECT_FALSE(set.findForBinary(0xF000));

    EXPECT_TRUE(exitedWith(endOf([&] { set.writeOpcodeField(word, 16); }), 1,
                           "file='seqprocessor/SeqInstructionSet.cpp', line=[0-9]+, "
                           "function='writeOpcodeField', error='opcode 16 is out of range 15'"));
    EXPECT_TRUE(exitedWith(endOf([&] { set.writeSelectField(word, 2); }), 1,
                           "function='writeSelectField', error='select 2 is out of range 1'"));
}

TEST(SeqInstructionSetEmpty, WithoutBaseFieldsNothingIsDereferenced) {
    SeqInstructionSet empty;
    EXPECT_EQ(empty.count, 0u);
    EXPECT_FALSE(empty.opcodeField);
    EXPECT_FALSE(empty.findForBinary(0));
    EXPECT_FALSE(empty.find(0, 0));
    EXPECT_FALSE(empty.find("nop", ""));
    std::ostringstream os;
    os << empty;
    EXPECT_EQ(os.str(), "");
    unsigned long long word = 0;
    EXPECT_TRUE(exitedWith(endOf([&] { empty.writeOpcodeField(word, 0); }), 1,
                           "function='writeOpcodeField', error='opcodeField pointer not set'"));
    EXPECT_TRUE(exitedWith(endOf([&] { empty.writeSelectField(word, 0); }), 1,
                           "function='writeSelectField', error='selectField pointer not set'"));
    EXPECT_TRUE(exitedWith(endOf([&] { empty.validateFields(SeqInstructionDef(0, "x", 0)); }), 1,
                           "function='validateFields', error='opcodeField pointer not set'"));
}

TEST(SeqInstructionSetEmpty, NullOrUninitialisedDefinitionIsABug) {
    SeqInstructionSet empty;
    EXPECT_TRUE(exitedWith(endOf([&] { empty.add(std::shared_ptr<SeqInstructionDef>()); }), 1,
                           "function='add', error='Adding null pointer SeqInstructionDef to "
                           "SeqInstructionSet'"));
    EXPECT_TRUE(exitedWith(endOf([&] { empty.add(SeqInstructionDef()); }), 1,
                           "function='add', error='Adding uninitialized SeqInstructionDef to "
                           "SeqInstructionSet'"));
}

TEST_F(InstructionSetTest, CopiesShareGroups) {
    SeqInstructionSet copy(set);
    EXPECT_EQ(copy.findByName("mov").get(), set.findByName("mov").get());
    EXPECT_EQ(copy.opcodeField.get(), set.opcodeField.get());
    // A new variant of a shared mnemonic is seen by both, a new mnemonic only by one.
    copy.add(SeqInstructionInit{1, "mov", 2, {0}});
    EXPECT_TRUE(set.find(1, 2));
    copy.add(SeqInstructionInit{6, "inc", 0, {0}});
    EXPECT_FALSE(set.findByName("inc"));
    EXPECT_TRUE(copy.findByName("inc"));

    // Adding a definition object keeps a copy of it.
    SeqInstructionDef def(7, "dec", 0);
    set.add(def);
    EXPECT_NE(set.find(7, 0).get(), &def);
    auto shared = std::make_shared<SeqInstructionDef>(8, "neg", 0);
    set.add(shared);
    EXPECT_EQ(set.find(8, 0), shared);
}
