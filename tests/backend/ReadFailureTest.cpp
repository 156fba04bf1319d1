// A source that fails while it is being read: on both roads the failure is an
// error of the assembly that names the source and the reason, and nothing of
// the lines read before it is encoded.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

#include "BackendTestSupport.h"
#include "Vorel.h"
#include "assembler/seq_instr_set.h"
#include "tests/support/DeepReader.h"
#include "utils/StringSourceReader.h"

namespace {

// Delivers the given lines, then fails as a broken file or pipe would.
class FailingReader : public StringSourceReader {
public:
    FailingReader(const std::string& text, int goodLines)
        : StringSourceReader(text, "broken.s"), goodLines(goodLines) {}
    bool start(std::string& errorMessage) override {
        delivered = 0;
        return StringSourceReader::start(errorMessage);
    }
    std::string nextLineContents() override {
        if (delivered++ == goodLines)
            throw std::runtime_error("Input/output error");
        return StringSourceReader::nextLineContents();
    }

private:
    int goodLines;
    int delivered = 0;
};

const std::string source = "\tmove 1, R1\n\tnop\n\tnop\n\tstop\n";
const std::string expected = "Could not read source 'broken.s': Input/output error";

TEST(ReadFailure, StandAloneAssemblyRecordsItAndEncodesNothing) {
    AssemblerRig rig;
    ASSERT_EQ(rig.assemble("\tstop\n\tstop\n"), 0);
    FailingReader reader(source, 2);
    EXPECT_EQ(rig.assembler.assemble(reader, rig.errors), 1);
    ASSERT_EQ(rig.errors.size(), 1u);
    EXPECT_NE(std::string(rig.errors.begin()->get()->what()).find(expected), std::string::npos)
        << rig.errors.begin()->get()->what();
    EXPECT_EQ(rig.assembler.getProgramSize(), 0u);
    EXPECT_EQ(rig.word(0), 0u) << "the earlier program is cleared";
}

// The failure ends the parse before the parser puts its errors in order: a
// repeated definition is filed at the first one, before the errors read since.
TEST(ReadFailure, StandAloneAssemblyHandsBackItsErrorsInLineOrder) {
    AssemblerRig rig;
    FailingReader reader(".DEF N 1\nnop ]\n.DEF N 2\nnop\n", 3);
    EXPECT_EQ(rig.assembler.assemble(reader, rig.errors), 3);
    std::vector<int> lines;
    for (const auto& error : rig.errors)
        lines.push_back(error->lineNr());
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 0})) << rig.errors.toStringDetails();
    EXPECT_NE(std::string(rig.errors[2]->what()).find(expected), std::string::npos);
}

TEST(ReadFailure, FacadeRecordsItAndEncodesNothing) {
    Vorel vorel(seq_instr_set(), 4096, 64);
    for (int goodLines : {0, 2, 3}) {
        FailingReader reader(source, goodLines);
        std::string message;
        EXPECT_EQ(vorel.assemble(reader, message), 1) << goodLines;
        EXPECT_NE(message.find(expected), std::string::npos) << message;
        EXPECT_FALSE(vorel.isAssembled());
        EXPECT_EQ(vorel.getAssembler()->getProgramSize(), 0u) << goodLines;
    }
}

// A source longer than the line numbers reach fails where they end, instead
// of assembling the lines past it under negative numbers.
TEST(ReadFailure, SourcePastTheLastLineNumberFailsNamingThatLine) {
    const std::string tooLong = "Could not read source 'big.s': Source has more than "
                                "2147483647 lines: numbering ends at line 2147483647";
    AssemblerRig rig;
    DeepReader<StringSourceReader> reader(INT_MAX - 2, source, "big.s");
    EXPECT_EQ(rig.assembler.assemble(reader, rig.errors), 1);
    EXPECT_EQ(rig.errors.toStringFullReport("assembler"),
              "assembler failed with 1 errors:\n" + tooLong);
    EXPECT_EQ(rig.assembler.getProgramSize(), 0u);

    Vorel vorel(seq_instr_set(), 4096, 64);
    std::string message;
    EXPECT_EQ(vorel.assemble(reader, message), 1);
    EXPECT_EQ(message, "assembler failed with 1 errors:\n" + tooLong);
    EXPECT_FALSE(vorel.isAssembled());
}

} // namespace
