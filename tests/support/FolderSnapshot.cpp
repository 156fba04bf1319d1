#include "tests/support/FolderSnapshot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "tests/support/TempFolder.h"

namespace {

std::string contentOf(const std::string& path, const struct stat& st) {
    if (S_ISLNK(st.st_mode)) {
        std::string to(4096, '\0');
        const ssize_t n = readlink(path.c_str(), to.data(), to.size());
        if (n < 0)
            throw std::runtime_error("cannot read the link " + path);
        to.resize(size_t(n));
        return to;
    }
    if (!S_ISREG(st.st_mode))
        return "";
    std::string bytes;
    if (readFile(path, bytes))
        return bytes;
    // A write-only file of the caller is read for a moment with its bits
    // widened; its other properties were taken before.
    if (st.st_uid != geteuid() || chmod(path.c_str(), (st.st_mode & 07777) | S_IRUSR) != 0)
        throw std::runtime_error("cannot read " + path);
    const bool read = readFile(path, bytes);
    chmod(path.c_str(), st.st_mode & 07777);
    if (!read)
        throw std::runtime_error("cannot read " + path);
    return bytes;
}

void visit(const std::string& top, const std::string& sub, FolderSnapshot& snapshot) {
    const std::string folder = sub.empty() ? top : top + "/" + sub;
    for (const std::string& name : folderEntries(folder)) {
        const std::string relative = sub.empty() ? name : sub + "/" + name;
        const std::string path = top + "/" + relative;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0)
            throw std::runtime_error("cannot examine " + path);
        snapshot[relative] = {st.st_mode, contentOf(path, st), st.st_uid,
                              st.st_gid,  st.st_ino,           st.st_nlink};
        if (S_ISDIR(st.st_mode))
            visit(top, relative, snapshot);
    }
}

} // namespace

bool operator==(const FolderEntry& a, const FolderEntry& b) {
    return a.mode == b.mode && a.content == b.content && a.uid == b.uid && a.gid == b.gid &&
           a.inode == b.inode && a.links == b.links;
}

std::ostream& operator<<(std::ostream& os, const FolderEntry& entry) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%07o", unsigned(entry.mode));
    return os << "{mode " << mode << ", owner " << entry.uid << ":" << entry.gid << ", inode "
              << entry.inode << ", links " << entry.links << ", \"" << entry.content << "\"}";
}

FolderSnapshot snapshotOf(const std::string& folder) {
    FolderSnapshot snapshot;
    visit(folder, "", snapshot);
    return snapshot;
}
