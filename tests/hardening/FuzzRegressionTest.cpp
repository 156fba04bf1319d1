// The fuzz targets' properties replayed in the ordinary suite: every seed of
// their corpus, the inputs they once broke among them, must keep them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fuzz/AssembleChecks.h"
#include "fuzz/DisassembleChecks.h"
#include "fuzz/SimulateChecks.h"
#include "tests/hardening/FuzzReplay.h"
#include "tests/hardening/HardeningSupport.h"

namespace {

using Check = void (*)(const uint8_t*, size_t);

struct Target {
    const char* name;
    Check check;
};

const Target targets[] = {
    {"fuzz_assemble", fuzz::checkAssembleInput},
    {"fuzz_disassemble", fuzz::checkDisassembleInput},
    {"fuzz_simulate", fuzz::checkSimulateInput},
};

// An input that once broke a property or crashed a target is kept as a file
// of that target's corpus folder, so that it is replayed here and seeds every
// fuzzing run after it.
TEST(FuzzRegressionTest, CorpusSeedsKeepEveryProperty) {
    namespace fs = std::filesystem;
    for (const auto& target : targets) {
        const fs::path folder = fs::path(VOREL_SOURCE_DIR) / "fuzz" / "corpus" / target.name;
        ASSERT_TRUE(fs::is_directory(folder)) << folder;
        size_t seeds = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::string input;
            ASSERT_TRUE(readFile(entry.path().string(), input)) << entry.path();
            EXPECT_EQ(brokenProperty(target.check, input), "") << entry.path();
            ++seeds;
        }
        EXPECT_GT(seeds, 0u) << folder;
    }
}

} // namespace
