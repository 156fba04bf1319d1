#include "utils/SourceLine.h"

#include <algorithm>
#include <utility>

SourceLine::SourceLine(const std::string& text) : text(text) {}
SourceLine::SourceLine(std::string&& text) : text(std::move(text)) {}
SourceLine::SourceLine(const char* text) : text(text) {}
SourceLine::SourceLine(const char* text, size_t length) : text(text, length) {}
SourceLine::SourceLine(const std::string& text, int lineNr) : lineNr(lineNr), text(text) {}
SourceLine::SourceLine(std::string&& text, int lineNr) : lineNr(lineNr), text(std::move(text)) {}
SourceLine::SourceLine(const char* text, size_t length, int lineNr)
    : lineNr(lineNr), text(text, length) {}
SourceLine::SourceLine(const std::string& text, int lineNr,
                       const std::shared_ptr<const std::string>& sourceName)
    : lineNr(lineNr), text(text), sourceName(sourceName) {}
SourceLine::SourceLine(std::string&& text, int lineNr,
                       const std::shared_ptr<const std::string>& sourceName)
    : lineNr(lineNr), text(std::move(text)), sourceName(sourceName) {}
SourceLine::SourceLine(const char* text, size_t length, int lineNr,
                       const std::shared_ptr<const std::string>& sourceName)
    : lineNr(lineNr), text(text, length), sourceName(sourceName) {}

void SourceLine::clear() {
    lineNr = 0;
    text.clear();
    sourceName.reset();
}

void SourceLine::setLine(std::string&& newText, int newLineNr) {
    text = std::move(newText);
    lineNr = newLineNr;
}

void SourceLine::setLine(const std::string& newText, int newLineNr) {
    text = newText;
    lineNr = newLineNr;
}

void SourceLine::setLine(const char* newText, size_t length, int newLineNr) {
    text.assign(newText, length);
    lineNr = newLineNr;
}

void SourceLine::concatLine(const std::string& more) {
    text.push_back('\n');
    text.append(more);
}

void SourceLine::concatLine(const char* more, size_t length) {
    text.push_back('\n');
    text.append(more, length);
}

std::string SourceLine::getSourceRef() const {
    const long joined = std::count(text.begin(), text.end(), '\n');
    std::string ref;
    if (sourceName) {
        ref = *sourceName;
        if (lineNr == 0)
            return ref;
        ref += ':';
    } else {
        if (lineNr == 0)
            return ref;
        ref = (lineNr < 0 || joined > 0) ? "lines " : "line ";
    }
    ref += std::to_string(lineNr);
    if (lineNr > 0 && joined > 0)
        ref += "-" + std::to_string(static_cast<long>(lineNr) + joined);
    return ref;
}

std::string SourceLine::getSourceRef(size_t column) const {
    std::string ref = getSourceRef();
    if (column != std::string::npos) {
        ref += sourceName ? ":" : " column ";
        ref += std::to_string(column);
    }
    return ref;
}
