// Source reader over a borrowed input stream; the caller's stream must outlive
// the reader.
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <string>

#include "utils/SourceReader.h"

class StreamSourceReader : public SourceReader {
public:
    explicit StreamSourceReader(std::istream& stream);
    StreamSourceReader(std::istream& stream, const std::string& name);

    // Rewinds the stream (end-of-file and fail flags cleared first) and fails
    // unless the stream is then good.
    bool start(std::string& errorMessage) override;
    void finish() override;
    bool isEndOfSource() const override;
    // Restarts the reader and leaves the stream at its end.
    size_t sourceLength() override;
    // CR LF and LF CR pairs end one line. Throws std::runtime_error when the
    // stream goes bad (or was failed) while reading.
    std::string nextLineContents() override;
    // Null on any failure, a read error included.
    std::shared_ptr<const std::string> readFullSource() override;

protected:
    std::istream* stream;
};
