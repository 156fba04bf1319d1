// A run that exhausts its memory ends with one log line and status 1, and
// leaves no .hex file behind, new or half-written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/hardening/HardeningSupport.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool addressSpaceCanBeLimited = false; // the sanitizer reserves terabytes
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool addressSpaceCanBeLimited = false;
#else
constexpr bool addressSpaceCanBeLimited = true;
#endif
#else
constexpr bool addressSpaceCanBeLimited = true;
#endif

TEST(ResourceLimit, OutOfMemoryFailsTheRunCleanly) {
    if (!addressSpaceCanBeLimited)
        GTEST_SKIP() << "address space cannot be limited under AddressSanitizer";
    TempFolder dir;
    std::string source;
    for (int i = 0; i < 1000000; ++i)
        source += "\tnop\n";
    writeFile(dir / "big.s", source);
    writeFile(dir / "big.hex", "00000000000000ff\n");

    RunOptions limited;
    limited.setup.addressSpaceBytes = 100ull << 20;
    const ProgramRun run = runVorelasm(dir.path(), {"big.s"}, limited);
    EXPECT_EQ(run.status, 1) << run.err.substr(0, 2000);
    EXPECT_NE(run.err.find("out of memory"), std::string::npos) << run.err.substr(0, 2000);
    std::string hex;
    ASSERT_TRUE(readFile(dir / "big.hex", hex));
    EXPECT_EQ(hex, "00000000000000ff\n");
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"big.hex", "big.s"}));
}

} // namespace
