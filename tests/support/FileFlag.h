// A file attribute flag of the kernel (append-only, immutable) set on a file
// or folder for the time of a test: such a flag keeps even root from
// removing or writing what it guards, so it is cleared again when the object
// goes, and the test's temporary folder can be removed. It is only set on
// what a TempFolder holds, so that when a killed test never clears it, the
// next TempFolder does (clearFileFlags) as it clears the killed test's folder.
#pragma once

#include <string>

class FileFlag {
public:
    // One of the FS_*_FL flags of <linux/fs.h>, such as FS_APPEND_FL. Throws
    // std::invalid_argument when the path is not under testFoldersRoot().
    FileFlag(const std::string& path, int flag);
    ~FileFlag();
    FileFlag(const FileFlag&) = delete;
    FileFlag& operator=(const FileFlag&) = delete;

    bool isSet() const { return failure == 0; }
    // Why it could not be set, for the message of a skipped test.
    std::string whyNot() const;

private:
    std::string path;
    int flag;
    int failure = 0;
};

// Takes the append-only and immutable flags off a regular file or folder, so
// that it can be changed and removed; does nothing where it cannot. Not for
// a device, whose driver would take the request as one of its own.
void clearFileFlags(const std::string& path);
