#include "utils/SourceReader.h"

#include <limits>
#include <stdexcept>
#include <utility>

#include "utils/StringUtils.h"

SourceReader::SourceReader(const std::string& name) {
    setName(name);
}

// A copy gets a name object of its own, so lines of the two readers never
// share a name.
SourceReader::SourceReader(const SourceReader& other) : lineCounter(other.lineCounter) {
    setName(other.name());
}

SourceReader::SourceReader(SourceReader&& other) noexcept
    : lineCounter(other.lineCounter), sourceName(std::move(other.sourceName)),
      currentLine(std::move(other.currentLine)) {
    other.lineCounter = 0;
    other.sourceName.reset();
    other.currentLine.reset();
}

SourceReader& SourceReader::operator=(const SourceReader& other) {
    if (this == &other)
        return *this;
    lineCounter = other.lineCounter;
    setName(other.name());
    if (other.currentLine)
        currentLine =
            std::make_shared<SourceLine>(other.currentLine->text, lineCounter, sourceName);
    else
        currentLine.reset();
    return *this;
}

SourceReader& SourceReader::operator=(SourceReader&& other) noexcept {
    if (this == &other)
        return *this;
    lineCounter = other.lineCounter;
    sourceName = std::move(other.sourceName);
    currentLine = std::move(other.currentLine);
    other.lineCounter = 0;
    other.sourceName.reset();
    other.currentLine.reset();
    return *this;
}

SourceReader::~SourceReader() = default;

bool SourceReader::start(std::string& /*errorMessage*/) {
    currentLine.reset();
    lineCounter = 0;
    return true;
}

void SourceReader::finish() {}

void SourceReader::setName(const std::string& name) {
    if (name.empty())
        sourceName.reset();
    else
        sourceName = std::make_shared<const std::string>(name);
}

std::string SourceReader::name() const {
    return sourceName ? *sourceName : std::string();
}

std::shared_ptr<const SourceLine> SourceReader::nextLine(bool concat) {
    const int lastLineNr = std::numeric_limits<int>::max();
    if (isEndOfSource()) {
        if (lineCounter < lastLineNr)
            ++lineCounter;
        currentLine.reset();
        return nullptr;
    }
    // Past the last number a line would wrap to a negative one, and every
    // message about it would point nowhere. The line is left unread, so each
    // further call fails alike. The text names no source, as the one who
    // reports it names the source already.
    if (lineCounter == lastLineNr)
        throw std::runtime_error(stringCat("Source has more than ", lastLineNr,
                                           " lines: numbering ends at line ", lastLineNr));
    ++lineCounter;
    std::string text = nextLineContents();
    if (currentLine && concat)
        currentLine->concatLine(text);
    else if (currentLine && currentLine.use_count() == 1)
        currentLine->setLine(std::move(text), lineCounter);
    else if (linePool != nullptr)
        currentLine = linePool->make<SourceLine>(std::move(text), lineCounter, sourceName);
    else
        currentLine = std::make_shared<SourceLine>(std::move(text), lineCounter, sourceName);
    return currentLine;
}
