#include "utils/StreamSourceReader.h"

#include <stdexcept>
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

std::string StreamSourceReader::nextLineContents() {
    std::string line;
    line.reserve(1024);
    bool haveLast = false;
    char last = 0;
    bool atTerminator = false;
    for (;;) {
        const int c = stream->get();
        if (!stream->good())
            break;
        last = static_cast<char>(c);
        haveLast = true;
        if (CharFilters::isEndOfLine.accept(last)) {
            atTerminator = true;
            break;
        }
        line.push_back(last);
    }
    if (atTerminator) {
        const int next = stream->peek();
        if ((last == '\r' && next == '\n') || (last == '\n' && next == '\r'))
            stream->get();
    }
    const bool bad = stream->bad();
    if (!bad && (!stream->fail() || stream->eof()))
        return line;

    // A bad stream is an error even at its end: the line may be cut short.
    const std::string lastValue =
        haveLast ? std::to_string(static_cast<int>(static_cast<signed char>(last))) : "none";
    std::string text = "Reading from stream " + name();
    if (bad)
        text += " resulted in 'bad' state (read error on i/o operation).";
    else
        text += " resulted in 'fail' state (logical error on i/o operation)";
    text += " Line read so far:\n" + line + "\nLast read character value = " + lastValue;
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
