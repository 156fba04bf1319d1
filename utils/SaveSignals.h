// The signal side of a save (utils/SafeFileWrite.h): the handler that removes
// the temporary file, or names it, before an ending signal ends the process.
// It makes only async-signal-safe calls: createTemporary copies the name
// where the handler finds it before the file exists, and the handler's line
// goes out through write(2). The file comes and goes only through the calls
// below, which hold the ending signals back meanwhile, so that the handler
// never meets a file whose name is not noted yet, nor a noted name that is
// someone else's file.
#pragma once

#include <signal.h>
#include <stddef.h>
#include <sys/types.h>

namespace vorel {

// open(2) of `name`, noted for the handler when it opens; a name longer than
// PATH_MAX - 1 bytes fails with ENAMETOOLONG.
int createTemporary(const char* name, int flags, mode_t mode);
// rename(2) of the temporary file over `target`; where that is refused the
// temporary file is removed, and the result is false.
bool renameTemporary(const char* target);
// Removes the temporary file where it exists; one that cannot be removed is
// named in the line "ERROR: could not remove temporary file <name>".
void removeTemporary();

// write(2) alone, until every byte is out or it fails; the handler uses it too.
bool writeAll(int fd, const char* bytes, size_t size);

// For the time of a save, an ending signal whose action is the default one
// removes the temporary file before it ends the process, and SIGXFSZ at its
// default is ignored, so that a file size limit fails the write instead.
// Signals that are ignored or caught keep their action: the process goes on,
// and so does the save, which removes its own file.
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

} // namespace vorel
