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
    std::string r = text;
    if (r.empty() || position == std::string::npos || length == 0 ||
        text.find('\n') != std::string::npos)
        return r;

    // The referenced bytes end at the end of the text, however long the
    // reference claims to be.
    const size_t referenced = std::min(length, text.size() - position);
    const auto first = text.begin() + static_cast<std::ptrdiff_t>(position);
    const auto last = first + static_cast<std::ptrdiff_t>(referenced);
    const size_t tabsBefore = static_cast<size_t>(std::count(text.begin(), first, '\t'));
    const size_t tabsInside = static_cast<size_t>(std::count(first, last, '\t'));
    // A report is shown with every NUL byte written as the two characters
    // "\0" (see loggable): the dashes and carets count those columns.
    const size_t nulsBefore = static_cast<size_t>(std::count(text.begin(), first, '\0'));
    const size_t nulsInside = static_cast<size_t>(std::count(first, last, '\0'));

    replaceAll(r, "\t", "    ");
    if (r.front() != '\n')
        r.insert(r.begin(), '\n');
    if (position + 3 * tabsBefore < r.size()) {
        if (r.back() != '\n')
            r.push_back('\n');
        r.append(position + 3 * tabsBefore + nulsBefore, '-');
        r.append(std::max<size_t>(referenced + 3 * tabsInside + nulsInside, 1), '^');
        r.push_back('\n');
    }
    return r;
}
