#include "tests/support/TempFolder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "tests/support/FileFlag.h"

#ifndef VOREL_TEST_FOLDERS_ROOT
#error "the test support is built with VOREL_TEST_FOLDERS_ROOT, a folder of the build tree"
#endif

namespace fs = std::filesystem;

namespace {

// A folder opened to be locked, closed (and so unlocked) when it goes.
class OpenFolder {
public:
    explicit OpenFolder(const std::string& path)
        : fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
          failure(fd < 0 ? errno : 0) {}
    ~OpenFolder() {
        if (fd >= 0)
            close(fd);
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    bool isOpen() const { return fd >= 0; }
    // The name is a file or a link, not a folder.
    bool isNoFolder() const { return failure == ENOTDIR || failure == ELOOP; }
    bool lock(int how) const {
        int done;
        do {
            done = flock(fd, how);
        } while (done != 0 && errno == EINTR);
        return done == 0;
    }
    // Leaves the descriptor, and its lock, to the caller.
    int release() { return std::exchange(fd, -1); }

private:
    int fd;
    int failure;
};

// Removes a file or a folder with all it holds, whatever flags and
// permission bits a test left on them.
void removeTree(const std::string& path) {
    std::error_code ignored;
    const auto unlock = [&](const fs::path& name, fs::file_type type) {
        if (type != fs::file_type::directory && type != fs::file_type::regular)
            return;
        clearFileFlags(name.string());
        // A folder without write or search rights cannot be emptied.
        if (type == fs::file_type::directory)
            fs::permissions(name, fs::perms::owner_all, fs::perm_options::add, ignored);
    };
    unlock(path, fs::symlink_status(path, ignored).type());
    for (auto it = fs::recursive_directory_iterator(path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored))
        unlock(it->path(), it->symlink_status(ignored).type());
    fs::remove_all(path, ignored);
}

// Removes what the root holds whose owner is gone: a name whose lock can be
// taken, or that is no folder. A folder that cannot be opened is left, as
// there is no telling whether its owner lives.
void clearLeftFolders(const std::string& root) {
    for (const std::string& name : folderEntries(root)) {
        const std::string path = root + "/" + name;
        const OpenFolder folder(path);
        if (folder.isNoFolder() || (folder.isOpen() && folder.lock(LOCK_EX | LOCK_NB)))
            removeTree(path);
    }
}

} // namespace

const std::string& testFoldersRoot() {
    static const std::string root = VOREL_TEST_FOLDERS_ROOT;
    return root;
}

TempFolder::TempFolder() {
    const std::string& root = testFoldersRoot();
    // Searchable by all, whatever the umask, for the tests that run programs
    // as another user.
    if (mkdir(root.c_str(), 0755) == 0)
        chmod(root.c_str(), 0755);
    const OpenFolder guard(root);
    if (!guard.isOpen() || !guard.lock(LOCK_EX))
        throw std::runtime_error("cannot open and lock " + root);
    clearLeftFolders(root);
    std::string pattern = root + "/vorel-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    OpenFolder own(pattern);
    if (!own.isOpen() || !own.lock(LOCK_EX)) {
        removeTree(pattern);
        throw std::runtime_error("cannot open and lock " + pattern);
    }
    dir = pattern;
    lock = own.release();
}

TempFolder::~TempFolder() {
    removeTree(dir);
    close(lock);
}

void TempFolder::write(const std::string& name, const std::string& bytes) const {
    writeFile(*this / name, bytes);
}

std::string TempFolder::read(const std::string& name) const {
    return readFile(*this / name);
}

std::vector<std::string> TempFolder::entries(const std::string& sub) const {
    return folderEntries(sub.empty() ? dir : *this / sub);
}

std::vector<std::string> TempFolder::temporaryFiles(const std::string& sub) const {
    static const std::string pattern = ".vorelXXXXXX";
    std::vector<std::string> found;
    for (const std::string& name : entries(sub))
        if (name.size() == pattern.size() && name.rfind(".vorel", 0) == 0)
            found.push_back(name);
    return found;
}

std::vector<std::string> namesAdded(const std::vector<std::string>& before,
                                    const std::vector<std::string>& now) {
    std::vector<std::string> added;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    return added;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    file.close();
    if (!file)
        throw std::runtime_error("could not write " + path);
}

bool readFile(const std::string& path, std::string& bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

std::string readFile(const std::string& path) {
    std::string bytes;
    readFile(path, bytes);
    return bytes;
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::vector<std::string> folderEntries(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
