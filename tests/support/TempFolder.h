// A fresh folder of a test under the system's temporary folder, removed with
// all it holds when the object goes, and whole-file reads and writes.
#pragma once

#include <string>
#include <vector>

class TempFolder {
public:
    // Throws std::runtime_error when no folder can be made.
    TempFolder();
    // Also empties subfolders that the test made read-only.
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
};

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
