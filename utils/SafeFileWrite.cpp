#include "utils/SafeFileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

bool writeAll(std::ofstream& out, const std::function<bool(std::ostream&)>& write) {
    bool ok = write(out);
    out.flush();
    ok = ok && out.good();
    out.close();
    return ok && !out.fail();
}

// Where the text must end up: the file a symbolic link names, or the name.
std::string resolvedTarget(const std::string& fileName) {
    struct stat link;
    if (lstat(fileName.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return fileName;
    char resolved[PATH_MAX];
    if (realpath(fileName.c_str(), resolved) == nullptr)
        return fileName;
    return resolved;
}

} // namespace

SaveResult saveFileSafely(const std::string& fileName,
                          const std::function<bool(std::ostream&)>& write) {
    const std::string target = resolvedTarget(fileName);
    struct stat existing;
    if (stat(target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            return SaveResult::notOpened;
        if (!S_ISREG(existing.st_mode)) {
            std::ofstream out(target, std::ios::out | std::ios::trunc);
            if (!out)
                return SaveResult::notOpened;
            return writeAll(out, write) ? SaveResult::saved : SaveResult::notWritten;
        }
        // A file that cannot be opened for writing is refused as opening it
        // directly would refuse it, before any text is made.
        const int probe = open(target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0)
            return SaveResult::notOpened;
        close(probe);
    } else if (errno != ENOENT) {
        return SaveResult::notOpened;
    }

    std::vector<char> name(target.begin(), target.end());
    const char suffix[] = ".tmpXXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof(suffix));
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return SaveResult::notOpened;
    const std::string temporary(name.data());
    // mkstemp creates the file for its owner only; the result should carry the
    // permissions of any newly created file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);

    bool ok = false;
    try {
        std::ofstream out(temporary, std::ios::out | std::ios::trunc);
        if (!out) {
            std::remove(temporary.c_str());
            return SaveResult::notOpened;
        }
        ok = writeAll(out, write);
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) == 0)
        return SaveResult::saved;
    std::remove(temporary.c_str());
    return SaveResult::notWritten;
}
