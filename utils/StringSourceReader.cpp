#include "utils/StringSourceReader.h"

#include <utility>

#include "utils/CharFilter.h"

StringSourceReader::StringSourceReader(const std::string& text)
    : source(std::make_shared<const std::string>(text)) {}

StringSourceReader::StringSourceReader(std::string&& text)
    : source(std::make_shared<const std::string>(std::move(text))) {}

StringSourceReader::StringSourceReader(std::shared_ptr<const std::string> text)
    : source(std::move(text)) {}

StringSourceReader::StringSourceReader(const std::string& text, const std::string& name)
    : SourceReader(name), source(std::make_shared<const std::string>(text)) {}

StringSourceReader::StringSourceReader(std::string&& text, const std::string& name)
    : SourceReader(name), source(std::make_shared<const std::string>(std::move(text))) {}

StringSourceReader::StringSourceReader(std::shared_ptr<const std::string> text,
                                       const std::string& name)
    : SourceReader(name), source(std::move(text)) {}

bool StringSourceReader::start(std::string& errorMessage) {
    SourceReader::start(errorMessage);
    position = 0;
    return true;
}

void StringSourceReader::finish() {
    position = std::string::npos;
}

bool StringSourceReader::isEndOfSource() const {
    return !source || position == std::string::npos || position >= source->size();
}

size_t StringSourceReader::sourceLength() {
    return source ? source->size() : 0;
}

std::string StringSourceReader::nextLineContents() {
    if (isEndOfSource())
        return std::string();
    const std::string& s = *source;
    size_t lineEnd = position;
    while (lineEnd < s.size() && !CharFilters::isEndOfLine.accept(s[lineEnd]))
        ++lineEnd;
    std::string text = s.substr(position, lineEnd - position);
    if (lineEnd < s.size()) {
        const char terminator = s[lineEnd++];
        if (lineEnd < s.size() && ((terminator == '\r' && s[lineEnd] == '\n') ||
                                   (terminator == '\n' && s[lineEnd] == '\r')))
            ++lineEnd;
    }
    position = lineEnd;
    return text;
}

std::shared_ptr<const std::string> StringSourceReader::readFullSource() {
    return source;
}
