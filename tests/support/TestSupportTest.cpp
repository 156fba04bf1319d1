// The runs that the end-to-end tests start: arguments reach the program
// unchanged, both output streams and the exit status come back apart, large
// streams do not stall, and a child takes the rights and limits it was given;
// a program left running can be watched and signalled, and leaves nothing
// behind; the folder of a killed test goes with the next one made.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/CapturedStderr.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FileFlag.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace std::chrono_literals;

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

    options.environment = {"VOREL_TEST_MARK=given"};
    EXPECT_EQ(runScript("printf '%s' \"$VOREL_TEST_MARK\"", {}, options).out, "given");

    ASSERT_EQ(setenv("VOREL_TEST_MARK", "inherited", 1), 0);
    ASSERT_EQ(setenv("VOREL_TEST_MARKS", "kept", 1), 0);
    const ProgramRun inherited = runScript("printf '%s' \"$VOREL_TEST_MARK\"");
    RunOptions over;
    over.environment = {"VOREL_TEST_MARK=over"};
    const ProgramRun overridden = runScript("env | grep '^VOREL_TEST_MARK' | sort", {}, over);
    unsetenv("VOREL_TEST_MARK");
    unsetenv("VOREL_TEST_MARKS");
    EXPECT_EQ(inherited.out, "inherited");
    EXPECT_EQ(overridden.out, "VOREL_TEST_MARK=over\nVOREL_TEST_MARKS=kept\n")
        << "a given entry takes the place of the inherited one of its name only";
}

TEST(CapturedStderr, TakesEveryWriterAndNamesNoFile) {
    captureStderr();
    std::fprintf(stderr, "stdio ");
    std::cerr << "iostream ";
    runInChild([] {
        std::fputs("child", stderr);
        return 0;
    });
    // A name in a folder would outlive a test killed now.
    char target[256] = {};
    const ssize_t size = readlink("/proc/self/fd/2", target, sizeof target - 1);
    const std::string text = capturedStderr();
    EXPECT_EQ(text, "stdio iostream child");
    ASSERT_GT(size, 0);
    EXPECT_EQ(std::string(target).rfind("/memfd:", 0), 0u) << target;
    captureStderr();
    EXPECT_EQ(capturedStderr(), "") << "each capture starts empty";
}

TEST(TempFolder, HoldsFilesAndGoesWithAllOfThem) {
    std::string path;
    {
        TempFolder dir;
        TempFolder other;
        EXPECT_NE(dir.path(), other.path());
        path = dir.path();
        EXPECT_EQ(std::filesystem::path(path).parent_path(), testFoldersRoot());
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

// A test process killed while its folder holds an immutable file and an
// append-only folder, which even root cannot remove: the next folder made,
// here or by any later test, clears it, but not while its owner lives.
TEST(TempFolder, OneLeftByAKilledTestGoesWithTheNextOne) {
    EXPECT_THROW(FileFlag("/nonexistent", FS_APPEND_FL), std::invalid_argument)
        << "a flag goes only where the next folder clears it";
    const TempFolder dir;
    // The owner ends with the test, however the test ends: a folder of a live
    // owner is never cleared.
    ChildSetup setup;
    setup.parentDeathSignal = SIGKILL;
    const pid_t owner = startChild(
        [&] {
            const TempFolder left;
            left.write("stuck", "x");
            if (mkdir((left / "log").c_str(), 0755) != 0)
                return 1;
            left.write("log/line", "x");
            const FileFlag immutable(left / "stuck", FS_IMMUTABLE_FL);
            const FileFlag appendOnly(left / "log", FS_APPEND_FL);
            // The folder, or why a flag could not be set.
            dir.write("report.new", !immutable.isSet()    ? immutable.whyNot()
                                    : !appendOnly.isSet() ? appendOnly.whyNot()
                                                          : left.path());
            std::rename((dir / "report.new").c_str(), (dir / "report").c_str());
            pause();
            return 0;
        },
        setup);
    // Also when an assertion ends the test early.
    struct Killed {
        pid_t pid;
        ~Killed() {
            kill(pid, SIGKILL);
            waitForChild(pid);
        }
    } const killed{owner};
    eventually(30s, [&] { return exists(dir / "report") || !processRuns(owner); });
    ASSERT_TRUE(exists(dir / "report")) << "the owner ended before it made its folder";
    const std::string left = dir.read("report");
    if (!exists(left))
        GTEST_SKIP() << left;

    {
        const TempFolder other;
        EXPECT_EQ(readFile(left + "/stuck"), "x") << "its owner lives";
    }
    {
        // Every test program clears the root as it starts, so under
        // `ctest -j` another one may clear the left folder at any moment
        // now: the root's lock holds them off while this test looks at it.
        const int root = open(testFoldersRoot().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(root, 0);
        ASSERT_EQ(flock(root, LOCK_EX), 0);
        ASSERT_EQ(kill(owner, SIGKILL), 0);
        EXPECT_TRUE(eventually(30s, [&] { return !processRuns(owner); }));
        errno = 0;
        EXPECT_EQ(unlink((left + "/stuck").c_str()), -1);
        EXPECT_EQ(errno, EPERM) << "the flag outlives the owner";
        EXPECT_EQ(readFile(left + "/log/line"), "x");
        close(root);
    }

    const TempFolder next;
    EXPECT_FALSE(exists(left));
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

// The child of a child that ends: without the signal it would pause for
// ever.
TEST(ChildProcess, ParentDeathSignalEndsTheOrphan) {
    TempFolder dir;
    const ChildEnd middle = runInChild([&] {
        ChildSetup setup;
        setup.parentDeathSignal = SIGTERM;
        const pid_t child = startChild(
            [&] {
                dir.write("set", "");
                pause();
                return 0;
            },
            setup);
        dir.write("orphan", std::to_string(child));
        return eventually(30s, [&] { return exists(dir / "set"); }) ? 0 : 1;
    });
    const pid_t orphan = std::stoi(dir.read("orphan"));
    EXPECT_EQ(middle.status, 0) << "the orphan was set up before its parent ended";
    EXPECT_TRUE(eventually(30s, [&] { return !processRuns(orphan); }));
    if (processRuns(orphan))
        kill(orphan, SIGKILL);
}

TEST(StartedProgram, RunsWhileTheTestWatchesAndSignalsIt) {
    TempFolder dir;
    RunOptions options;
    options.environment = {"VOREL_TEST_MARK=given"};
    const StartedProgram program(
        shell,
        {"-c", "echo \"$VOREL_TEST_MARK\"; echo err >&2; : >\"$1\"; exec sleep 60", "script",
         dir / "ready"},
        dir / "out", options);
    ASSERT_TRUE(eventually(30s, [&] { return exists(dir / "ready"); }));
    EXPECT_FALSE(program.waitFor(0ms)) << "it sleeps";
    EXPECT_TRUE(processRuns(program.pid()));

    ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
    const std::optional<ChildEnd> end = program.waitFor(30s);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->status, -1);
    EXPECT_EQ(end->signal, SIGTERM);
    EXPECT_FALSE(processRuns(program.pid()));
    EXPECT_EQ(program.waitFor(0ms).value_or(ChildEnd{}).signal, SIGTERM)
        << "it is only reaped when the object goes";
    EXPECT_EQ(dir.read("out"), "given\nerr\n");

    const StartedProgram exited(shell, {"-c", "exit 3"}, dir / "out");
    EXPECT_EQ(exited.waitFor(30s).value_or(ChildEnd{}).status, 3);
    const StartedProgram missing("/nonexistent/program", {}, dir / "out");
    EXPECT_EQ(missing.waitFor(30s).value_or(ChildEnd{}).status, 127);
    RunOptions withInput;
    withInput.input = "text";
    EXPECT_THROW(StartedProgram(shell, {"-c", "cat"}, dir / "out", withInput),
                 std::invalid_argument);
    EXPECT_THROW(StartedProgram(shell, {"-c", ":"}, dir / "missing/out"), std::runtime_error);
}

// A job in a process group of its own outlives the program, but not the
// program's session.
TEST(StartedProgram, EndsItsWholeSessionWhenItGoes) {
    TempFolder dir;
    RunOptions options;
    options.setup.newSession = true;
    pid_t job = -1;
    {
        const StartedProgram program(
            "/bin/bash",
            {"-c", "set -m; sleep 60 & echo $! >\"$1\"; exit 3", "script", dir / "job"},
            dir / "out", options);
        ASSERT_EQ(program.waitFor(30s).value_or(ChildEnd{}).status, 3) << dir.read("out");
        job = std::stoi(dir.read("job"));
        EXPECT_TRUE(processRuns(job));
        EXPECT_NE(getpgid(job), program.pid());
        EXPECT_EQ(getsid(job), program.pid());
        EXPECT_EQ(sessionProcesses(program.pid()), std::vector<pid_t>{job});
    }
    EXPECT_FALSE(processRuns(job));
}

} // namespace
