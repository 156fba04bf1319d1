#include "utils/CharArraySourceReader.h"
#include "utils/FileSourceReader.h"
#include "utils/StreamSourceReader.h"
#include "utils/StringSourceReader.h"

#include "tests/support/DeepReader.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

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

// Each text in a file of its own.
class SourceReaders : public ::testing::Test {
protected:
    std::string write(const std::string& text) {
        const std::string name = "f" + std::to_string(written++) + ".s";
        dir.write(name, text);
        return dir / name;
    }
    TempFolder dir;
    int written = 0;
};

// Hands its text out one character at a time, so that every character is a
// refill: through a get area of one byte, or with no get area at all (only
// underflow and uflow, as an unbuffered device would). Throws DeviceError
// when the read reaches failAt, like a device that reports an input error.
struct DeviceError {};

class TrickleBuffer : public std::streambuf {
public:
    enum Mode { OneByteGetArea, NoGetArea };
    static constexpr size_t never = std::string::npos;

    TrickleBuffer(std::string text, Mode mode, size_t failAt = never)
        : text(std::move(text)), mode(mode), failAt(failAt) {}

protected:
    int_type underflow() override {
        if (mode == OneByteGetArea && gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        if (next == failAt)
            throw DeviceError();
        if (next >= text.size())
            return traits_type::eof();
        const int_type c = traits_type::to_int_type(text[next]);
        if (mode == OneByteGetArea) {
            setg(&text[next], &text[next], &text[next] + 1);
            ++next;
        }
        return c;
    }
    int_type uflow() override {
        if (mode == OneByteGetArea)
            return std::streambuf::uflow();
        const int_type c = underflow();
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            ++next;
        return c;
    }
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        const off_type here = off_type(next) - (egptr() - gptr());
        const off_type base = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::end ? off_type(text.size())
                                                          : here;
        setg(nullptr, nullptr, nullptr);
        next = size_t(base + off);
        return base + off;
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode mode) override {
        return seekoff(off_type(pos), std::ios_base::beg, mode);
    }

private:
    std::string text;
    Mode mode;
    size_t failAt;
    size_t next = 0;
};

const TrickleBuffer::Mode trickleModes[] = {TrickleBuffer::OneByteGetArea,
                                            TrickleBuffer::NoGetArea};

TEST_F(SourceReaders, SplitLinesAtTerminators) {
    for (const SplitCase& c : splitCases) {
        StringSourceReader string(c.input);
        EXPECT_EQ(readAll(string), c.string) << "string reader, input size " << c.input.size();

        std::istringstream in(c.input);
        StreamSourceReader stream(in);
        EXPECT_EQ(readAll(stream), c.stream) << "stream reader, input size " << c.input.size();

        FileSourceReader file(write(c.input));
        EXPECT_EQ(readAll(file), c.stream) << "file reader, input size " << c.input.size();

        for (TrickleBuffer::Mode mode : trickleModes) {
            TrickleBuffer buffer(c.input, mode);
            std::istream trickle(&buffer);
            StreamSourceReader reader(trickle);
            EXPECT_EQ(readAll(reader), c.stream) << "stream reader, character by character (mode "
                                                 << mode << "), input size " << c.input.size();
        }

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

// The text of the error that the next line raises; "" when it raises none.
std::string nextLineError(SourceReader& reader, bool concat = false) {
    try {
        reader.nextLine(concat);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

// Every reader over the same text, each numbering on from `last`.
struct DeepReaders {
    DeepReaders(const std::string& text, const std::string& path, int last)
        : text(text), in(text), string(last, text, "big.s"), stream(last, in, "big.s"),
          array(last, this->text.c_str(), this->text.size(), "big.s"), file(last, path) {}
    std::vector<SourceReader*> all() { return {&string, &stream, &array, &file}; }

    const std::string text;
    std::istringstream in;
    DeepReader<StringSourceReader> string;
    DeepReader<StreamSourceReader> stream;
    DeepReader<CharArraySourceReader> array;
    DeepReader<FileSourceReader> file;
};

// Lines up to number 2147483647, then a line past it, which every call
// reports instead of numbering it, or the end of the source, which is no
// error.
TEST_F(SourceReaders, NumberingEndsAtTheLastLineNumber) {
    for (const bool tooLong : {true, false}) {
        const std::string text = tooLong ? "a\nb\nc\nd\n" : "a\nb";
        DeepReaders readers(text, write(text), INT_MAX - 2);
        for (SourceReader* reader : readers.all()) {
            std::string message;
            ASSERT_TRUE(reader->start(message)) << message;
            auto a = reader->nextLine(false);
            auto b = reader->nextLine(false);
            ASSERT_TRUE(a && b) << reader->name();
            EXPECT_EQ(a->lineNr, INT_MAX - 1);
            EXPECT_EQ(b->getSourceRef(), reader->name() + ":2147483647");
            // The reader's text leaves the naming of the source to its reporter.
            const std::string expected =
                "Source has more than 2147483647 lines: numbering ends at line 2147483647";
            for (int call = 0; call < 2; ++call) {
                if (tooLong)
                    EXPECT_EQ(nextLineError(*reader), expected) << "call " << call;
                else
                    EXPECT_EQ(reader->nextLine(false), nullptr) << reader->name();
            }
            EXPECT_EQ(b->text, "b") << "the last numbered line is left as it was";
            EXPECT_EQ(b->lineNr, INT_MAX);
        }
    }

    DeepReader<StringSourceReader> unnamed(INT_MAX, std::string("a"));
    std::string message;
    ASSERT_TRUE(unnamed.start(message));
    EXPECT_EQ(nextLineError(unnamed),
              "Source has more than 2147483647 lines: numbering ends at line 2147483647");
}

TEST(SourceReader, JoinedLinesEndWhereNumberingEnds) {
    DeepReader<StringSourceReader> reader(INT_MAX - 2, std::string("a\nb\nc"), "big.s");
    std::string message;
    ASSERT_TRUE(reader.start(message));
    auto joined = reader.nextLine(true);
    ASSERT_TRUE(joined);
    EXPECT_EQ(reader.nextLine(true), joined);
    EXPECT_EQ(joined->getSourceRef(), "big.s:2147483646-2147483647");
    EXPECT_NE(nextLineError(reader, true), "");
    EXPECT_EQ(joined->text, "a\nb") << "nothing is joined past the last number";
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

// Lines longer than the run of bytes that the reader gathers before adding
// them to the line, so that a line is built from several runs; a cycle of 23
// letters puts different letters at the boundaries of the runs.
std::string longLine(size_t length) {
    std::string line;
    for (size_t i = 0; i < length; ++i)
        line.push_back(static_cast<char>('a' + i % 23));
    return line;
}

// The reader takes characters from the stream buffer itself; the stream must
// be left in the state that reading with get() and peek() leaves it in, line
// by line, for the callers that look at it.
struct StateCase {
    std::string text;
    Lines lines;
};

const StateCase stateCases[] = {
    {"", {""}},
    {"a", {"a"}},
    {"a\n", {"a"}},
    {"a\r\n", {"a", ""}},
    {"a\n\r", {"a", ""}},
    {"a\nb", {"a", "b"}},
    {"a\r\nb\n", {"a", "b"}},
    {"\n\n", {"", ""}},
    {"a\n\rb", {"a", "b"}},
    {"a\r", {"a"}},
    {"x\0y\n"s, {"x\0y"s}},
    {"\0"s, {"\0"s}},
    {"a\n\n\r", {"a", "", ""}},
    {longLine(1500) + "\r\n" + longLine(256) + "\n" + longLine(255),
     {longLine(1500), longLine(256), longLine(255)}},
};

void expectStatesOfGetAndPeek(std::istream& in, const StateCase& c) {
    StreamSourceReader reader(in);
    std::string message;
    ASSERT_TRUE(reader.start(message));

    std::istringstream model(c.text);
    Lines lines;
    while (!reader.isEndOfSource() && lines.size() <= c.lines.size()) {
        std::string want;
        int ch;
        while ((ch = model.get()) != EOF && ch != '\n' && ch != '\r')
            want.push_back(static_cast<char>(ch));
        if (ch != EOF) {
            const int next = model.peek();
            if ((ch == '\r' && next == '\n') || (ch == '\n' && next == '\r'))
                model.get();
        }
        lines.push_back(reader.nextLineContents());
        EXPECT_EQ(lines.back(), want);
        EXPECT_EQ(in.rdstate(), model.rdstate()) << "after line " << lines.size();
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_TRUE(model.eof());
}

TEST(StreamSourceReader, LeavesTheStateThatGetAndPeekLeave) {
    for (const StateCase& c : stateCases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        std::istringstream in(c.text);
        expectStatesOfGetAndPeek(in, c);
        for (TrickleBuffer::Mode mode : trickleModes) {
            SCOPED_TRACE("character by character, mode " + std::to_string(mode));
            TrickleBuffer buffer(c.text, mode);
            std::istream trickle(&buffer);
            expectStatesOfGetAndPeek(trickle, c);
        }
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

const std::string badState =
    "Reading from stream dev resulted in 'bad' state (read error on i/o operation). Line read "
    "so far:\n";

// A device error anywhere in a line, in the look-ahead after a terminator or
// at the very first read; the line read so far and the last character are
// those of the failing line.
struct ReadErrorCase {
    std::string text;
    size_t failAt;
    Lines before;
    std::string error;
};

const ReadErrorCase readErrorCases[] = {
    {"first\nsecond", 9, {"first"}, badState + "sec\nLast read character value = 99"},
    {"first\nsecond", 6, {}, badState + "first\nLast read character value = 10"},
    {"first\r\nsecond", 7, {"first"}, badState + "\nLast read character value = none"},
    {"x", 0, {}, badState + "\nLast read character value = none"},
    {"\xe9", 1, {}, badState + "\xe9\nLast read character value = -23"},
    {longLine(700) + "\n",
     600,
     {},
     badState + longLine(600) + "\nLast read character value = " + std::to_string('a' + 599 % 23)},
};

TEST(StreamSourceReader, ReadErrorsCharacterByCharacter) {
    for (const ReadErrorCase& c : readErrorCases) {
        for (TrickleBuffer::Mode mode : trickleModes) {
            SCOPED_TRACE(testing::PrintToString(c.text) + " failing at " +
                         std::to_string(c.failAt) + ", mode " + std::to_string(mode));
            TrickleBuffer buffer(c.text, mode, c.failAt);
            std::istream in(&buffer);
            StreamSourceReader reader(in, "dev");
            std::string message;
            ASSERT_TRUE(reader.start(message)) << message;
            for (const std::string& line : c.before)
                EXPECT_EQ(reader.nextLineContents(), line);
            try {
                reader.nextLineContents();
                ADD_FAILURE() << "a read error must throw";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(e.what(), c.error);
            }
            EXPECT_EQ(in.rdstate(), std::ios_base::badbit);

            TrickleBuffer again(c.text, mode, c.failAt);
            std::istream asking(&again);
            asking.exceptions(std::ios_base::badbit);
            StreamSourceReader passing(asking, "dev");
            ASSERT_TRUE(passing.start(message)) << message;
            for (const std::string& line : c.before)
                EXPECT_EQ(passing.nextLineContents(), line);
            EXPECT_THROW(passing.nextLineContents(), DeviceError)
                << "the device's own exception reaches a stream that asks for it";
            EXPECT_TRUE(asking.bad());
        }
    }
}

// A stream that is no longer good reads nothing: at its end it gives an empty
// line, otherwise the read is an error; the flags are those that get() sets.
struct NotGoodCase {
    const char* what;
    void (*spoil)(std::istream&);
    enum { EmptyLine, FailText, BadText, StreamFailure } outcome;
    std::ios_base::iostate after;
};

const NotGoodCase notGoodCases[] = {
    {"at its end", [](std::istream& in) { in.setstate(std::ios_base::eofbit); },
     NotGoodCase::EmptyLine, std::ios_base::eofbit | std::ios_base::failbit},
    {"failed", [](std::istream& in) { in.setstate(std::ios_base::failbit); }, NotGoodCase::FailText,
     std::ios_base::failbit},
    {"bad", [](std::istream& in) { in.setstate(std::ios_base::badbit); }, NotGoodCase::BadText,
     std::ios_base::badbit | std::ios_base::failbit},
    {"without a buffer", [](std::istream& in) { in.rdbuf(nullptr); }, NotGoodCase::BadText,
     std::ios_base::badbit | std::ios_base::failbit},
    {"at its end, asking for failure exceptions",
     [](std::istream& in) {
         in.exceptions(std::ios_base::failbit);
         in.setstate(std::ios_base::eofbit);
     },
     NotGoodCase::StreamFailure, std::ios_base::eofbit | std::ios_base::failbit},
};

TEST(StreamSourceReader, StreamsThatAreNotGoodBeforeTheRead) {
    const std::string prefix = "Reading from stream s resulted in ";
    const std::string rest = " Line read so far:\n\nLast read character value = none";
    for (const NotGoodCase& c : notGoodCases) {
        SCOPED_TRACE(c.what);
        std::istringstream in("abc");
        StreamSourceReader reader(in, "s");
        std::string message;
        ASSERT_TRUE(reader.start(message));
        c.spoil(in);
        std::string error;
        try {
            EXPECT_EQ(reader.nextLineContents(), "");
            EXPECT_EQ(c.outcome, NotGoodCase::EmptyLine) << "returned a line";
        } catch (const std::ios_base::failure&) {
            EXPECT_EQ(c.outcome, NotGoodCase::StreamFailure) << "threw the stream's failure";
        } catch (const std::runtime_error& e) {
            error = e.what();
        }
        std::string want;
        if (c.outcome == NotGoodCase::FailText)
            want = prefix + "'fail' state (logical error on i/o operation)" + rest;
        else if (c.outcome == NotGoodCase::BadText)
            want = prefix + "'bad' state (read error on i/o operation)." + rest;
        EXPECT_EQ(error, want);
        EXPECT_EQ(in.rdstate(), c.after);
    }
}

TEST(StreamSourceReader, StartFailsOnUnseekableAndBufferlessStreams) {
    std::string message;
    // A buffer that cannot seek, like a pipe.
    struct NoSeek : std::streambuf {
    } noSeek;
    std::istream pipe(&noSeek);
    StreamSourceReader piped(pipe);
    EXPECT_FALSE(piped.start(message));
    EXPECT_EQ(message, "Logical error on read");

    std::istream none(nullptr);
    StreamSourceReader bufferless(none);
    EXPECT_FALSE(bufferless.start(message));
    EXPECT_EQ(message, "Read error");
    EXPECT_FALSE(bufferless.isEndOfSource());
    EXPECT_THROW(bufferless.nextLine(false), std::runtime_error);
}

} // namespace
