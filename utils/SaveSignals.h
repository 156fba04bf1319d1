// The signal side of a save (utils/SafeFileWrite.h). While a save runs, a
// signal whose default action would end the process removes the save's
// temporary file first, or names it on standard error where it cannot be
// removed, and SIGXFSZ at its default is ignored, so that a file size limit
// fails the write instead of ending the process. The handler makes only
// async-signal-safe calls: the temporary file's name waits for it here, made
// before the file exists, and its message goes out through write(2). One save
// at a time in a process.
#pragma once

#include <limits.h>
#include <signal.h>
#include <stddef.h>

// The name of the save's temporary file, written by the save before it
// creates the file.
extern char temporaryName[PATH_MAX];

// Whether the file of temporaryName exists, so that the handler removes it.
// Changed, with the file itself, while SignalsHeld holds the ending signals
// back.
void noteTemporary(bool exists);

// Removes the temporary file where it exists; one that cannot be removed is
// named in the line "ERROR: could not remove temporary file <name>". Called
// with the ending signals held back.
void removeTemporary();

// write(2) alone, until every byte is out or it fails; the handler uses it too.
bool writeAll(int fd, const char* bytes, size_t size);

// Holds the ending signals back while the temporary file comes or goes, so
// that the handler never meets a file whose name is not noted yet, nor a
// noted name that is someone else's file.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before;
};

// For the time of a save, an ending signal whose action is the default one
// removes the temporary file before it ends the process, and SIGXFSZ at its
// default is ignored. Signals that are ignored or caught keep their action:
// the process goes on, and so does the save, which removes its own file.
class SignalsDuringSave {
public:
    SignalsDuringSave();
    ~SignalsDuringSave();
    SignalsDuringSave(const SignalsDuringSave&) = delete;
    SignalsDuringSave& operator=(const SignalsDuringSave&) = delete;

private:
    bool takeOver(int sig, const struct sigaction& action);

    struct sigaction previous[NSIG];
    bool installed[NSIG] = {};
};
