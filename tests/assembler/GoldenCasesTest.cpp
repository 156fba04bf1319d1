// Golden cases of the vorelasm program: every cases/<name>.expected describes
// one run of the real program on <name>.s in a fresh folder.
//
// Format of an .expected file, one item per line ('#' starts a comment line,
// blank lines are skipped):
//   status: <n>             the exit status (required, once)
//   hex: none               the run writes no .hex, and an earlier one stays as it was
//   hex: <file>             the .hex equals cases/<file> byte for byte
//   hex-words: <n> <word>   the .hex is <n> lines, each the 16-digit <word>
//   stderr: <text>          a block of consecutive stderr: lines must stand on
//                           consecutive lines of standard error: the first
//                           anywhere inside a line, each further one as the
//                           whole next line ("stderr:" alone is an empty line;
//                           blanks at the end of a line are not compared); the
//                           blocks, parted by any other line, stand in order
//   stdout: <text>          the same for standard output
//   no-stderr: <text>       the text appears nowhere on standard error
//   source: <text>          one source line; with source: or repeat: items the
//   repeat: <n> <text>      test writes the source itself, the lines in item
//                           order (<n> times the text for repeat:), and there
//                           is no <name>.s
// Exactly one hex item is required.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tests/support/Vorelasm.h"

namespace {

namespace fs = std::filesystem;

const std::string casesDir = VOREL_TEST_DATA_DIR "/cases";

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

using Block = std::vector<std::string>;

struct Expectation {
    int status = -1;
    bool noHex = false;
    std::string hexFile;
    int hexWordCount = -1;
    std::string hexWord;
    std::vector<Block> stderrBlocks, stdoutBlocks; // in order
    std::vector<std::string> absentFromStderr;
    bool generatedSource = false;
    std::string source;
    std::vector<std::string> faults; // lines of the .expected file that could not be read
};

Expectation parseExpectation(const std::string& text) {
    Expectation e;
    std::string lastKey;
    int hexItems = 0;
    for (const std::string& line : splitLines(text)) {
        if (line.empty() || line[0] == '#') {
            lastKey.clear();
            continue;
        }
        const std::size_t colon = line.find(':');
        const std::string key = line.substr(0, colon);
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ') {
            value.erase(0, 1);
        }
        std::istringstream words(value);
        if (colon == std::string::npos) {
            e.faults.push_back(line);
        } else if (key == "status") {
            if (!(words >> e.status) || e.status < 0) {
                e.faults.push_back(line);
            }
        } else if (key == "hex") {
            ++hexItems;
            if (value == "none") {
                e.noHex = true;
            } else if (value.empty()) {
                e.faults.push_back(line);
            } else {
                e.hexFile = value;
            }
        } else if (key == "hex-words") {
            ++hexItems;
            if (!(words >> e.hexWordCount >> e.hexWord) || e.hexWord.size() != 16) {
                e.faults.push_back(line);
            }
        } else if (key == "stderr" || key == "stdout") {
            auto& blocks = key == "stderr" ? e.stderrBlocks : e.stdoutBlocks;
            if (lastKey != key) {
                blocks.emplace_back();
            }
            blocks.back().push_back(value);
        } else if (key == "no-stderr") {
            e.absentFromStderr.push_back(value);
        } else if (key == "source") {
            e.generatedSource = true;
            e.source += value + "\n";
        } else if (key == "repeat") {
            int count = 0;
            std::string text;
            if (!(words >> count) || count < 1 || !std::getline(words >> std::ws, text)) {
                e.faults.push_back(line);
            }
            e.generatedSource = true;
            for (int i = 0; i < count; ++i) {
                e.source += text + "\n";
            }
        } else {
            e.faults.push_back(line);
        }
        lastKey = key;
    }
    if (e.status < 0) {
        e.faults.push_back("(no status: item)");
    }
    if (hexItems != 1) {
        e.faults.push_back("(not exactly one hex item)");
    }
    return e;
}

std::string withoutTrailingBlanks(std::string line) {
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

// Finds the blocks one after the other in the text. A block stands on
// consecutive lines: its first line inside a line, every further line as the
// whole next line. Blanks at the end of a line are not counted, so that the
// case files need none. Returns the first block not found after the ones
// before it, or null when all are there.
bool blockStandsAt(const std::vector<std::string>& lines, std::size_t i, const Block& block) {
    if (lines[i].find(withoutTrailingBlanks(block[0])) == std::string::npos) {
        return false;
    }
    for (std::size_t j = 1; j < block.size(); ++j) {
        if (withoutTrailingBlanks(lines[i + j]) != withoutTrailingBlanks(block[j])) {
            return false;
        }
    }
    return true;
}

const Block* missingBlock(const std::string& text, const std::vector<Block>& blocks) {
    const std::vector<std::string> lines = splitLines(text);
    std::size_t from = 0;
    for (const Block& block : blocks) {
        std::size_t i = from;
        while (i + block.size() <= lines.size() && !blockStandsAt(lines, i, block)) {
            ++i;
        }
        if (i + block.size() > lines.size()) {
            return &block;
        }
        from = i + block.size();
    }
    return nullptr;
}

std::string joined(const Block& block) {
    std::string text;
    for (const std::string& line : block) {
        text += line + "\n";
    }
    return text;
}

// The case names: every .expected file in the cases folder.
std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(casesDir)) {
        if (entry.path().extension() == ".expected") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenCase : public ::testing::TestWithParam<std::string> {
protected:
    // Runs the program on name.s in the folder; returns its exit status.
    int run(const std::string& name) {
        const ProgramRun result = runVorelasm(dir.path(), {name + ".s"});
        out = result.out;
        err = result.err;
        return result.status;
    }

    TempFolder dir;
    std::string out, err;
};

TEST_P(GoldenCase, ProgramGivesItsExpectedResult) {
    const std::string name = GetParam();
    const Expectation e = parseExpectation(readFile(casesDir + "/" + name + ".expected"));
    for (const std::string& fault : e.faults) {
        ADD_FAILURE() << name << ".expected: cannot read the item '" << fault << "'";
    }
    ASSERT_TRUE(e.faults.empty());

    const std::string sourcePath = casesDir + "/" + name + ".s";
    ASSERT_NE(fs::exists(sourcePath), e.generatedSource)
        << name << ": the source is either " << name << ".s or written by source:/repeat: items";
    const std::string source = e.generatedSource ? e.source : readFile(sourcePath);
    dir.write(name + ".s", source);
    const std::string hexPath = dir / (name + ".hex");

    EXPECT_EQ(run(name), e.status) << err;
    if (const Block* block = missingBlock(err, e.stderrBlocks)) {
        ADD_FAILURE() << "standard error lacks, after the lines before, the lines\n"
                      << joined(*block) << "in\n"
                      << err;
    }
    if (const Block* block = missingBlock(out, e.stdoutBlocks)) {
        ADD_FAILURE() << "standard output lacks, after the lines before, the lines\n"
                      << joined(*block) << "in\n"
                      << out;
    }
    for (const std::string& text : e.absentFromStderr) {
        EXPECT_EQ(err.find(text), std::string::npos) << "standard error holds " << text;
    }

    // A second run over an earlier .hex: a failed run leaves it byte for byte,
    // a successful one replaces all of it.
    const std::string earlier = "earlier output\n" + std::string(40000, 'x') + "\n";
    std::string expectedHex = earlier;
    if (e.noHex) {
        EXPECT_FALSE(fs::exists(hexPath)) << "a failed assembly wrote " << name << ".hex";
    } else {
        expectedHex.clear();
        if (!e.hexFile.empty()) {
            ASSERT_TRUE(fs::exists(casesDir + "/" + e.hexFile)) << e.hexFile;
            expectedHex = readFile(casesDir + "/" + e.hexFile);
        }
        for (int i = 0; i < e.hexWordCount; ++i) {
            expectedHex += e.hexWord + "\n";
        }
        EXPECT_EQ(readFile(hexPath), expectedHex);
    }
    writeFile(hexPath, earlier);
    EXPECT_EQ(run(name), e.status) << "second run: " << err;
    EXPECT_EQ(readFile(hexPath), expectedHex) << "second run, over an earlier .hex";
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCase, ::testing::ValuesIn(caseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string id = info.param;
                             for (char& c : id) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return id;
                         });

// A source without its .expected would silently be no case at all.
TEST(GoldenCases, EverySourceHasItsExpectation) {
    for (const auto& entry : fs::directory_iterator(casesDir)) {
        if (entry.path().extension() == ".s") {
            fs::path expected = entry.path();
            expected.replace_extension(".expected");
            EXPECT_TRUE(fs::exists(expected)) << entry.path().filename() << " has no .expected";
        }
    }
}

// The reader of the format itself: a typo in an item must fail the case,
// never turn into a weaker check.
TEST(GoldenCases, ExpectationReaderRefusesFaultyItems) {
    struct Case {
        const char* text;
        bool readable;
    };
    const Case cases[] = {
        {"status: 0\nhex: none\n", true},
        {"# note\nstatus: 0\n\nhex: a.hex\nstderr: x\nstderr:\nno-stderr: y\n", true},
        {"status: 2\nhex-words: 3 1000000000000000\nrepeat: 3 nop\nsource: stop\n", true},
        {"hex: none\n", false},
        {"status: 1\n", false},
        {"status: 1\nhex: none\nhex: a.hex\n", false},
        {"status: 1\nhex:\n", false},
        {"status: one\nhex: none\n", false},
        {"status: 1\nhex: none\nstderr x\n", false},
        {"status: 1\nhex: none\nsterr: x\n", false},
        {"status: 1\nhex-words: 2 10\n", false},
        {"status: 1\nhex: none\nrepeat: 0 nop\n", false},
        {"status: 1\nhex: none\nrepeat: 3\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseExpectation(c.text).faults.empty(), c.readable);
    }
}

TEST(GoldenCases, ItemsBuildTheSourceAndTheBlocksInOrder) {
    const Expectation e = parseExpectation("source: wait 3\nrepeat: 2 nop\nsource: stop\n"
                                           "status: 1\nhex: none\nstderr: a\nstderr: b\n"
                                           "# a comment ends a block\nstderr: c\n");
    EXPECT_TRUE(e.generatedSource);
    EXPECT_EQ(e.source, "wait 3\nnop\nnop\nstop\n");
    const std::vector<Block> blocks = {{"a", "b"}, {"c"}};
    EXPECT_EQ(e.stderrBlocks, blocks);
}

TEST(GoldenCases, BlocksStandOnConsecutiveLinesInTheirOrder) {
    const std::string text = "+  x: first line: \nsecond: \n---^\nthird\n";
    struct Case {
        std::vector<Block> blocks;
        bool found;
    };
    const Case cases[] = {
        {{{"first line:"}}, true},
        {{{"first line:", "second:", "---^"}}, true},
        {{{"first line: ", "second: ", "---^ "}}, true},
        {{{"first line:"}, {"---^"}, {"third"}}, true},
        {{{"first line:", "---^"}}, false},
        {{{"first line:", "second:", "^"}}, false},
        {{{"first line:", "second:", "--^"}}, false},
        {{{"third", "more"}}, false},
        {{{"first line:", "second"}}, false},
        {{{"first line:", "second: x"}}, false},
        {{{"third"}, {"first line:"}}, false},
        {{{"first line:", "second:"}, {"second:"}}, false},
    };
    for (const Case& c : cases) {
        std::string all;
        for (const Block& block : c.blocks) {
            all += joined(block) + "--\n";
        }
        SCOPED_TRACE(all);
        EXPECT_EQ(missingBlock(text, c.blocks) == nullptr, c.found);
    }
}

} // namespace
