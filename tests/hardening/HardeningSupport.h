// Helpers of the hardening tests: temporary folders, whole-file reads and
// writes, and a run of the real vorelasm program in a folder of its own with
// its exit status and both output streams captured.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with all its
// contents (also read-only subfolders) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return dir; }
    std::string operator/(const std::string& name) const { return dir + "/" + name; }

private:
    std::string dir;
};

void writeFile(const std::string& path, const std::string& bytes);
// False when the path is not a readable regular file.
bool readFile(const std::string& path, std::string& bytes);
bool isDirectory(const std::string& path);
bool exists(const std::string& path);
// The names in a folder, sorted, without "." and "..".
std::vector<std::string> folderEntries(const std::string& path);

// Words of the small programs that the hardening sources are made of.
inline constexpr uint64_t nop = 0x1000000000000000ull;
inline constexpr uint64_t stop = 0x0800000000000000ull;
inline constexpr uint64_t moveOneToR1 = 0x3C00004000000001ull;

// What an earlier run left; a failed run must leave it as it was.
inline const std::string earlierHex = "00000000000000ff\n";

// The .hex text of a program: one line of 16 lower-case hex digits per word.
std::string hexText(const std::vector<uint64_t>& words);

struct ProgramRun {
    // The exit status, or -1 when the program did not exit normally.
    int status = -1;
    std::string out;
    std::string err;
};

// True when the tests were built beside the vorelasm program.
bool haveVorelasm();
// Runs vorelasm with the arguments in `folder` as working directory; a
// non-zero addressSpaceBytes limits the program's address space.
ProgramRun runVorelasm(const std::string& folder, const std::vector<std::string>& arguments,
                       unsigned long long addressSpaceBytes = 0);
// The same run with the rights of another user, which only root can take:
// what an ordinary user meets is hidden by root's rights.
ProgramRun runVorelasmAs(uid_t uid, gid_t gid, const std::string& folder,
                         const std::vector<std::string>& arguments);
