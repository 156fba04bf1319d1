// .ci/run on a stand-in tree whose one test sleeps or fails: a signal to the
// script's process group ends the running stage along with the script, a
// failed stage ends the run with its summary and a failing status, and the
// machine's settings read the same before, during and after a run. A run that
// cannot enter its clone stops before any stage.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace std::chrono_literals;

// The one test of a stand-in tree: it tells its pid, then waits for as long
// as the test process that made it lives, unless its stage is ended first. A
// test killed midway (and its script with it) thus leaves no stage running.
std::string sleepingTest() {
    return R"(sh -c [[echo $$ >"$0.new" && mv "$0.new" "$0" && while kill -0 )" +
           std::to_string(getpid()) + R"( 2>/dev/null; do sleep 0.2; done]])";
}
const std::string failingTest = "sh -c [[exit 1]]";

std::string script() {
    return std::string(VOREL_SOURCE_DIR) + "/.ci/run";
}

// The kernel's protections of links in sticky folders, which the script once
// turned on for its run: the whole machine saw them.
std::string linkProtections() {
    return readFile("/proc/sys/fs/protected_symlinks") + readFile("/proc/sys/fs/protected_regular");
}

// A tree with its own copy of the script and a project without a compiler,
// so that it configures at once, beside the file of the script's output.
class StandInTree {
public:
    explicit StandInTree(const std::string& test) {
        namespace fs = std::filesystem;
        fs::create_directories(dir / "tree/.ci");
        fs::copy_file(script(), dir / "tree/.ci/run");
        chmod((dir / "tree/.ci/run").c_str(), 0755);
        dir.write("tree/CMakeLists.txt", "cmake_minimum_required(VERSION 3.20)\n"
                                         "project(standin NONE)\n"
                                         "enable_testing()\n"
                                         "add_test(NAME stage COMMAND " +
                                             test + " [[" + stagePidFile() + "]])\n");
    }

    // In a session of its own, whose process group is the script's, so that
    // the group can be signalled and nothing outlives the test; ended by
    // TERM if the test goes first.
    StartedProgram start() const {
        RunOptions options;
        options.setup.newSession = true;
        options.setup.noCoreDump = true;
        options.setup.parentDeathSignal = SIGTERM;
        return StartedProgram(dir / "tree/.ci/run", {}, dir / "output", options);
    }

    std::string stagePidFile() const { return dir / "stage.pid"; }
    std::string output() const { return dir.read("output"); }
    std::string log() const { return dir.read("tree/build-ctest.log"); }

    // The pid of the stage's sleeping test once it runs; none when the
    // script ends first or it takes too long.
    std::optional<pid_t> stagePid(const StartedProgram& run) const {
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (!exists(stagePidFile())) {
            if (run.waitFor(0ms) || std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(5ms);
        }
        return std::stoi(dir.read("stage.pid"));
    }

private:
    TempFolder dir;
};

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

struct SignalCase {
    const char* name;
    int signal;
    // Else the script outlives it: bash ignores QUIT, and the stage it ended
    // is a failed one.
    bool endsTheScript;
};

void PrintTo(const SignalCase& c, std::ostream* out) {
    *out << "SIG" << c.name;
}

class CiRunGroupSignal : public testing::TestWithParam<SignalCase> {};

// Ctrl-C, a closed terminal, a runner's kill: each reaches the stage's test
// as it reaches the script, and nothing of the run stays behind.
TEST_P(CiRunGroupSignal, EndsTheStageAndTheScript) {
    const SignalCase& c = GetParam();
    const std::string before = linkProtections();
    const StandInTree tree(sleepingTest());
    const StartedProgram run = tree.start();
    const std::optional<pid_t> stage = tree.stagePid(run);
    ASSERT_TRUE(stage) << tree.output();
    EXPECT_EQ(linkProtections(), before) << "while the stage runs";

    ASSERT_EQ(kill(-run.pid(), c.signal), 0);
    const std::optional<ChildEnd> end = run.waitFor(30s);
    ASSERT_TRUE(end) << "the script still runs:\n" << tree.output();
    if (c.endsTheScript) {
        EXPECT_EQ(end->signal, c.signal) << tree.output();
    } else {
        EXPECT_EQ(end->status, 1);
        EXPECT_TRUE(endsWith(tree.output(), "ran: tests: FAILED no ctest summary\n"
                                            "0 passed, 1 failed\n"))
            << tree.output();
    }
    EXPECT_TRUE(eventually(10s, [&] { return !processRuns(*stage); }))
        << "the stage's test still runs";
    EXPECT_TRUE(eventually(10s, [&] { return sessionProcesses(run.pid()).empty(); }))
        << "some of the stage still runs";
    EXPECT_EQ(linkProtections(), before) << "after the run";
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CiRunGroupSignal,
    testing::Values(SignalCase{"HUP", SIGHUP, true}, SignalCase{"INT", SIGINT, true},
                    SignalCase{"QUIT", SIGQUIT, false}, SignalCase{"TERM", SIGTERM, true},
                    SignalCase{"USR1", SIGUSR1, true}, SignalCase{"ALRM", SIGALRM, true}),
    [](const testing::TestParamInfo<SignalCase>& info) { return std::string(info.param.name); });

// The way out without a signal: the summary, and a failing status.
TEST(CiRun, FailedStageEndsTheRunWithItsSummary) {
    const StandInTree tree(failingTest);
    const StartedProgram run = tree.start();
    const std::optional<ChildEnd> end = run.waitFor(120s);
    ASSERT_TRUE(end) << "the script still runs";
    EXPECT_EQ(end->status, 1);
    const std::string ctest = "0% tests passed, 1 tests failed out of 1";
    const std::string summary = "ran: tests: FAILED " + ctest + "\n0 passed, 1 failed\n";
    EXPECT_TRUE(endsWith(tree.output(), summary)) << tree.output();
    EXPECT_NE(tree.log().find(ctest + "\n"), std::string::npos) << tree.log();
}

// The script's text run under a name whose folder is not there: it cannot
// enter its clone, so it says so and stops before a stage could build or
// write in the folder it was started from.
TEST(CiRun, StopsWhenItCannotEnterItsClone) {
    const TempFolder caller;
    RunOptions options;
    options.setup.folder = caller.path();
    const ProgramRun run =
        runProgram("/bin/bash", {"-c", readFile(script()), "missing/.ci/run"}, options);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("missing/.ci/run: cannot enter the top of the clone "
                           "(missing/.ci/..): nothing was built or run\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(caller.entries(), std::vector<std::string>{});
}

} // namespace
