#include "tests/support/TempFolder.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "vorel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    dir = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // A folder without write or search rights cannot be emptied.
    for (auto it = fs::recursive_directory_iterator(dir, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(dir, ignored);
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
