#include "utils/SafeFileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#if __has_include(<sys/xattr.h>)
#include <sys/xattr.h>
#define VOREL_EXTENDED_ATTRIBUTES 1
#endif
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>
#include <streambuf>
#include <string>

#include "utils/SaveSignals.h"

namespace vorel {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    explicit operator bool() const { return fd >= 0; }
    int get() const { return fd; }
    void reset(int other = -1) {
        if (fd >= 0)
            ::close(fd);
        fd = other;
    }
    // Closing reports write errors that some file systems keep until then.
    bool close() {
        const int was = fd;
        fd = -1;
        return was < 0 || ::close(was) == 0;
    }

private:
    int fd;
};

// Collects the text in memory, so that nothing reaches the file before the
// writer has produced all of it. A failed allocation is kept and raised once
// the stream is done with: the stream itself would turn it into a bad state.
class TextSink : public std::streambuf {
public:
    explicit TextSink(std::string& text) : text(text) { setp(buffer, buffer + sizeof buffer); }
    bool outOfMemory() const { return noMemory; }

protected:
    int_type overflow(int_type c) override {
        if (!drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

private:
    bool drain() {
        try {
            text.append(pbase(), static_cast<size_t>(pptr() - pbase()));
        } catch (const std::bad_alloc&) {
            noMemory = true;
            return false;
        }
        setp(buffer, buffer + sizeof buffer);
        return true;
    }

    std::string& text;
    char buffer[4096];
    bool noMemory = false;
};

bool render(const std::function<bool(std::ostream&)>& write, std::string& text) {
    TextSink sink(text);
    std::ostream os(&sink);
    bool ok = write(os);
    os.flush();
    if (sink.outOfMemory())
        throw std::bad_alloc();
    return ok && os.good();
}

// The folder part of a path, with its closing '/', or "" for a bare name.
std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Letters for the temporary name; O_EXCL, not the letters, keeps it unique.
void pickLetters(char* letters, unsigned long long& state) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < 6; ++i) {
        state += 0x9E3779B97F4A7C15ull;
        unsigned long long z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        letters[i] = alphabet[(z ^ (z >> 31)) % (sizeof alphabet - 1)];
    }
}

#ifdef VOREL_EXTENDED_ATTRIBUTES
// Fills `bytes` from a query that, like fgetxattr, gives the size it needs
// when handed no room; false when the query fails.
template <class Query> bool readSized(std::string& bytes, Query query) {
    for (;;) {
        const ssize_t size = query(nullptr, 0);
        if (size < 0)
            return false;
        bytes.resize(static_cast<size_t>(size));
        const ssize_t got = query(bytes.data(), bytes.size());
        if (got >= 0) {
            bytes.resize(static_cast<size_t>(got));
            return true;
        }
        // It grew in between.
        if (errno != ERANGE)
            return false;
    }
}

// The names of a file's extended attributes, each closed by a NUL; none where
// the file system has no such attributes.
bool attributeNames(int fd, std::string& names) {
    if (readSized(names, [fd](char* room, size_t size) { return flistxattr(fd, room, size); }))
        return true;
    names.clear();
    return errno == ENOTSUP;
}

bool attributeValue(int fd, const char* name, std::string& value) {
    return readSized(
        value, [fd, name](char* room, size_t size) { return fgetxattr(fd, name, room, size); });
}

// Gives `to` exactly the extended attributes of `from`, POSIX ACLs among
// them, which a rename would drop with the old file. One that `to` already
// holds with the same value (a security label, an ACL inherited from the
// folder) is left alone. False when one cannot be read, set or removed.
bool copyAttributes(int from, int to) {
    std::string names, theirs, value, present;
    if (!attributeNames(from, names) || !attributeNames(to, theirs))
        return false;
    for (size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        if (!attributeValue(from, name, value))
            return false;
        if (attributeValue(to, name, present) && present == value)
            continue;
        if (fsetxattr(to, name, value.data(), value.size(), 0) != 0)
            return false;
    }
    for (size_t at = 0; at < theirs.size(); at += std::strlen(theirs.c_str() + at) + 1) {
        const char* name = theirs.c_str() + at;
        if (!attributeValue(from, name, value) && errno == ENODATA && fremovexattr(to, name) != 0)
            return false;
    }
    return true;
}
#else
bool copyAttributes(int, int) {
    return true;
}
#endif

// The new text under a short name of its own in the target's folder, so that
// the rename that puts it in place stays within one file system and a long
// target name never makes the temporary name too long.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile() { discard(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool ready() const { return static_cast<bool>(fd); }

    // `old` describes the file to be replaced, open as `oldFile`, whose owner,
    // group, extended attributes and permission bits the new one takes; null
    // for a new name. False when the folder refuses the file or the file
    // cannot take them.
    bool create(const std::string& folder, const struct stat* old, int oldFile) {
        static const char prefix[] = ".vorel";
        std::string name = folder + prefix + "XXXXXX";
        const size_t letters = name.size() - 6;

        struct timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        unsigned long long state = static_cast<unsigned long long>(now.tv_nsec) ^
                                   (static_cast<unsigned long long>(getpid()) << 32) ^
                                   static_cast<unsigned long long>(now.tv_sec);
        // The old file's text is for its owner's eyes until its own bits are
        // set; a new name gets its bits from the kernel, as any new file.
        const mode_t mode = old != nullptr ? 0600 : 0666;
        for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
            pickLetters(&name[letters], state);
            const int raw = createTemporary(
                name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
            if (raw >= 0)
                fd.reset(raw);
            else if (errno != EEXIST)
                return false;
        }
        if (!fd || old == nullptr)
            return ready();

        // The attributes come after the owner, whose change clears some of
        // them, and before the bits, which an ACL changes. Bits the caller may
        // not set are dropped silently, so they are read back.
        const mode_t bits = old->st_mode & 07777;
        struct stat mine;
        if (fstat(fd.get(), &mine) != 0 ||
            ((mine.st_uid != old->st_uid || mine.st_gid != old->st_gid) &&
             fchown(fd.get(), old->st_uid, old->st_gid) != 0) ||
            !copyAttributes(oldFile, fd.get()) || fchmod(fd.get(), bits) != 0 ||
            fstat(fd.get(), &mine) != 0 || (mine.st_mode & 07777) != bits) {
            discard();
            return false;
        }
        return true;
    }

    enum class Commit { done, notWritten, renameRefused };

    // Writes the text and renames the file over the target; whatever the
    // outcome, the temporary file is gone. No sync: a save is as durable as
    // the plain truncating write it stands in for.
    Commit commit(const std::string& text, const std::string& target) {
        if (!writeAll(fd.get(), text.data(), text.size()) || !fd.close()) {
            discard();
            return Commit::notWritten;
        }
        return renameTemporary(target.c_str()) ? Commit::done : Commit::renameRefused;
    }

private:
    void discard() {
        fd.reset();
        removeTemporary();
    }

    FileDescriptor fd;
};

enum class Name { absent, replaceable, other };

// Whether the name itself is a regular file with one link that the plain open
// may write (then `old` describes it and `file` holds it open), names nothing,
// or is anything else.
Name classify(const std::string& fileName, struct stat& old, FileDescriptor& file) {
    struct stat st;
    if (lstat(fileName.c_str(), &st) != 0)
        return errno == ENOENT ? Name::absent : Name::other;
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1)
        return Name::other;
    // The plain open without the truncation: the kernel's rights and its
    // protection of files in sticky folders decide whether this file may be
    // written; no link is followed.
    file.reset(
        open(fileName.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
    if (!file || fstat(file.get(), &old) != 0 || !S_ISREG(old.st_mode) || old.st_nlink != 1)
        return Name::other;
    return Name::replaceable;
}

// A plain file whose new text fails part-way is emptied again through the
// descriptor that wrote it, as the name may be a link or one of several, so
// that no start of a program stands there for a later step to take as whole.
SaveResult writeInPlace(const std::string& fileName, const std::string& text) {
    FileDescriptor fd(
        open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666));
    if (!fd)
        return SaveResult::notOpened;
    struct stat st;
    const bool plain = fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
    // A second descriptor of the same open file outlives a close that
    // reports a late write error.
    FileDescriptor spare(plain ? fcntl(fd.get(), F_DUPFD_CLOEXEC, 0) : -1);
    if (writeAll(fd.get(), text.data(), text.size()) && fd.close())
        return SaveResult::saved;
    const int through = spare ? spare.get() : fd.get();
    return plain && through >= 0 && ftruncate(through, 0) == 0 ? SaveResult::emptied
                                                               : SaveResult::incomplete;
}

} // namespace

SaveResult saveFileSafely(const std::string& fileName,
                          const std::function<bool(std::ostream&)>& write) {
    SignalsDuringSave signals;
    TemporaryFile temporary;
    struct stat old;
    FileDescriptor oldFile;
    switch (classify(fileName, old, oldFile)) {
    case Name::absent:
        temporary.create(folderOf(fileName), nullptr, -1);
        break;
    case Name::replaceable:
        temporary.create(folderOf(fileName), &old, oldFile.get());
        break;
    case Name::other:
        break;
    }
    oldFile.reset();

    std::string text;
    if (!render(write, text))
        return SaveResult::notWritten;
    if (temporary.ready()) {
        switch (temporary.commit(text, fileName)) {
        case TemporaryFile::Commit::done:
            return SaveResult::saved;
        case TemporaryFile::Commit::notWritten:
            return SaveResult::notWritten;
        case TemporaryFile::Commit::renameRefused:
            break;
        }
    }
    return writeInPlace(fileName, text);
}

void reportSaveFailure(SaveResult result, const std::string& fileName,
                       const std::string& notOpenedLine) {
    if (result == SaveResult::saved)
        return;
    if (result == SaveResult::notOpened) {
        std::cerr << notOpenedLine << std::endl;
        return;
    }
    std::cerr << "ERROR: could not write file " << fileName << std::endl;
    if (result == SaveResult::emptied)
        std::cerr << "ERROR: file " << fileName << " was left empty" << std::endl;
}

int saveCounted(const std::string& fileName, const std::function<int(std::ostream&)>& write) {
    int count = 0;
    const SaveResult result = saveFileSafely(fileName, [&](std::ostream& os) {
        count = write(os);
        return true;
    });
    if (result == SaveResult::saved)
        return count;
    reportSaveFailure(result, fileName, "Could not open file \"" + fileName + "\" for writing");
    return -1;
}

} // namespace vorel
