// Processor memories: bounds of every access with the exact texts, owned and
// caller-owned buffers; and the processor's decoding and listing.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "assembler/seq_instr_set.h"
#include "seqprocessor/SeqProcessor.h"
#include "seqprocessor/SeqTypes.h"
#include "tests/support/ExitOf.h"

static_assert(std::is_same_v<instruction_t, unsigned long long> && sizeof(instruction_t) == 8);
static_assert(std::is_signed_v<Arg::value_t> && sizeof(Arg::value_t) == 8);

template <class Action> static std::string memoryErrorText(Action action) {
    try {
        action();
    } catch (const SeqProcMemoryError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no SeqProcMemoryError";
    return "";
}

TEST(SeqMemory, AccessAtSizeMinusOnePassesAtSizeFails) {
    SeqProcessor processor(seq_instr_set(), 4096, 64);
    auto& code = processor.instructionMemory;
    auto& data = processor.dataMemory;
    EXPECT_TRUE(code.ownsData);
    EXPECT_TRUE(data.ownsData);

    code.write(4095, 0x123456789ABCDEF0ull);
    EXPECT_EQ(code.read(4095), 0x123456789ABCDEF0ull);
    data.write(63, 0xFFFFFFFFu);
    EXPECT_EQ(data.read(63), 0xFFFFFFFFu);

    EXPECT_EQ(memoryErrorText([&] { code.write(4096, 1); }),
              "Attempt to write instruction at address 4096 beyond maximum address 4095");
    EXPECT_EQ(memoryErrorText([&] { code.read(4096); }),
              "Attempt to read instruction at address 4096 beyond maximum address 4095");
    EXPECT_EQ(memoryErrorText([&] { data.read(70); }),
              "Attempt to read data at address 70 beyond maximum address 63");
    EXPECT_EQ(memoryErrorText([&] { data.write(64, 1); }),
              "Attempt to write data at address 64 beyond maximum address 63");
    EXPECT_EQ(memoryErrorText([&] { data.write(0xFFFFFFFF, 1); }),
              "Attempt to write data at address 4294967295 beyond maximum address 63");
    EXPECT_EQ(code.read(4095), 0x123456789ABCDEF0ull);
}

TEST(SeqMemory, NewMemoryHoldsZeroWords) {
    SeqProcessor processor(seq_instr_set(), 128, 64);
    for (unsigned a = 0; a < 128; ++a) {
        ASSERT_EQ(processor.instructionMemory.read(a), 0u) << a;
    }
    for (unsigned a = 0; a < 64; ++a) {
        ASSERT_EQ(processor.dataMemory.read(a), 0u) << a;
    }
    // So a fetch beyond the program decodes as the trap.
    EXPECT_EQ(
        processor.instructionSet.findForBinary(processor.instructionMemory.read(100))->mnemonic,
        "illegal");
}

TEST(SeqMemory, EmptyMemoriesRefuseEveryAccess) {
    SeqProcessor plain;
    SeqProcessor withSet(seq_instr_set());
    for (SeqProcessor* processor : {&plain, &withSet}) {
        EXPECT_EQ(processor->instructionMemory.size, 0u);
        EXPECT_FALSE(processor->instructionMemory.ownsData);
        EXPECT_EQ(processor->instructionMemory.data, nullptr);
        EXPECT_EQ(processor->dataMemory.name, "data");
        EXPECT_EQ(processor->classicalClockMHz, 0.0);
        EXPECT_EQ(processor->realtimeClockMHz, 0.0);
        EXPECT_EQ(memoryErrorText([&] { processor->instructionMemory.read(0); }),
                  "Attempt to read instruction at address 0 beyond maximum address 4294967295");
        EXPECT_EQ(memoryErrorText([&] { processor->dataMemory.write(0, 0); }),
                  "Attempt to write data at address 0 beyond maximum address 4294967295");
    }
    EXPECT_EQ(withSet.instructionSet.count, 29u);
}

TEST(SeqMemory, CallersBufferIsWrappedNotOwned) {
    std::vector<unsigned long long> buffer(8, 0xAAu);
    {
        SeqProcessor processor(seq_instr_set(), buffer.data(), 8, 64);
        EXPECT_FALSE(processor.instructionMemory.ownsData);
        EXPECT_EQ(processor.instructionMemory.data, buffer.data());
        EXPECT_EQ(processor.instructionMemory.read(7), 0xAAu);
        processor.instructionMemory.write(2, 5);
        EXPECT_THROW(processor.instructionMemory.write(8, 5), SeqProcMemoryError);
        EXPECT_TRUE(processor.dataMemory.ownsData);
    }
    // Still ours after the processor is gone (a double free would show under ASan).
    EXPECT_EQ(buffer[2], 5u);
    EXPECT_EQ(buffer[7], 0xAAu);

    SeqProcessor owning(seq_instr_set(), nullptr, 16, 4);
    EXPECT_TRUE(owning.instructionMemory.ownsData);
    EXPECT_EQ(owning.instructionMemory.size, 16u);
    EXPECT_EQ(owning.dataMemory.size, 4u);
}

TEST(SeqMemory, ReallocatingReleasesTheOldWords) {
    SeqMemory<unsigned int, unsigned int> memory("data");
    memory.allocate(4);
    memory.write(3, 9);
    unsigned int outside[2] = {1, 2};
    memory.wrap(outside, 2);
    EXPECT_FALSE(memory.ownsData);
    EXPECT_EQ(memory.read(1), 2u);
    memory.allocate(3);
    EXPECT_TRUE(memory.ownsData);
    EXPECT_EQ(memory.read(2), 0u);
    EXPECT_EQ(outside[0], 1u);
}

TEST(SeqProcessor, DecodesOpcodeAndSelect) {
    SeqProcessor processor(seq_instr_set(), 4, 4);
    auto def = processor.instructionSet.find("wait_sync", "#");
    ASSERT_TRUE(def);
    unsigned long long word = 0;
    processor.instructionSet.writeOpcodeField(word, unsigned(def->opcode));
    processor.instructionSet.writeSelectField(word, unsigned(def->select));
    EXPECT_EQ(processor.getInstructionOpcode(word), 28u);
    EXPECT_EQ(processor.getInstructionSelect(word), 1u);
    EXPECT_EQ(processor.getInstructionOpcode(word | 0x03FFFFFFFFFFFFFFull), 28u);

    SeqProcessor bare;
    EXPECT_TRUE(exitedWith(endOf([&] { bare.getInstructionOpcode(0); }), 1,
                           "function='getInstructionOpcode', error='opcodeField pointer not set'"));
    EXPECT_TRUE(exitedWith(endOf([&] { bare.getInstructionSelect(0); }), 1,
                           "function='getInstructionSelect', error='selectField pointer not set'"));
}

TEST(SeqProcessor, PrintsItsInstructionSet) {
    SeqProcessor processor(seq_instr_set());
    std::ostringstream os;
    EXPECT_EQ(&processor.printInstructionSet(os), &os);
    const std::string text = os.str();
    const std::string header = "Instruction set:\n";
    ASSERT_EQ(text.compare(0, header.size(), header), 0);
    size_t lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    EXPECT_EQ(lines, 55u);
    EXPECT_EQ(text.compare(header.size(), 8, "illegal\n"), 0);

    std::ostringstream empty;
    SeqProcessor().printInstructionSet(empty);
    EXPECT_EQ(empty.str(), header);
}
