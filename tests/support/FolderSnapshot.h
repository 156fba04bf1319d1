// What a folder holds, name by name down its subfolders with links not
// followed, so that a test can tell exactly what a run changed there.
#pragma once

#include <sys/types.h>

#include <map>
#include <ostream>
#include <string>

struct FolderEntry {
    // S_IFREG, S_IFDIR, S_IFLNK, ... and the permission bits.
    mode_t mode = 0;
    // The bytes of a file, where a link leads; "" for anything else.
    std::string content;
    uid_t uid = 0;
    gid_t gid = 0;
    ino_t inode = 0;
    nlink_t links = 0;
    // The extended attributes of the user and the POSIX ACLs, by name.
    std::map<std::string, std::string> attributes;
};

bool operator==(const FolderEntry& a, const FolderEntry& b);
std::ostream& operator<<(std::ostream& os, const FolderEntry& entry);

// By path inside the folder ("sub/name").
using FolderSnapshot = std::map<std::string, FolderEntry>;

// Also reads a file of the caller that its own permission bits keep it from
// reading. Throws std::runtime_error when a name cannot be examined.
FolderSnapshot snapshotOf(const std::string& folder);
