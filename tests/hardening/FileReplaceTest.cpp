// Saving a whole file over a name, as users meet names: each case runs through
// saveFileSafely itself and through a run of vorelasm that writes its .hex
// there. A plain file gets the whole new text or stays as it was, with its
// permission bits, owner, group and extended attributes; every other name (a
// symbolic link, a file with several hard links, a device) is written in place
// through the kernel's own resolution and checks, so what an ordinary user may
// open for writing, the save writes too, and what the kernel refuses, it
// refuses, and a file written in place that does not take the whole text is
// left empty. In a sticky folder that others may write, a name another user
// planted is written through or refused as the kernel's link protections
// decide. Nothing else in the folder changes: no temporary file stays behind,
// but in a folder that refuses its removal, where the run names it on standard
// error.
#include <gtest/gtest.h>

#include <linux/fs.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/hardening/HardeningSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FileFlag.h"
#include "tests/support/FolderSnapshot.h"
#include "utils/SafeFileWrite.h"

namespace {

// The folder of one case as it is made: every step throws when it fails.
class Scene {
public:
    Scene(const TempFolder& dir, const User& user) : user(user), dir(dir) {}

    std::string operator/(const std::string& name) const { return dir / name; }

    void file(const std::string& name, const std::string& text, mode_t mode = 0644) const {
        writeFile(dir / name, text);
        bits(name, mode);
    }
    void folder(const std::string& name, mode_t mode = 0755) const {
        check(mkdir((dir / name).c_str(), 0700) == 0, "mkdir", name);
        bits(name, mode);
    }
    void link(const std::string& name, const std::string& to) const {
        check(symlink(to.c_str(), (dir / name).c_str()) == 0, "symlink", name);
    }
    void hardLink(const std::string& name, const std::string& existing) const {
        check(::link((dir / existing).c_str(), (dir / name).c_str()) == 0, "link", name);
    }
    void attribute(const std::string& name, const std::string& key,
                   const std::string& value) const {
        check(setxattr((dir / name).c_str(), key.c_str(), value.data(), value.size(), 0) == 0,
              "setxattr", name);
    }
    void bits(const std::string& name, mode_t mode) const {
        check(chmod((dir / name).c_str(), mode) == 0, "chmod", name);
    }
    // Gives the name (not where a link leads) to the user and group.
    void owner(const std::string& name, uid_t uid, gid_t gid) const {
        check(lchown((dir / name).c_str(), uid, gid) == 0, "lchown", name);
    }
    // Gives the name to the ordinary user, where that is another user.
    void toTheUser(const std::string& name) const {
        if (user.isOther)
            owner(name, user.uid, user.gid);
    }

    const User& user;

private:
    static void check(bool done, const char* what, const std::string& name) {
        if (!done)
            throw std::runtime_error(std::string(what) + " failed for " + name);
    }
    const TempFolder& dir;
};

struct ReplaceCase {
    ReplaceCase(
        std::string name, std::string target, vorel::SaveResult expected,
        std::function<void(const Scene&)> prepare = [](const Scene&) {})
        : name(std::move(name)), target(target), expected(expected),
          prepare(std::move(prepare)), lands{target} {}

    // The files that hold the new text after the save; none when the name
    // leads out of the folder.
    ReplaceCase& landingIn(std::vector<std::string> paths) {
        lands = std::move(paths);
        return *this;
    }
    // They keep their identity: written where they are, not replaced.
    ReplaceCase& inPlace() {
        writtenInPlace = true;
        return *this;
    }
    // Saved with an ordinary user's rights, not the caller's.
    ReplaceCase& byOrdinaryUser() {
        asOrdinaryUser = true;
        return *this;
    }
    // The scene gives names to a user other than the caller: only root can.
    ReplaceCase& withOtherUsersNames() {
        needsOtherUser = true;
        return *this;
    }
    // A link protection of the kernel the case relies on, and whether it
    // shows what the kernel does with it on or with it off.
    ReplaceCase& protectedBy(const char* setting, bool on = true) {
        protection = setting;
        protectionOn = on;
        return *this;
    }
    ReplaceCase& fileSizeLimit(rlim_t bytes) {
        limit = bytes;
        return *this;
    }
    // Past the limit the kernel sends SIGXFSZ, which by default ends the
    // process, where the other cases ignore it.
    ReplaceCase& fileSizeSignalAtDefault() {
        fileSizeSignalIgnored = false;
        return *this;
    }
    // The scene sets extended attributes, which not every file system has.
    ReplaceCase& withAttributes() {
        needsAttributes = true;
        return *this;
    }
    ReplaceCase& withUmask(mode_t mask) {
        umask = mask;
        return *this;
    }
    // A device the name leads to, which must stay that device.
    ReplaceCase& throughDevice(std::string path) {
        device = std::move(path);
        return *this;
    }

    std::string name;
    std::string target; // inside the case folder, ending in .hex
    vorel::SaveResult expected;
    std::function<void(const Scene&)> prepare;
    std::vector<std::string> lands;
    bool writtenInPlace = false;
    bool asOrdinaryUser = false;
    bool needsOtherUser = false;
    const char* protection = nullptr;
    bool protectionOn = true;
    rlim_t limit = 0;
    bool fileSizeSignalIgnored = true;
    bool needsAttributes = false;
    mode_t umask = 022;
    std::string device;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) {
    *os << c.name;
}

// Longer than any new text, so that a save that does not truncate shows.
const std::string earlier =
    "earlier text, longer than every new one, so that no tail of it may stay\n";

std::string hexNamed(size_t length) {
    return std::string(length - 4, 'n') + ".hex";
}

// The Linux form of a POSIX ACL with the entries of `mode` and one more user
// who may read: a version, then a tag, the permissions and an id per entry,
// little-endian, in the order of the tags.
std::string accessList(mode_t mode, uint32_t reader) {
    std::string bytes;
    const auto put = [&bytes](uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += char((value >> (8 * i)) & 0xff);
    };
    const uint32_t anyone = 0xffffffff;
    put(2, 4);
    const struct {
        uint16_t tag;
        uint16_t permissions;
        uint32_t id;
    } entries[] = {
        {0x01, uint16_t((mode >> 6) & 7), anyone}, // the owner
        {0x02, 4, reader},                         // a named user
        {0x04, uint16_t((mode >> 3) & 7), anyone}, // the group
        {0x10, uint16_t((mode >> 3) & 7), anyone}, // the mask
        {0x20, uint16_t(mode & 7), anyone},        // others
    };
    for (const auto& entry : entries) {
        put(entry.tag, 2);
        put(entry.permissions, 2);
        put(entry.id, 4);
    }
    return bytes;
}

std::vector<ReplaceCase> replaceCases() {
    using R = vorel::SaveResult;
    std::vector<ReplaceCase> cases;

    // A plain file is replaced whole and keeps its permission bits; one that
    // its bits keep the caller from writing is refused, except to root.
    for (const mode_t mode : {0600, 0640, 0604, 0700, 0755, 0666, 0444}) {
        char name[32];
        std::snprintf(name, sizeof name, "PlainFile%04o", unsigned(mode));
        const bool writable = geteuid() == 0 || (mode & S_IWUSR) != 0;
        cases.push_back(ReplaceCase(name, "a.hex", writable ? R::saved : R::notOpened,
                                    [mode](const Scene& s) { s.file("a.hex", earlier, mode); }));
    }
    // A new name gets 0666 less the umask.
    for (const mode_t mask : {022, 077, 027, 0}) {
        char name[32];
        std::snprintf(name, sizeof name, "NewNameUmask%03o", unsigned(mask));
        cases.push_back(ReplaceCase(name, "a.hex", R::saved).withUmask(mask));
    }
    cases.push_back(ReplaceCase("FileOfAnotherUserKeepsItsOwnerAndGroup", "a.hex", R::saved,
                                [](const Scene& s) {
                                    s.file("a.hex", earlier, 0640);
                                    s.toTheUser("a.hex");
                                })
                        .withOtherUsersNames());

    // What the plain truncating open allows an ordinary user, the save allows
    // too, and the file keeps its owner, group and identity.
    enum Whose { noFile, usersFile, callersFile, usersFileInRootsGroup };
    struct UserCase {
        const char* name;
        mode_t folderMode;
        bool usersFolder; // else the caller's
        Whose file;
        mode_t fileMode;
        vorel::SaveResult expected;
    };
    const UserCase userCases[] = {
        {"FolderNotWritable", 0555, false, usersFile, 0644, R::saved},
        {"NewFileInFolderNotWritable", 0555, false, noFile, 0, R::notOpened},
        {"StickyFolderOthersWritableFile", 01777, false, callersFile, 0666, R::saved},
        {"OthersReadOnlyFileInOpenFolder", 0777, false, callersFile, 0644, R::notOpened},
        {"GroupTheUserIsNotIn", 0777, false, usersFileInRootsGroup, 0664, R::saved},
        {"ReadOnlyFileInTheUsersOwnFolder", 0755, true, usersFile, 0400, R::notOpened},
    };
    for (const UserCase& u : userCases) {
        ReplaceCase c(u.name, "f/a.hex", u.expected, [u](const Scene& s) {
            s.folder("f");
            if (u.file != noFile)
                s.file("f/a.hex", earlier, u.fileMode);
            if (u.file == usersFile)
                s.toTheUser("f/a.hex");
            if (u.file == usersFileInRootsGroup)
                s.owner("f/a.hex", s.user.uid, 0);
            if (u.usersFolder)
                s.toTheUser("f");
            s.bits("f", u.folderMode);
        });
        c.byOrdinaryUser();
        if (u.file == callersFile || u.file == usersFileInRootsGroup)
            c.withOtherUsersNames();
        if (u.file != noFile && u.expected == R::saved)
            c.inPlace();
        cases.push_back(c);
    }

    for (const size_t length : {246u, 250u, 255u}) {
        const std::string name = hexNamed(length);
        cases.push_back(ReplaceCase("LongNewName" + std::to_string(length), name, R::saved));
        cases.push_back(ReplaceCase("LongNameReplaced" + std::to_string(length), name, R::saved,
                                    [name](const Scene& s) { s.file(name, earlier); }));
    }
    cases.push_back(ReplaceCase("NameTooLong", hexNamed(256), R::notOpened));

    // A dangling link makes the file it names; a relative one is read from
    // its own folder, not the working one.
    struct Dangling {
        const char* name;
        const char* link;
        std::string to; // "/" at the start: inside the case folder
        const char* lands;
    };
    const Dangling danglings[] = {
        {"DanglingLink", "link.hex", "made.hex", "made.hex"},
        {"DanglingLinkDownIntoAFolder", "link.hex", "out/made.hex", "out/made.hex"},
        {"DanglingLinkInAFolder", "sub/link.hex", "made.hex", "sub/made.hex"},
        {"DanglingLinkUpAndOver", "sub/link.hex", "../out/made.hex", "out/made.hex"},
        {"DanglingAbsoluteLink", "link.hex", "/out/made.hex", "out/made.hex"},
    };
    for (const Dangling& d : danglings) {
        const std::string link = d.link, to = d.to;
        cases.push_back(ReplaceCase(d.name, link, R::saved, [link, to](const Scene& s) {
                            s.folder("sub");
                            s.folder("out");
                            s.link(link, to[0] == '/' ? s / to.substr(1) : to);
                        }).landingIn({d.lands}));
    }
    cases.push_back(ReplaceCase("LinkToAFileInAnotherFolder", "link.hex", R::saved,
                                [](const Scene& s) {
                                    s.folder("real");
                                    s.file("real/a.hex", earlier);
                                    s.link("link.hex", "real/a.hex");
                                })
                        .landingIn({"real/a.hex"})
                        .inPlace());
    cases.push_back(ReplaceCase("ChainOfLinks", "first.hex", R::saved,
                                [](const Scene& s) {
                                    s.folder("sub");
                                    s.folder("real");
                                    s.file("real/a.hex", earlier, 0600);
                                    s.link("first.hex", "sub/second.hex");
                                    s.link("sub/second.hex", "../real/a.hex");
                                })
                        .landingIn({"real/a.hex"})
                        .inPlace());
    cases.push_back(ReplaceCase("LoopOfLinks", "one.hex", R::notOpened, [](const Scene& s) {
        s.link("one.hex", "two.hex");
        s.link("two.hex", "one.hex");
    }));
    cases.push_back(ReplaceCase("LinkToItself", "self.hex", R::notOpened,
                                [](const Scene& s) { s.link("self.hex", "self.hex"); }));
    cases.push_back(ReplaceCase("LinkIntoAMissingFolder", "lost.hex", R::notOpened,
                                [](const Scene& s) { s.link("lost.hex", "missing/a.hex"); }));
    cases.push_back(ReplaceCase("LinkToADeviceThatTakesAll", "null.hex", R::saved,
                                [](const Scene& s) { s.link("null.hex", "/dev/null"); })
                        .landingIn({})
                        .throughDevice("/dev/null"));
    cases.push_back(ReplaceCase("LinkToADeviceThatTakesNothing", "full.hex", R::incomplete,
                                [](const Scene& s) { s.link("full.hex", "/dev/full"); })
                        .landingIn({})
                        .throughDevice("/dev/full"));
    cases.push_back(ReplaceCase("HardLinkedFile", "a.hex", R::saved,
                                [](const Scene& s) {
                                    s.file("a.hex", earlier);
                                    s.hardLink("b.hex", "a.hex");
                                })
                        .landingIn({"a.hex", "b.hex"})
                        .inPlace());

    // Names that no open for writing gets through.
    cases.push_back(ReplaceCase("Directory", "sub.hex", R::notOpened,
                                [](const Scene& s) { s.folder("sub.hex"); }));
    cases.push_back(ReplaceCase("DirectoryThroughItsParent", "sub.hex/../sub.hex", R::notOpened,
                                [](const Scene& s) { s.folder("sub.hex"); }));
    cases.push_back(ReplaceCase("MissingFolder", "missing/a.hex", R::notOpened));

    // A file size limit makes the disk refuse the text part-way. Through the
    // temporary file the old text stays whole and nothing new is left
    // behind; in place the file was emptied by the open, and it is emptied
    // again, so that it never holds the start of the new text (nor new bytes
    // on an old tail), and the result says so. Each case runs twice: with
    // SIGXFSZ ignored, and at its default, which would end the process in
    // the middle of the save if the save let it.
    const rlim_t limit = 16;
    const std::string longOld = std::string(40, 'o') + "\n";
    const std::vector<ReplaceCase> sizeLimited = {
        ReplaceCase("DiskRefusesTheTextOfAReplacedFile", "a.hex", R::notWritten,
                    [](const Scene& s) { s.file("a.hex", "old\n"); }),
        ReplaceCase("DiskRefusesTheTextOfANewFile", "a.hex", R::notWritten),
        ReplaceCase("DiskRefusesTheTextOfAHardLinkedFile", "a.hex", R::emptied,
                    [](const Scene& s) {
                        s.file("a.hex", "old\n");
                        s.hardLink("b.hex", "a.hex");
                    })
            .landingIn({"a.hex", "b.hex"})
            .inPlace(),
        ReplaceCase("DiskRefusesTheTextOfAnOldFileLongerThanTheLimit", "a.hex", R::emptied,
                    [longOld](const Scene& s) {
                        s.file("a.hex", longOld);
                        s.hardLink("b.hex", "a.hex");
                    })
            .landingIn({"a.hex", "b.hex"})
            .inPlace(),
        // Emptied through the descriptor that wrote it: no right to read is
        // needed.
        ReplaceCase("DiskRefusesTheTextOfAWriteOnlyFile", "a.hex", R::emptied,
                    [longOld](const Scene& s) {
                        s.file("a.hex", longOld, 0200);
                        s.toTheUser("a.hex");
                        s.hardLink("b.hex", "a.hex");
                    })
            .landingIn({"a.hex", "b.hex"})
            .inPlace()
            .byOrdinaryUser(),
        ReplaceCase("DiskRefusesTheTextOfALinkedFile", "link.hex", R::emptied,
                    [longOld](const Scene& s) {
                        s.folder("real");
                        s.file("real/a.hex", longOld);
                        s.link("link.hex", "real/a.hex");
                    })
            .landingIn({"real/a.hex"})
            .inPlace(),
        ReplaceCase("DiskRefusesTheTextInAFolderThatRefusesTheTemporaryFile", "f/a.hex", R::emptied,
                    [longOld](const Scene& s) {
                        s.folder("f");
                        s.file("f/a.hex", longOld, 0666);
                        s.bits("f", 0555);
                    })
            .inPlace()
            .byOrdinaryUser(),
    };
    for (const bool atDefault : {false, true}) {
        for (ReplaceCase c : sizeLimited) {
            c.fileSizeLimit(limit);
            if (atDefault) {
                c.name += "WithSigxfszAtItsDefault";
                c.fileSizeSignalAtDefault();
            }
            cases.push_back(c);
        }
    }

    // A replaced file keeps its extended attributes, POSIX ACLs among them.
    // One that the user may not read, on a file the user may write, cannot
    // be copied: the file is written in place and keeps it too.
    cases.push_back(
        ReplaceCase("FileWithExtendedAttributes", "a.hex", R::saved, [](const Scene& s) {
            s.file("a.hex", earlier, 0640);
            s.attribute("a.hex", "user.note", "kept");
            s.attribute("a.hex", "system.posix_acl_access", accessList(0640, 12345));
        }).withAttributes());
    cases.push_back(ReplaceCase("AttributeTheUserCannotRead", "f/a.hex", R::saved,
                                [](const Scene& s) {
                                    s.folder("f");
                                    s.toTheUser("f");
                                    s.file("f/a.hex", earlier, 0200);
                                    s.toTheUser("f/a.hex");
                                    s.attribute("f/a.hex", "user.note", "kept");
                                })
                        .inPlace()
                        .byOrdinaryUser()
                        .withAttributes());

    // In a sticky folder that others may write, such as /tmp, the kernel
    // keeps a privileged run from following another user's link and from
    // opening another user's file with O_CREAT. The save leaves those
    // decisions to the kernel, so a planted name never makes it write where
    // the user did not mean. With the protections off, the same names show
    // that the kernel resolves them, not the save: it writes through the
    // links, even one that leads nowhere yet, as the plain truncating open
    // does.
    const auto planted = [](const char* what) {
        return [what](const Scene& s) {
            s.folder("shared", 01777);
            s.folder("own");
            if (std::string(what) == "file") {
                s.file("shared/a.hex", "planted\n", 0666);
            } else {
                if (std::string(what) == "link")
                    s.file("own/victim", "precious\n");
                s.link("shared/a.hex", s / "own/victim");
            }
            s.toTheUser("shared/a.hex");
        };
    };
    cases.push_back(
        ReplaceCase("PlantedLinkToAFileOfTheVictim", "shared/a.hex", R::notOpened, planted("link"))
            .withOtherUsersNames()
            .protectedBy("protected_symlinks"));
    cases.push_back(
        ReplaceCase("PlantedDanglingLink", "shared/a.hex", R::notOpened, planted("dangling"))
            .withOtherUsersNames()
            .protectedBy("protected_symlinks"));
    cases.push_back(
        ReplaceCase("PlantedFileOfTheOtherUser", "shared/a.hex", R::notOpened, planted("file"))
            .withOtherUsersNames()
            .protectedBy("protected_regular"));
    cases.push_back(ReplaceCase("PlantedLinkToAFileOfTheVictimFollowedWithoutTheProtection",
                                "shared/a.hex", R::saved, planted("link"))
                        .landingIn({"own/victim"})
                        .inPlace()
                        .withOtherUsersNames()
                        .protectedBy("protected_symlinks", false));
    cases.push_back(ReplaceCase("PlantedDanglingLinkFollowedWithoutTheProtection", "shared/a.hex",
                                R::saved, planted("dangling"))
                        .landingIn({"own/victim"})
                        .withOtherUsersNames()
                        .protectedBy("protected_symlinks", false));
    cases.push_back(ReplaceCase("PlantedFileOfTheOtherUserReplacedWithoutTheProtection",
                                "shared/a.hex", R::saved, planted("file"))
                        .withOtherUsersNames()
                        .protectedBy("protected_regular", false));
    return cases;
}

// The level of one of the kernel's link protections, 0 when it is off; none
// when it cannot be read.
std::optional<int> kernelProtection(const char* name) {
    std::ifstream in(std::string("/proc/sys/fs/") + name);
    int level = 0;
    if (!(in >> level))
        return std::nullopt;
    return level;
}

// Why a case of a link protection does not run on this system, if it does
// not.
std::optional<std::string> whyNotWithProtection(const char* name, bool on) {
    const std::string setting = std::string("fs.") + name;
    const std::optional<int> level = kernelProtection(name);
    if (!level)
        return setting + " cannot be read on this system";
    if (on && *level == 0)
        return setting + " is off on this system, so nothing refuses the open; root turns it " +
               "on for a run with `sysctl -w " + setting + "=1`, and back off after it with " +
               "`sysctl -w " + setting + "=0`";
    if (!on && *level != 0)
        return setting + " is on on this system, so the case of it on runs instead";
    return std::nullopt;
}

// Whether files in the tests' folders take the extended attributes of a user
// and POSIX ACLs.
bool attributesCanBeSet() {
    TempFolder dir;
    writeFile(dir / "probe", "");
    const std::string acl = accessList(0644, 12345);
    return setxattr((dir / "probe").c_str(), "user.probe", "1", 1, 0) == 0 &&
           setxattr((dir / "probe").c_str(), "system.posix_acl_access", acl.data(), acl.size(),
                    0) == 0;
}

const char* resultName(vorel::SaveResult result) {
    switch (result) {
    case vorel::SaveResult::saved:
        return "saved";
    case vorel::SaveResult::notOpened:
        return "notOpened";
    case vorel::SaveResult::notWritten:
        return "notWritten";
    case vorel::SaveResult::emptied:
        return "emptied";
    case vorel::SaveResult::incomplete:
        return "incomplete";
    }
    return "?";
}

class FileReplace : public testing::TestWithParam<ReplaceCase> {
protected:
    void SetUp() override {
        const ReplaceCase& c = GetParam();
        const std::optional<User> ordinary = ordinaryUser();
        if ((c.asOrdinaryUser || c.needsOtherUser) && !ordinary)
            GTEST_SKIP() << whyNoOrdinaryUser();
        if (c.needsOtherUser && !ordinary->isOther)
            GTEST_SKIP() << "the case gives names to another user: " << whyNoOtherUser();
        if (c.protection != nullptr) {
            if (const std::optional<std::string> why =
                    whyNotWithProtection(c.protection, c.protectionOn))
                GTEST_SKIP() << *why;
        }
        if (!c.device.empty() && !exists(c.device))
            GTEST_SKIP() << "no " << c.device;
        if (c.needsAttributes && !attributesCanBeSet())
            GTEST_SKIP() << "the test folders' file system takes no extended attributes";
        user = ordinary.value_or(User{geteuid(), getegid(), false});

        // Another user must reach the source.
        ASSERT_EQ(chmod(source.path().c_str(), 0755), 0);
        source.write("prog.s", "\tnop\n\tstop\n");
        ASSERT_EQ(chmod((source / "prog.s").c_str(), 0644), 0);
    }

    // Makes the case's folder, saves over its target as the case says and
    // checks that everything in the folder is as it was but what the new text
    // went into. `save` gives the result and the new text it wrote.
    void check(const std::function<vorel::SaveResult(const TempFolder&, const ChildSetup&)>& save,
               const std::string& text) {
        const ReplaceCase& c = GetParam();
        TempFolder dir;
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        c.prepare(Scene(dir, user));
        const FolderSnapshot before = snapshotOf(dir.path());

        ChildSetup setup;
        if (c.asOrdinaryUser)
            setup.user = user;
        setup.fileSizeBytes = c.limit;
        setup.ignoreFileSizeSignal = c.fileSizeSignalIgnored;
        const mode_t mask = umask(c.umask);
        const vorel::SaveResult result = save(dir, setup);
        umask(mask);
        EXPECT_EQ(resultName(result), std::string(resultName(c.expected)));

        const FolderSnapshot after = snapshotOf(dir.path());
        FolderSnapshot expected = before;
        if (c.expected == vorel::SaveResult::saved || c.expected == vorel::SaveResult::emptied ||
            c.expected == vorel::SaveResult::incomplete) {
            const std::string left = c.expected == vorel::SaveResult::emptied ? ""
                                     : c.expected == vorel::SaveResult::incomplete
                                         ? text.substr(0, c.limit)
                                         : text;
            const uid_t owner = c.asOrdinaryUser ? user.uid : geteuid();
            const gid_t group = c.asOrdinaryUser ? user.gid : getegid();
            for (const std::string& path : c.lands) {
                const auto now = after.find(path);
                const bool made = expected.count(path) == 0;
                FolderEntry& entry = expected[path];
                if (made)
                    entry = {S_IFREG | (0666 & ~c.umask), "", owner, group, 0, 1, {}};
                entry.content = left;
                // A replaced file may be a new one under the old name.
                if ((made || !c.writtenInPlace) && now != after.end())
                    entry.inode = now->second.inode;
            }
        }
        EXPECT_EQ(after, expected);
        if (!c.device.empty()) {
            struct stat st {};
            EXPECT_EQ(stat(c.device.c_str(), &st), 0);
            EXPECT_TRUE(S_ISCHR(st.st_mode)) << c.device << " is no longer a device";
        }
    }

    TempFolder source;
    User user;
};

TEST_P(FileReplace, ThroughTheSave) {
    const ReplaceCase& c = GetParam();
    const std::string text = "the new text of a save\n";
    check(
        [&](const TempFolder& dir, const ChildSetup& setup) {
            const ChildEnd end = runInChild(
                [&] {
                    return int(vorel::saveFileSafely(dir / c.target, [&](std::ostream& os) {
                        os << text;
                        return true;
                    }));
                },
                setup);
            EXPECT_EQ(end.signal, 0);
            return vorel::SaveResult(end.status);
        },
        text);
}

// The program's result is its status and the reason on standard error.
TEST_P(FileReplace, ThroughARun) {
    const ReplaceCase& c = GetParam();
    check(
        [&](const TempFolder& dir, const ChildSetup& setup) {
            RunOptions options;
            options.setup = setup;
            const std::string base = c.target.substr(0, c.target.size() - 4);
            const ProgramRun run =
                runVorelasm(dir.path(), {"-o", base, source / "prog.s"}, options);
            if (run.status == 0)
                return vorel::SaveResult::saved;
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_NE(run.err.find("could not write " + c.target + "\n"), std::string::npos)
                << run.err;
            if (run.err.find("ERROR: could not open file " + c.target + " for writing\n") !=
                std::string::npos)
                return vorel::SaveResult::notOpened;
            EXPECT_NE(run.err.find("ERROR: could not write file " + c.target + "\n"),
                      std::string::npos)
                << run.err;
            if (run.err.find("ERROR: file " + c.target + " was left empty\n") != std::string::npos)
                return vorel::SaveResult::emptied;
            // The program does not tell these two apart; the folder shows
            // which one it was.
            return c.expected == vorel::SaveResult::incomplete ? vorel::SaveResult::incomplete
                                                               : vorel::SaveResult::notWritten;
        },
        hexText({nop, stop}));
}

INSTANTIATE_TEST_SUITE_P(Names, FileReplace, testing::ValuesIn(replaceCases()),
                         [](const testing::TestParamInfo<ReplaceCase>& info) {
                             return info.param.name;
                         });

// In a folder that takes the temporary file but refuses the rename and the
// removal, the .hex is written in place and the run succeeds, and says which
// hidden file it left there, by the name relative to the working folder that
// the run gave it. A second run over the file it made leaves, and names, a
// second one.
TEST(FileReplaceInAppendOnlyFolder, RunNamesTheTemporaryFileItLeaves) {
    TempFolder dir;
    dir.write("prog.s", "\tnop\n\tstop\n");
    ASSERT_EQ(mkdir((dir / "out").c_str(), 0755), 0);
    const FileFlag appendOnly(dir / "out", FS_APPEND_FL);
    if (!appendOnly.isSet())
        GTEST_SKIP() << appendOnly.whyNot();
    std::vector<std::string> left;
    for (const char* run : {"new name", "existing name"}) {
        SCOPED_TRACE(run);
        // At level error the log keeps its lines off standard error, which
        // then holds only what the save says.
        const ProgramRun ran = runVorelasm(dir.path(), {"-l", "e", "-o", "out/a", "prog.s"});
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(dir.read("out/a.hex"), hexText({nop, stop}));
        const std::vector<std::string> now = dir.temporaryFiles("out");
        const std::vector<std::string> added = namesAdded(left, now);
        ASSERT_EQ(added.size(), 1u) << ran.err;
        EXPECT_EQ(ran.err, "ERROR: could not remove temporary file out/" + added[0] + "\n");
        left = now;
    }
    std::vector<std::string> all = left;
    all.push_back("a.hex");
    std::sort(all.begin(), all.end());
    EXPECT_EQ(dir.entries("out"), all);
}

} // namespace
