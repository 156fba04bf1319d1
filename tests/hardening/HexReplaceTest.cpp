// A run that replaces an existing .hex leaves the user the file they had,
// with the new words in it: its permission bits, owner and group, its hard
// links and the symbolic links that lead to it; it succeeds wherever opening
// the .hex for writing succeeds, and fails where the kernel refuses that open
// or the write.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tests/hardening/HardeningSupport.h"

namespace {

struct stat identityOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

class HexReplace : public testing::Test {
protected:
    void SetUp() override {
        if (!haveVorelasm())
            GTEST_SKIP() << "vorelasm is not built";
        // Another user must reach the source and the folders of the cases.
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        writeFile(dir / "prog.s", "\tnop\n\tstop\n");
        ASSERT_EQ(chmod((dir / "prog.s").c_str(), 0644), 0);
    }

    // The run succeeded and wrote the program's words into `hexPath`.
    void expectSaved(const ProgramRun& run, const std::string& hexPath) {
        EXPECT_EQ(run.status, 0) << run.err;
        std::string hex;
        ASSERT_TRUE(readFile(hexPath, hex)) << hexPath;
        EXPECT_EQ(hex, expected);
    }

    TempDir dir;
    const std::string expected = hexText({nop, stop});
};

TEST_F(HexReplace, PermissionBitsAreKept) {
    for (const mode_t mode : {0600, 0640, 0604, 0755}) {
        SCOPED_TRACE(mode);
        writeFile(dir / "prog.hex", earlierHex);
        ASSERT_EQ(chmod((dir / "prog.hex").c_str(), mode), 0);
        expectSaved(runVorelasm(dir.path(), {"prog.s"}), dir / "prog.hex");
        EXPECT_EQ(identityOf(dir / "prog.hex").st_mode & 07777, mode);
        EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"prog.hex", "prog.s"}));
        ASSERT_EQ(unlink((dir / "prog.hex").c_str()), 0);
    }
}

TEST_F(HexReplace, NewHexTakesTheUmask) {
    const mode_t mask = umask(0);
    umask(mask);
    expectSaved(runVorelasm(dir.path(), {"prog.s"}), dir / "prog.hex");
    EXPECT_EQ(identityOf(dir / "prog.hex").st_mode & 07777, 0666 & ~mask);
}

TEST_F(HexReplace, OwnerAndGroupAreKept) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr)
        GTEST_SKIP() << "only root can give the .hex another owner";
    writeFile(dir / "prog.hex", earlierHex);
    ASSERT_EQ(chown((dir / "prog.hex").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chmod((dir / "prog.hex").c_str(), 0640), 0);
    expectSaved(runVorelasm(dir.path(), {"prog.s"}), dir / "prog.hex");
    const struct stat after = identityOf(dir / "prog.hex");
    EXPECT_EQ(after.st_uid, nobody->pw_uid);
    EXPECT_EQ(after.st_gid, nobody->pw_gid);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
}

// An ordinary user whose .hex may be written gets it written, whatever the
// folder allows; root's rights would hide these cases, so under root they run
// as `nobody`.
TEST_F(HexReplace, WritableHexInAFolderTheUserCannotChange) {
    struct FolderCase {
        const char* folder;
        mode_t folderMode;
        bool hexOfTheUser; // else root's
        mode_t hexMode;
    };
    const FolderCase cases[] = {
        {"locked", 0555, true, 0644},
        {"sticky", 01777, false, 0666},
    };
    const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    if (geteuid() == 0 && nobody == nullptr)
        GTEST_SKIP() << "no user 'nobody' to drop root's rights to";
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.folder);
        if (!c.hexOfTheUser && nobody == nullptr) {
            std::cout << c.folder << ": skipped, only root can give the .hex another owner\n";
            continue;
        }
        const std::string folder = dir / c.folder;
        const std::string hexPath = folder + "/out.hex";
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        writeFile(hexPath, earlierHex);
        if (c.hexOfTheUser && nobody != nullptr) {
            ASSERT_EQ(chown(hexPath.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
        ASSERT_EQ(chmod(hexPath.c_str(), c.hexMode), 0);
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
        const struct stat before = identityOf(hexPath);

        const std::vector<std::string> arguments{"-o", c.folder + std::string("/out"), "prog.s"};
        const ProgramRun run =
            nobody != nullptr ? runVorelasmAs(nobody->pw_uid, nobody->pw_gid, dir.path(), arguments)
                              : runVorelasm(dir.path(), arguments);
        expectSaved(run, hexPath);
        const struct stat after = identityOf(hexPath);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"out.hex"});
    }
}

// The counterpart: where the user may not create the .hex, the run fails as
// opening it would, and leaves the folder as it was.
TEST_F(HexReplace, FolderTheUserCannotChangeRefusesANewHex) {
    const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    if (geteuid() == 0 && nobody == nullptr)
        GTEST_SKIP() << "no user 'nobody' to drop root's rights to";
    ASSERT_EQ(mkdir((dir / "locked").c_str(), 0555), 0);
    const std::vector<std::string> arguments{"-o", "locked/out", "prog.s"};
    const ProgramRun run =
        nobody != nullptr ? runVorelasmAs(nobody->pw_uid, nobody->pw_gid, dir.path(), arguments)
                          : runVorelasm(dir.path(), arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ERROR: could not open file locked/out.hex for writing"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(folderEntries(dir / "locked"), std::vector<std::string>{});
}

TEST_F(HexReplace, LongLegalHexName) {
    for (const size_t length : {246u, 250u, 255u}) {
        SCOPED_TRACE(length);
        const std::string base(length - 4, 'p');
        writeFile(dir / (base + ".hex"), earlierHex);
        expectSaved(runVorelasm(dir.path(), {"-o", base, "prog.s"}), dir / (base + ".hex"));
        EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{base + ".hex", "prog.s"}));
        ASSERT_EQ(unlink((dir / (base + ".hex")).c_str()), 0);
    }
}

TEST_F(HexReplace, DanglingLinkGetsTheFileItNames) {
    ASSERT_EQ(mkdir((dir / "out").c_str(), 0755), 0);
    ASSERT_EQ(symlink("out/made.hex", (dir / "prog.hex").c_str()), 0);
    expectSaved(runVorelasm(dir.path(), {"prog.s"}), dir / "out/made.hex");
    EXPECT_TRUE(S_ISLNK(identityOf(dir / "prog.hex").st_mode));
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"out", "prog.hex", "prog.s"}));
    EXPECT_EQ(folderEntries(dir / "out"), std::vector<std::string>{"made.hex"});
}

TEST_F(HexReplace, EveryHardLinkSeesTheNewWords) {
    writeFile(dir / "prog.hex", earlierHex);
    ASSERT_EQ(link((dir / "prog.hex").c_str(), (dir / "kept.hex").c_str()), 0);
    expectSaved(runVorelasm(dir.path(), {"prog.s"}), dir / "kept.hex");
    EXPECT_EQ(identityOf(dir / "prog.hex").st_ino, identityOf(dir / "kept.hex").st_ino);
    EXPECT_EQ(folderEntries(dir.path()),
              (std::vector<std::string>{"kept.hex", "prog.hex", "prog.s"}));
}

// A .hex that is a symbolic link is opened as named: the kernel follows the
// link and the file it leads to is written in place, or the run says that the
// words did not get written.
TEST_F(HexReplace, SymbolicLinkIsFollowedByTheKernel) {
    struct LinkCase {
        const char* name;
        const char* to;
        int status;
        const char* report; // a line of standard error
    };
    const LinkCase cases[] = {
        {"ToAFileInAnotherFolder", "out/kept.hex", 0, nullptr},
        {"ToADeviceThatTakesNothing", "/dev/full", 1, "ERROR: could not write file prog.hex\n"},
    };
    ASSERT_EQ(mkdir((dir / "out").c_str(), 0755), 0);
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        const bool toFile = c.to[0] != '/';
        if (!toFile && !exists(c.to)) {
            std::cout << c.name << ": skipped, no " << c.to << "\n";
            continue;
        }
        const std::string target = toFile ? dir / c.to : c.to;
        if (toFile)
            writeFile(target, earlierHex);
        const ino_t before = identityOf(target).st_ino;
        ASSERT_EQ(symlink(c.to, (dir / "prog.hex").c_str()), 0);

        const ProgramRun run = runVorelasm(dir.path(), {"prog.s"});
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.report != nullptr) {
            EXPECT_NE(run.err.find(c.report), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("could not write prog.hex\n"), std::string::npos) << run.err;
        }
        if (toFile) {
            std::string hex;
            ASSERT_TRUE(readFile(target, hex));
            EXPECT_EQ(hex, expected);
        }
        EXPECT_EQ(identityOf(target).st_ino, before);
        EXPECT_TRUE(S_ISLNK(identityOf(dir / "prog.hex").st_mode));
        EXPECT_EQ(folderEntries(dir.path()),
                  (std::vector<std::string>{"out", "prog.hex", "prog.s"}));
        ASSERT_EQ(unlink((dir / "prog.hex").c_str()), 0);
        if (toFile) {
            ASSERT_EQ(unlink(target.c_str()), 0);
        }
    }
}

// A link that another user planted in a sticky folder open to all, such as
// /tmp, is not followed by a run as root where the kernel protects such
// links: the run fails as for a .hex it cannot open, and the file the link
// names keeps its text.
TEST_F(HexReplace, PlantedLinkInAStickyFolderIsRefused) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr)
        GTEST_SKIP() << "only root can plant a link that another user owns";
    std::ifstream setting("/proc/sys/fs/protected_symlinks");
    int protection = 0;
    if (!(setting >> protection) || protection == 0)
        GTEST_SKIP() << "fs.protected_symlinks is off on this system, so the kernel follows "
                        "every link";
    ASSERT_EQ(mkdir((dir / "shared").c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "shared").c_str(), 01777), 0);
    writeFile(dir / "precious", "precious\n");
    ASSERT_EQ(symlink((dir / "precious").c_str(), (dir / "shared/out.hex").c_str()), 0);
    ASSERT_EQ(lchown((dir / "shared/out.hex").c_str(), nobody->pw_uid, nobody->pw_gid), 0);

    const ProgramRun run = runVorelasm(dir.path(), {"-o", "shared/out", "prog.s"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ERROR: could not open file shared/out.hex for writing"),
              std::string::npos)
        << run.err;
    std::string text;
    ASSERT_TRUE(readFile(dir / "precious", text));
    EXPECT_EQ(text, "precious\n");
    EXPECT_EQ(folderEntries(dir / "shared"), std::vector<std::string>{"out.hex"});
}

} // namespace
