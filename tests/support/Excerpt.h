// The pointer text that ends the report of a source error, taken apart: the
// line as shown, and the columns that its carets cover. Tests read where the
// carets stand from the text itself, as a reader of the report would.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

struct Excerpt {
    // The source line as shown.
    std::string line;
    // The number of '-' before the carets, and of carets.
    size_t column = 0;
    size_t carets = 0;

    // The shown text above the carets; carets past the end of the line stand
    // under nothing.
    std::string underCarets() const {
        return column < line.size() ? line.substr(column, carets) : std::string();
    }
    // The excerpt as the report writes it.
    std::string text() const {
        return "\n" + line + "\n" + std::string(column, '-') + std::string(carets, '^') + "\n";
    }
};

// The excerpt at the end of `report`, which then ends "\n", the line, "\n",
// dashes followed by at least one caret, "\n"; none when it does not.
inline std::optional<Excerpt> excerptAtEnd(const std::string& report) {
    if (report.size() < 4 || report.back() != '\n')
        return std::nullopt;
    const size_t pointerStart = report.rfind('\n', report.size() - 2);
    if (pointerStart == std::string::npos || pointerStart == 0)
        return std::nullopt;
    const size_t lineStart = report.rfind('\n', pointerStart - 1);
    if (lineStart == std::string::npos)
        return std::nullopt;
    const std::string pointer = report.substr(pointerStart + 1, report.size() - 2 - pointerStart);
    Excerpt excerpt;
    excerpt.line = report.substr(lineStart + 1, pointerStart - lineStart - 1);
    excerpt.column = pointer.find_first_not_of('-');
    if (excerpt.column == std::string::npos ||
        pointer.find_first_not_of('^', excerpt.column) != std::string::npos)
        return std::nullopt;
    excerpt.carets = pointer.size() - excerpt.column;
    return excerpt;
}
