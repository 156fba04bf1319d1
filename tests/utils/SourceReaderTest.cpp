#include "utils/CharArraySourceReader.h"
#include "utils/FileSourceReader.h"
#include "utils/StreamSourceReader.h"
#include "utils/StringSourceReader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

namespace {

std::vector<std::string> readAll(SourceReader& reader) {
    std::string message;
    EXPECT_TRUE(reader.start(message)) << message;
    std::vector<std::string> lines;
    std::shared_ptr<const SourceLine> previous;
    while (auto line = reader.nextLine(false)) {
        EXPECT_EQ(line->lineNr, static_cast<int>(lines.size()) + 1);
        lines.push_back(line->text);
        previous = line;
        if (lines.size() > 100)
            break;
    }
    return lines;
}

using Lines = std::vector<std::string>;

// Line splitting per reader for the same input.
struct SplitCase {
    std::string input;
    Lines string;
    Lines stream;
    Lines array;
};

const std::string nul("a\nx\0y\n\0b", 8);

const SplitCase splitCases[] = {
    {"", {}, {""}, {}},
    {"a", {"a"}, {"a"}, {"a"}},
    {"a\n", {"a"}, {"a"}, {"a"}},
    {"a\r", {"a"}, {"a"}, {"a"}},
    {"a\r\n", {"a"}, {"a", ""}, {"a", ""}},
    {"a\r\nb", {"a", "b"}, {"a", "b"}, {"a", "", "b"}},
    {"a\n\rb", {"a", "b"}, {"a", "b"}, {"a", "", "b"}},
    {"a\n\nb", {"a", "", "b"}, {"a", "", "b"}, {"a", "", "b"}},
    {nul,
     {"a", std::string("x\0y", 3), std::string("\0b", 2)},
     {"a", std::string("x\0y", 3), std::string("\0b", 2)},
     {"a", std::string("x\0y", 3)}},
};

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vorel-readers-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        for (const std::string& f : files)
            std::remove(f.c_str());
        rmdir(dir.c_str());
    }
    std::string write(const std::string& text) {
        std::string path = dir + "/f" + std::to_string(files.size()) + ".s";
        std::ofstream(path, std::ios::binary) << text;
        files.push_back(path);
        return path;
    }
    std::string dir;
    std::vector<std::string> files;
};

using SourceReaders = TempDir;

TEST_F(SourceReaders, SplitLinesAtTerminators) {
    for (const SplitCase& c : splitCases) {
        StringSourceReader string(c.input);
        EXPECT_EQ(readAll(string), c.string) << "string reader, input size " << c.input.size();

        std::istringstream in(c.input);
        StreamSourceReader stream(in);
        EXPECT_EQ(readAll(stream), c.stream) << "stream reader, input size " << c.input.size();

        FileSourceReader file(write(c.input));
        EXPECT_EQ(readAll(file), c.stream) << "file reader, input size " << c.input.size();

        CharArraySourceReader array(c.input.data(), c.input.size());
        EXPECT_EQ(readAll(array), c.array) << "array reader, input size " << c.input.size();
    }
}

TEST_F(SourceReaders, RestartNumbersFromOneAgain) {
    const std::string text = "one\ntwo\n";
    std::istringstream in(text);
    StringSourceReader string(text);
    StreamSourceReader stream(in);
    FileSourceReader file(write(text));
    CharArraySourceReader array(text.c_str());
    for (SourceReader* reader : std::vector<SourceReader*>{&string, &stream, &file, &array}) {
        EXPECT_EQ(readAll(*reader), (Lines{"one", "two"}));
        EXPECT_EQ(readAll(*reader), (Lines{"one", "two"})) << "second pass";
    }
}

TEST(SourceReader, LinesShareTheReaderNameAndAreRefilledWhenReleased) {
    StringSourceReader reader(std::string("a\nb\nc"), "prog.s");
    std::string message;
    ASSERT_TRUE(reader.start(message));
    auto first = reader.nextLine(false);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->getSourceRef(), "prog.s:1");
    const SourceLine* address = first.get();
    auto second = reader.nextLine(false);
    EXPECT_NE(second.get(), address) << "a held line is never refilled";
    EXPECT_EQ(first->text, "a");
    EXPECT_EQ(second->sourceName, first->sourceName);
    const SourceLine* secondAddress = second.get();
    second.reset();
    auto third = reader.nextLine(false);
    EXPECT_EQ(third.get(), secondAddress) << "a released line is reused";
    EXPECT_EQ(third->text, "c");
    EXPECT_EQ(third->lineNr, 3);
    third.reset();
    EXPECT_EQ(reader.nextLine(false), nullptr);
}

TEST(SourceReader, ConcatJoinsIntoTheFirstLine) {
    StringSourceReader reader(std::string("a\nb\nc"));
    std::string message;
    ASSERT_TRUE(reader.start(message));
    auto first = reader.nextLine(true);
    ASSERT_TRUE(first);
    EXPECT_EQ(reader.nextLine(true), first);
    EXPECT_EQ(reader.nextLine(true), first);
    EXPECT_EQ(first->text, "a\nb\nc");
    EXPECT_EQ(first->lineNr, 1);
    EXPECT_EQ(reader.nextLine(true), nullptr);
}

TEST(SourceReader, NamesAndCopies) {
    StringSourceReader reader(std::string("x"), "");
    EXPECT_EQ(reader.name(), "");
    reader.setName("n.s");
    EXPECT_EQ(reader.name(), "n.s");

    std::string message;
    ASSERT_TRUE(reader.start(message));
    auto line = reader.nextLine(false);
    StringSourceReader copy(reader);
    EXPECT_EQ(copy.name(), "n.s");
    StringSourceReader moved(std::move(copy));
    EXPECT_EQ(moved.name(), "n.s");
    EXPECT_EQ(copy.name(), "") << "a moved-from reader has no name";
}

TEST(SourceReader, StartFailures) {
    std::string message = "untouched";
    CharArraySourceReader none;
    EXPECT_FALSE(none.start(message));
    EXPECT_EQ(message, "Empty character array source");
    CharArraySourceReader null(static_cast<const char*>(nullptr));
    message.clear();
    EXPECT_FALSE(null.start(message));
    EXPECT_EQ(message, "Empty character array source");
    EXPECT_EQ(null.nextLine(false), nullptr);

    FileSourceReader missing("/nonexistent/dir/x.s");
    EXPECT_FALSE(missing.start(message));
    EXPECT_EQ(message, "Could not open input file '/nonexistent/dir/x.s' for reading");
    EXPECT_EQ(missing.nextLine(false), nullptr);
    FileSourceReader unnamed("");
    EXPECT_FALSE(unnamed.start(message));
    EXPECT_EQ(message, "Could not open input file '' for reading");

    message = "kept";
    CharArraySourceReader emptyRange("", static_cast<size_t>(0));
    EXPECT_TRUE(emptyRange.start(message));
    EXPECT_EQ(message, "kept") << "a successful start leaves the message alone";
    EXPECT_EQ(emptyRange.nextLine(false), nullptr);
}

TEST(SourceReader, StringReaderDeliversNothingBeforeStart) {
    StringSourceReader reader(std::string("a"));
    EXPECT_TRUE(reader.isEndOfSource());
    EXPECT_EQ(reader.nextLine(false), nullptr);
}

TEST_F(SourceReaders, FullSourceAndLength) {
    const std::string text = "ld r1\r\nnop\n";
    StringSourceReader string(text);
    EXPECT_EQ(string.sourceLength(), text.size());
    EXPECT_EQ(*string.readFullSource(), text);

    CharArraySourceReader array(text.c_str());
    EXPECT_EQ(array.sourceLength(), text.size());
    EXPECT_EQ(*array.readFullSource(), text);
    EXPECT_EQ(CharArraySourceReader("", static_cast<size_t>(0)).readFullSource(), nullptr);

    std::istringstream in(text);
    StreamSourceReader stream(in);
    EXPECT_EQ(stream.sourceLength(), text.size());
    ASSERT_TRUE(stream.readFullSource());
    EXPECT_EQ(*stream.readFullSource(), text);

    FileSourceReader file(write(text));
    EXPECT_EQ(file.sourceLength(), text.size());
    ASSERT_TRUE(file.readFullSource());
    EXPECT_EQ(*file.readFullSource(), text);
    EXPECT_TRUE(file.isEndOfSource()) << "finish closed the file";

    FileSourceReader empty(write(""));
    EXPECT_EQ(empty.readFullSource(), nullptr);
}

// Delivers its text, then fails like a device that reports an input error.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::string text) : text(std::move(text)) {
        setg(&this->text[0], &this->text[0], &this->text[0] + this->text.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("device error"); }
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        const off_type base = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::end ? off_type(text.size())
                                                          : off_type(gptr() - eback());
        setg(eback(), eback() + base + off, egptr());
        return base + off;
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode mode) override {
        return seekoff(off_type(pos), std::ios_base::beg, mode);
    }

private:
    std::string text;
};

TEST(StreamSourceReader, ReadErrorIsAnErrorNotTheEnd) {
    FailingBuffer buffer("first\nsec");
    std::istream in(&buffer);
    StreamSourceReader reader(in, "dev");
    std::string message;
    ASSERT_TRUE(reader.start(message)) << message;
    auto first = reader.nextLine(false);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text, "first");
    try {
        reader.nextLine(false);
        FAIL() << "a read error must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Reading from stream dev resulted in 'bad' state (read error on "
                               "i/o operation). Line read so far:\nsec\nLast read character "
                               "value = 99");
    }
    EXPECT_FALSE(reader.start(message));
    EXPECT_EQ(message, "Read error");

    FailingBuffer again("first\nsec");
    std::istream whole(&again);
    StreamSourceReader full(whole);
    EXPECT_EQ(full.sourceLength(), 9u);
    EXPECT_EQ(full.readFullSource(), nullptr) << "a read error never passes for a short text";
}

// The reader takes characters from the stream buffer itself; the stream must
// be left in the state that reading with get() and peek() leaves it in, line
// by line, for the callers that look at it.
TEST(StreamSourceReader, LeavesTheStateThatGetAndPeekLeave) {
    const std::vector<std::string> texts = {"",       "a",    "a\n",      "a\r\n",
                                            "a\n\r",  "a\nb", "a\r\nb\n", "\n\n",
                                            "a\n\rb", "a\r",  "x\0y\n",   "a\n\n\r"};
    for (const std::string& text : texts) {
        SCOPED_TRACE(testing::PrintToString(text));
        std::istringstream in(text);
        StreamSourceReader reader(in);
        std::string message;
        ASSERT_TRUE(reader.start(message));

        std::istringstream model(text);
        while (!reader.isEndOfSource()) {
            std::string want;
            int c;
            while ((c = model.get()) != EOF && c != '\n' && c != '\r')
                want.push_back(static_cast<char>(c));
            if (c != EOF) {
                const int next = model.peek();
                if ((c == '\r' && next == '\n') || (c == '\n' && next == '\r'))
                    model.get();
            }
            EXPECT_EQ(reader.nextLineContents(), want);
            EXPECT_EQ(in.rdstate(), model.rdstate());
        }
        EXPECT_TRUE(model.eof());
    }
}

TEST(StreamSourceReader, ReadErrorReachesAStreamThatAsksForExceptions) {
    FailingBuffer buffer("first\nsec");
    std::istream in(&buffer);
    in.exceptions(std::ios_base::badbit);
    StreamSourceReader reader(in, "dev");
    std::string message;
    ASSERT_TRUE(reader.start(message)) << message;
    EXPECT_EQ(reader.nextLineContents(), "first");
    EXPECT_THROW(reader.nextLineContents(), std::ios_base::failure);
    EXPECT_TRUE(in.bad());
}

TEST(StreamSourceReader, FailedStreamAndUnseekableStream) {
    std::istringstream in("abc");
    StreamSourceReader reader(in, "s");
    std::string message;
    ASSERT_TRUE(reader.start(message));
    in.setstate(std::ios_base::failbit);
    try {
        reader.nextLineContents();
        FAIL() << "a failed stream must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Reading from stream s resulted in 'fail' state (logical error on "
                               "i/o operation) Line read so far:\n\nLast read character value = "
                               "none");
    }

    // A buffer that cannot seek, like a pipe.
    struct NoSeek : std::streambuf {
    } noSeek;
    std::istream pipe(&noSeek);
    StreamSourceReader piped(pipe);
    EXPECT_FALSE(piped.start(message));
    EXPECT_EQ(message, "Logical error on read");
}

} // namespace
