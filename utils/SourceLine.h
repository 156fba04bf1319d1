// One line of source text (or several lines joined by '\n') with its number
// and the shared name of the source it came from. Lines are handed around as
// std::shared_ptr<const SourceLine> so that tokens, statements and errors keep
// the text they refer to alive.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class SourceLine {
public:
    SourceLine() = default;
    SourceLine(const std::string& text);
    SourceLine(std::string&& text);
    SourceLine(const char* text);
    SourceLine(const char* text, size_t length);
    // A literal and an int read as "text and line number", which no form
    // takes: refused, so the int is never taken as a length to copy.
    SourceLine(const char* text, int lineNr) = delete;
    SourceLine(const std::string& text, int lineNr);
    SourceLine(std::string&& text, int lineNr);
    SourceLine(const char* text, size_t length, int lineNr);
    SourceLine(const std::string& text, int lineNr,
               const std::shared_ptr<const std::string>& sourceName);
    SourceLine(std::string&& text, int lineNr,
               const std::shared_ptr<const std::string>& sourceName);
    SourceLine(const char* text, size_t length, int lineNr,
               const std::shared_ptr<const std::string>& sourceName);

    void clear();

    // The name is left alone: a reader refills its own lines, which already
    // share its name.
    void setLine(std::string&& text, int lineNr);
    void setLine(const std::string& text, int lineNr);
    void setLine(const char* text, size_t length, int lineNr);

    // Joined lines keep the number of their first line.
    void concatLine(const std::string& text);
    void concatLine(const char* text, size_t length);

    // Location texts that begin every source-error message: "a.s:12-14",
    // "line 7", "lines 7-9 column 5", ...
    std::string getSourceRef() const;
    std::string getSourceRef(size_t column) const;

    // 0: no number (a line made from a plain string).
    int lineNr = 0;
    std::string text;
    // Null when the source has no name.
    std::shared_ptr<const std::string> sourceName;
};
