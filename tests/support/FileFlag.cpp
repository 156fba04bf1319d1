#include "tests/support/FileFlag.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
        flags = on ? flags | flag : flags & ~flag;
        if (ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)
            failure = errno;
    }
    close(fd);
    return failure;
}

} // namespace

FileFlag::FileFlag(const std::string& path, int flag) : path(path), flag(flag) {
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
