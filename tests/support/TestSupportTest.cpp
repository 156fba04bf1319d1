// The runs that the end-to-end tests start: arguments reach the program
// unchanged, both output streams and the exit status come back apart, large
// streams do not stall, and a child takes the rights and limits it was given.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

const std::string shell = "/bin/sh";

// A shell script run with the arguments after it as "$@".
ProgramRun runScript(const std::string& script, const std::vector<std::string>& arguments = {},
                     const RunOptions& options = {}) {
    std::vector<std::string> all{"-c", script, "script"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runProgram(shell, all, options);
}

TEST(ProgramRun, ArgumentsArriveAsGiven) {
    const std::vector<std::string> arguments = {"", "two words", "'quoted'", "$HOME", "a;b", "*"};
    const ProgramRun run = runScript("printf '%s|' \"$@\"", arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "|two words|'quoted'|$HOME|a;b|*|");
    EXPECT_EQ(run.err, "");
}

TEST(ProgramRun, StatusAndStreamsComeBackApart) {
    const ProgramRun run = runScript("printf out; printf err >&2; exit 3");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.out, "out");
    EXPECT_EQ(run.err, "err");

    const ProgramRun ended = runScript("kill -TERM $$");
    EXPECT_EQ(ended.status, -1);
    EXPECT_EQ(ended.signal, SIGTERM);

    EXPECT_EQ(runProgram("/nonexistent/program", {}).status, 127);
}

// Far more than a pipe holds, on both streams in turns and through standard
// input, so a run that reads one stream at a time would never end.
TEST(ProgramRun, LargeStreamsDoNotStall) {
    const size_t size = 1u << 20;
    const ProgramRun run = runScript("head -c 300000 /dev/zero >&2; head -c $1 /dev/zero; "
                                     "head -c 300000 /dev/zero >&2",
                                     {std::to_string(size)});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, std::string(size, '\0'));
    EXPECT_EQ(run.err, std::string(600000, '\0'));

    RunOptions options;
    options.input = std::string(size, 'i') + "\n";
    const ProgramRun echoed = runScript("cat; cat >&2", {}, options);
    EXPECT_EQ(echoed.status, 0);
    EXPECT_EQ(echoed.out, *options.input);
    EXPECT_EQ(echoed.err, "") << "the input ends after its text";

    const ProgramRun noInput = runScript("cat");
    EXPECT_EQ(noInput.status, 0);
    EXPECT_EQ(noInput.out, "") << "without input text standard input is empty";
}

TEST(ProgramRun, RunsInItsFolderWithItsEnvironment) {
    TempFolder dir;
    dir.write("here", "found\n");
    RunOptions options;
    options.setup.folder = dir.path();
    options.emptyEnvironment = true;
    const ProgramRun run =
        runScript("cat here; pwd -P; printf '%s' \"$VOREL_TEST_MARK\"", {}, options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "found\n" + std::filesystem::canonical(dir.path()).string() + "\n");

    ASSERT_EQ(setenv("VOREL_TEST_MARK", "inherited", 1), 0);
    const ProgramRun inherited = runScript("printf '%s' \"$VOREL_TEST_MARK\"");
    unsetenv("VOREL_TEST_MARK");
    EXPECT_EQ(inherited.out, "inherited");
}

TEST(TempFolder, HoldsFilesAndGoesWithAllOfThem) {
    std::string path;
    {
        TempFolder dir;
        TempFolder other;
        EXPECT_NE(dir.path(), other.path());
        path = dir.path();
        EXPECT_EQ(std::filesystem::path(path).parent_path(),
                  std::filesystem::temp_directory_path());
        const std::string bytes("with\0nul\n", 9);
        dir.write("b", bytes);
        ASSERT_EQ(mkdir((dir / "a").c_str(), 0755), 0);
        dir.write("a/inside", "x");
        ASSERT_EQ(chmod((dir / "a").c_str(), 0500), 0);
        EXPECT_EQ(dir.read("b"), bytes);
        EXPECT_EQ(dir.read("missing"), "");
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(dir.entries("a"), std::vector<std::string>{"inside"});
        EXPECT_THROW(dir.write("missing/x", "x"), std::runtime_error);
    }
    EXPECT_FALSE(exists(path)) << "also a read-only subfolder is removed";
}

TEST(ChildProcess, TakesTheRightsOfAnotherUser) {
    const std::optional<User> user = otherUser();
    if (!user)
        GTEST_SKIP() << whyNoOtherUser();
    ChildSetup setup;
    setup.user = user;
    const ChildEnd end = runInChild(
        [&] {
            const bool dropped = getuid() == user->uid && geteuid() == user->uid &&
                                 getgid() == user->gid && getgroups(0, nullptr) == 0;
            return dropped ? 0 : 1;
        },
        setup);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.signal, 0);
}

TEST(ChildProcess, FileSizeLimitFailsTheWriteAndSparesTheParent) {
    TempFolder dir;
    ChildSetup setup;
    setup.fileSizeBytes = 16;
    const ChildEnd end = runInChild(
        [&] {
            FILE* file = std::fopen((dir / "big").c_str(), "w");
            if (file == nullptr)
                return 1;
            const std::string text(64, 'x');
            const size_t written = std::fwrite(text.data(), 1, text.size(), file);
            const bool refused = std::fflush(file) != 0 && errno == EFBIG;
            std::fclose(file);
            return refused && written == text.size() ? 0 : 2;
        },
        setup);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(dir.read("big"), std::string(16, 'x'));
    dir.write("big", std::string(64, 'x'));
    EXPECT_EQ(dir.read("big").size(), 64u) << "the limit stays in the child";
}

TEST(ChildProcess, ThrownFunctionEndsTheChildWithItsOwnStatus) {
    EXPECT_EQ(runInChild([]() -> int { throw 1; }).status, childFunctionThrew);
    ChildSetup setup;
    setup.folder = "/nonexistent/folder";
    EXPECT_EQ(runInChild([] { return 0; }, setup).status, childSetupFailed);
}

} // namespace
