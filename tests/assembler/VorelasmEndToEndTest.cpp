// Runs the real vorelasm program in a temporary folder and checks its .hex
// output, exit status and key messages.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tests/support/Vorelasm.h"

namespace {

class Vorelasm : public ::testing::Test {
protected:
    // Runs the program in the temporary folder; returns its exit status.
    int run(const std::vector<std::string>& arguments) {
        const ProgramRun result = runVorelasm(dir.path(), arguments);
        out = result.out;
        err = result.err;
        return result.status;
    }

    TempFolder dir;
    std::string out, err;
};

TEST_F(Vorelasm, ExamplesGiveTheirGoldenHex) {
    for (const char* name : {"loop", "acquire_sweep"}) {
        SCOPED_TRACE(name);
        const std::string base = name;
        EXPECT_EQ(run({VOREL_SOURCE_DIR "/examples/" + base + ".s"}), 0);
        EXPECT_EQ(dir.read(base + ".hex"), readFile(VOREL_TEST_DATA_DIR "/cases/" + base + ".hex"));
        EXPECT_NE(err.find("assembler finished successfully"), std::string::npos);
        EXPECT_EQ(out.rfind("CPU info:", 0), 0u);
    }
}

TEST_F(Vorelasm, OutputBaseIsTheInputNameWithoutFolderAndExtension) {
    ASSERT_EQ(mkdir((dir / "src").c_str(), 0755), 0);
    dir.write("src/prog.tar.s", "nop\n");
    EXPECT_EQ(run({"src/prog.tar.s"}), 0);
    EXPECT_EQ(dir.read("prog.tar.hex"), "1000000000000000\n");
}

TEST_F(Vorelasm, SourceErrorsGiveTheirCountAndNoHex) {
    dir.write("bad.s", "bad R1\nnop\nmove R1\n");
    EXPECT_EQ(run({"bad.s"}), 2);
    EXPECT_FALSE(exists(dir / "bad.hex"));
    EXPECT_NE(err.find("bad.s:1:0: Syntax error: instruction 'bad' not found"), std::string::npos);
}

TEST_F(Vorelasm, MissingInputFile) {
    EXPECT_EQ(run({"none.s"}), 1);
    EXPECT_NE(err.find("Could not open input file 'none.s' for reading"), std::string::npos);
    EXPECT_FALSE(exists(dir / "none.hex"));
}

TEST_F(Vorelasm, CommandLineFaults) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, ""},
        {{"-h", "x.s"}, 1, ""},
        {{"a.s", "b.s"}, 2, "Too many non-option arguments"},
        {{"-l"}, 2, "Option -l requires argument"},
        {{"-l", "-o", "x", "a.s"}, 2, "Option -l requires argument"},
        {{"-l", "loud", "a.s"}, 2, "Unsupported log level: loud"},
        {{"-s", "2x", "a.s"}, 2, "Error in number of repeated assembly (stress testing): 2x"},
        {{"-s", "99999999999", "a.s"}, 2, "Error in number of repeated assembly (stress testing)"},
        {{"a.s", "-o"}, 2, "Option -o requires argument"},
        {{"a.s", "-s"}, 2, "Option -s requires argument"},
        {{"-s", "-1", "a.s"}, 2, "Option -s requires argument"},
        {{"-o", "-x", "a.s"}, 2, "Option -o requires argument"},
        {{"-l", "n", "-l", "bogus", "a.s"}, 2, "Unsupported log level: bogus"},
    };
    for (const Case& c : cases) {
        std::string trace;
        for (const std::string& a : c.arguments)
            trace += a + " ";
        SCOPED_TRACE(trace);
        EXPECT_EQ(run(c.arguments), c.status);
        EXPECT_NE(err.find(c.message), std::string::npos);
        EXPECT_NE(out.find("Usage: "), std::string::npos);
    }
}

TEST_F(Vorelasm, HelpTextIsExact) {
    EXPECT_EQ(run({"-h"}), 1);
    EXPECT_EQ(out, "Usage: " VORELASM_BINARY
                   "[-h] [-l loglevel] [-s repetitions] [-o outfilebase] [inputfile]\n"
                   "Assemble vorelasm program into binary.\n"
                   "Arguments:\n"
                   "\tinputfile: input file containing vorel assembly.\n"
                   "Options:\n"
                   "\t-h                 : print help\n"
                   "\t-l loglevel        : debug/d, info/i, notice/n, warning/w, error/e, "
                   "critical/c, alert/a or emergency/m.\n"
                   "\t                     Default: info\n"
                   "\t-s repeat_assembly : repeat assemble of program given number of times for "
                   "stress testing.\n"
                   "\t-o outfilebase     : output filename(s) without extension.\n"
                   "\t                     Default: input file base (without directory, without "
                   "extension)\n");
}

// Without any argument, not even its own name, the program still says how to
// use it under its own name. Linux passes an empty name in that case.
TEST_F(Vorelasm, EmptyArgumentVector) {
    RunOptions options;
    options.setup.folder = dir.path();
    options.emptyEnvironment = true;
    const ProgramRun run = runWithArgumentVector(vorelasmBinary, {}, options);
    // 1 for an empty vector, 2 where the kernel passes one empty argument.
    EXPECT_TRUE(run.status == 1 || run.status == 2) << run.status;
    EXPECT_EQ(run.out.rfind("Usage: vorelasm[-h] [-l loglevel]", 0), 0u) << run.out;
}

TEST_F(Vorelasm, EveryFailedRepetitionIsReported) {
    dir.write("bad.s", "nop\nfoo\nbar\n");
    EXPECT_EQ(run({"-s", "3", "bad.s"}), 2);
    size_t reports = 0;
    for (size_t at = err.find("assembler failed with 2 errors:"); at != std::string::npos;
         at = err.find("assembler failed with 2 errors:", at + 1))
        ++reports;
    EXPECT_EQ(reports, 3u) << err;
    EXPECT_FALSE(exists(dir / "bad.hex"));
}

TEST_F(Vorelasm, EmptyRepetitionValueMeansNone) {
    dir.write("p.s", "nop\n");
    EXPECT_EQ(run({"-s", "", "p.s"}), 0);
    EXPECT_FALSE(exists(dir / "p.hex"));
    EXPECT_EQ(err.find("assembler finished"), std::string::npos) << err;
}

TEST_F(Vorelasm, ZeroRepetitionsLeaveAnEarlierHexAlone) {
    dir.write("p.s", "nop\n");
    dir.write("p.hex", "earlier\n");
    EXPECT_EQ(run({"-s", "0", "p.s"}), 0);
    EXPECT_EQ(dir.read("p.hex"), "earlier\n");
}

TEST_F(Vorelasm, ManyErrorsNeverReadAsSuccess) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "bad\n";
    }
    dir.write("many.s", text);
    EXPECT_EQ(run({"many.s"}), 255);
    EXPECT_FALSE(exists(dir / "many.hex"));
}

TEST_F(Vorelasm, UnsupportedOptionIsSkipped) {
    dir.write("p.s", "nop\n");
    EXPECT_EQ(run({"-x", "p.s"}), 0);
    EXPECT_NE(err.find("Unsupported option: '-x'"), std::string::npos);
    EXPECT_TRUE(exists(dir / "p.hex"));
}

} // namespace
