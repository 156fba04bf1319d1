// The fuzz targets' properties replayed in the ordinary suite: every input the
// fuzzers once broke, and every seed of their corpus, must keep them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

Check checkOf(const std::string& target) {
    for (const auto& t : targets)
        if (target == t.name)
            return t.check;
    return nullptr;
}

// Inputs that once broke a property or crashed, with what went wrong.
struct Finding {
    const char* target;
    const char* fault;
    std::string input;
};

std::vector<Finding> findings() {
    using namespace std::string_literals;
    return {};
}

TEST(FuzzRegressionTest, FindingsKeepEveryProperty) {
    for (const Finding& finding : findings()) {
        const Check check = checkOf(finding.target);
        ASSERT_NE(check, nullptr) << finding.target;
        EXPECT_EQ(brokenProperty(check, finding.input), "")
            << finding.target << ": " << finding.fault;
    }
}

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
