#include "utils/CharArraySourceReader.h"

#include <cstring>

#include "utils/CharFilter.h"

CharArraySourceReader::CharArraySourceReader(const char* text, size_t length)
    : begin(text), end(text ? text + length : nullptr), position(text) {}

CharArraySourceReader::CharArraySourceReader(const char* text)
    : CharArraySourceReader(text, text ? std::strlen(text) : 0) {}

CharArraySourceReader::CharArraySourceReader(const char* text, const std::string& name)
    : CharArraySourceReader(text) {
    setName(name);
}

CharArraySourceReader::CharArraySourceReader(const char* text, size_t length,
                                             const std::string& name)
    : CharArraySourceReader(text, length) {
    setName(name);
}

bool CharArraySourceReader::start(std::string& errorMessage) {
    SourceReader::start(errorMessage);
    position = begin;
    if (!begin) {
        errorMessage = "Empty character array source";
        return false;
    }
    return true;
}

void CharArraySourceReader::finish() {
    position = end;
}

bool CharArraySourceReader::isEndOfSource() const {
    return !position || position == end || *position == '\0';
}

size_t CharArraySourceReader::sourceLength() {
    return static_cast<size_t>(end - begin);
}

std::string CharArraySourceReader::nextLineContents() {
    if (isEndOfSource())
        return std::string();
    const char* lineEnd = position;
    while (lineEnd != end && !CharFilters::isEndOfLine.accept(*lineEnd))
        ++lineEnd;
    std::string text(position, lineEnd);
    position = lineEnd == end ? end : lineEnd + 1;
    return text;
}

std::shared_ptr<const std::string> CharArraySourceReader::readFullSource() {
    if (begin == end)
        return nullptr;
    return std::make_shared<const std::string>(begin, end);
}
