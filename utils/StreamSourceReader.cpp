#include "utils/StreamSourceReader.h"

#include <stdexcept>
#include <streambuf>
#include <utility>

#include "utils/CharFilter.h"

StreamSourceReader::StreamSourceReader(std::istream& stream) : stream(&stream) {}

StreamSourceReader::StreamSourceReader(std::istream& stream, const std::string& name)
    : SourceReader(name), stream(&stream) {}

bool StreamSourceReader::start(std::string& errorMessage) {
    SourceReader::start(errorMessage);
    // A stream read to its end is failed as well; only a bad stream stays bad,
    // so reading again after the end works.
    stream->clear(stream->rdstate() & std::ios_base::badbit);
    stream->seekg(0, std::ios_base::beg);
    if (stream->eof()) {
        errorMessage = "End of file reached";
        return false;
    }
    if (stream->bad()) {
        errorMessage = "Read error";
        return false;
    }
    if (stream->fail()) {
        errorMessage = "Logical error on read";
        return false;
    }
    return true;
}

void StreamSourceReader::finish() {
    stream->seekg(0, std::ios_base::end);
}

bool StreamSourceReader::isEndOfSource() const {
    return stream->eof();
}

size_t StreamSourceReader::sourceLength() {
    std::string message;
    if (!start(message))
        return 0;
    stream->seekg(0, std::ios_base::end);
    if (!stream->good())
        return 0;
    const std::streamoff length = stream->tellg();
    return length > 0 ? static_cast<size_t>(length) : 0;
}

namespace {

constexpr size_t lineReserve = 1024;

bool endsLine(char c) {
    return CharFilters::isEndOfLine.accept(c);
}

bool isPair(char first, int next) {
    return (first == '\r' && next == '\n') || (first == '\n' && next == '\r');
}

// What get() and peek() do when the buffer throws: bad, and the exception
// passed on only when the stream asks for it.
void markBad(std::istream& stream) {
    if ((stream.exceptions() & std::ios_base::badbit) == 0) {
        stream.setstate(std::ios_base::badbit);
        return;
    }
    try {
        stream.setstate(std::ios_base::badbit);
    } catch (const std::ios_base::failure&) {
    }
    throw;
}

} // namespace

// Straight from the stream buffer, one character at a time, setting the flags
// that get() and peek() would set; this skips a sentry per character.
bool StreamSourceReader::readLine(std::string& buffer, bool& haveLast, char& last) {
    using traits = std::char_traits<char>;
    std::streambuf* source = stream->rdbuf();
    // get() reads nothing from a stream that is not good (one without a buffer
    // is always bad) and only adds the fail flag; at the end that is no error.
    if (!stream->good() || source == nullptr) {
        stream->setstate(std::ios_base::failbit);
        return !stream->bad() && stream->eof();
    }
    // Bytes gather in a small local array and go to the line in runs: the
    // character, the flag and the count stay in registers, where appending
    // each byte to the string would store its length and terminator each time.
    char run[256];
    size_t length = 0;
    char c = 0;
    bool any = false;
    std::ios_base::iostate reached = std::ios_base::goodbit;
    try {
        for (;;) {
            const traits::int_type got = source->sbumpc();
            if (traits::eq_int_type(got, traits::eof())) {
                reached = std::ios_base::eofbit | std::ios_base::failbit;
                break;
            }
            c = traits::to_char_type(got);
            any = true;
            if (endsLine(c))
                break;
            run[length++] = c;
            if (length == sizeof run) {
                buffer.append(run, length);
                length = 0;
            }
        }
        if (reached == std::ios_base::goodbit) {
            const traits::int_type next = source->sgetc();
            if (traits::eq_int_type(next, traits::eof()))
                reached = std::ios_base::eofbit;
            else if (isPair(c, next))
                source->sbumpc();
        }
    } catch (...) {
        markBad(*stream);
        buffer.append(run, length);
        last = c;
        haveLast = any;
        return false;
    }
    buffer.append(run, length);
    last = c;
    haveLast = any;
    // Outside the try: these throw only for a stream that asks for it.
    if (reached != std::ios_base::goodbit)
        stream->setstate(reached);
    return true;
}

std::string StreamSourceReader::nextLineContents() {
    lineBuffer.clear();
    if (lineBuffer.capacity() < lineReserve)
        lineBuffer.reserve(lineReserve);
    bool haveLast = false;
    char last = 0;
    if (readLine(lineBuffer, haveLast, last))
        return lineBuffer;

    // A bad stream is an error even at its end: the line may be cut short.
    const bool bad = stream->bad();
    const std::string lastValue =
        haveLast ? std::to_string(static_cast<int>(static_cast<signed char>(last))) : "none";
    std::string text = "Reading from stream " + name();
    if (bad)
        text += " resulted in 'bad' state (read error on i/o operation).";
    else
        text += " resulted in 'fail' state (logical error on i/o operation)";
    text += " Line read so far:\n" + lineBuffer + "\nLast read character value = " + lastValue;
    throw std::runtime_error(text);
}

std::shared_ptr<const std::string> StreamSourceReader::readFullSource() {
    const size_t length = sourceLength();
    if (length == 0)
        return nullptr;
    std::string message;
    if (!start(message))
        return nullptr;
    std::string text;
    text.reserve(length);
    char buffer[4096];
    while (stream->good()) {
        stream->read(buffer, sizeof buffer);
        text.append(buffer, static_cast<size_t>(stream->gcount()));
    }
    // A read error must not pass for a shorter source.
    const bool bad = stream->bad();
    finish();
    if (bad)
        return nullptr;
    return std::make_shared<const std::string>(std::move(text));
}
