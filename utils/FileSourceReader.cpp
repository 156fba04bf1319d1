#include "utils/FileSourceReader.h"

FileSourceReader::FileSourceReader(const std::string& path) : StreamSourceReader(file, path) {}

FileSourceReader::~FileSourceReader() = default;

bool FileSourceReader::start(std::string& errorMessage) {
    if (file.is_open())
        file.close();
    file.open(name(), std::ios_base::in);
    if (file.fail() || file.bad()) {
        errorMessage = "Could not open input file '" + name() + "' for reading";
        return false;
    }
    return StreamSourceReader::start(errorMessage);
}

void FileSourceReader::finish() {
    StreamSourceReader::finish();
    file.close();
}

bool FileSourceReader::isEndOfSource() const {
    return !file.is_open() || file.eof();
}
