// The place of an error in the source: a line, a byte position in its text and
// a length, with the location text and the excerpt that points at the bytes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "utils/SourceLine.h"

class SourceErrorRef {
public:
    // A position beyond the end of the line's text becomes npos.
    SourceErrorRef(std::shared_ptr<const SourceLine> line, size_t position, size_t length);
    // Refers to the first occurrence of text in the line (npos when absent,
    // the length of text either way).
    SourceErrorRef(std::shared_ptr<const SourceLine> line, const std::string& text);
    SourceErrorRef(const SourceErrorRef&) = default;
    SourceErrorRef(SourceErrorRef&&) = default;
    SourceErrorRef& operator=(const SourceErrorRef&) = default;
    SourceErrorRef& operator=(SourceErrorRef&&) = default;
    virtual ~SourceErrorRef() = default;

    // Lines without a positive number are not part of any source.
    virtual bool hasSource() const;
    virtual const std::shared_ptr<const SourceLine>& sourceLine() const;

    // Sorts references with a source by line number, all others after them;
    // references on one line are equivalent.
    bool operator<(const SourceErrorRef& other) const;

    std::string getSourceRef() const;
    // The referenced bytes, "" without source, position or length.
    std::string errorText() const;
    // The line with every tab shown as four blanks and every NUL byte as the
    // two characters "\0" (as the log writes it), then a run of '-' leading to
    // '^' under the referenced bytes as shown; the bare line, unchanged, when
    // there is nothing to point at.
    std::string pointToTextInSource() const;

    std::shared_ptr<const SourceLine> line;
    // npos: no position. Never beyond the size of the line's text.
    size_t position;
    // 0: no extent.
    size_t length;
};
