// A word of assembly source: a byte range of a shared source line. Tokens never
// copy text while a line is scanned; they keep their line alive instead.
#pragma once

#include <climits>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

#include "utils/SourceLine.h"

class AsmToken {
public:
    // The line the token points into; empty for a default token.
    std::shared_ptr<const SourceLine> line;
    // First byte of the token in the line's text.
    size_t start = 0;
    // One past the last byte; the token is empty when start == end.
    size_t end = 0;

    AsmToken() = default;
    AsmToken(const std::shared_ptr<const SourceLine>& line);
    AsmToken(const std::shared_ptr<const SourceLine>& line, size_t start);
    AsmToken(const std::shared_ptr<const SourceLine>& line, size_t start, int length);
    AsmToken(const std::string& text);
    AsmToken(std::string&& text);
    AsmToken(const char* text);
    AsmToken(const char* text, size_t n);

    AsmToken(const AsmToken&) = default;
    AsmToken(AsmToken&&) = default;
    AsmToken& operator=(const AsmToken&) = default;
    AsmToken& operator=(AsmToken&&) = default;

    AsmToken& operator=(const std::string& text);
    AsmToken& operator=(const char* text);
    AsmToken& operator=(std::string&& text);

    // Steps past the token: it becomes the rest of its line, leading blanks skipped.
    void next();
    AsmToken substr(size_t pos, int length = INT_MAX) const;
    void stripFront();
    void stripBack();

    bool operator==(const AsmToken& other) const;
    bool operator==(const std::string& other) const;
    bool operator==(const char* other) const;
    bool operator!=(const AsmToken& other) const { return !(*this == other); }
    bool operator!=(const std::string& other) const { return !(*this == other); }
    bool operator!=(const char* other) const { return !(*this == other); }
    bool isEqualCaseInsensitive(const AsmToken& other) const;
    bool isEqualCaseInsensitive(const std::string& other) const;
    bool isEqualCaseInsensitive(const char* other) const;
    // Bytewise order, bytes taken as signed 8-bit values.
    bool operator<(const AsmToken& other) const;

    size_t size() const { return end - start; }
    size_t length() const { return end - start; }
    bool empty() const { return start == end; }
    // Pointer to the first byte (nullptr without a line).
    const char* data() const;
    // First byte of the token, 0 when empty.
    char front() const;
    // Byte at offset i from the token's start; the caller keeps i < size().
    char operator[](size_t i) const;
    // A copy of the token's bytes.
    std::string toString() const;
    std::string str() const { return toString(); }
    // Line number of the token's line, 0 without a line.
    int lineNr() const;
    // Length of the line's text, 0 without a line.
    size_t lineLength() const;

private:
    void clamp();
};

std::ostream& operator<<(std::ostream& os, const AsmToken& token);
