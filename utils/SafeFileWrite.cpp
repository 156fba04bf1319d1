#include "utils/SafeFileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <streambuf>
#include <vector>

namespace {

// Linux follows at most this many symbolic links in one lookup; a longer
// chain is taken for a loop.
constexpr int maxLinkHops = 40;

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        reset(other.release());
        return *this;
    }

    explicit operator bool() const { return fd >= 0; }
    int get() const { return fd; }
    int release() {
        const int was = fd;
        fd = -1;
        return was;
    }
    void reset(int other = -1) {
        if (fd >= 0)
            ::close(fd);
        fd = other;
    }
    // Closing reports write errors that some file systems keep until then.
    bool close() {
        const int was = release();
        return was < 0 || ::close(was) == 0;
    }

private:
    int fd = -1;
};

// Collects the text in memory, so that nothing reaches the target before the
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

// Repeats a read or a write until `size` bytes went through; `done` tells how
// many did, also when not all of them did.
template <typename Step> bool transferAll(size_t size, size_t& done, Step step) {
    done = 0;
    while (done < size) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool writeAt(int fd, const std::string& bytes, off_t offset, size_t& done) {
    return transferAll(bytes.size(), done, [&](size_t at) {
        return pwrite(fd, bytes.data() + at, bytes.size() - at, offset + static_cast<off_t>(at));
    });
}

bool writeAt(int fd, const std::string& bytes, off_t offset) {
    size_t done;
    return writeAt(fd, bytes, offset, done);
}

bool writeStream(int fd, const std::string& bytes) {
    size_t done;
    return transferAll(bytes.size(), done, [&](size_t at) {
        return ::write(fd, bytes.data() + at, bytes.size() - at);
    });
}

bool readAt(int fd, std::string& bytes, off_t offset) {
    size_t done;
    return transferAll(bytes.size(), done, [&](size_t at) {
        return pread(fd, &bytes[at], bytes.size() - at, offset + static_cast<off_t>(at));
    });
}

// The folder part of a path, with its closing '/', or "" for a bare name.
std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool readLink(const std::string& path, std::string& to) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            to.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Where the text must end up: the end of the chain of symbolic links that
// starts at the name, whether that end exists or not. A chain too long to be
// followed gives the name back, whose opening then fails as a loop.
std::string followLinks(const std::string& fileName) {
    std::string path = fileName;
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        struct stat link;
        std::string to;
        if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || !readLink(path, to) ||
            to.empty())
            return path;
        // A relative link is read from the folder that holds it.
        path = to[0] == '/' ? to : folderOf(path) + to;
    }
    return fileName;
}

// The new text under a short name of its own in the target's folder, so that
// the rename that puts it in place stays within one file system and a long
// target name never makes the temporary name too long.
class TemporaryFile {
public:
    ~TemporaryFile() { discard(); }

    bool ready() const { return static_cast<bool>(fd); }

    // `old` is the file to be replaced, whose owner, group and permission bits
    // the new one takes; null for a new file. False when they cannot be kept.
    bool create(const std::string& folder, const struct stat* old) {
        std::string pattern = folder + ".vorelXXXXXX";
        const int raw = mkstemp(&pattern[0]);
        if (raw < 0)
            return false;
        fd.reset(raw);
        name = pattern;

        mode_t mode;
        struct stat mine;
        if (old != nullptr) {
            if (fstat(fd.get(), &mine) != 0) {
                discard();
                return false;
            }
            if ((mine.st_uid != old->st_uid || mine.st_gid != old->st_gid) &&
                fchown(fd.get(), old->st_uid, old->st_gid) != 0) {
                discard();
                return false;
            }
            mode = old->st_mode & 07777;
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        // Bits the caller may not set are dropped silently, so they are read
        // back.
        if (fchmod(fd.get(), mode) != 0 || fstat(fd.get(), &mine) != 0 ||
            (mine.st_mode & 07777) != mode) {
            discard();
            return false;
        }
        return true;
    }

    // Writes the text and renames it over the target; on failure the
    // temporary file is gone and the target untouched. No sync: a save is as
    // durable as the plain truncating write it stands in for.
    bool commit(const std::string& text, const std::string& target) {
        if (!writeAt(fd.get(), text, 0) || !fd.close() ||
            rename(name.c_str(), target.c_str()) != 0) {
            discard();
            return false;
        }
        name.clear();
        return true;
    }

private:
    void discard() {
        fd.reset();
        if (!name.empty())
            unlink(name.c_str());
        name.clear();
    }

    FileDescriptor fd;
    std::string name;
};

// Removes a file that the save created when the save does not succeed.
class CreatedFile {
public:
    ~CreatedFile() {
        if (!name.empty())
            unlink(name.c_str());
    }
    void made(const std::string& path) { name = path; }
    void keep() { name.clear(); }

private:
    std::string name;
};

// The target opened as the plain truncating open would open it, without
// truncating it yet; readable tells whether its old bytes can be read back.
FileDescriptor openExisting(const std::string& target, bool& readable) {
    readable = true;
    int fd = open(target.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM)) {
        readable = false;
        fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    return FileDescriptor(fd);
}

FileDescriptor openNew(const std::string& target, bool& readable, CreatedFile& created) {
    const int fd = open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST)
        return openExisting(target, readable);
    if (fd >= 0) {
        readable = true;
        created.made(target);
    }
    return FileDescriptor(fd);
}

// Writes the text over the old bytes and cuts the file to its length. When
// that fails, the old bytes go back if they could be read first: the part that
// was overwritten still has its blocks, and what grew past the old end is cut.
// A file that can be written but not read keeps as much of the text as went
// out.
bool writeInPlace(FileDescriptor& fd, const std::string& text, bool readable) {
    struct stat st;
    if (fstat(fd.get(), &st) != 0)
        return false;
    std::string before;
    if (readable) {
        before.resize(std::min(static_cast<size_t>(st.st_size), text.size()));
        readable = readAt(fd.get(), before, 0);
    }
    size_t overwritten = 0;
    if (writeAt(fd.get(), text, 0, overwritten) &&
        ftruncate(fd.get(), static_cast<off_t>(text.size())) == 0)
        return fd.close();
    before.resize(std::min(before.size(), overwritten));
    if (readable) {
        (void)writeAt(fd.get(), before, 0);
        (void)ftruncate(fd.get(), st.st_size);
    }
    return false;
}

// Devices and FIFOs: replacing them would destroy them.
SaveResult writeThrough(FileDescriptor& fd, const std::function<bool(std::ostream&)>& write) {
    std::string text;
    if (!render(write, text))
        return SaveResult::notWritten;
    return writeStream(fd.get(), text) && fd.close() ? SaveResult::saved : SaveResult::notWritten;
}

SaveResult saveRegularFile(const std::string& target, bool existed,
                           const std::function<bool(std::ostream&)>& write) {
    FileDescriptor fd;
    bool readable = false;
    struct stat old {};
    if (existed) {
        fd = openExisting(target, readable);
        if (!fd || fstat(fd.get(), &old) != 0)
            return SaveResult::notOpened;
        if (!S_ISREG(old.st_mode))
            return writeThrough(fd, write);
    }

    // Another name of the same file would keep the old text after a rename.
    TemporaryFile temporary;
    if (!existed || old.st_nlink == 1)
        temporary.create(folderOf(target), existed ? &old : nullptr);
    CreatedFile created;
    if (!temporary.ready() && !fd) {
        fd = openNew(target, readable, created);
        if (!fd)
            return SaveResult::notOpened;
    }

    std::string text;
    if (!render(write, text))
        return SaveResult::notWritten;
    if (temporary.ready()) {
        if (temporary.commit(text, target))
            return SaveResult::saved;
        if (!fd) {
            fd = openNew(target, readable, created);
            if (!fd)
                return SaveResult::notOpened;
        }
    }
    if (!writeInPlace(fd, text, readable))
        return SaveResult::notWritten;
    created.keep();
    return SaveResult::saved;
}

} // namespace

SaveResult saveFileSafely(const std::string& fileName,
                          const std::function<bool(std::ostream&)>& write) {
    const std::string target = followLinks(fileName);
    struct stat existing;
    if (stat(target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            return SaveResult::notOpened;
        if (!S_ISREG(existing.st_mode)) {
            FileDescriptor fd(open(target.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC));
            if (!fd)
                return SaveResult::notOpened;
            return writeThrough(fd, write);
        }
        return saveRegularFile(target, true, write);
    }
    if (errno != ENOENT)
        return SaveResult::notOpened;
    return saveRegularFile(target, false, write);
}
