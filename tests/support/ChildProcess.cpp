#include "tests/support/ChildProcess.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace {

const char* const otherUserName = "nobody";

std::optional<User> namedUser() {
    const passwd* pw = getpwnam(otherUserName);
    if (pw == nullptr)
        return std::nullopt;
    return User{pw->pw_uid, pw->pw_gid, true};
}

bool applySetup(const ChildSetup& setup) {
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
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        if (!applySetup(setup))
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
