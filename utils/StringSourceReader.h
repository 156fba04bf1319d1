// Source reader over a shared string.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "utils/SourceReader.h"

class StringSourceReader : public SourceReader {
public:
    explicit StringSourceReader(const std::string& text);
    explicit StringSourceReader(std::string&& text);
    // The string is shared, not copied; null means no source.
    explicit StringSourceReader(std::shared_ptr<const std::string> text);
    StringSourceReader(const std::string& text, const std::string& name);
    StringSourceReader(std::string&& text, const std::string& name);
    StringSourceReader(std::shared_ptr<const std::string> text, const std::string& name);

    bool start(std::string& errorMessage) override;
    void finish() override;
    // True until start: a reader never started has nothing to deliver.
    bool isEndOfSource() const override;
    size_t sourceLength() override;
    // CR LF and LF CR pairs end one line.
    std::string nextLineContents() override;
    std::shared_ptr<const std::string> readFullSource() override;

protected:
    std::shared_ptr<const std::string> source;
    size_t position = std::string::npos;
};
