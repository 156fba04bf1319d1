#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/TempFolder.h"

namespace {

const char* const otherUserName = "nobody";

std::optional<User> namedUser() {
    const passwd* pw = getpwnam(otherUserName);
    if (pw == nullptr)
        return std::nullopt;
    return User{pw->pw_uid, pw->pw_gid, true};
}

// The state letter and the session of a process from its /proc stat line,
// whose command name in parentheses may hold any character. Read with read(2):
// a process that ends meanwhile fails the read, where a stream would throw.
bool readStat(pid_t pid, char& state, pid_t& session) {
    const int fd = open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[1024];
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (n <= 0)
        return false;
    const std::string stat(buffer, size_t(n));
    const size_t name = stat.rfind(')');
    if (name == std::string::npos)
        return false;
    int parent = 0, group = 0, sid = 0;
    if (std::sscanf(stat.c_str() + name + 1, " %c %d %d %d", &state, &parent, &group, &sid) != 4)
        return false;
    session = sid;
    return true;
}

bool ended(char state) {
    return state == 'Z' || state == 'X' || state == 'x';
}

bool applySetup(const ChildSetup& setup, pid_t parent) {
    if (setup.newSession && setsid() < 0)
        return false;
    if (setup.fileSizeBytes != 0) {
        if (setup.ignoreFileSizeSignal)
            signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {setup.fileSizeBytes, setup.fileSizeBytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return false;
    }
    if (setup.noCoreDump) {
        const struct rlimit none = {0, 0};
        // A core pattern that pipes to a program ignores the limit, not this.
        if (setrlimit(RLIMIT_CORE, &none) != 0 || prctl(PR_SET_DUMPABLE, 0) != 0)
            return false;
    }
    if (setup.addressSpaceBytes != 0) {
        const struct rlimit limit = {setup.addressSpaceBytes, setup.addressSpaceBytes};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            return false;
    }
    if (setup.user && setup.user->isOther &&
        (setgroups(0, nullptr) != 0 || setgid(setup.user->gid) != 0 ||
         setuid(setup.user->uid) != 0))
        return false;
    // After the change of user, which clears it; a parent that has already
    // ended would never send it.
    if (setup.parentDeathSignal != 0 &&
        (prctl(PR_SET_PDEATHSIG, setup.parentDeathSignal) != 0 || getppid() != parent))
        return false;
    return setup.folder.empty() || chdir(setup.folder.c_str()) == 0;
}

} // namespace

std::optional<User> otherUser() {
    if (geteuid() != 0)
        return std::nullopt;
    return namedUser();
}

std::string whyNoOtherUser() {
    if (geteuid() != 0)
        return "only root can take the rights of another user";
    return std::string("no user '") + otherUserName + "' to take the rights of";
}

std::optional<User> ordinaryUser() {
    if (geteuid() != 0)
        return User{geteuid(), getegid(), false};
    return namedUser();
}

std::string whyNoOrdinaryUser() {
    return std::string("no user '") + otherUserName + "' to drop root's rights to";
}

pid_t startChild(const std::function<int()>& body, const ChildSetup& setup) {
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        if (!applySetup(setup, parent))
            _exit(childSetupFailed);
        int result = childFunctionThrew;
        try {
            result = body();
        } catch (...) {
        }
        _exit(result);
    }
    return child;
}

ChildEnd waitForChild(pid_t child) {
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    ChildEnd end;
    if (waited != child)
        return end;
    if (WIFEXITED(status))
        end.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        end.signal = WTERMSIG(status);
    return end;
}

ChildEnd runInChild(const std::function<int()>& body, const ChildSetup& setup) {
    return waitForChild(startChild(body, setup));
}

bool processRuns(pid_t pid) {
    char state = 0;
    pid_t session = 0;
    return readStat(pid, state, session) && !ended(state);
}

std::vector<pid_t> sessionProcesses(pid_t session) {
    std::vector<pid_t> found;
    for (const std::string& name : folderEntries("/proc")) {
        char* end = nullptr;
        const long pid = std::strtol(name.c_str(), &end, 10);
        char state = 0;
        pid_t sid = 0;
        if (*end == '\0' && pid > 0 && readStat(pid_t(pid), state, sid) && sid == session &&
            !ended(state))
            found.push_back(pid_t(pid));
    }
    return found;
}
