// Runs the real vorelasm program in a temporary folder and checks its .hex
// output, exit status and key messages.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

class Vorelasm : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vorelasm-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
    }

    // Runs the program in the temporary folder; returns its exit status.
    int run(const std::string& args) {
        std::string cmd =
            "cd '" + dir + "' && '" VORELASM_BINARY "' " + args + " >out.txt 2>err.txt";
        int status = std::system(cmd.c_str());
        out = readFile(dir + "/out.txt");
        err = readFile(dir + "/err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir, out, err;
};

TEST_F(Vorelasm, ExamplesGiveTheirGoldenHex) {
    for (const char* name : {"loop", "acquire_sweep"}) {
        SCOPED_TRACE(name);
        const std::string base = name;
        EXPECT_EQ(run("'" VOREL_SOURCE_DIR "/examples/" + base + ".s'"), 0);
        EXPECT_EQ(readFile(dir + "/" + base + ".hex"),
                  readFile(VOREL_TEST_DATA_DIR "/cases/" + base + ".hex"));
        EXPECT_NE(err.find("assembler finished successfully"), std::string::npos);
        EXPECT_EQ(out.rfind("CPU info:", 0), 0u);
    }
}

TEST_F(Vorelasm, OutputBaseIsTheInputNameWithoutFolderAndExtension) {
    std::system(("mkdir -p '" + dir + "/src'").c_str());
    write("src/prog.tar.s", "nop\n");
    EXPECT_EQ(run("src/prog.tar.s"), 0);
    EXPECT_EQ(readFile(dir + "/prog.tar.hex"), "1000000000000000\n");
}

TEST_F(Vorelasm, SourceErrorsGiveTheirCountAndNoHex) {
    write("bad.s", "bad R1\nnop\nmove R1\n");
    EXPECT_EQ(run("bad.s"), 2);
    EXPECT_FALSE(exists(dir + "/bad.hex"));
    EXPECT_NE(err.find("bad.s:1:0: Syntax error: instruction 'bad' not found"), std::string::npos);
}

TEST_F(Vorelasm, MissingInputFile) {
    EXPECT_EQ(run("none.s"), 1);
    EXPECT_NE(err.find("Could not open input file 'none.s' for reading"), std::string::npos);
    EXPECT_FALSE(exists(dir + "/none.hex"));
}

TEST_F(Vorelasm, CommandLineFaults) {
    struct Case {
        const char* args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"", 2, ""},
        {"-h x.s", 1, ""},
        {"a.s b.s", 2, "Too many non-option arguments"},
        {"-l", 2, "Option -l requires argument"},
        {"-l -o x a.s", 2, "Option -l requires argument"},
        {"-l loud a.s", 2, "Unsupported log level: loud"},
        {"-s 2x a.s", 2, "Error in number of repeated assembly (stress testing): 2x"},
        {"-s 99999999999 a.s", 2, "Error in number of repeated assembly (stress testing)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(run(c.args), c.status);
        EXPECT_NE(err.find(c.message), std::string::npos);
        EXPECT_NE(out.find("Usage: "), std::string::npos);
    }
}

TEST_F(Vorelasm, ZeroRepetitionsLeaveAnEarlierHexAlone) {
    write("p.s", "nop\n");
    write("p.hex", "earlier\n");
    EXPECT_EQ(run("-s 0 p.s"), 0);
    EXPECT_EQ(readFile(dir + "/p.hex"), "earlier\n");
}

TEST_F(Vorelasm, ManyErrorsNeverReadAsSuccess) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "bad\n";
    }
    write("many.s", text);
    EXPECT_EQ(run("many.s"), 255);
    EXPECT_FALSE(exists(dir + "/many.hex"));
}

TEST_F(Vorelasm, UnsupportedOptionIsSkipped) {
    write("p.s", "nop\n");
    EXPECT_EQ(run("-x p.s"), 0);
    EXPECT_NE(err.find("Unsupported option: '-x'"), std::string::npos);
    EXPECT_TRUE(exists(dir + "/p.hex"));
}

} // namespace
