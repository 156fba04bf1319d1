// Assemble, disassemble, assemble again: the second program must be the first.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "Logging.h"
#include "assembler/seq.h"

namespace {

// The listing labels each line with its address; numbers are no labels in
// source, so the addresses are cut before the text is assembled again.
std::string withoutAddresses(const std::string& listing) {
    std::istringstream lines(listing);
    std::string line, source;
    while (std::getline(lines, line)) {
        source += line.substr(line.find(':') + 1) + "\n";
    }
    return source;
}

std::string hexOf(seq& vorel) {
    std::ostringstream hex;
    vorel.asm_->printHexOutput(hex);
    return hex.str();
}

TEST(RoundTrip, DisassembledProgramAssemblesToTheSameWords) {
    Logging::setLogLevel(3);
    std::ifstream in(VOREL_SOURCE_DIR "/examples/loop.s");
    std::stringstream source;
    source << in.rdbuf();
    const std::string programs[] = {
        source.str(),
        "move 0xffffffff, R63\nadd R1, R2, R3\nasl R4, 31, R5\nset_ph 511, 511, 8191\n"
        "set_awg_gain 32767, 0\nset_awg_offs R1, R2\nacquire_weighed 63, R1, R2, R3, 4\n"
        "wait_trigger 65535\nwait_sync R9\nloop R1, 0\nsw_req 7\nset_mrk 15\nupd_param 4\n",
    };
    for (const std::string& program : programs) {
        SCOPED_TRACE(program);
        seq first;
        std::string message;
        ASSERT_EQ(first.assemble(program, message), 0) << message;
        std::string text;
        ASSERT_EQ(first.disassemble(text), 0);
        text = withoutAddresses(text);
        seq second;
        ASSERT_EQ(second.assemble(text, message), 0) << message << "\n" << text;
        EXPECT_EQ(hexOf(second), hexOf(first)) << text;
        EXPECT_FALSE(hexOf(first).empty());
    }
}

} // namespace
