#include "utils/SaveSignals.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

char temporaryName[PATH_MAX];

namespace {

volatile sig_atomic_t temporaryExists = 0;

// Whether a signal that a handler may catch ends the process by default: all
// but those that are ignored, stop or continue it. SIGXFSZ is left out, as a
// save holds it ignored instead, so that a file size limit shows as a failed
// write.
bool endsTheSave(int sig) {
    switch (sig) {
    case SIGKILL:
    case SIGSTOP:
    case SIGCHLD:
    case SIGCONT:
    case SIGURG:
    case SIGWINCH:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGXFSZ:
        return false;
    default:
        return true;
    }
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

void removeTemporaryAndEnd(int sig) {
    const int savedErrno = errno;
    removeTemporary();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(sig, &fallback, nullptr);
    // Delivered with the default action once the handler returns.
    raise(sig);
    errno = savedErrno;
}

} // namespace

void noteTemporary(bool exists) {
    temporaryExists = exists ? 1 : 0;
}

// Also called from the handler; held back or handling, the name noted is
// the file that exists.
void removeTemporary() {
    if (temporaryExists && unlink(temporaryName) != 0 && errno != ENOENT)
        sayNotRemoved();
    temporaryExists = 0;
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

SignalsHeld::SignalsHeld() {
    pthread_sigmask(SIG_BLOCK, &endingSet(), &before);
}

SignalsHeld::~SignalsHeld() {
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
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
