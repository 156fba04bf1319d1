#include "asmparser/AsmToken.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ostream>

#include "utils/CharFilter.h"

namespace {

size_t textLength(const std::shared_ptr<const SourceLine>& line) {
    return line ? line->text.size() : 0;
}

bool equalBytes(const char* a, const char* b, size_t n, bool ignoreCase) {
    if (!ignoreCase)
        return n == 0 || std::memcmp(a, b, n) == 0;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool equalToken(const AsmToken& token, const char* data, size_t n, bool ignoreCase) {
    return token.size() == n && equalBytes(token.data(), data, n, ignoreCase);
}

} // namespace

AsmToken::AsmToken(const std::shared_ptr<const SourceLine>& line)
    : line(line), start(0), end(textLength(line)) {}

AsmToken::AsmToken(const std::shared_ptr<const SourceLine>& line, size_t start) : line(line) {
    size_t len = textLength(line);
    this->start = std::min(start, len);
    end = len;
}

AsmToken::AsmToken(const std::shared_ptr<const SourceLine>& line, size_t start, int length)
    : line(line) {
    if (!line)
        return;
    size_t len = line->text.size();
    start = std::min(start, len);
    if (length >= 0) {
        end = std::min(start + static_cast<size_t>(length), len);
    } else {
        unsigned long long drop = static_cast<unsigned long long>(-static_cast<long long>(length));
        if (drop >= len) {
            this->start = end = 0;
            return;
        }
        end = len - static_cast<size_t>(drop);
    }
    this->start = std::min(start, end);
}

AsmToken::AsmToken(const std::string& text)
    : line(std::make_shared<SourceLine>(text)), start(0), end(text.size()) {}

AsmToken::AsmToken(std::string&& text) : line(std::make_shared<SourceLine>(std::move(text))) {
    end = line->text.size();
}

AsmToken::AsmToken(const char* text) : AsmToken(text ? std::string(text) : std::string()) {}

AsmToken::AsmToken(const char* text, size_t n)
    : AsmToken(text ? std::string(text, n) : std::string()) {}

AsmToken& AsmToken::operator=(const std::string& text) {
    line = std::make_shared<SourceLine>(text);
    start = 0;
    end = line->text.size();
    return *this;
}

AsmToken& AsmToken::operator=(const char* text) {
    return *this = (text ? std::string(text) : std::string());
}

AsmToken& AsmToken::operator=(std::string&& text) {
    line = std::make_shared<SourceLine>(std::move(text));
    start = 0;
    end = line->text.size();
    return *this;
}

void AsmToken::clamp() {
    size_t len = textLength(line);
    end = std::min(end, len);
    start = std::min(start, end);
}

void AsmToken::next() {
    if (!line) {
        start = end = 0;
        return;
    }
    size_t len = line->text.size();
    start = std::min(end, len);
    end = len;
    stripFront();
}

AsmToken AsmToken::substr(size_t pos, int length) const {
    size_t size = end - start;
    if (pos >= size || length == 0)
        return AsmToken(line, 0, 0);
    long long remaining = static_cast<long long>(size - pos);
    long long count = length > 0 ? std::min<long long>(length, remaining)
                                 : std::max<long long>(0, remaining + length);
    count = std::min<long long>(count, INT_MAX);
    return AsmToken(line, start + pos, static_cast<int>(count));
}

void AsmToken::stripFront() {
    if (!line) {
        start = end = 0;
        return;
    }
    const std::string& text = line->text;
    size_t len = text.size();
    while (start < end && start < len && CharFilters::isSpace.accept(text[start]))
        ++start;
    start = std::min(start, len);
    end = std::max(end, start);
    end = std::min(end, len);
}

void AsmToken::stripBack() {
    if (!line) {
        start = end = 0;
        return;
    }
    const std::string& text = line->text;
    end = std::min(end, text.size());
    while (end > start && CharFilters::isSpace.accept(text[end - 1]))
        --end;
    start = std::min(start, end);
}

const char* AsmToken::data() const {
    if (!line)
        return nullptr;
    return line->text.data() + std::min(start, line->text.size());
}

char AsmToken::front() const {
    return empty() || !line ? '\0' : line->text[start];
}

char AsmToken::operator[](size_t i) const {
    return line->text[start + i];
}

std::string AsmToken::toString() const {
    if (!line || start >= end)
        return std::string();
    return line->text.substr(start, end - start);
}

int AsmToken::lineNr() const {
    return line ? line->lineNr : 0;
}

size_t AsmToken::lineLength() const {
    return textLength(line);
}

bool AsmToken::operator==(const AsmToken& other) const {
    return equalToken(*this, other.data(), other.size(), false);
}

bool AsmToken::operator==(const std::string& other) const {
    return equalToken(*this, other.data(), other.size(), false);
}

bool AsmToken::operator==(const char* other) const {
    if (!other)
        return empty();
    return equalToken(*this, other, std::strlen(other), false);
}

bool AsmToken::isEqualCaseInsensitive(const AsmToken& other) const {
    return equalToken(*this, other.data(), other.size(), true);
}

bool AsmToken::isEqualCaseInsensitive(const std::string& other) const {
    return equalToken(*this, other.data(), other.size(), true);
}

bool AsmToken::isEqualCaseInsensitive(const char* other) const {
    if (!other)
        return empty();
    return equalToken(*this, other, std::strlen(other), true);
}

bool AsmToken::operator<(const AsmToken& other) const {
    const char* a = data();
    const char* b = other.data();
    size_t n = std::min(size(), other.size());
    for (size_t i = 0; i < n; ++i) {
        signed char ca = static_cast<signed char>(a[i]);
        signed char cb = static_cast<signed char>(b[i]);
        if (ca != cb)
            return ca < cb;
    }
    return size() < other.size();
}

std::ostream& operator<<(std::ostream& os, const AsmToken& token) {
    const char* p = token.data();
    for (size_t i = 0; i < token.size(); ++i)
        os.put(p[i]);
    return os;
}
