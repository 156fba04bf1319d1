#include "utils/SaveSignals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace vorel {
namespace {

// The temporary file's name, for the handler, which may not allocate.
char temporaryName[PATH_MAX];
volatile sig_atomic_t temporaryExists = 0;

// Whether a signal that a handler may catch ends the process by default: all
// but those that are ignored, stop or continue it. SIGXFSZ is left out, as a
// save holds it ignored instead, so that a file size limit shows as a failed
// write.
bool endsTheSave(int sig) {
    static const int spared[] = {SIGKILL,  SIGSTOP, SIGCHLD, SIGCONT, SIGURG,
                                 SIGWINCH, SIGTSTP, SIGTTIN, SIGTTOU, SIGXFSZ};
    return std::find(std::begin(spared), std::end(spared), sig) == std::end(spared);
}

// The signals of endsTheSave(); those that the C library keeps for itself
// are refused by sigaddset and stay out.
const sigset_t& endingSet() {
    static const sigset_t set = [] {
        sigset_t all;
        sigemptyset(&all);
        for (int sig = 1; sig < NSIG; ++sig)
            if (endsTheSave(sig))
                sigaddset(&all, sig);
        return all;
    }();
    return set;
}

// Holds the ending signals back for a scope.
class SignalsHeld {
public:
    SignalsHeld() { pthread_sigmask(SIG_BLOCK, &endingSet(), &before); }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before;
};

// A temporary file that cannot be removed stays in the user's folder, hidden
// by its leading dot, so it is named on standard error. The line is made
// whole first, so that other output does not split it, on the stack and
// written with write() alone: the signal handler says it too.
void sayNotRemoved() {
    static const char says[] = "ERROR: could not remove temporary file ";
    char line[sizeof says + sizeof temporaryName];
    const size_t nameLength = std::strlen(temporaryName);
    std::memcpy(line, says, sizeof says - 1);
    std::memcpy(line + sizeof says - 1, temporaryName, nameLength);
    line[sizeof says - 1 + nameLength] = '\n';
    writeAll(STDERR_FILENO, line, sizeof says + nameLength);
}

// Called with the ending signals held back, or from their handler, so that
// the name noted is the file that exists.
void removeNoted() {
    if (temporaryExists && unlink(temporaryName) != 0 && errno != ENOENT)
        sayNotRemoved();
    temporaryExists = 0;
}

void removeTemporaryAndEnd(int sig) {
    const int savedErrno = errno;
    removeNoted();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(sig, &fallback, nullptr);
    // Delivered with the default action once the handler returns.
    raise(sig);
    errno = savedErrno;
}

} // namespace

int createTemporary(const char* name, int flags, mode_t mode) {
    const size_t length = std::strlen(name);
    if (length >= sizeof temporaryName) {
        errno = ENAMETOOLONG;
        return -1;
    }
    SignalsHeld held;
    std::memcpy(temporaryName, name, length + 1);
    const int fd = open(temporaryName, flags, mode);
    if (fd >= 0)
        temporaryExists = 1;
    return fd;
}

bool renameTemporary(const char* target) {
    SignalsHeld held;
    if (rename(temporaryName, target) != 0) {
        removeNoted();
        return false;
    }
    temporaryExists = 0;
    return true;
}

void removeTemporary() {
    SignalsHeld held;
    removeNoted();
}

bool writeAll(int fd, const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

SignalsDuringSave::SignalsDuringSave() {
    struct sigaction removal {};
    removal.sa_handler = removeTemporaryAndEnd;
    removal.sa_mask = endingSet();
    struct sigaction ignored {};
    ignored.sa_handler = SIG_IGN;
    sigemptyset(&ignored.sa_mask);
    // Every signal is held back while the actions change, so that none meets
    // an action not meant for it, and one call both sets the new action and
    // reads the old.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    for (int sig = 1; sig < NSIG; ++sig) {
        if (endsTheSave(sig))
            installed[sig] = takeOver(sig, removal);
    }
    installed[SIGXFSZ] = takeOver(SIGXFSZ, ignored);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

SignalsDuringSave::~SignalsDuringSave() {
    for (int sig = 1; sig < NSIG; ++sig)
        if (installed[sig])
            sigaction(sig, &previous[sig], nullptr);
}

// Gives the signal `action` where its action was the default one, and puts
// any other back.
bool SignalsDuringSave::takeOver(int sig, const struct sigaction& action) {
    if (sigaction(sig, &action, &previous[sig]) != 0)
        return false;
    if ((previous[sig].sa_flags & SA_SIGINFO) == 0 && previous[sig].sa_handler == SIG_DFL)
        return true;
    sigaction(sig, &previous[sig], nullptr);
    return false;
}

} // namespace vorel
