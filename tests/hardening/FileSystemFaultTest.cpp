// Inputs and outputs that the file system refuses: the run fails with status 1,
// says why, and leaves no new or changed file behind. Output names that no
// open for writing gets through are cases of FileReplaceTest.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "tests/hardening/HardeningSupport.h"

namespace {

class FileSystemFault : public testing::Test {
protected:
    void SetUp() override { writeFile(dir / "prog.s", "\tnop\n\tstop\n"); }
    TempFolder dir;
};

TEST_F(FileSystemFault, DirectoryAsInput) {
    ASSERT_EQ(mkdir((dir / "src").c_str(), 0755), 0);
    writeFile(dir / "src.hex", earlierHex);
    const ProgramRun run = runVorelasm(dir.path(), {"src"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Could not read source 'src'"), std::string::npos) << run.err;
    std::string hex;
    ASSERT_TRUE(readFile(dir / "src.hex", hex));
    EXPECT_EQ(hex, earlierHex);
}

// procfs refuses new files whatever the rights of the caller, so this case
// runs under root too.
TEST_F(FileSystemFault, OutputFolderRefusesNewFiles) {
    if (!isDirectory("/proc/self"))
        GTEST_SKIP() << "no procfs";
    const ProgramRun run = runVorelasm(dir.path(), {"-o", "/proc/vorel-out", "prog.s"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("could not write /proc/vorel-out.hex"), std::string::npos) << run.err;
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"prog.s"});
}

} // namespace
