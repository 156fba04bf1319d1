// What a direct save shows beyond the names that users meet (those stand in
// the table of tests/hardening/FileReplaceTest.cpp, run through the save and
// through the program): a text that fails or throws leaves the target as it
// was, a FIFO is written and not replaced, the temporary file sits beside the
// target and is not inherited, every signal that ends the process removes it,
// and one that the folder will not let go is named on standard error.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/CapturedStderr.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FileFlag.h"
#include "tests/support/TempFolder.h"
#include "utils/SafeFileWrite.h"

namespace {

namespace fs = std::filesystem;

class SafeFileWrite : public testing::Test {
protected:
    TempFolder dir;
};

auto writes(const std::string& text) {
    return [text](std::ostream& os) {
        os << text;
        return true;
    };
}

// Also a file with another hard link, which a save writes in place: the
// text is made whole before the file is opened.
TEST_F(SafeFileWrite, FailedTextLeavesTheTargetAsItWas) {
    const auto halfThenFail = [](std::ostream& os) {
        os << "half";
        return false;
    };
    const auto throws = [](std::ostream& os) -> bool {
        os << "half";
        throw std::runtime_error("out of words");
    };
    for (const bool hardLinked : {false, true}) {
        SCOPED_TRACE(hardLinked ? "hard-linked" : "one name");
        dir.write("a.hex", "earlier\n");
        if (hardLinked)
            fs::create_hard_link(dir / "a.hex", dir / "b.hex");
        const std::vector<std::string> names = hardLinked
                                                   ? std::vector<std::string>{"a.hex", "b.hex"}
                                                   : std::vector<std::string>{"a.hex"};

        EXPECT_EQ(vorel::saveFileSafely(dir / "a.hex", halfThenFail),
                  vorel::SaveResult::notWritten);
        for (const std::string& name : names)
            EXPECT_EQ(dir.read(name), "earlier\n") << name;
        EXPECT_THROW(vorel::saveFileSafely(dir / "a.hex", throws), std::runtime_error);
        for (const std::string& name : names)
            EXPECT_EQ(dir.read(name), "earlier\n") << name;
        EXPECT_EQ(dir.entries(), names);
        for (const std::string& name : names)
            ASSERT_EQ(unlink((dir / name).c_str()), 0);
    }
}

TEST_F(SafeFileWrite, FifoIsWrittenNotReplaced) {
    ASSERT_EQ(mkfifo((dir / "pipe.hex").c_str(), 0600), 0);
    // An open reader lets the save open the FIFO without waiting; the short
    // text fits the pipe's buffer.
    const int reader = open((dir / "pipe.hex").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(vorel::saveFileSafely(dir / "pipe.hex", writes("through the pipe\n")),
              vorel::SaveResult::saved);
    char buffer[64];
    const ssize_t got = ::read(reader, buffer, sizeof buffer);
    close(reader);
    EXPECT_EQ(std::string(buffer, got > 0 ? size_t(got) : 0), "through the pipe\n");
    struct stat st;
    ASSERT_EQ(stat((dir / "pipe.hex").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"pipe.hex"});
}

// Where the file descriptor of an open file leads, or "".
std::string openedPath(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::error_code ec;
    const fs::path to = fs::read_symlink(link, ec);
    return ec ? std::string() : to.string();
}

// While the text is made, the new file is a hidden `.vorel` file beside the
// target, with the bits it will keep, that a program the writer starts does
// not inherit.
TEST_F(SafeFileWrite, TemporaryFileIsBesideTheTargetAndClosedOnExec) {
    if (!fs::is_directory("/proc/self/fd"))
        GTEST_SKIP() << "no procfs to look at open files through";
    struct TemporaryCase {
        const char* name;
        bool existing;
        mode_t mode; // of the existing file
    };
    const TemporaryCase cases[] = {
        {"NewName", false, 0},
        {"ReplacedFile", true, 0640},
    };
    for (const TemporaryCase& c : cases) {
        SCOPED_TRACE(c.name);
        const mode_t mask = umask(022);
        umask(mask);
        if (c.existing) {
            dir.write("a.hex", "earlier\n");
            ASSERT_EQ(chmod((dir / "a.hex").c_str(), c.mode), 0);
        }
        std::vector<std::string> seen;
        std::vector<int> flags;
        std::vector<mode_t> modes;
        const auto look = [&](std::ostream& os) {
            for (const std::string& name : dir.entries())
                if (name != "a.hex")
                    seen.push_back(name);
            for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
                const int fd = std::stoi(entry.path().filename().string());
                if (fs::path(openedPath(fd)).filename().string().rfind(".vorel", 0) == 0) {
                    flags.push_back(fcntl(fd, F_GETFD));
                    struct stat st {};
                    fstat(fd, &st);
                    modes.push_back(st.st_mode & 07777);
                }
            }
            os << "new\n";
            return true;
        };
        EXPECT_EQ(vorel::saveFileSafely(dir / "a.hex", look), vorel::SaveResult::saved);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].size(), std::string(".vorelXXXXXX").size()) << seen[0];
        EXPECT_EQ(seen[0].rfind(".vorel", 0), 0u) << seen[0];
        ASSERT_EQ(flags.size(), 1u);
        EXPECT_NE(flags[0] & FD_CLOEXEC, 0);
        EXPECT_EQ(modes[0], c.existing ? c.mode : 0666 & ~mask);
        EXPECT_EQ(dir.read("a.hex"), "new\n");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.hex"});
        ASSERT_EQ(unlink((dir / "a.hex").c_str()), 0);
    }
}

// Every signal that a handler may catch and whose default action ends the
// process: the terminal's, the timers', the resource limits', the user's, a
// broken pipe, the crashes and the real-time ones.
std::vector<int> endingSignals() {
    std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP,   SIGABRT,
                                SIGBUS,  SIGFPE,  SIGUSR1, SIGSEGV, SIGUSR2,   SIGPIPE,
                                SIGALRM, SIGTERM, SIGXCPU, SIGPROF, SIGVTALRM, SIGSYS};
#ifdef SIGIO
    signals.push_back(SIGIO);
#endif
#ifdef SIGPWR
    signals.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
    signals.push_back(SIGRTMIN);
    signals.push_back(SIGRTMAX);
    return signals;
}

// A signal that ends the process while the text is made removes the
// temporary file on its way out; the earlier file stays as it was, and the
// process ends by that signal.
TEST_F(SafeFileWrite, EndingSignalRemovesTheTemporaryFile) {
    for (const int sig : endingSignals()) {
        for (const char* earlier : {"earlier\n", static_cast<const char*>(nullptr)}) {
            SCOPED_TRACE(std::string(strsignal(sig)) + (earlier ? ", replacing" : ", new name"));
            if (earlier)
                dir.write("a.hex", earlier);
            ChildSetup setup;
            setup.noCoreDump = true;
            const ChildEnd end = runInChild(
                [&] {
                    signal(sig, SIG_DFL);
                    const auto interrupted = [&](std::ostream& os) {
                        os << "half";
                        raise(sig);
                        os << " and the rest\n";
                        return true;
                    };
                    vorel::saveFileSafely(dir / "a.hex", interrupted);
                    return 0;
                },
                setup);
            ASSERT_NE(end.signal, 0) << "the save went on past the signal";
            EXPECT_EQ(end.signal, sig);
            if (earlier) {
                EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.hex"});
                EXPECT_EQ(dir.read("a.hex"), earlier);
                ASSERT_EQ(unlink((dir / "a.hex").c_str()), 0);
            } else {
                EXPECT_EQ(dir.entries(), std::vector<std::string>{});
            }
        }
    }
}

volatile sig_atomic_t caught = 0;

void (*actionOf(int sig))(int) {
    struct sigaction action {};
    sigaction(sig, nullptr, &action);
    return action.sa_handler;
}

void countSignal(int) {
    caught = caught + 1;
}

// A signal the process ignores or catches does not end it, so the save goes
// on and finishes; after the save every signal has the action it had before,
// SIGXFSZ too, which the save ignores while it runs.
TEST_F(SafeFileWrite, SignalsKeepTheirActionsAroundASave) {
    enum Outcome { savedAndKept = 10, notSaved, actionChanged, handlerNotRun };
    const struct {
        const char* name;
        void (*action)(int);
    } cases[] = {
        {"ignored", SIG_IGN},
        {"caught", countSignal},
        {"default, not raised", SIG_DFL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int result =
            runInChild([&] {
                signal(SIGTERM, c.action);
                signal(SIGINT, SIG_DFL);
                const auto raising = [&](std::ostream& os) {
                    if (c.action != SIG_DFL)
                        raise(SIGTERM);
                    os << "new\n";
                    return true;
                };
                std::vector<void (*)(int)> before(NSIG);
                for (int sig = 1; sig < NSIG; ++sig)
                    before[sig] = actionOf(sig);
                if (vorel::saveFileSafely(dir / "a.hex", raising) != vorel::SaveResult::saved)
                    return int(notSaved);
                for (int sig = 1; sig < NSIG; ++sig)
                    if (actionOf(sig) != before[sig])
                        return int(actionChanged);
                if (actionOf(SIGTERM) != c.action || actionOf(SIGXFSZ) != SIG_DFL)
                    return int(actionChanged);
                if (c.action == countSignal && caught != 1)
                    return int(handlerNotRun);
                return int(savedAndKept);
            }).status;
        EXPECT_EQ(result, savedAndKept);
        EXPECT_EQ(dir.read("a.hex"), "new\n");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.hex"});
        ASSERT_EQ(unlink((dir / "a.hex").c_str()), 0);
    }
}

// Where the rename and the removal are refused, the text is written in place
// and the result is that of the save; the file left behind is named, once
// per save, with the path the save gave it. A second save leaves, and names,
// a second file.
TEST_F(SafeFileWrite, TemporaryFileThatCannotBeRemovedIsNamed) {
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    const FileFlag appendOnly(dir / "sub", FS_APPEND_FL);
    if (!appendOnly.isSet())
        GTEST_SKIP() << appendOnly.whyNot();
    const std::string target = dir / "sub/a.hex";
    // The second text is shorter, so that a save over the first that does
    // not truncate shows.
    const struct {
        const char* name;
        const char* text;
    } saves[] = {
        {"new name", "the first text, the longer one\n"},
        {"existing name", "second\n"},
    };
    std::vector<std::string> left;
    for (const auto& save : saves) {
        SCOPED_TRACE(save.name);
        captureStderr();
        const vorel::SaveResult result = vorel::saveFileSafely(target, writes(save.text));
        const std::string err = capturedStderr();
        EXPECT_EQ(result, vorel::SaveResult::saved);
        EXPECT_EQ(dir.read("sub/a.hex"), save.text);
        const std::vector<std::string> now = dir.temporaryFiles("sub");
        ASSERT_EQ(now.size(), left.size() + 1) << err;
        const std::vector<std::string> name = namesAdded(left, now);
        ASSERT_EQ(name.size(), 1u);
        EXPECT_EQ(err, "ERROR: could not remove temporary file " + dir / "sub/" + name[0] + "\n");
        left = now;
    }
    std::vector<std::string> all = left;
    all.push_back("a.hex");
    std::sort(all.begin(), all.end());
    EXPECT_EQ(dir.entries("sub"), all);
}

// A temporary file that is gone already is no leftover: the save, refused
// the rename, writes in place and says nothing.
TEST_F(SafeFileWrite, TemporaryFileRemovedMeanwhileIsNotNamed) {
    const auto removesIt = [&](std::ostream& os) {
        for (const std::string& name : dir.temporaryFiles())
            unlink((dir / name).c_str());
        os << "new\n";
        return true;
    };
    captureStderr();
    const vorel::SaveResult result = vorel::saveFileSafely(dir / "a.hex", removesIt);
    EXPECT_EQ(capturedStderr(), "");
    EXPECT_EQ(result, vorel::SaveResult::saved);
    EXPECT_EQ(dir.read("a.hex"), "new\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.hex"});
}

// The signal handler names the file it cannot remove too, and the process
// still ends by the signal, with the earlier file as it was.
TEST_F(SafeFileWrite, EndingSignalNamesTheTemporaryFileItCannotRemove) {
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    const FileFlag appendOnly(dir / "sub", FS_APPEND_FL);
    if (!appendOnly.isSet())
        GTEST_SKIP() << appendOnly.whyNot();
    for (const char* earlier : {static_cast<const char*>(nullptr), "earlier\n"}) {
        SCOPED_TRACE(earlier ? "replacing" : "new name");
        if (earlier)
            dir.write("sub/a.hex", earlier);
        const std::vector<std::string> before = dir.temporaryFiles("sub");
        const ChildEnd end = runInChild([&] {
            const int err = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err < 0 || dup2(err, STDERR_FILENO) < 0)
                return 1;
            signal(SIGTERM, SIG_DFL);
            vorel::saveFileSafely(dir / "sub/a.hex", [](std::ostream& os) {
                os << "half";
                raise(SIGTERM);
                os << " and the rest\n";
                return true;
            });
            return 0;
        });
        EXPECT_EQ(end.signal, SIGTERM);
        const std::vector<std::string> now = dir.temporaryFiles("sub");
        ASSERT_EQ(now.size(), before.size() + 1);
        const std::vector<std::string> name = namesAdded(before, now);
        ASSERT_EQ(name.size(), 1u);
        EXPECT_EQ(dir.read("err"),
                  "ERROR: could not remove temporary file " + dir / "sub/" + name[0] + "\n");
        if (earlier)
            EXPECT_EQ(dir.read("sub/a.hex"), earlier);
        else
            EXPECT_FALSE(exists(dir / "sub/a.hex"));
    }
}

} // namespace
