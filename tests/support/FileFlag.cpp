#include "tests/support/FileFlag.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tests/support/TempFolder.h"

namespace {

// 0, or the errno of the open or of the ioctl that failed.
int change(const std::string& path, int flag, bool on) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int flags = 0;
    int failure = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        failure = errno;
    } else {
        const int wanted = on ? flags | flag : flags & ~flag;
        if (wanted != flags && ioctl(fd, FS_IOC_SETFLAGS, &wanted) != 0)
            failure = errno;
    }
    close(fd);
    return failure;
}

} // namespace

FileFlag::FileFlag(const std::string& path, int flag) : path(path), flag(flag) {
    if (path.rfind(testFoldersRoot() + "/", 0) != 0)
        throw std::invalid_argument("a flag is only set in a TempFolder, not on " + path);
    failure = change(path, flag, true);
}

FileFlag::~FileFlag() {
    if (isSet())
        change(path, flag, false);
}

std::string FileFlag::whyNot() const {
    return "the flag cannot be set on " + path + " (" + std::strerror(failure) +
           "): that takes root and a file system that has it";
}

void clearFileFlags(const std::string& path) {
    change(path, FS_APPEND_FL | FS_IMMUTABLE_FL, false);
}
