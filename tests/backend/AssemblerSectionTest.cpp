// The assembler section: storing the encoded words in instruction memory,
// the program size, a program longer than the memory, the words left beyond
// the program, and the timers of an assembly. Where it matters, both roads
// are run: the stand-alone assembly and the facade's section calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BackendTestSupport.h"
#include "Vorel.h"
#include "assembler/seq_instr_set.h"
#include "seqprocessor/SeqProcError.h"

namespace {

const uint64_t stopWord = uint64_t(1) << 59;
const uint64_t nopWord = uint64_t(2) << 59;

// "sw_req n" carries n in its low 32 bits.
uint64_t requestWord(uint64_t n) {
    return (uint64_t(16) << 59) | (uint64_t(1) << 58) | n;
}

std::string requests(unsigned count) {
    std::string source;
    for (unsigned i = 0; i < count; ++i)
        source += "sw_req " + std::to_string(i) + "\n";
    return source;
}

std::string repeated(const std::string& line, unsigned count) {
    std::string source;
    for (unsigned i = 0; i < count; ++i)
        source += line + "\n";
    return source;
}

// One way of assembling a source into a processor's instruction memory.
class Road {
public:
    virtual ~Road() = default;
    virtual const char* name() const = 0;
    // The number of errors.
    virtual int assemble(const std::string& source) = 0;
    // Every error text of the last assembly.
    virtual std::string report() const = 0;
    virtual SeqAssembler& assembler() = 0;
    SeqProcessor& processor() { return *assembler().getProcessor(); }
    uint64_t word(uint32_t address) { return processor().instructionMemory.read(address); }
};

class StandAlone : public Road {
public:
    explicit StandAlone(unsigned words) : rig(words) {}
    const char* name() const override { return "stand-alone"; }
    int assemble(const std::string& source) override { return rig.assemble(source); }
    std::string report() const override { return rig.errors.toStringDetails(); }
    SeqAssembler& assembler() override { return rig.assembler; }
    const AsmErrorList& errors() const { return rig.errors; }

private:
    AssemblerRig rig;
};

class Facade : public Road {
public:
    explicit Facade(unsigned words) : vorel(seq_instr_set(), static_cast<int>(words), 64) {}
    const char* name() const override { return "facade"; }
    int assemble(const std::string& source) override {
        message.clear();
        return vorel.assemble(source, message);
    }
    std::string report() const override { return message; }
    SeqAssembler& assembler() override { return *vorel.getAssembler(); }

private:
    Vorel vorel;
    std::string message;
};

std::vector<std::unique_ptr<Road>> bothRoads(unsigned words) {
    std::vector<std::unique_ptr<Road>> roads;
    roads.push_back(std::make_unique<StandAlone>(words));
    roads.push_back(std::make_unique<Facade>(words));
    return roads;
}

TEST(AssemblerSection, ProgramAsLongAsTheMemoryFits) {
    for (const unsigned words : {1u, 8u, 4096u}) {
        for (auto& road : bothRoads(words)) {
            SCOPED_TRACE(std::string(road->name()) + ", " + std::to_string(words) + " words");
            ASSERT_EQ(road->assemble(requests(words)), 0) << road->report();
            EXPECT_EQ(road->assembler().getProgramSize(), words);
            EXPECT_EQ(road->word(0), requestWord(0));
            EXPECT_EQ(road->word(words - 1), requestWord(words - 1));
        }
    }
}

TEST(AssemblerSection, ProgramLongerThanTheMemory) {
    const struct {
        unsigned words, instructions;
        const char* message;
    } cases[] = {
        {4096, 4097, "Program too long (4097). Maximum 4096 instructions"},
        {8, 9, "Program too long (9). Maximum 8 instructions"},
        {8, 20, "Program too long (20). Maximum 8 instructions"},
        {1, 2, "Program too long (2). Maximum 1 instructions"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        StandAlone alone(c.words);
        ASSERT_EQ(alone.assemble(requests(c.instructions)), 1);
        const AsmError& error = *alone.errors()[0];
        EXPECT_STREQ(error.what(), c.message);
        EXPECT_STREQ(error.errorType(), "Asm program too long");
        EXPECT_FALSE(error.hasSource());

        Facade facade(c.words);
        ASSERT_EQ(facade.assemble(requests(c.instructions)), 1);
        EXPECT_NE(facade.report().find(c.message), std::string::npos) << facade.report();

        for (Road* road : {static_cast<Road*>(&alone), static_cast<Road*>(&facade)}) {
            SCOPED_TRACE(road->name());
            EXPECT_EQ(road->assembler().getProgramSize(), c.words);
            for (unsigned address = 0; address < c.words; ++address)
                ASSERT_EQ(road->word(address), requestWord(address)) << address;
        }
    }
}

TEST(AssemblerSection, EncodingErrorAndProgramTooLongInOneAssembly) {
    StandAlone road(4);
    ASSERT_EQ(road.assemble("xyz\nnop\nset_mrk 16\nnop\nnop\nnop\n"), 3) << road.report();
    // Source errors in line order, the lineless one last.
    EXPECT_EQ(messageOf(*road.errors()[0]), "Syntax error: instruction 'xyz' not found");
    EXPECT_EQ(road.errors()[0]->lineNr(), 1);
    EXPECT_EQ(road.errors()[1]->lineNr(), 3);
    EXPECT_STREQ(road.errors()[2]->what(), "Program too long (6). Maximum 4 instructions");
    EXPECT_EQ(road.assembler().getProgramSize(), 4u);
    EXPECT_EQ(road.word(0), 0u);
    EXPECT_EQ(road.word(1), nopWord);
    EXPECT_EQ(road.word(2), 0u);
    EXPECT_EQ(road.word(3), nopWord);

    Facade facade(4);
    EXPECT_EQ(facade.assemble("xyz\nnop\nset_mrk 16\nnop\nnop\nnop\n"), 3);
}

// The memory holds an earlier, longer program when the failing one is
// assembled; the gap fill is what clears a failed instruction's word.
TEST(AssemblerSection, FailedInstructionsLeaveNoWord) {
    const struct {
        const char* source;
        uint32_t programSize;
        std::vector<uint64_t> words; // 0 to programSize - 1
    } cases[] = {
        {"nop\nxyz\nnop\n", 3, {nopWord, 0, nopWord}},
        {"xyz\nxyz\nnop\n", 3, {0, 0, nopWord}},
        // A failure in the last instruction leaves the size at its address.
        {"nop\nnop\nwait 3\n", 2, {nopWord, nopWord}},
        {"nop\nxyz\nxyz\n", 1, {nopWord}},
        {"xyz\n", 0, {}},
    };
    for (const auto& c : cases) {
        for (auto& road : bothRoads(16)) {
            SCOPED_TRACE(std::string(road->name()) + ": " + c.source);
            ASSERT_EQ(road->assemble(repeated("stop", 6)), 0);
            EXPECT_GE(road->assemble(c.source), 1);
            ASSERT_EQ(road->assembler().getProgramSize(), c.programSize);
            for (uint32_t address = 0; address < c.programSize; ++address)
                EXPECT_EQ(road->word(address), c.words[address]) << address;
        }
    }
}

TEST(AssemblerSection, EmptyCodeSection) {
    for (const char* source : {"", "\n\n", "; nothing but a comment\n", "  # and another\n"}) {
        for (auto& road : bothRoads(16)) {
            SCOPED_TRACE(std::string(road->name()) + ": " + source);
            ASSERT_EQ(road->assemble("nop\nnop\n"), 0);
            EXPECT_EQ(road->assemble(source), 0) << road->report();
            EXPECT_EQ(road->assembler().getProgramSize(), 0u);
        }
    }
    Facade facade(16);
    for (const char* source : {".CODE\n", ".CODE\n.SIM\nrun 5\n", ".SIM\nnop\n"}) {
        SCOPED_TRACE(source);
        EXPECT_EQ(facade.assemble(source), 0) << facade.report();
        EXPECT_EQ(facade.assembler().getProgramSize(), 0u);
    }
}

TEST(AssemblerSection, WritingWordsGrowsTheProgram) {
    struct Write {
        uint32_t address;
        uint64_t word;
        uint32_t programSize; // after the write
    };
    const struct {
        const char* title;
        std::vector<Write> writes;
        std::vector<uint64_t> words; // 0 to 11
    } cases[] = {
        {"gap before the first word", {{10, 0xA, 11}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xA, 0xDEAD}},
        {"in order", {{0, 1, 1}, {1, 2, 2}, {2, 3, 3}}, {1, 2, 3, 0xDEAD}},
        {"a word below the size keeps the size", {{3, 4, 4}, {1, 2, 4}}, {0, 2, 0, 4, 0xDEAD}},
        {"overwritten", {{0, 1, 1}, {0, 7, 1}}, {7, 0xDEAD}},
        {"two gaps", {{2, 3, 3}, {5, 6, 6}}, {0, 0, 3, 0, 0, 6, 0xDEAD}},
        {"last word of the memory", {{11, 0xB, 12}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xB}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        StandAlone road(12);
        auto& memory = road.processor().instructionMemory;
        for (uint32_t address = 0; address < memory.size; ++address)
            memory.write(address, 0xDEAD);
        for (const Write& write : c.writes) {
            road.assembler().writeInstructionMem(write.address, write.word);
            EXPECT_EQ(road.assembler().getProgramSize(), write.programSize) << write.address;
        }
        for (uint32_t address = 0; address < c.words.size(); ++address)
            EXPECT_EQ(road.word(address), c.words[address]) << address;
    }
}

TEST(AssemblerSection, WritingBeyondTheMemory) {
    const struct {
        unsigned words;
        uint32_t address;
        const char* message;
    } cases[] = {
        {4096, 4096, "Attempt to write instruction at address 4096 beyond maximum address 4095"},
        {4096, 5000, "Attempt to write instruction at address 5000 beyond maximum address 4095"},
        {4096, 4294967295u,
         "Attempt to write instruction at address 4294967295 beyond maximum address 4095"},
        {8, 8, "Attempt to write instruction at address 8 beyond maximum address 7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        StandAlone road(c.words);
        ASSERT_EQ(road.assemble("nop\nnop\n"), 0);
        road.processor().instructionMemory.write(c.words - 1, 0xDEAD);
        try {
            road.assembler().writeInstructionMem(c.address, 0x1234);
            ADD_FAILURE() << "no error";
        } catch (const SeqProcMemoryError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(road.assembler().getProgramSize(), 2u);
        EXPECT_EQ(road.word(1), nopWord);
        // The gap up to the end of the memory is cleared before the refusal.
        EXPECT_EQ(road.word(c.words - 1), 0u);
    }
}

TEST(AssemblerSection, NoInstructionMemory) {
    const std::string text = "Can not assemble source: No instruction memory defined.";
    StandAlone alone(0);
    ASSERT_EQ(alone.assemble("nop\n"), 1);
    EXPECT_EQ(alone.errors()[0]->what(), text);
    EXPECT_STREQ(alone.errors()[0]->errorType(), "AsmRuntimeError");
    EXPECT_EQ(alone.assembler().getProgramSize(), 0u);

    // The facade reads the source all the same and encodes nothing.
    Facade facade(0);
    ASSERT_EQ(facade.assemble("nop\nstop\n"), 1);
    EXPECT_NE(facade.report().find(text), std::string::npos) << facade.report();
    EXPECT_EQ(facade.assembler().getProgramSize(), 0u);
}

// A long program, then a shorter one: the stand-alone road clears the words
// beyond the new program, the facade's road leaves them.
TEST(AssemblerSection, WordsBeyondTheProgramOfALaterAssembly) {
    const struct {
        const char* second;
        int errors;
        uint32_t programSize;
        std::vector<uint64_t> standAlone, facade; // words 0 to 4
    } cases[] = {
        {"nop\nnop\n",
         0,
         2,
         {nopWord, nopWord, 0, 0, 0},
         {nopWord, nopWord, stopWord, stopWord, stopWord}},
        // Failed in the parser: nothing is encoded.
        {"nop\nnop x\n", 1, 0, {0, 0, 0, 0, 0}, {stopWord, stopWord, stopWord, stopWord, stopWord}},
        // Failed in encoding: the words before the failure are stored.
        {"nop\nxyz\n",
         1,
         1,
         {nopWord, 0, 0, 0, 0},
         {nopWord, stopWord, stopWord, stopWord, stopWord}},
    };
    for (const auto& c : cases) {
        for (auto& road : bothRoads(8)) {
            const bool alone = dynamic_cast<StandAlone*>(road.get()) != nullptr;
            SCOPED_TRACE(std::string(road->name()) + ": " + c.second);
            ASSERT_EQ(road->assemble(repeated("stop", 5)), 0);
            EXPECT_EQ(road->assemble(c.second), c.errors) << road->report();
            EXPECT_EQ(road->assembler().getProgramSize(), c.programSize);
            const std::vector<uint64_t>& words = alone ? c.standAlone : c.facade;
            for (uint32_t address = 0; address < words.size(); ++address)
                EXPECT_EQ(road->word(address), words[address]) << address;
        }
    }
}

TEST(AssemblerSection, TimersOfTheLastAssembly) {
    const struct {
        const char* source;
        std::vector<const char*> standAlone, facade; // timer names
        unsigned encoded;                            // count of the "assemble" timer
        bool encodingRan;
    } cases[] = {
        {"nop\nnop\nstop\n", {"parse", "assemble"}, {"assemble"}, 3, true},
        {"", {"parse", "assemble"}, {"assemble"}, 0, true},
        {"nop\nxyz\nnop\n", {"parse", "assemble"}, {"assemble"}, 3, true},
        {"nop\nnop\nxyz\n", {"parse", "assemble"}, {"assemble"}, 2, true},
        // Parsing failed: no encoding and no encoding timer.
        {"nop\nnop x\n", {"parse"}, {}, 0, false},
        // Address labels unresolved: the encoding timer is added, then left.
        {"jmp @nowhere\n", {"parse", "assemble"}, {"assemble"}, 0, false},
    };
    for (const auto& c : cases) {
        for (auto& road : bothRoads(16)) {
            const bool alone = dynamic_cast<StandAlone*>(road.get()) != nullptr;
            SCOPED_TRACE(std::string(road->name()) + ": " + c.source);
            // An earlier assembly's timers do not stay.
            ASSERT_EQ(road->assemble(repeated("nop", 7)), 0);
            road->assemble(c.source);
            const SeqAssembler::TimerList& timers = road->assembler().getTimers();
            const std::vector<const char*>& names = alone ? c.standAlone : c.facade;
            ASSERT_EQ(timers.size(), names.size());
            for (size_t i = 0; i < names.size(); ++i)
                EXPECT_EQ(timers[i]->getName(), names[i]) << i;
            if (alone) {
                // The parse timer counts the source lines.
                const std::string source = c.source;
                EXPECT_EQ(timers[0]->getCount(),
                          static_cast<unsigned>(std::count(source.begin(), source.end(), '\n')));
            }
            if (names.empty() || std::string(names.back()) != "assemble")
                continue;
            const auto& encoding = timers.back();
            EXPECT_EQ(encoding->getUnit(), "instruction");
            EXPECT_EQ(encoding->isStopped(), c.encodingRan);
            EXPECT_EQ(encoding->isRunning(), !c.encodingRan);
            if (c.encodingRan) {
                EXPECT_EQ(encoding->getCount(), road->assembler().getProgramSize());
            }
            EXPECT_EQ(encoding->getCount(), c.encoded);
        }
    }
}

} // namespace
