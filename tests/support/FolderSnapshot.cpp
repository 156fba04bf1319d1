#include "tests/support/FolderSnapshot.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// The extended attributes of the name itself, not where a link leads, that a
// test may set: the user's own and POSIX ACLs. Security labels, which the
// system gives every new file, are left out.
std::map<std::string, std::string> attributesOf(const std::string& path) {
    std::map<std::string, std::string> attributes;
    std::string names(65536, '\0');
    const ssize_t size = llistxattr(path.c_str(), names.data(), names.size());
    if (size < 0) {
        if (errno == ENOTSUP)
            return attributes;
        throw std::runtime_error("cannot list the attributes of " + path);
    }
    names.resize(size_t(size));
    for (size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        if (std::strncmp(name, "user.", 5) != 0 && std::strncmp(name, "system.posix_acl", 16) != 0)
            continue;
        std::string value(65536, '\0');
        const ssize_t got = lgetxattr(path.c_str(), name, value.data(), value.size());
        if (got < 0)
            throw std::runtime_error("cannot read the attribute " + std::string(name) + " of " +
                                     path);
        value.resize(size_t(got));
        attributes[name] = value;
    }
    return attributes;
}

void visit(const std::string& top, const std::string& sub, FolderSnapshot& snapshot) {
    const std::string folder = sub.empty() ? top : top + "/" + sub;
    for (const std::string& name : folderEntries(folder)) {
        const std::string relative = sub.empty() ? name : sub + "/" + name;
        const std::string path = top + "/" + relative;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0)
            throw std::runtime_error("cannot examine " + path);
        snapshot[relative] = {st.st_mode, contentOf(path, st), st.st_uid,         st.st_gid,
                              st.st_ino,  st.st_nlink,         attributesOf(path)};
        if (S_ISDIR(st.st_mode))
            visit(top, relative, snapshot);
    }
}

} // namespace

bool operator==(const FolderEntry& a, const FolderEntry& b) {
    return a.mode == b.mode && a.content == b.content && a.uid == b.uid && a.gid == b.gid &&
           a.inode == b.inode && a.links == b.links && a.attributes == b.attributes;
}

std::ostream& operator<<(std::ostream& os, const FolderEntry& entry) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%07o", unsigned(entry.mode));
    return os << "{mode " << mode << ", owner " << entry.uid << ":" << entry.gid << ", inode "
              << entry.inode << ", links " << entry.links;
    for (const auto& [name, value] : entry.attributes)
        os << ", " << name << " (" << value.size() << " bytes)";
    return os << ", \"" << entry.content << "\"}";
}

FolderSnapshot snapshotOf(const std::string& folder) {
    FolderSnapshot snapshot;
    visit(folder, "", snapshot);
    return snapshot;
}
