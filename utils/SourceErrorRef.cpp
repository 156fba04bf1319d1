#include "utils/SourceErrorRef.h"

#include <algorithm>
#include <utility>

#include "utils/StringUtils.h"

SourceErrorRef::SourceErrorRef(std::shared_ptr<const SourceLine> line, size_t position,
                               size_t length)
    : line(std::move(line)), position(position), length(length) {
    if (this->line && position != std::string::npos && position > this->line->text.size())
        this->position = std::string::npos;
}

SourceErrorRef::SourceErrorRef(std::shared_ptr<const SourceLine> line, const std::string& text)
    : line(std::move(line)), position(std::string::npos), length(0) {
    if (this->line && !text.empty()) {
        position = this->line->text.find(text);
        length = text.size();
    }
}

bool SourceErrorRef::hasSource() const {
    return line && line->lineNr > 0;
}

const std::shared_ptr<const SourceLine>& SourceErrorRef::sourceLine() const {
    return line;
}

bool SourceErrorRef::operator<(const SourceErrorRef& other) const {
    if (!hasSource())
        return false;
    if (other.hasSource())
        return line->lineNr < other.line->lineNr;
    return true;
}

std::string SourceErrorRef::getSourceRef() const {
    if (!hasSource())
        return std::string();
    return line->getSourceRef(position);
}

std::string SourceErrorRef::errorText() const {
    if (!hasSource() || position == std::string::npos || length == 0)
        return std::string();
    return line->text.substr(position, length);
}

std::string SourceErrorRef::pointToTextInSource() const {
    if (!hasSource())
        return std::string();
    const std::string& text = line->text;
    if (text.empty() || position == std::string::npos || length == 0 ||
        text.find('\n') != std::string::npos)
        return text;

    // The referenced bytes end at the end of the text, however long the
    // reference claims to be.
    const size_t referenced = std::min(length, text.size() - position);
    const auto first = text.begin() + static_cast<std::ptrdiff_t>(position);
    const auto last = first + static_cast<std::ptrdiff_t>(referenced);
    const size_t tabsBefore = static_cast<size_t>(std::count(text.begin(), first, '\t'));
    const size_t tabsInside = static_cast<size_t>(std::count(first, last, '\t'));
    const size_t nulsBefore = static_cast<size_t>(std::count(text.begin(), first, '\0'));
    const size_t nulsInside = static_cast<size_t>(std::count(first, last, '\0'));

    // The line is shown as the log shows it, every NUL byte as the two
    // characters "\0": the excerpt and its pointer read the same wherever the
    // text ends up, and the log does not shift the carets.
    std::string r = vorel::loggable(text);
    replaceAll(r, "\t", "    ");
    if (r.front() != '\n')
        r.insert(r.begin(), '\n');
    const size_t column = position + 3 * tabsBefore + nulsBefore;
    if (column < r.size()) {
        if (r.back() != '\n')
            r.push_back('\n');
        r.append(column, '-');
        r.append(std::max<size_t>(referenced + 3 * tabsInside + nulsInside, 1), '^');
        r.push_back('\n');
    }
    return r;
}
