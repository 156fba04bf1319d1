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

private:
    // Reads one line into `buffer`, leaving the flags that get() and peek()
    // would leave; false when the stream went bad or was failed without
    // reaching its end, with the last character in `last`.
    bool readLine(std::string& buffer, bool& haveLast, char& last);

    // Lines are read into this one buffer and handed on as copies of exactly
    // their text: statements keep their lines to the end of a run, so a
    // line's spare capacity would be retained as long.
    std::string lineBuffer;
};
