// A child process that takes another user's rights and limits of its own
// before it runs a function or a program: root's rights hide what an ordinary
// user meets, and a limit must not touch the test process itself.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct User {
    uid_t uid = 0;
    gid_t gid = 0;
    // Not the user running the tests: a child drops its groups and takes this
    // user's ids.
    bool isOther = false;
};

// "nobody", which only root can become; none when the tests do not run as
// root or there is no such user.
std::optional<User> otherUser();
// Why there is no otherUser(), for the message of a skipped test.
std::string whyNoOtherUser();
// Whom the cases of an ordinary user run as: otherUser() under root, else the
// caller itself; none when root finds no "nobody".
std::optional<User> ordinaryUser();
// Why there is no ordinaryUser(), for the message of a skipped test.
std::string whyNoOrdinaryUser();

// What a child sets up before its function or program runs.
struct ChildSetup {
    // Takes this user's rights when it is another user.
    std::optional<User> user;
    // Past this many bytes a write to a file fails; 0: no limit.
    rlim_t fileSizeBytes = 0;
    // With a limit, SIGXFSZ is set to be ignored, so that a write past it
    // fails with EFBIG; false: it keeps the action it had, by default the
    // end of the process.
    bool ignoreFileSizeSignal = true;
    // A signal that ends the child leaves no core dump behind.
    bool noCoreDump = false;
    // The most address space the child may take; 0: no limit.
    rlim_t addressSpaceBytes = 0;
    // The working folder, entered with the user's rights; "": the parent's.
    std::string folder;
    // Starts a session of its own, so that every process it starts, in
    // whatever process group, can be found (sessionProcesses) and ended, and
    // no signal it sends to a group reaches the test.
    bool newSession = false;
    // The signal that the child gets when the test process ends first, so
    // that a test ended by a signal leaves no program of its own running;
    // 0: none.
    int parentDeathSignal = 0;
};

// How a child ended.
struct ChildEnd {
    // The exit status, -1 when the child did not exit.
    int status = -1;
    // The signal that ended the child, 0 when it exited.
    int signal = 0;
};

// Exit statuses of a child whose own set-up failed, or whose function threw.
inline constexpr int childSetupFailed = 121;
inline constexpr int childFunctionThrew = 122;

// Forks a child that applies `setup`, runs `body` and exits with what it
// returns (0 to 255). Throws std::runtime_error when no child can be made.
pid_t startChild(const std::function<int()>& body, const ChildSetup& setup = {});
// Waits until the child ends.
ChildEnd waitForChild(pid_t child);
// Both: runs `body` in a child and tells how it ended.
ChildEnd runInChild(const std::function<int()>& body, const ChildSetup& setup = {});

// False when there is no such process or it has ended and waits to be reaped.
bool processRuns(pid_t pid);
// The processes of a session that have not ended, its leader among them.
std::vector<pid_t> sessionProcesses(pid_t session);
