// Whole-file saves: the target gets the whole text or stays as it was, no
// temporary file is left behind, and targets that are no regular file (links,
// FIFOs) are not replaced by one.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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
    void TearDown() override { fs::remove_all(dir); }

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

TEST_F(SafeFileWrite, UnopenableTargetsAreRefusedBeforeWriting) {
    fs::create_directory(dir / "sub.hex");
    int calls = 0;
    const auto counted = [&calls](std::ostream&) {
        ++calls;
        return true;
    };
    EXPECT_EQ(saveFileSafely(path("sub.hex"), counted), SaveResult::notOpened);
    EXPECT_EQ(saveFileSafely(path("missing/a.hex"), counted), SaveResult::notOpened);
    EXPECT_EQ(saveFileSafely(path("sub.hex/../sub.hex"), counted), SaveResult::notOpened);
    EXPECT_EQ(calls, 0);
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
    EXPECT_EQ(saveFileSafely(path("link.hex"), writes("new\n")), SaveResult::saved);
    EXPECT_TRUE(fs::is_symlink(dir / "link.hex"));
    EXPECT_EQ(read(path("real/a.hex")), "new\n");
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

} // namespace
