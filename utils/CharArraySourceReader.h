// Source reader over a caller's character range. The characters are borrowed:
// the caller keeps them alive and unchanged while the reader is used.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "utils/SourceReader.h"

class CharArraySourceReader : public SourceReader {
public:
    CharArraySourceReader() = default;
    CharArraySourceReader(const char* text, size_t length);
    // The NUL-terminated text, its NUL excluded.
    explicit CharArraySourceReader(const char* text);
    CharArraySourceReader(const char* text, const std::string& name);
    CharArraySourceReader(const char* text, size_t length, const std::string& name);

    bool start(std::string& errorMessage) override;
    void finish() override;
    // A NUL byte at the start of a line also ends the source.
    bool isEndOfSource() const override;
    size_t sourceLength() override;
    // Each CR and each LF ends a line of its own.
    std::string nextLineContents() override;
    std::shared_ptr<const std::string> readFullSource() override;

protected:
    const char* begin = nullptr;
    const char* end = nullptr;
    const char* position = nullptr;
};
