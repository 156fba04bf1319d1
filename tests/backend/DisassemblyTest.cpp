// Disassembly of instruction words: every variant of the built-in set decoded
// back into its mnemonic and operands and written as a line that assembles to
// the same word; the names given to words that match no variant; and the
// listing of a whole program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BackendTestSupport.h"
#include "asmparser/AsmInstruction.h"
#include "seqprocessor/SeqInstructionDef.h"

namespace {

const uint64_t belowSelect = (uint64_t(1) << 58) - 1; // every argument bit

uint64_t wordOf(uint64_t opcode, uint64_t select) {
    return (opcode << 59) | (select << 58);
}

// The source line of a variant with the given operand values.
std::string sourceLine(const SeqInstructionDef& def, const std::vector<int64_t>& values) {
    std::string line = def.mnemonic;
    for (size_t i = 0; i < values.size(); ++i) {
        line += i == 0 ? " " : ", ";
        line += def.arguments[i]->registerPrefix + std::to_string(values[i]);
    }
    return line;
}

// The lowest value used for an operand. A negative immediate is decoded as
// the bits of its field, which the assembler then refuses (see
// NegativeImmediateDecodedAsFieldBits), so the round trip starts at 0.
int64_t lowest(const SeqArgument& argument) {
    return std::max<int64_t>(argument.min, 0);
}

// Operand values for every variant: all lowest, all highest, and a few rows
// drawn from a fixed seed.
std::vector<std::vector<int64_t>> valueRows(const SeqInstructionDef& def, std::mt19937_64& random) {
    std::vector<std::vector<int64_t>> rows(5);
    for (const auto& argument : def.arguments) {
        const int64_t low = lowest(*argument), high = argument->max;
        rows[0].push_back(low);
        rows[1].push_back(high);
        for (size_t r = 2; r < rows.size(); ++r)
            rows[r].push_back(low + int64_t(random() % uint64_t(high - low + 1)));
    }
    return rows;
}

void expectWritten(const AsmArgument& argument, int64_t value, char registerName,
                   const std::string& what) {
    EXPECT_EQ(argument.value, value) << what;
    EXPECT_TRUE(argument.hasValue) << what;
    EXPECT_EQ(argument.registerName, registerName) << what;
    EXPECT_TRUE(argument.text.empty()) << what;
    EXPECT_TRUE(argument.label.empty()) << what;
    EXPECT_TRUE(argument.symbol.empty()) << what;
}

// The line without its "<address>:" label, as source that assembles again.
std::string withoutAddress(const std::string& line, uint32_t address) {
    const std::string label = std::to_string(address) + ":";
    EXPECT_EQ(line.compare(0, label.size(), label), 0) << line;
    return line.substr(label.size());
}

TEST(Disassembly, EveryVariantRoundTrips) {
    AssemblerRig rig;
    AssemblerRig again;
    std::mt19937_64 random(0x5eed0f);
    std::set<std::string> mnemonics;
    unsigned variants = 0;
    uint32_t address = 0;
    forEachDefinition(rig.processor.instructionSet, [&](const SeqInstructionDef& def) {
        ++variants;
        mnemonics.insert(def.mnemonic);
        for (const std::vector<int64_t>& values : valueRows(def, random)) {
            const std::string line = sourceLine(def, values);
            SCOPED_TRACE(line);
            ASSERT_EQ(rig.assemble(line), 0) << rig.errors.toStringDetails();
            const uint64_t word = rig.word(0);
            address = address * 7 + 3; // addresses of one to ten digits

            AsmInstruction decoded;
            EXPECT_TRUE(rig.assembler.disassemble(word, address, decoded));
            EXPECT_TRUE(decoded.hasAddress);
            EXPECT_EQ(decoded.address, address);
            EXPECT_EQ(decoded.mnemonic.toString(), def.mnemonic);
            ASSERT_EQ(decoded.arguments.size(), def.arguments.size());
            for (size_t i = 0; i < values.size(); ++i) {
                ASSERT_TRUE(decoded.arguments[i]);
                const char letter = def.arguments[i]->registerPrefix.empty() ? 0 : 'R';
                expectWritten(*decoded.arguments[i], values[i], letter,
                              "operand " + std::to_string(i + 1));
            }

            std::ostringstream text;
            EXPECT_TRUE(rig.assembler.disassemble(word, address, text));
            EXPECT_EQ(text.str().find('\n'), std::string::npos) << text.str();
            const std::string source = withoutAddress(text.str(), address);
            ASSERT_EQ(again.assemble(source), 0) << text.str() << "\n"
                                                 << again.errors.toStringDetails();
            EXPECT_EQ(again.word(0), word) << text.str();
        }
    });
    EXPECT_EQ(variants, 54u);
    EXPECT_EQ(mnemonics.size(), 29u);
}

TEST(Disassembly, LineLayout) {
    const struct {
        const char* source;
        uint32_t address;
        const char* line;
    } cases[] = {
        {"nop", 12, "12:     nop"},
        {"jmp 5", 0, "0:      jmp         0x5"},
        {"jmp R63", 1, "1:      jmp         R63"},
        {"add R1, R2, R3", 7, "7:      add         R1, R2, R3"},
        {"move 0xffffffff, R63", 123, "123:    move        0xffffffff, R63"},
        {"set_ph 511, 256, 8191", 9999, "9999:   set_ph      0x1ff, 0x100, 0x1fff"},
        // A mnemonic reaching the operand column, and an address longer than
        // the label column: one blank after each.
        {"acquire_weighed 63, R1, R2, R3, 4", 4095,
         "4095:   acquire_weighed 0x3f, R1, R2, R3, 0x4"},
        {"wait_trigger 65535", 4294967295u, "4294967295: wait_trigger 0xffff"},
    };
    AssemblerRig rig;
    for (const auto& c : cases) {
        ASSERT_EQ(rig.assemble(c.source), 0) << c.source << "\n" << rig.errors.toStringDetails();
        std::ostringstream text;
        EXPECT_TRUE(rig.assembler.disassemble(rig.word(0), c.address, text)) << c.source;
        EXPECT_EQ(text.str(), c.line) << c.source;
    }
}

// Only the bits of an operand's own field make its value.
TEST(Disassembly, BitsOutsideTheOperandFieldsIgnored) {
    const uint64_t jumpAddress = uint64_t(0xfff) << 38;
    const uint64_t addRegisters = (uint64_t(0x3f) << 32) | 0x3f | (uint64_t(0x3f) << 38);
    const struct {
        const char* name;
        uint64_t word;
        const char* mnemonic;
        std::vector<int64_t> values;
    } cases[] = {
        {"nop", wordOf(2, 0) | belowSelect, "nop", {}},
        {"jmp 5", wordOf(3, 1) | (belowSelect & ~jumpAddress) | (uint64_t(5) << 38), "jmp", {5}},
        {"set_mrk 10", wordOf(17, 1) | (belowSelect & ~uint64_t(0xf)) | 0xa, "set_mrk", {10}},
        {"add R1, R2, R3",
         wordOf(8, 0) | (belowSelect & ~addRegisters) | (uint64_t(1) << 32) | 2 |
             (uint64_t(3) << 38),
         "add",
         {1, 2, 3}},
    };
    AssemblerRig rig;
    for (const auto& c : cases) {
        AsmInstruction decoded;
        EXPECT_TRUE(rig.assembler.disassemble(c.word, 0, decoded)) << c.name;
        EXPECT_EQ(decoded.mnemonic.toString(), c.mnemonic) << c.name;
        ASSERT_EQ(decoded.arguments.size(), c.values.size()) << c.name;
        for (size_t i = 0; i < c.values.size(); ++i)
            EXPECT_EQ(decoded.arguments[i]->value, c.values[i]) << c.name << " operand " << i + 1;
    }
}

// A known limitation: the field bits of a negative immediate are decoded as
// they are, not sign-extended, so the line written for set_awg_gain -1 holds
// 0xffff, which the assembler refuses as out of range.
TEST(Disassembly, NegativeImmediateDecodedAsFieldBits) {
    const struct {
        const char* source;
        std::vector<int64_t> values;
        const char* line;
    } cases[] = {
        {"set_awg_gain -1, -32768", {0xffff, 0x8000}, "0:      set_awg_gain 0xffff, 0x8000"},
        {"set_awg_offs 1, -2", {1, 0xfffe}, "0:      set_awg_offs 0x1, 0xfffe"},
    };
    AssemblerRig rig;
    for (const auto& c : cases) {
        ASSERT_EQ(rig.assemble(c.source), 0) << c.source << "\n" << rig.errors.toStringDetails();
        const uint64_t word = rig.word(0);
        AsmInstruction decoded;
        EXPECT_TRUE(rig.assembler.disassemble(word, 0, decoded)) << c.source;
        ASSERT_EQ(decoded.arguments.size(), c.values.size()) << c.source;
        for (size_t i = 0; i < c.values.size(); ++i)
            expectWritten(*decoded.arguments[i], c.values[i], 0,
                          std::string(c.source) + " operand " + std::to_string(i + 1));

        std::ostringstream text;
        rig.assembler.disassemble(word, 0, text);
        EXPECT_EQ(text.str(), c.line) << c.source;
        EXPECT_EQ(rig.assemble(withoutAddress(text.str(), 0)), 1) << text.str();
    }
}

// Words that match no variant: an opcode whose variants lack the select
// value, and an opcode without variants.
struct Unknown {
    uint64_t word;
    const char* mnemonic;
};

const Unknown unknownWords[] = {
    {wordOf(22, 0), "upd_param_UNKNOWN_select_0"},
    {wordOf(0, 1), "illegal_UNKNOWN_select_1"},
    {wordOf(1, 1) | belowSelect, "stop_UNKNOWN_select_1"},
    {wordOf(2, 1), "nop_UNKNOWN_select_1"},
    {wordOf(29, 0), "UNKNOWN_opcode_29"},
    {wordOf(29, 1), "UNKNOWN_opcode_29"},
    {wordOf(30, 0) | belowSelect, "UNKNOWN_opcode_30"},
    {wordOf(31, 1) | belowSelect, "UNKNOWN_opcode_31"},
};

TEST(Disassembly, WordOfNoVariant) {
    AssemblerRig rig;
    for (const Unknown& c : unknownWords) {
        AsmInstruction decoded;
        EXPECT_FALSE(rig.assembler.disassemble(c.word, 42, decoded)) << c.mnemonic;
        EXPECT_EQ(decoded.mnemonic.toString(), c.mnemonic);
        EXPECT_TRUE(decoded.arguments.empty()) << c.mnemonic;
        EXPECT_TRUE(decoded.hasAddress) << c.mnemonic;
        EXPECT_EQ(decoded.address, 42u) << c.mnemonic;

        std::ostringstream text;
        EXPECT_FALSE(rig.assembler.disassemble(c.word, 42, text)) << c.mnemonic;
        EXPECT_EQ(text.str(), std::string("42:     ") + c.mnemonic);
    }
}

TEST(Disassembly, WholeProgramListing) {
    AssemblerRig rig;
    std::vector<uint64_t> words;
    unsigned unknown = 0;
    // Known and unknown words in turn, past address 9 so that the labels show
    // their decimal form.
    ASSERT_EQ(rig.assemble("nop\njmp 5\nadd R1, 7, R3\nset_mrk R2\nwait 4\nstop\n"), 0)
        << rig.errors.toStringDetails();
    for (uint32_t a = 0; a < rig.assembler.getProgramSize(); ++a)
        words.push_back(rig.word(a));
    for (const Unknown& c : unknownWords) {
        words.push_back(c.word);
        ++unknown;
    }
    words.push_back(rig.word(0));
    for (uint32_t a = 0; a < words.size(); ++a)
        rig.assembler.writeInstructionMem(a, words[a]);

    std::ostringstream listing;
    EXPECT_EQ(rig.assembler.disassemble(listing), unknown);

    std::string expected;
    for (uint32_t a = 0; a < words.size(); ++a) {
        std::ostringstream line;
        rig.assembler.disassemble(words[a], a, line);
        expected += line.str() + "\n";
    }
    EXPECT_EQ(listing.str(), expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), long(words.size()));
    EXPECT_EQ(expected.compare(0, 36, "0:      nop\n1:      jmp         0x5\n"), 0) << expected;
    const std::string tail = "\n13:     UNKNOWN_opcode_31\n14:     nop\n";
    EXPECT_EQ(expected.compare(expected.size() - tail.size(), tail.size(), tail), 0) << expected;
}

TEST(Disassembly, ListingEndsWithTheProgram) {
    AssemblerRig rig;
    ASSERT_EQ(rig.assemble(""), 0);
    std::ostringstream empty;
    EXPECT_EQ(rig.assembler.disassemble(empty), 0u);
    EXPECT_EQ(empty.str(), "");

    // A word in memory beyond the program is not listed, nor counted.
    ASSERT_EQ(rig.assemble("stop"), 0);
    rig.processor.instructionMemory.write(1, wordOf(31, 0));
    std::ostringstream listing;
    EXPECT_EQ(rig.assembler.disassemble(listing), 0u);
    EXPECT_EQ(listing.str(), "0:      stop\n");
}

} // namespace
