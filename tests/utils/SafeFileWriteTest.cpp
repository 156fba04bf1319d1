// Whole-file saves: a plain file gets the whole text or stays as it was, with
// its permission bits, owner and group; every other name is written in place
// through the kernel's own resolution and checks, and says so when the text
// did not fit; no temporary file is left behind, also not by a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "utils/SafeFileWrite.h"

namespace {

namespace fs = std::filesystem;

class SafeFileWrite : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vorel-save-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        // A folder a case locked must be writable again to be emptied.
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(dir, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored))
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir);
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void put(const std::string& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
};

struct stat identityOf(const std::string& file) {
    struct stat st {};
    EXPECT_EQ(stat(file.c_str(), &st), 0) << file;
    return st;
}

auto writes(const std::string& text) {
    return [text](std::ostream& os) {
        os << text;
        return true;
    };
}

TEST_F(SafeFileWrite, CreatesAndReplacesWholeFiles) {
    EXPECT_EQ(saveFileSafely(path("a.hex"), writes("first\nsecond\n")), SaveResult::saved);
    EXPECT_EQ(read(path("a.hex")), "first\nsecond\n");
    EXPECT_EQ(saveFileSafely(path("a.hex"), writes("x\n")), SaveResult::saved);
    EXPECT_EQ(read(path("a.hex")), "x\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"a.hex"});
}

TEST_F(SafeFileWrite, FailedTextLeavesTheTargetAsItWas) {
    put(path("a.hex"), "earlier\n");
    const auto halfThenFail = [](std::ostream& os) {
        os << "half";
        return false;
    };
    EXPECT_EQ(saveFileSafely(path("a.hex"), halfThenFail), SaveResult::notWritten);
    EXPECT_EQ(read(path("a.hex")), "earlier\n");

    const auto throws = [](std::ostream& os) -> bool {
        os << "half";
        throw std::runtime_error("out of words");
    };
    EXPECT_THROW(saveFileSafely(path("a.hex"), throws), std::runtime_error);
    EXPECT_EQ(read(path("a.hex")), "earlier\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"a.hex"});
}

TEST_F(SafeFileWrite, UnopenableTargetsAreRefusedAndLeftAlone) {
    fs::create_directory(dir / "sub.hex");
    for (const char* name : {"sub.hex", "missing/a.hex", "sub.hex/../sub.hex"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(saveFileSafely(path(name), writes("new\n")), SaveResult::notOpened);
    }
    EXPECT_TRUE(fs::is_directory(dir / "sub.hex"));
    EXPECT_TRUE(fs::is_empty(dir / "sub.hex"));
    EXPECT_EQ(entries(), std::vector<std::string>{"sub.hex"});
}

TEST_F(SafeFileWrite, ReadOnlyFileIsRefused) {
    put(path("a.hex"), "earlier\n");
    fs::permissions(path("a.hex"), fs::perms::owner_read);
    if (access(path("a.hex").c_str(), W_OK) == 0)
        GTEST_SKIP() << "running with rights that ignore file permissions";
    EXPECT_EQ(saveFileSafely(path("a.hex"), writes("new\n")), SaveResult::notOpened);
    EXPECT_EQ(read(path("a.hex")), "earlier\n");
}

TEST_F(SafeFileWrite, SymbolicLinkStaysALinkToTheNewText) {
    fs::create_directory(dir / "real");
    put(path("real/a.hex"), "earlier\n");
    fs::create_symlink(dir / "real" / "a.hex", dir / "link.hex");
    const ino_t before = identityOf(path("real/a.hex")).st_ino;
    EXPECT_EQ(saveFileSafely(path("link.hex"), writes("new\n")), SaveResult::saved);
    EXPECT_TRUE(fs::is_symlink(dir / "link.hex"));
    EXPECT_EQ(read(path("real/a.hex")), "new\n");
    // Written in place where the kernel's lookup led, not replaced by a file
    // the save put at a path it worked out itself.
    EXPECT_EQ(identityOf(path("real/a.hex")).st_ino, before);
    EXPECT_EQ(entries(), (std::vector<std::string>{"link.hex", "real"}));
}

TEST_F(SafeFileWrite, FifoIsWrittenNotReplaced) {
    ASSERT_EQ(mkfifo(path("pipe.hex").c_str(), 0600), 0);
    // An open reader lets the save open the FIFO without waiting; the short
    // text fits the pipe's buffer.
    const int reader = open(path("pipe.hex").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(saveFileSafely(path("pipe.hex"), writes("through the pipe\n")), SaveResult::saved);
    char buffer[64];
    const ssize_t got = ::read(reader, buffer, sizeof buffer);
    close(reader);
    EXPECT_EQ(std::string(buffer, got > 0 ? size_t(got) : 0), "through the pipe\n");
    struct stat st;
    ASSERT_EQ(stat(path("pipe.hex").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(entries(), std::vector<std::string>{"pipe.hex"});
}

// Root's rights hide what an ordinary user meets, so such cases run as
// `nobody` when the tests run as root, and as the caller otherwise.
struct OrdinaryUser {
    bool known = false;
    bool isOther = false; // a user other than the one running the tests
    uid_t uid = 0;
    gid_t gid = 0;
};

OrdinaryUser ordinaryUser() {
    OrdinaryUser user;
    if (geteuid() != 0) {
        user = {true, false, geteuid(), getegid()};
    } else if (const passwd* pw = getpwnam("nobody")) {
        user = {true, true, pw->pw_uid, pw->pw_gid};
    }
    return user;
}

constexpr int childFailed = -1;

// Runs `body` in a child process, as `user` when it is another user, and with
// files limited to `fileSizeLimit` bytes when that is not 0; gives back what
// the body returned.
int inChild(const std::function<int()>& body, const OrdinaryUser* user = nullptr,
            rlim_t fileSizeLimit = 0) {
    const pid_t child = fork();
    if (child < 0)
        return childFailed;
    if (child == 0) {
        if (fileSizeLimit != 0) {
            // Past the limit a write fails with EFBIG instead of ending the
            // process.
            signal(SIGXFSZ, SIG_IGN);
            const struct rlimit limit = {fileSizeLimit, fileSizeLimit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(120);
        }
        if (user != nullptr && user->isOther &&
            (setgroups(0, nullptr) != 0 || setgid(user->gid) != 0 || setuid(user->uid) != 0))
            _exit(121);
        int result = 122;
        try {
            result = body();
        } catch (...) {
        }
        _exit(result);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return childFailed;
    return WEXITSTATUS(status);
}

int code(SaveResult result) {
    return static_cast<int>(result);
}

TEST_F(SafeFileWrite, ReplacedFileKeepsItsPermissionBits) {
    for (const mode_t mode : {0600, 0640, 0604, 0700, 0755, 0666, 0444}) {
        SCOPED_TRACE(mode);
        put(path("a.hex"), "earlier\n");
        ASSERT_EQ(chmod(path("a.hex").c_str(), mode), 0);
        const SaveResult expected =
            access(path("a.hex").c_str(), W_OK) == 0 ? SaveResult::saved : SaveResult::notOpened;
        EXPECT_EQ(saveFileSafely(path("a.hex"), writes("new\n")), expected);
        EXPECT_EQ(identityOf(path("a.hex")).st_mode & 07777, mode);
        EXPECT_EQ(read(path("a.hex")), expected == SaveResult::saved ? "new\n" : "earlier\n");
        EXPECT_EQ(entries(), std::vector<std::string>{"a.hex"});
        ASSERT_EQ(unlink(path("a.hex").c_str()), 0);
    }
}

TEST_F(SafeFileWrite, NewFileTakesTheUmask) {
    for (const mode_t mask : {022, 077, 027, 0}) {
        SCOPED_TRACE(mask);
        const mode_t was = umask(mask);
        const SaveResult result = saveFileSafely(path("a.hex"), writes("new\n"));
        umask(was);
        EXPECT_EQ(result, SaveResult::saved);
        EXPECT_EQ(identityOf(path("a.hex")).st_mode & 07777, 0666 & ~mask);
        EXPECT_EQ(entries(), std::vector<std::string>{"a.hex"});
        ASSERT_EQ(unlink(path("a.hex").c_str()), 0);
    }
}

TEST_F(SafeFileWrite, ReplacedFileKeepsItsOwnerAndGroup) {
    const OrdinaryUser user = ordinaryUser();
    if (!user.isOther)
        GTEST_SKIP() << "only root can give the file another owner";
    put(path("a.hex"), "earlier\n");
    ASSERT_EQ(chown(path("a.hex").c_str(), user.uid, user.gid), 0);
    ASSERT_EQ(chmod(path("a.hex").c_str(), 0640), 0);
    EXPECT_EQ(saveFileSafely(path("a.hex"), writes("new\n")), SaveResult::saved);
    const struct stat after = identityOf(path("a.hex"));
    EXPECT_EQ(after.st_uid, user.uid);
    EXPECT_EQ(after.st_gid, user.gid);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(read(path("a.hex")), "new\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"a.hex"});
}

// What the plain truncating open allows an ordinary user, the save allows too,
// and the file keeps its owner, group and identity.
struct UserCase {
    const char* name;
    mode_t folderMode;
    bool fileExists;
    bool fileOfTheUser; // else root's
    bool groupRoot;     // a group the user is not in
    mode_t fileMode;
    SaveResult expected;
};

TEST_F(SafeFileWrite, OrdinaryUserMeetsThePlainOpensRules) {
    const OrdinaryUser user = ordinaryUser();
    if (!user.known)
        GTEST_SKIP() << "no user 'nobody' to drop root's rights to";
    const UserCase cases[] = {
        {"FolderNotWritable", 0555, true, true, false, 0644, SaveResult::saved},
        {"NewFileInFolderNotWritable", 0555, false, true, false, 0644, SaveResult::notOpened},
        {"StickyFolderOthersWritableFile", 01777, true, false, false, 0666, SaveResult::saved},
        {"OthersReadOnlyFileInOpenFolder", 0777, true, false, false, 0644, SaveResult::notOpened},
        {"GroupTheUserIsNotIn", 0777, true, true, true, 0664, SaveResult::saved},
    };
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    for (const UserCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fileExists && (!c.fileOfTheUser || c.groupRoot) && !user.isOther) {
            std::cout << c.name << ": skipped, only root can give the file another owner\n";
            continue;
        }
        const std::string folder = path(c.name);
        const std::string file = folder + "/a.hex";
        ASSERT_TRUE(fs::create_directory(folder));
        struct stat before {};
        if (c.fileExists) {
            put(file, "earlier\n");
            if (c.fileOfTheUser && user.isOther) {
                ASSERT_EQ(chown(file.c_str(), user.uid, c.groupRoot ? 0 : user.gid), 0);
            }
            ASSERT_EQ(chmod(file.c_str(), c.fileMode), 0);
            before = identityOf(file);
        }
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);

        const int result =
            inChild([&] { return code(saveFileSafely(file, writes("new\n"))); }, &user);
        EXPECT_EQ(result, code(c.expected));
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        if (!c.fileExists) {
            EXPECT_EQ(names, std::vector<std::string>{});
            continue;
        }
        EXPECT_EQ(names, std::vector<std::string>{"a.hex"});
        const struct stat after = identityOf(file);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(read(file), c.expected == SaveResult::saved ? "new\n" : "earlier\n");
    }
}

TEST_F(SafeFileWrite, LongLegalNamesAreSaved) {
    for (const size_t length : {246u, 250u, 255u}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 4, 'n') + ".hex";
        EXPECT_EQ(saveFileSafely(path(name), writes("first\n")), SaveResult::saved);
        EXPECT_EQ(saveFileSafely(path(name), writes("second\n")), SaveResult::saved);
        EXPECT_EQ(read(path(name)), "second\n");
        EXPECT_EQ(entries(), std::vector<std::string>{name});
        ASSERT_EQ(unlink(path(name).c_str()), 0);
    }
    EXPECT_EQ(saveFileSafely(path(std::string(252, 'n') + ".hex"), writes("x\n")),
              SaveResult::notOpened);
    EXPECT_EQ(entries(), std::vector<std::string>{});
}

// Every path under the test folder, links not followed, with a trailing '@'
// for a link.
void listTree(const fs::path& top, const fs::path& folder, std::vector<std::string>& names) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const fs::file_status st = fs::symlink_status(entry.path());
        names.push_back(entry.path().lexically_relative(top).string() +
                        (fs::is_symlink(st) ? "@" : ""));
        if (fs::is_directory(st))
            listTree(top, entry.path(), names);
    }
}

std::vector<std::string> tree(const fs::path& dir) {
    std::vector<std::string> names;
    listTree(dir, dir, names);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(SafeFileWrite, DanglingLinkCreatesTheFileItNames) {
    struct LinkCase {
        const char* link;
        std::string to;
        const char* lands;
    };
    const LinkCase cases[] = {
        {"link.hex", "made.hex", "made.hex"},
        // A relative link is read from its own folder, not the working one.
        {"sub/link.hex", "made.hex", "sub/made.hex"},
        {"sub/link.hex", "../out/made.hex", "out/made.hex"},
        {"link.hex", (dir / "out" / "made.hex").string(), "out/made.hex"},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.link + std::string(" -> ") + c.to);
        fs::create_directory(dir / "sub");
        fs::create_directory(dir / "out");
        fs::create_symlink(c.to, dir / c.link);
        EXPECT_EQ(saveFileSafely(path(c.link), writes("new\n")), SaveResult::saved);
        ASSERT_TRUE(fs::is_symlink(dir / c.link));
        EXPECT_EQ(fs::read_symlink(dir / c.link).string(), c.to);
        EXPECT_EQ(read(path(c.lands)), "new\n");
        std::vector<std::string> expected{"out", "sub", std::string(c.link) + "@", c.lands};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(tree(dir), expected);
        for (const auto& entry : fs::directory_iterator(dir))
            fs::remove_all(entry.path());
    }
}

TEST_F(SafeFileWrite, ChainOfLinksReplacesTheFileAtItsEnd) {
    fs::create_directory(dir / "sub");
    fs::create_directory(dir / "real");
    put(path("real/a.hex"), "earlier\n");
    ASSERT_EQ(chmod(path("real/a.hex").c_str(), 0600), 0);
    fs::create_symlink("sub/second.hex", dir / "first.hex");
    fs::create_symlink("../real/a.hex", dir / "sub" / "second.hex");
    const ino_t before = identityOf(path("real/a.hex")).st_ino;
    EXPECT_EQ(saveFileSafely(path("first.hex"), writes("new\n")), SaveResult::saved);
    EXPECT_EQ(read(path("real/a.hex")), "new\n");
    EXPECT_EQ(identityOf(path("real/a.hex")).st_ino, before);
    EXPECT_EQ(identityOf(path("real/a.hex")).st_mode & 07777, 0600u);
    EXPECT_EQ(tree(dir), (std::vector<std::string>{"first.hex@", "real", "real/a.hex", "sub",
                                                   "sub/second.hex@"}));
}

TEST_F(SafeFileWrite, LinksThatLeadNowhereAreRefused) {
    fs::create_symlink("two.hex", dir / "one.hex");
    fs::create_symlink("one.hex", dir / "two.hex");
    fs::create_symlink("self.hex", dir / "self.hex");
    fs::create_symlink("missing/a.hex", dir / "lost.hex");
    for (const char* name : {"one.hex", "self.hex", "lost.hex"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(saveFileSafely(path(name), writes("new\n")), SaveResult::notOpened);
    }
    EXPECT_EQ(tree(dir),
              (std::vector<std::string>{"lost.hex@", "one.hex@", "self.hex@", "two.hex@"}));
}

TEST_F(SafeFileWrite, LinkToADeviceWritesTheDevice) {
    fs::create_symlink("/dev/null", dir / "null.hex");
    EXPECT_EQ(saveFileSafely(path("null.hex"), writes("gone\n")), SaveResult::saved);
    EXPECT_TRUE(fs::is_symlink(dir / "null.hex"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(entries(), std::vector<std::string>{"null.hex"});
}

TEST_F(SafeFileWrite, HardLinkedFileIsWrittenForEveryName) {
    put(path("a.hex"), "earlier\n");
    fs::create_hard_link(dir / "a.hex", dir / "b.hex");
    const auto fails = [](std::ostream& os) {
        os << "half";
        return false;
    };
    EXPECT_EQ(saveFileSafely(path("a.hex"), fails), SaveResult::notWritten);
    EXPECT_EQ(read(path("b.hex")), "earlier\n");

    EXPECT_EQ(saveFileSafely(path("a.hex"), writes("new\n")), SaveResult::saved);
    EXPECT_EQ(read(path("a.hex")), "new\n");
    EXPECT_EQ(read(path("b.hex")), "new\n");
    EXPECT_EQ(identityOf(path("a.hex")).st_ino, identityOf(path("b.hex")).st_ino);
    EXPECT_EQ(identityOf(path("a.hex")).st_nlink, 2u);
    EXPECT_EQ(entries(), (std::vector<std::string>{"a.hex", "b.hex"}));
}

// A file size limit makes the disk refuse the text part-way. Through the
// temporary file the old text stays whole and nothing new is left behind; in
// place the file was emptied first, so it holds the start of the new text and
// the result says so: never new bytes on an old tail, never "as it was" when
// it is not.
TEST_F(SafeFileWrite, DiskThatRefusesTheTextLeavesOldTextOrSaysIncomplete) {
    struct LimitCase {
        const char* name;
        std::string earlier; // empty: no file before
        bool hardLinked;     // written in place
        mode_t mode;
        bool asOrdinaryUser;
        SaveResult expected;
    };
    const LimitCase cases[] = {
        {"ReplacedFile", "old\n", false, 0644, false, SaveResult::notWritten},
        {"NewFile", "", false, 0644, false, SaveResult::notWritten},
        {"HardLinkedFile", "old\n", true, 0644, false, SaveResult::incomplete},
        {"OldFileLongerThanTheLimit", std::string(40, 'o') + "\n", true, 0644, false,
         SaveResult::incomplete},
        // A file the user can write but not read cannot have its old bytes
        // put back.
        {"WriteOnlyFile", std::string(40, 'o') + "\n", true, 0200, true, SaveResult::incomplete},
    };
    const OrdinaryUser user = ordinaryUser();
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    const size_t limit = 16;
    const std::string text(64, 'n');
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.asOrdinaryUser && !user.known) {
            std::cout << c.name << ": skipped, no user 'nobody' to drop root's rights to\n";
            continue;
        }
        std::vector<std::string> names;
        if (!c.earlier.empty()) {
            put(path("a.hex"), c.earlier);
            ASSERT_EQ(chmod(path("a.hex").c_str(), c.mode), 0);
            if (c.asOrdinaryUser && user.isOther) {
                ASSERT_EQ(chown(path("a.hex").c_str(), user.uid, user.gid), 0);
            }
            names.push_back("a.hex");
        }
        if (c.hardLinked) {
            fs::create_hard_link(dir / "a.hex", dir / "b.hex");
            names.push_back("b.hex");
        }
        const int result =
            inChild([&] { return code(saveFileSafely(path("a.hex"), writes(text))); },
                    c.asOrdinaryUser ? &user : nullptr, limit);
        EXPECT_EQ(result, code(c.expected));
        EXPECT_EQ(entries(), names);
        const std::string left =
            c.expected == SaveResult::incomplete ? text.substr(0, limit) : c.earlier;
        for (const std::string& name : names)
            EXPECT_EQ(read(path(name)), left) << name;
        for (const std::string& name : names)
            ASSERT_EQ(unlink(path(name).c_str()), 0);
    }
}

// The setting of one of the kernel's link protections, 0 when it is off or
// unknown.
int kernelProtection(const char* name) {
    std::ifstream in(std::string("/proc/sys/fs/") + name);
    int level = 0;
    in >> level;
    return in ? level : 0;
}

// In a sticky folder that others may write, such as /tmp, the kernel keeps a
// privileged run from following another user's link and from opening another
// user's file with O_CREAT. The save leaves those decisions to the kernel, so
// a planted name never makes it write where the user did not mean.
TEST_F(SafeFileWrite, KernelRefusesPlantedNamesInStickyFolders) {
    const OrdinaryUser user = ordinaryUser();
    if (!user.isOther)
        GTEST_SKIP() << "the planted names must belong to another user, which only root can make";
    struct PlantedCase {
        const char* name;
        const char* protection;
        const char* planted; // what the other user leaves in the sticky folder
    };
    const PlantedCase cases[] = {
        {"LinkToAFileOfTheVictim", "protected_symlinks", "link"},
        {"DanglingLink", "protected_symlinks", "dangling"},
        {"FileOfTheOtherUser", "protected_regular", "file"},
    };
    for (const PlantedCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (kernelProtection(c.protection) == 0) {
            std::cout << c.name << ": skipped, fs." << c.protection
                      << " is off on this system, so nothing refuses the open\n";
            continue;
        }
        const fs::path shared = dir / c.name;
        const fs::path own = dir / (std::string(c.name) + "-own");
        ASSERT_TRUE(fs::create_directory(shared));
        ASSERT_TRUE(fs::create_directory(own));
        ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
        const std::string victim = (own / "victim").string();
        const std::string planted = (shared / "a.hex").string();
        std::string plantedText;
        if (std::string(c.planted) == "file") {
            plantedText = "planted\n";
            put(planted, plantedText);
            ASSERT_EQ(chmod(planted.c_str(), 0666), 0);
            ASSERT_EQ(chown(planted.c_str(), user.uid, user.gid), 0);
        } else {
            if (std::string(c.planted) == "link")
                put(victim, "precious\n");
            fs::create_symlink(victim, planted);
            ASSERT_EQ(lchown(planted.c_str(), user.uid, user.gid), 0);
        }

        EXPECT_EQ(saveFileSafely(planted, writes("new\n")), SaveResult::notOpened);
        if (std::string(c.planted) == "link") {
            EXPECT_EQ(read(victim), "precious\n");
        } else {
            EXPECT_FALSE(fs::exists(victim));
        }
        if (!plantedText.empty()) {
            EXPECT_EQ(read(planted), plantedText);
        }
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(shared))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"a.hex"});
    }
}

// Where the file descriptor of an open file leads, or "".
std::string openedPath(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::error_code ec;
    const fs::path to = fs::read_symlink(link, ec);
    return ec ? std::string() : to.string();
}

// While the text is made, the new file is a hidden `.vorel` file beside the
// target, with the bits it will keep, that a program the writer starts does
// not inherit.
TEST_F(SafeFileWrite, TemporaryFileIsBesideTheTargetAndClosedOnExec) {
    if (!fs::is_directory("/proc/self/fd"))
        GTEST_SKIP() << "no procfs to look at open files through";
    struct TemporaryCase {
        const char* name;
        bool existing;
        mode_t mode; // of the existing file
    };
    const TemporaryCase cases[] = {
        {"NewName", false, 0},
        {"ReplacedFile", true, 0640},
    };
    for (const TemporaryCase& c : cases) {
        SCOPED_TRACE(c.name);
        const mode_t mask = umask(022);
        umask(mask);
        if (c.existing) {
            put(path("a.hex"), "earlier\n");
            ASSERT_EQ(chmod(path("a.hex").c_str(), c.mode), 0);
        }
        std::vector<std::string> seen;
        std::vector<int> flags;
        std::vector<mode_t> modes;
        const auto look = [&](std::ostream& os) {
            for (const std::string& name : entries())
                if (name != "a.hex")
                    seen.push_back(name);
            for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
                const int fd = std::stoi(entry.path().filename().string());
                if (fs::path(openedPath(fd)).filename().string().rfind(".vorel", 0) == 0) {
                    flags.push_back(fcntl(fd, F_GETFD));
                    struct stat st {};
                    fstat(fd, &st);
                    modes.push_back(st.st_mode & 07777);
                }
            }
            os << "new\n";
            return true;
        };
        EXPECT_EQ(saveFileSafely(path("a.hex"), look), SaveResult::saved);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].size(), std::string(".vorelXXXXXX").size()) << seen[0];
        EXPECT_EQ(seen[0].rfind(".vorel", 0), 0u) << seen[0];
        ASSERT_EQ(flags.size(), 1u);
        EXPECT_NE(flags[0] & FD_CLOEXEC, 0);
        EXPECT_EQ(modes[0], c.existing ? c.mode : 0666 & ~mask);
        EXPECT_EQ(read(path("a.hex")), "new\n");
        EXPECT_EQ(entries(), std::vector<std::string>{"a.hex"});
        ASSERT_EQ(unlink(path("a.hex").c_str()), 0);
    }
}

// A signal that ends the process while the text is made removes the
// temporary file on its way out; the earlier file stays as it was.
TEST_F(SafeFileWrite, EndingSignalRemovesTheTemporaryFile) {
    struct SignalCase {
        int sig;
        const char* earlier; // nullptr: no file before
    };
    const SignalCase cases[] = {
        {SIGINT, "earlier\n"}, {SIGTERM, "earlier\n"}, {SIGHUP, "earlier\n"},
        {SIGINT, nullptr},     {SIGTERM, nullptr},     {SIGHUP, nullptr},
    };
    for (const SignalCase& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.sig)) + (c.earlier ? ", replacing" : ", new name"));
        if (c.earlier)
            put(path("a.hex"), c.earlier);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(c.sig, SIG_DFL);
            const auto interrupted = [&](std::ostream& os) {
                os << "half";
                raise(c.sig);
                os << " and the rest\n";
                return true;
            };
            saveFileSafely(path("a.hex"), interrupted);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the save went on past the signal";
        EXPECT_EQ(WTERMSIG(status), c.sig);
        if (c.earlier) {
            EXPECT_EQ(entries(), std::vector<std::string>{"a.hex"});
            EXPECT_EQ(read(path("a.hex")), c.earlier);
            ASSERT_EQ(unlink(path("a.hex").c_str()), 0);
        } else {
            EXPECT_EQ(entries(), std::vector<std::string>{});
        }
    }
}

volatile sig_atomic_t caught = 0;
void countSignal(int) {
    caught = caught + 1;
}

// A signal the process ignores or catches does not end it, so the save goes
// on and finishes; after the save every signal has the action it had before.
TEST_F(SafeFileWrite, SignalsKeepTheirActionsAroundASave) {
    enum Outcome { savedAndKept = 10, notSaved, actionChanged, handlerNotRun };
    const struct {
        const char* name;
        void (*action)(int);
    } cases[] = {
        {"ignored", SIG_IGN},
        {"caught", countSignal},
        {"default, not raised", SIG_DFL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int result = inChild([&] {
            signal(SIGTERM, c.action);
            signal(SIGINT, SIG_DFL);
            const auto raising = [&](std::ostream& os) {
                if (c.action != SIG_DFL)
                    raise(SIGTERM);
                os << "new\n";
                return true;
            };
            if (saveFileSafely(path("a.hex"), raising) != SaveResult::saved)
                return int(notSaved);
            struct sigaction term {
            }, interrupt{};
            sigaction(SIGTERM, nullptr, &term);
            sigaction(SIGINT, nullptr, &interrupt);
            if (term.sa_handler != c.action || interrupt.sa_handler != SIG_DFL)
                return int(actionChanged);
            if (c.action == countSignal && caught != 1)
                return int(handlerNotRun);
            return int(savedAndKept);
        });
        EXPECT_EQ(result, savedAndKept);
        EXPECT_EQ(read(path("a.hex")), "new\n");
        EXPECT_EQ(entries(), std::vector<std::string>{"a.hex"});
        ASSERT_EQ(unlink(path("a.hex").c_str()), 0);
    }
}

} // namespace
