// Source reader over a file that the reader opens in start and closes in
// finish or when destroyed.
#pragma once

#include <fstream>
#include <string>

#include "utils/StreamSourceReader.h"

class FileSourceReader : public StreamSourceReader {
public:
    // The path is also the reader's name; nothing is opened yet.
    explicit FileSourceReader(const std::string& path);
    // The inherited stream pointer refers to this object's own file, so a
    // copied or moved reader would read through another object's stream.
    FileSourceReader(const FileSourceReader&) = delete;
    FileSourceReader(FileSourceReader&&) = delete;
    FileSourceReader& operator=(const FileSourceReader&) = delete;
    FileSourceReader& operator=(FileSourceReader&&) = delete;
    ~FileSourceReader() override;

    bool start(std::string& errorMessage) override;
    void finish() override;
    bool isEndOfSource() const override;

protected:
    std::ifstream file;
};
