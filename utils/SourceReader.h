// Abstract line reader: delivers a source text line by line as shared,
// numbered SourceLine objects that carry the reader's source name.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "utils/ObjectPool.h"
#include "utils/SourceLine.h"

class SourceReader {
public:
    SourceReader() = default;
    explicit SourceReader(const std::string& name);
    SourceReader(const SourceReader& other);
    SourceReader(SourceReader&& other) noexcept;
    SourceReader& operator=(const SourceReader& other);
    SourceReader& operator=(SourceReader&& other) noexcept;
    virtual ~SourceReader();

    // Starts (or restarts) reading at the first line. On failure returns false
    // with the reason in errorMessage; on success errorMessage is untouched.
    virtual bool start(std::string& errorMessage);
    virtual void finish();
    virtual bool isEndOfSource() const = 0;
    virtual size_t sourceLength() = 0;
    // The next line's text without its terminator.
    virtual std::string nextLineContents() = 0;
    // The whole source as one text; null when there is none.
    virtual std::shared_ptr<const std::string> readFullSource() = 0;

    // An empty name removes the name.
    void setName(const std::string& name);
    std::string name() const;

    // The next line, or an empty pointer at the end of the source. With concat
    // true the text is appended to the previous line (same object, same
    // number). A line nobody else holds any more is refilled, not reallocated.
    // A line past number INT_MAX is not read: std::runtime_error names that
    // last number instead, and leaves naming the source to its reporter.
    std::shared_ptr<const SourceLine> nextLine(bool concat);

    // New lines are made in the pool while one is set (none: the heap). The
    // pool must outlive the reading, not the lines. A reader made by copy or
    // move reads into the heap.
    void setLinePool(ObjectPool* pool) { linePool = pool; }
    ObjectPool* getLinePool() const { return linePool; }

protected:
    int lineCounter = 0;
    std::shared_ptr<const std::string> sourceName;
    std::shared_ptr<SourceLine> currentLine;

private:
    ObjectPool* linePool = nullptr;
};
