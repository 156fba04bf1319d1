#include "tests/hardening/HardeningSupport.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vorel-hardening-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    dir = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // A folder a test made read-only must be writable again to be emptied.
    for (auto it = fs::recursive_directory_iterator(dir, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(dir, ignored);
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
    for (const auto& entry : fs::directory_iterator(path, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string hexText(const std::vector<uint64_t>& words) {
    std::string text;
    char line[18];
    for (const uint64_t word : words) {
        std::snprintf(line, sizeof line, "%016llx\n", static_cast<unsigned long long>(word));
        text += line;
    }
    return text;
}

bool haveVorelasm() {
#ifdef VORELASM_BINARY
    return true;
#else
    return false;
#endif
}

namespace {

struct RunUser {
    uid_t uid;
    gid_t gid;
};

ProgramRun runProgram(const std::string& folder, const std::vector<std::string>& arguments,
                      unsigned long long addressSpaceBytes, const RunUser* user) {
    ProgramRun run;
#ifdef VORELASM_BINARY
    // The captured streams live outside the folder, whose contents the tests
    // check.
    TempDir capture;
    const std::string outPath = capture / "stdout";
    const std::string errPath = capture / "stderr";

    std::vector<std::string> argv{VORELASM_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0)
            _exit(127);
        if (user != nullptr &&
            (setgroups(0, nullptr) != 0 || setgid(user->gid) != 0 || setuid(user->uid) != 0))
            _exit(127);
        if (chdir(folder.c_str()) != 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(127);
        if (addressSpaceBytes != 0) {
            const struct rlimit limit = {addressSpaceBytes, addressSpaceBytes};
            if (setrlimit(RLIMIT_AS, &limit) != 0)
                _exit(127);
        }
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    run.status = waited == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    readFile(outPath, run.out);
    readFile(errPath, run.err);
#else
    (void)folder;
    (void)arguments;
    (void)addressSpaceBytes;
    (void)user;
#endif
    return run;
}

} // namespace

ProgramRun runVorelasm(const std::string& folder, const std::vector<std::string>& arguments,
                       unsigned long long addressSpaceBytes) {
    return runProgram(folder, arguments, addressSpaceBytes, nullptr);
}

ProgramRun runVorelasmAs(uid_t uid, gid_t gid, const std::string& folder,
                         const std::vector<std::string>& arguments) {
    const RunUser user{uid, gid};
    return runProgram(folder, arguments, 0, &user);
}
