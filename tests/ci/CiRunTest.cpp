// .ci/run on a stand-in tree whose one test sleeps, with stand-in files for
// the kernel's link protections: a signal ends the running stage along with
// the script, which exits with 128 + the signal's number, and what it turned
// on reads 0 again however early the signal comes.
#include <gtest/gtest.h>

#include <linux/fs.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/FileFlag.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace std::chrono_literals;

const std::string bothPutBack =
    "turned on fs.protected_symlinks, fs.protected_regular for the tests; put back to 0";

// The one test of a stand-in tree: it tells its pid, then sleeps well past
// any test's end unless its stage is ended.
const std::string sleepingTest =
    R"(sh -c [[echo $$ >"$0.new" && mv "$0.new" "$0" && exec sleep 60]])";
const std::string failingTest = "sh -c [[exit 1]]";

// A tree with its own copy of the script and a project without a compiler,
// so that it configures at once, beside a folder of stand-in settings and
// the file of the script's output.
class StandInTree {
public:
    StandInTree(const std::string& test, const std::string& symlinks = "0",
                const std::string& regular = "0") {
        namespace fs = std::filesystem;
        fs::create_directories(dir / "tree/.ci");
        fs::create_directories(dir / "fs");
        const std::string script = std::string(VOREL_SOURCE_DIR) + "/.ci/run";
        // One that would not take the stand-ins would change the machine's
        // own settings.
        if (readFile(script).find("VOREL_CI_FS_SETTINGS") == std::string::npos)
            throw std::runtime_error(script + " does not read VOREL_CI_FS_SETTINGS");
        fs::copy_file(script, dir / "tree/.ci/run");
        chmod((dir / "tree/.ci/run").c_str(), 0755);
        dir.write("tree/CMakeLists.txt", "cmake_minimum_required(VERSION 3.20)\n"
                                         "project(standin NONE)\n"
                                         "enable_testing()\n"
                                         "add_test(NAME stage COMMAND " +
                                             test + " [[" + stagePidFile() + "]])\n");
        dir.write("fs/protected_symlinks", symlinks + "\n");
        dir.write("fs/protected_regular", regular + "\n");
    }

    // In a session of its own, so that the stage, in its own process group,
    // can be found and nothing outlives the test; ended by TERM, which it
    // handles, if the test goes first.
    StartedProgram start() const {
        RunOptions options;
        options.setup.newSession = true;
        options.setup.noCoreDump = true;
        options.setup.parentDeathSignal = SIGTERM;
        options.environment = {"VOREL_CI_FS_SETTINGS=" + dir / "fs"};
        return StartedProgram(dir / "tree/.ci/run", {}, dir / "output", options);
    }

    std::string stagePidFile() const { return dir / "stage.pid"; }
    std::string output() const { return dir.read("output"); }
    std::string settingPath(const std::string& knob) const { return dir / ("fs/" + knob); }
    std::string setting(const std::string& knob) const { return readFile(settingPath(knob)); }
    std::string settings() const {
        return setting("protected_symlinks") + setting("protected_regular");
    }

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

size_t count(const std::string& text, const std::string& line) {
    size_t found = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++found;
    return found;
}

struct SignalCase {
    const char* name;
    int signal;
    int status;
};

void PrintTo(const SignalCase& c, std::ostream* out) {
    *out << "SIG" << c.name;
}

class CiRunSignal : public testing::TestWithParam<SignalCase> {};

// A hang-up or a quit as well as an interrupt or a termination.
TEST_P(CiRunSignal, EndsTheStageAndPutsTheSettingsBack) {
    const SignalCase& c = GetParam();
    const StandInTree tree(sleepingTest);
    const StartedProgram run = tree.start();
    const std::optional<pid_t> stage = tree.stagePid(run);
    ASSERT_TRUE(stage) << tree.output();
    ASSERT_EQ(tree.settings(), "1\n1\n") << "both were turned on for the stage";

    ASSERT_EQ(kill(run.pid(), c.signal), 0);
    const std::optional<ChildEnd> end = run.waitFor(30s);
    ASSERT_TRUE(end) << "the script still runs";
    EXPECT_EQ(end->status, c.status);
    EXPECT_EQ(end->signal, 0);
    EXPECT_TRUE(eventually(10s, [&] { return !processRuns(*stage); }))
        << "the stage's test still runs";
    EXPECT_TRUE(eventually(10s, [&] { return sessionProcesses(run.pid()).empty(); }))
        << "some of the stage still runs";
    EXPECT_EQ(tree.settings(), "0\n0\n");
    EXPECT_EQ(count(tree.output(), bothPutBack + "\n"), 1u) << tree.output();
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CiRunSignal,
    testing::Values(SignalCase{"HUP", SIGHUP, 129}, SignalCase{"INT", SIGINT, 130},
                    SignalCase{"QUIT", SIGQUIT, 131}, SignalCase{"TERM", SIGTERM, 143}),
    [](const testing::TestParamInfo<SignalCase>& info) { return std::string(info.param.name); });

// A signal just after the first setting is turned on, before the script
// would have got to the rest: the window is short, so it takes several runs
// to land in it.
TEST(CiRun, SignalWhileTheSettingsAreTurnedOnStillPutsThemBack) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const StandInTree tree(sleepingTest);
        const StartedProgram run = tree.start();
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (tree.setting("protected_symlinks") != "1\n" && !run.waitFor(0ms) &&
               std::chrono::steady_clock::now() < deadline) {
        }
        ASSERT_EQ(kill(run.pid(), SIGTERM), 0);
        const std::optional<ChildEnd> end = run.waitFor(30s);
        ASSERT_TRUE(end) << "the script still runs, attempt " << attempt << ":\n" << tree.output();
        EXPECT_EQ(end->status, 143) << tree.output();
        EXPECT_EQ(tree.settings(), "0\n0\n") << "attempt " << attempt << ":\n" << tree.output();
    }
}

// Only what the script turned on is put back and named.
TEST(CiRun, SettingAlreadyOnIsLeftOn) {
    const StandInTree tree(sleepingTest, "0", "1");
    const StartedProgram run = tree.start();
    ASSERT_TRUE(tree.stagePid(run)) << tree.output();
    ASSERT_EQ(kill(run.pid(), SIGTERM), 0);
    ASSERT_TRUE(run.waitFor(30s)) << "the script still runs";
    EXPECT_EQ(tree.settings(), "0\n1\n");
    const std::string output = tree.output();
    EXPECT_EQ(count(output, "turned on fs.protected_symlinks for the tests; put back to 0\n"), 1u)
        << output;
    EXPECT_EQ(count(output, "fs.protected_regular"), 0u) << output;
}

// The report names what was turned on but could not be put back.
TEST(CiRun, SettingThatCannotBePutBackIsNamed) {
    const StandInTree tree(sleepingTest);
    const StartedProgram run = tree.start();
    ASSERT_TRUE(tree.stagePid(run)) << tree.output();
    const FileFlag stuck(tree.settingPath("protected_regular"), FS_IMMUTABLE_FL);
    if (!stuck.isSet())
        GTEST_SKIP() << stuck.whyNot();
    ASSERT_EQ(kill(run.pid(), SIGTERM), 0);
    ASSERT_TRUE(run.waitFor(30s)) << "the script still runs";
    EXPECT_EQ(tree.settings(), "0\n1\n");
    EXPECT_EQ(count(tree.output(), "turned on fs.protected_symlinks, fs.protected_regular for the "
                                   "tests; could not put back to 0: fs.protected_regular\n"),
              1u)
        << tree.output();
}

// The way out without a signal: the summary, after the settings are put back.
TEST(CiRun, FailedStagePutsTheSettingsBack) {
    const StandInTree tree(failingTest);
    const StartedProgram run = tree.start();
    const std::optional<ChildEnd> end = run.waitFor(120s);
    ASSERT_TRUE(end) << "the script still runs";
    EXPECT_EQ(end->status, 1);
    EXPECT_EQ(tree.settings(), "0\n0\n");
    const std::string output = tree.output();
    EXPECT_EQ(count(output, bothPutBack + "\n"), 1u) << output;
    const std::string summary = bothPutBack + "\n" +
                                "ran: tests: FAILED 0% tests passed, 1 tests failed out of 1\n"
                                "0 passed, 1 failed\n";
    EXPECT_GE(output.size(), summary.size());
    EXPECT_EQ(output.substr(output.size() - std::min(output.size(), summary.size())), summary);
}

} // namespace
