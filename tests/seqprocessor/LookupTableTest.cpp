// Lookup tables, fields and arguments: ids and names, refusals and their
// texts, the masks of a field and the accepted range of an argument.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "seqprocessor/SeqArgumentTable.h"
#include "seqprocessor/SeqFieldTable.h"
#include "seqprocessor/SeqIdNameLUT.h"

static std::shared_ptr<SeqField> makeField(uint32_t id, const std::string& name) {
    auto field = std::make_shared<SeqField>();
    field->id = id;
    field->name = name;
    return field;
}

template <class Error, class Action> static std::string thrownText(Action action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    ADD_FAILURE() << "expected exception not thrown";
    return "";
}

TEST(SeqIdNameLUT, SparseIdsLeaveEmptySlots) {
    SeqIdNameLUT<SeqField> table;
    table.add(makeField(3, "C"));
    table.add(makeField(0, "A"));
    EXPECT_EQ(table.count, 2u);
    ASSERT_EQ(table.byId.size(), 4u);
    EXPECT_FALSE(table.byId[1]);
    EXPECT_FALSE(table.byId[2]);
    EXPECT_FALSE(table.findById(1));
    EXPECT_FALSE(table.findById(9));
    EXPECT_EQ(table.findById(3)->name, "C");
    EXPECT_EQ(table.findByName("A")->id, 0u);
    EXPECT_FALSE(table.findByName("B"));
}

TEST(SeqIdNameLUT, ScanByNameFindsExactlyWhatFindByNameFinds) {
    SeqIdNameLUT<SeqField const> table;
    table.add(makeField(0, "A"));
    table.add(makeField(1, "REG0"));
    table.add(makeField(2, "REG1"));
    table.add(makeField(3, "IMM"));
    table.add(makeField(4, ""));
    // Hits, names of the same length, prefixes, extensions, case and the empty name.
    for (const char* name : {"A", "REG0", "REG1", "IMM", "REG2", "REG", "REG00", "reg0", "B", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(table.scanByName(name), table.findByName(name).get());
    }
    EXPECT_EQ(table.scanByName("REG1")->id, 2u);
    // The view's length counts, not a terminating NUL: operands are named by views.
    EXPECT_EQ(table.scanByName(std::string_view("REG0X", 4))->id, 1u);
    EXPECT_EQ(table.scanByName(std::string_view("IMM", 2)), nullptr);
}

TEST(SeqIdNameLUT, UnnamedElementsAreKeptByIdOnly) {
    SeqIdNameLUT<SeqField> table;
    table.add(makeField(1, ""));
    table.add(makeField(2, ""));
    EXPECT_EQ(table.count, 2u);
    EXPECT_TRUE(table.byName.empty());
    EXPECT_FALSE(table.findByName(""));
    EXPECT_TRUE(table.findById(2));
}

TEST(SeqIdNameLUT, DuplicatesNameTheElementAlreadyHeld) {
    SeqIdNameLUT<SeqField> table;
    table.add(makeField(1, "A"));
    table.add(makeField(2, ""));

    struct Case {
        uint32_t id;
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        // The name is tested first, so a repeat of both is reported against the name.
        {5, "A",
         "Duplicate SeqIdNameLUT 8SeqField entry with (id1=1, name1=\"A\")& (id2=5, "
         "name2=\"A\")"},
        {1, "B",
         "Duplicate SeqIdNameLUT 8SeqField entry with (id1=1, name1=\"A\")& (id2=1, "
         "name2=\"B\")"},
        {2, "C", "Duplicate SeqIdNameLUT 8SeqField entry with (id1=2)& (id2=2, name2=\"C\")"},
        {1, "", "Duplicate SeqIdNameLUT 8SeqField entry with (id1=1, name1=\"A\")& (id2=1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(thrownText<SeqProcDuplicateError>([&] { table.add(makeField(c.id, c.name)); }),
                  c.text);
    }
    // Refused elements leave the table as it was.
    EXPECT_EQ(table.count, 2u);
    EXPECT_EQ(table.byId.size(), 3u);
    EXPECT_EQ(table.byName.size(), 1u);
    EXPECT_FALSE(table.findByName("B"));
}

TEST(SeqIdNameLUT, TypeTextIgnoresConst) {
    SeqIdNameLUT<SeqField const> constTable;
    constTable.add(makeField(0, "X"));
    EXPECT_EQ(thrownText<SeqProcDuplicateError>([&] { constTable.add(makeField(0, "Y")); }),
              "Duplicate SeqIdNameLUT 8SeqField entry with (id1=0, name1=\"X\")& (id2=0, "
              "name2=\"Y\")");
}

TEST(SeqIdNameLUT, RefusesNullUninitialisedAndHugeIds) {
    SeqIdNameLUT<SeqField> table;
    EXPECT_EQ(thrownText<SeqProcUninitializedError>([&] { table.add(nullptr); }),
              "Adding nullptr to lookup table.");
    table.add(makeField(0, "A"));
    // 0xFFFFFFFF marks an uninitialised element, not a duplicate of anything.
    EXPECT_EQ(thrownText<SeqProcUninitializedError>([&] { table.add(makeField(0xFFFFFFFF, "A")); }),
              "Adding unitialized element lookup table.");
    // A stray large id must not make the dense id vector allocate gigabytes.
    EXPECT_THROW(table.add(makeField(0xFFFFFFFE, "B")), SeqProcInstructionTableError);
    EXPECT_EQ(table.byId.size(), 1u);
    table.add(makeField(SeqIdNameLUT<SeqField>::maxId, "Top"));
    EXPECT_EQ(table.byId.size(), size_t(SeqIdNameLUT<SeqField>::maxId) + 1);
}

TEST(SeqIdNameLUT, CopiesShareElements) {
    SeqIdNameLUT<SeqField> table;
    table.add(makeField(0, "A"));
    SeqIdNameLUT<SeqField> copy(table);
    copy.add(makeField(1, "B"));
    EXPECT_EQ(copy.findById(0).get(), table.findById(0).get());
    EXPECT_FALSE(table.findById(1));
}

TEST(SeqFieldTable, MasksFromBitRange) {
    struct Case {
        uint32_t msb, lsb;
        uint64_t mask, shiftedMask;
    };
    const Case cases[] = {
        {63, 0, ~0ull, ~0ull},
        {58, 58, 1, 1ull << 58},
        {63, 59, 0x1F, 0x1Full << 59},
        {31, 0, 0xFFFFFFFF, 0xFFFFFFFF},
        {41, 18, 0xFFFFFF, 0xFFFFFFull << 18},
        {0, 0, 1, 1},
    };
    uint32_t id = 0;
    SeqFieldTable table;
    for (const Case& c : cases) {
        const std::string name = "F" + std::to_string(id);
        table.add({{id, name.c_str(), c.msb, c.lsb}});
        auto field = table.findById(id);
        ASSERT_TRUE(field);
        EXPECT_EQ(field->mask, c.mask) << c.msb << ":" << c.lsb;
        EXPECT_EQ(field->shiftedMask, c.shiftedMask) << c.msb << ":" << c.lsb;
        EXPECT_EQ(field->lsb, c.lsb);
        ++id;
    }
}

TEST(SeqFieldTable, RefusesImpossibleBitRanges) {
    SeqFieldTable table{{0, "OK", 7, 0}};
    EXPECT_THROW(table.add({{1, "REVERSED", 3, 4}}), SeqProcInstructionTableError);
    EXPECT_THROW(table.add({{2, "BEYOND", 64, 60}}), SeqProcInstructionTableError);
    EXPECT_THROW(table.add({{3, "FAR", 200, 100}}), SeqProcInstructionTableError);
    EXPECT_EQ(table.count, 1u);
    EXPECT_EQ(table.byId.size(), 1u);
}

TEST(SeqFieldTable, RowsBeforeAFailingRowStay) {
    SeqFieldTable table;
    EXPECT_THROW(table.add({{0, "A", 3, 0}, {1, "B", 7, 4}, {2, "A", 9, 8}, {3, "D", 9, 9}}),
                 SeqProcDuplicateError);
    EXPECT_EQ(table.count, 2u);
    EXPECT_FALSE(table.findById(3));
}

TEST(SeqFieldTable, AddingAnotherTableCopiesItsFields) {
    SeqFieldTable source{{0, "A", 3, 0}, {4, "B", 9, 8}};
    SeqFieldTable target;
    target.add(source);
    EXPECT_EQ(target.count, 2u);
    ASSERT_TRUE(target.findById(4));
    EXPECT_NE(target.findById(4).get(), source.findById(4).get());
    EXPECT_EQ(target.findById(4)->shiftedMask, source.findById(4)->shiftedMask);
}

TEST(SeqArgumentTable, MaxBelowMinMeansTheWholeField) {
    SeqArgumentTable table({{0, "W32", 31, 0}, {1, "W16", 57, 42}, {2, "W64", 63, 0}},
                           {
                               {0, "imm", "", 0, 0, -1},
                               {1, "signed", "", 0, -32768, 32767},
                               {2, "count", "", 1, 4, -1},
                               {3, "reg", "R", 1, 0, 63},
                               {4, "wide", "", 2, 0, -1},
                           });
    struct Case {
        uint32_t id;
        int64_t min, max;
    };
    const Case cases[] = {
        {0, 0, 4294967295},
        {1, -32768, 32767},
        {2, 4, 65535},
        {3, 0, 63},
        // Every 64-bit value fits a 64-bit field.
        {4, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()},
    };
    for (const Case& c : cases) {
        auto argument = table.findById(c.id);
        ASSERT_TRUE(argument);
        EXPECT_EQ(argument->min, c.min) << argument->name;
        EXPECT_EQ(argument->max, c.max) << argument->name;
    }
    EXPECT_EQ(table.findByName("reg")->registerPrefix, "R");
    EXPECT_EQ(table.findByName("count")->field.get(), table.fields.findById(1).get());
}

TEST(SeqArgumentTable, RefusesArgumentOfMissingField) {
    SeqArgumentTable table({{0, "A", 3, 0}, {2, "C", 9, 8}}, {{0, "a", "", 0, 0, -1}});
    const char* expected[] = {
        "SeqArgumentTable: Argument with Id=7 (name=\"x\"): could not find SeqField with fieldId=1",
        "SeqArgumentTable: Argument with Id=7 (name=\"x\"): could not find SeqField with fieldId=3",
    };
    const uint32_t missing[] = {1, 3};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(thrownText<SeqProcInstructionTableError>([&] {
                      table.add(SeqArgumentInit{7, "x", "", missing[i], 0, -1});
                  }),
                  expected[i]);
    }
    EXPECT_EQ(table.count, 1u);
    EXPECT_EQ(table.byId.size(), 1u);
}

TEST(SeqArgumentTable, CopiesShareArgumentsAndFields) {
    SeqFieldTable fields{{0, "A", 3, 0}};
    SeqArgumentTable table(fields, {{0, "a", "R", 0, 0, 7}});
    EXPECT_EQ(table.fields.findById(0).get(), fields.findById(0).get());
    SeqArgumentTable copy(table);
    EXPECT_EQ(copy.findById(0).get(), table.findById(0).get());
    EXPECT_EQ(copy.fields.findById(0).get(), fields.findById(0).get());
}
