// The output operations of the assembler section: the .hex text on a stream
// and in a file, the disassembly file, and the CPU information block. A plain
// file is replaced through a temporary file beside it, so a failed save leaves
// neither a changed file nor a stray temporary file; a write that fails is
// reported, and a file written in place that fails is left empty.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "BackendTestSupport.h"
#include "SeqAssembler.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

// Redirects one of the standard streams into a string for the lifetime of
// the object.
class Capture {
public:
    explicit Capture(std::ostream& stream) : stream(stream), saved(stream.rdbuf(text.rdbuf())) {}
    ~Capture() { stream.rdbuf(saved); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::string str() const { return text.str(); }

private:
    std::ostringstream text;
    std::ostream& stream;
    std::streambuf* saved;
};

// Puts the words at addresses 0, 1, ... as the program of the rig.
void load(AssemblerRig& rig, const std::vector<uint64_t>& words) {
    for (uint32_t address = 0; address < words.size(); ++address)
        rig.assembler.writeInstructionMem(address, words[address]);
}

std::string hexOf(const SeqAssembler& assembler) {
    std::ostringstream os;
    EXPECT_TRUE(assembler.printHexOutput(os));
    return os.str();
}

const uint64_t stopWord = uint64_t(1) << 59;
const uint64_t nopWord = uint64_t(2) << 59;
// "jmp 5": opcode 3, select 1, the address in bits 38 to 49.
const uint64_t jumpWord = (uint64_t(3) << 59) | (uint64_t(1) << 58) | (uint64_t(5) << 38);

TEST(HexOutput, OneLineOfSixteenLowerCaseDigitsPerWord) {
    const struct {
        const char* name;
        std::vector<uint64_t> words;
        std::string text;
    } cases[] = {
        {"empty program", {}, ""},
        {"one", {1}, "0000000000000001\n"},
        {"all bits set", {~uint64_t(0)}, "ffffffffffffffff\n"},
        {"top bit only", {uint64_t(1) << 63}, "8000000000000000\n"},
        {"every digit",
         {0x0123456789abcdefull, 0xfedcba9876543210ull},
         "0123456789abcdef\nfedcba9876543210\n"},
        {"zero between words",
         {0xa, 0, 0xb0},
         "000000000000000a\n0000000000000000\n00000000000000b0\n"},
    };
    for (const auto& c : cases) {
        AssemblerRig rig;
        load(rig, c.words);
        EXPECT_EQ(hexOf(rig.assembler), c.text) << c.name;
    }
}

TEST(HexOutput, AssembledProgram) {
    AssemblerRig rig;
    ASSERT_EQ(rig.assemble("nop\nstop\njmp 5\n"), 0) << rig.errors.toStringDetails();
    EXPECT_EQ(hexOf(rig.assembler), "1000000000000000\n"
                                    "0800000000000000\n"
                                    "1c00014000000000\n");

    // A shorter program after it: only its own words are written.
    ASSERT_EQ(rig.assemble("stop\n"), 0) << rig.errors.toStringDetails();
    EXPECT_EQ(hexOf(rig.assembler), "0800000000000000\n");
    ASSERT_EQ(rig.assemble(""), 0) << rig.errors.toStringDetails();
    EXPECT_EQ(hexOf(rig.assembler), "");
}

// Whatever base and fill the stream had, it writes decimal numbers padded
// with blanks afterwards; this holds for an empty program too.
TEST(HexOutput, StreamLeftDecimalWithBlankFill) {
    for (const std::vector<uint64_t>& words : {std::vector<uint64_t>{}, {0xff, 0x10}}) {
        AssemblerRig rig;
        load(rig, words);
        std::ostringstream os;
        os << std::hex << std::setfill('*');
        ASSERT_TRUE(rig.assembler.printHexOutput(os));
        const std::string hex = os.str();
        os << std::setw(5) << 255 << '|' << 16;
        EXPECT_EQ(os.str().substr(hex.size()), "  255|16") << words.size() << " words";
    }
}

TEST(HexOutput, NoInstructionMemory) {
    AssemblerRig empty(0);
    SeqAssembler detached;
    const struct {
        const char* name;
        const SeqAssembler& assembler;
    } cases[] = {
        {"processor without instruction words", empty.assembler},
        {"no processor", detached},
    };
    for (const auto& c : cases) {
        std::ostringstream os;
        os << std::hex << std::setfill('*');
        Capture err(std::cerr);
        EXPECT_FALSE(c.assembler.printHexOutput(os)) << c.name;
        EXPECT_EQ(err.str(), "ERROR: No instruction memory available.\n") << c.name;
        EXPECT_EQ(os.str(), "") << c.name;
        // The stream is not touched at all.
        os << 255;
        EXPECT_EQ(os.str(), "ff") << c.name;
        EXPECT_EQ(os.fill(), '*') << c.name;
    }
}

TEST(HexFile, WritesTheProgram) {
    TempFolder folder;
    AssemblerRig rig;
    load(rig, {nopWord, stopWord, ~uint64_t(0)});
    const std::string name = folder / "prog.hex";
    Capture err(std::cerr);
    EXPECT_TRUE(rig.assembler.saveHexOutput(name));
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(readFile(name), "1000000000000000\n0800000000000000\nffffffffffffffff\n");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"prog.hex"});
}

TEST(HexFile, EmptyProgramGivesEmptyFile) {
    TempFolder folder;
    AssemblerRig rig;
    const std::string name = folder / "empty.hex";
    EXPECT_TRUE(rig.assembler.saveHexOutput(name));
    EXPECT_TRUE(fs::is_regular_file(name));
    EXPECT_EQ(readFile(name), "");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"empty.hex"});
}

// A new file gets the permissions of any file the process creates, not the
// owner-only ones of a temporary file.
TEST(HexFile, NewFileHasTheUsualPermissions) {
    TempFolder folder;
    AssemblerRig rig;
    load(rig, {nopWord});
    const std::string name = folder / "prog.hex";
    const mode_t previous = umask(022);
    const bool saved = rig.assembler.saveHexOutput(name);
    umask(previous);
    ASSERT_TRUE(saved);
    struct stat st {};
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, mode_t(0644));
}

TEST(HexFile, ReplacesAnExistingFile) {
    TempFolder folder;
    AssemblerRig rig;
    load(rig, {jumpWord});
    const std::string name = folder / "prog.hex";
    // Longer than the new text, so a file only overwritten would keep a tail.
    writeFile(name, "0000000000000001\n0000000000000002\n0000000000000003\n");
    EXPECT_TRUE(rig.assembler.saveHexOutput(name));
    EXPECT_EQ(readFile(name), "1c00014000000000\n");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"prog.hex"});
}

// The target of each case, and what the folder holds before and after.
struct Unopenable {
    const char* name;
    const char* target;
    const char* directory; // made before the save; nullptr for none
};

const Unopenable unopenable[] = {
    {"missing folder", "nowhere/out", nullptr},
    {"a directory as target", "out", "out"},
};

void prepare(const TempFolder& folder, const Unopenable& c) {
    if (c.directory) {
        fs::create_directory(folder / c.directory);
        writeFile(folder / (std::string(c.directory) + "/inside"), "kept\n");
    }
}

void expectUnchanged(const TempFolder& folder, const Unopenable& c) {
    if (c.directory) {
        EXPECT_EQ(folder.entries(), std::vector<std::string>{c.directory}) << c.name;
        EXPECT_TRUE(fs::is_directory(folder / c.directory)) << c.name;
        EXPECT_EQ(folder.entries(c.directory), std::vector<std::string>{"inside"}) << c.name;
        EXPECT_EQ(readFile(folder / (std::string(c.directory) + "/inside")), "kept\n") << c.name;
    } else {
        EXPECT_EQ(folder.entries(), std::vector<std::string>{}) << c.name;
    }
}

TEST(HexFile, UnopenableTarget) {
    for (const Unopenable& c : unopenable) {
        TempFolder folder;
        prepare(folder, c);
        AssemblerRig rig;
        load(rig, {nopWord, stopWord});
        const std::string name = folder / c.target;
        Capture err(std::cerr);
        EXPECT_FALSE(rig.assembler.saveHexOutput(name)) << c.name;
        EXPECT_EQ(err.str(), "ERROR: could not open file " + name + " for writing\n") << c.name;
        expectUnchanged(folder, c);
    }
}

// Without instruction memory there is nothing to write: the earlier file
// stays as it was and only the missing memory is reported.
TEST(HexFile, NoInstructionMemoryKeepsTheEarlierFile) {
    TempFolder folder;
    AssemblerRig rig(0);
    const std::string name = folder / "prog.hex";
    writeFile(name, "0800000000000000\n");
    Capture err(std::cerr);
    EXPECT_FALSE(rig.assembler.saveHexOutput(name));
    EXPECT_EQ(err.str(), "ERROR: No instruction memory available.\n");
    EXPECT_EQ(readFile(name), "0800000000000000\n");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"prog.hex"});
}

TEST(DisassemblyFile, WritesTheListingAndCountsUnknownWords) {
    const uint64_t unknownSelect = uint64_t(22) << 59; // upd_param has no select 0
    const uint64_t unknownOpcode = uint64_t(31) << 59;
    const struct {
        const char* name;
        std::vector<uint64_t> words;
        int unknown;
    } cases[] = {
        {"empty program", {}, 0},
        {"known words", {nopWord, jumpWord, stopWord}, 0},
        {"unknown words", {nopWord, unknownSelect, stopWord, unknownOpcode}, 2},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        AssemblerRig rig;
        load(rig, c.words);
        std::ostringstream listing;
        EXPECT_EQ(rig.assembler.disassemble(listing), unsigned(c.unknown)) << c.name;

        const std::string name = folder / "prog.dis";
        writeFile(name, std::string(4096, 'x'));
        Capture err(std::cerr);
        EXPECT_EQ(rig.assembler.saveDisassemble(name), c.unknown) << c.name;
        EXPECT_EQ(err.str(), "") << c.name;
        EXPECT_EQ(readFile(name), listing.str()) << c.name;
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"prog.dis"}) << c.name;
    }
}

TEST(DisassemblyFile, UnopenableTarget) {
    for (const Unopenable& c : unopenable) {
        TempFolder folder;
        prepare(folder, c);
        AssemblerRig rig;
        load(rig, {nopWord, uint64_t(31) << 59});
        const std::string name = folder / c.target;
        Capture err(std::cerr);
        EXPECT_EQ(rig.assembler.saveDisassemble(name), -1) << c.name;
        EXPECT_EQ(err.str(), "Could not open file \"" + name + "\" for writing\n") << c.name;
        expectUnchanged(folder, c);
    }
}

// A device that takes no bytes: both saves say, in the same words, that the
// text did not get written, and neither reports success.
TEST(OutputFiles, FailedWriteIsReported) {
    if (!fs::is_character_file("/dev/full"))
        GTEST_SKIP() << "no /dev/full to refuse the text";
    AssemblerRig rig;
    load(rig, {nopWord, stopWord});
    {
        Capture err(std::cerr);
        EXPECT_FALSE(rig.assembler.saveHexOutput("/dev/full"));
        EXPECT_EQ(err.str(), "ERROR: could not write file /dev/full\n");
    }
    {
        Capture err(std::cerr);
        EXPECT_EQ(rig.assembler.saveDisassemble("/dev/full"), -1);
        EXPECT_EQ(err.str(), "ERROR: could not write file /dev/full\n");
    }
}

// A file written in place (here one of two hard links) that the disk refuses
// part-way is emptied again, both names of it, so that no start of a
// program is left to pass for a whole one; both saves say so.
TEST(OutputFiles, WriteThatFailsInPlaceLeavesTheFileEmpty) {
    enum Outcome { asExpected = 10, reportedSuccess, otherMessage };
    const struct {
        const char* name;
        std::function<bool(const SeqAssembler&, const std::string&)> save;
    } cases[] = {
        {"hex",
         [](const SeqAssembler& a, const std::string& name) { return a.saveHexOutput(name); }},
        {"disassembly", [](const SeqAssembler& a,
                           const std::string& name) { return a.saveDisassemble(name) >= 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.write("a.out", std::string(100, 'o') + "\n");
        fs::create_hard_link(folder / "a.out", folder / "b.out");
        ChildSetup limited;
        limited.fileSizeBytes = 20;
        const ChildEnd end = runInChild(
            [&] {
                AssemblerRig rig;
                load(rig, {nopWord, stopWord, jumpWord});
                Capture err(std::cerr);
                if (c.save(rig.assembler, folder / "a.out"))
                    return int(reportedSuccess);
                const std::string name = folder / "a.out";
                return int(err.str() == "ERROR: could not write file " + name + "\nERROR: file " +
                                            name + " was left empty\n"
                               ? asExpected
                               : otherMessage);
            },
            limited);
        EXPECT_EQ(end.status, asExpected);
        EXPECT_EQ(folder.read("a.out"), "");
        EXPECT_EQ(folder.read("b.out"), "");
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"a.out", "b.out"}));
    }
}

TEST(CpuInfo, TypeWidthsOnStandardOutput) {
    const auto bits = [](size_t bytes) { return std::to_string(8 * bytes) + " bits"; };
    Capture out(std::cout);
    SeqAssembler::printCPU_info();
    EXPECT_EQ(out.str(), "CPU info:"
                         "\n\tSize of int           : " +
                             bits(sizeof(int)) +
                             "\n\tSize of long int      : " + bits(sizeof(long int)) +
                             "\n\tSize of long long int : " + bits(sizeof(long long int)) +
                             "\n\tSize of instruction_t : " + bits(sizeof(instruction_t)) +
                             "\n\tSize of Arg::value_t  : " + bits(sizeof(Arg::value_t)) + "\n");
    // The platform the system is made for.
    EXPECT_NE(out.str().find("Size of int           : 32 bits"), std::string::npos);
    EXPECT_NE(out.str().find("Size of instruction_t : 64 bits"), std::string::npos);
    EXPECT_NE(out.str().find("Size of Arg::value_t  : 64 bits"), std::string::npos);
}

} // namespace
