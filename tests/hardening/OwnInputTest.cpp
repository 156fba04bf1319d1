// A run never writes its .hex over its own input, whatever name or link leads
// there: it fails as for a .hex it cannot write, says why, and leaves every
// file as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/hardening/HardeningSupport.h"
#include "tests/support/FolderSnapshot.h"

namespace {

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(OwnInput, IsNeverWrittenOver) {
    const std::string source = "\tnop\n\tstop\n";
    struct OwnCase {
        const char* name;
        std::function<void(const TempFolder&)> prepare;
        std::vector<std::string> arguments;
        const char* hex; // the .hex the run must not write
    };
    const OwnCase cases[] = {
        {"InputNamedLikeItsHex",
         [&](const TempFolder& d) { writeFile(d / "prog.hex", source); },
         {"prog.hex"},
         "prog.hex"},
        {"OutputBaseNamesTheInput",
         [&](const TempFolder& d) { writeFile(d / "prog.hex", source); },
         {"-o", "prog", "prog.hex"},
         "prog.hex"},
        {"OutputIsASymbolicLinkToTheInput",
         [&](const TempFolder& d) {
             writeFile(d / "prog.s", source);
             ASSERT_EQ(symlink("prog.s", (d / "out.hex").c_str()), 0);
         },
         {"-o", "out", "prog.s"},
         "out.hex"},
        {"OutputIsAHardLinkOfTheInput",
         [&](const TempFolder& d) {
             writeFile(d / "prog.s", source);
             ASSERT_EQ(link((d / "prog.s").c_str(), (d / "out.hex").c_str()), 0);
         },
         {"-o", "out", "prog.s"},
         "out.hex"},
        {"InputIsALinkToItsHex",
         [&](const TempFolder& d) {
             writeFile(d / "link.hex", source);
             ASSERT_EQ(symlink("link.hex", (d / "link.s").c_str()), 0);
         },
         {"link.s"},
         "link.hex"},
        {"InputInAnotherFolderReachedThroughIt",
         [&](const TempFolder& d) {
             ASSERT_EQ(mkdir((d / "src").c_str(), 0755), 0);
             writeFile(d / "src/prog.hex", source);
         },
         {"-o", "src/prog", "src/prog.hex"},
         "src/prog.hex"},
    };
    for (const OwnCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        c.prepare(dir);
        const FolderSnapshot before = snapshotOf(dir.path());
        const ProgramRun run = runVorelasm(dir.path(), c.arguments);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(occurrences(run.err, std::string("output ") + c.hex + " is the input file\n"), 1u)
            << run.err;
        EXPECT_EQ(occurrences(run.err, std::string("could not write ") + c.hex + "\n"), 1u)
            << run.err;
        EXPECT_EQ(snapshotOf(dir.path()), before);
    }
}

// The same name in another folder is another file: the run writes its .hex.
TEST(OwnInput, SameNameInAnotherFolderIsWritten) {
    TempFolder dir;
    ASSERT_EQ(mkdir((dir / "src").c_str(), 0755), 0);
    writeFile(dir / "src/prog.hex", "\tnop\n\tstop\n");
    const ProgramRun run = runVorelasm(dir.path(), {"src/prog.hex"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::string hex, input;
    ASSERT_TRUE(readFile(dir / "prog.hex", hex));
    EXPECT_EQ(hex, hexText({nop, stop}));
    ASSERT_TRUE(readFile(dir / "src/prog.hex", input));
    EXPECT_EQ(input, "\tnop\n\tstop\n");
}

} // namespace
