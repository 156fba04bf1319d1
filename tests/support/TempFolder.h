// A fresh folder of a test, removed with all it holds when the object goes,
// and whole-file reads and writes.
//
// A test that is killed (Ctrl-C during ctest, a timeout, SIGKILL) runs no
// destructor, so its folder is cleared by a later test instead: every folder
// is made under one root in the build tree (testFoldersRoot()), and its
// process holds an flock on it for as long as it lives. The kernel drops that
// lock when the process ends, however it ends, so each new TempFolder first
// clears every folder under the root whose lock it can take: one whose owner
// is gone. A live owner, in this process or another one of `ctest -j`, keeps
// its lock and its folder. The root itself is locked while a folder is made
// and locked, so that no clearing comes in between. Clearing also takes off
// the immutable and append-only flags (see FileFlag) that would keep even
// root from removing what a killed test left.
//
// The folder is searchable by its owner only; a test that hands it to another
// user opens it up itself. The root is searchable by all; the folders above
// it must be too for such a test, as they must for the built programs that
// such a user runs.
#pragma once

#include <string>
#include <vector>

class TempFolder {
public:
    // Throws std::runtime_error when no folder can be made.
    TempFolder();
    // Also empties subfolders that the test made read-only, and takes off
    // the flags that keep a name from being removed.
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return dir; }
    // The path of a name inside the folder ("sub/name" too).
    std::string operator/(const std::string& name) const { return dir + "/" + name; }

    void write(const std::string& name, const std::string& bytes) const;
    // The bytes of a file in the folder; "" when it cannot be read.
    std::string read(const std::string& name) const;
    // The names in the folder, or in one of its subfolders, sorted.
    std::vector<std::string> entries(const std::string& sub = "") const;
    // Of those, the hidden temporary files ".vorelXXXXXX" that a save makes.
    std::vector<std::string> temporaryFiles(const std::string& sub = "") const;

private:
    std::string dir;
    // Open, with the lock that tells that its owner lives, until the folder
    // is removed.
    int lock = -1;
};

// The folder of the build tree that holds every TempFolder.
const std::string& testFoldersRoot();

// The names of `now` that `before` lacks; both sorted.
std::vector<std::string> namesAdded(const std::vector<std::string>& before,
                                    const std::vector<std::string>& now);
// Throws std::runtime_error when the file cannot be written whole.
void writeFile(const std::string& path, const std::string& bytes);
// False when the path is not a readable regular file.
bool readFile(const std::string& path, std::string& bytes);
// The bytes of a file; "" when it cannot be read.
std::string readFile(const std::string& path);
bool isDirectory(const std::string& path);
// True also for a link that leads nowhere.
bool exists(const std::string& path);
// The names in a folder, sorted, without "." and ".."; none when it cannot be
// listed.
std::vector<std::string> folderEntries(const std::string& path);
