// String building with a single reservation, whole-string integer parsing with
// exact error texts, and small text helpers. The helpers that only the
// project's own code calls stand in the namespace vorel, out of the way of a
// program that links the libraries.
#pragma once

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

// Characters of the decimal form, a minus sign included.
size_t decimalStringLength(unsigned long long value);
size_t decimalStringLength(unsigned long value);
size_t decimalStringLength(unsigned int value);
size_t decimalStringLength(unsigned short value);
size_t decimalStringLength(long long value);
size_t decimalStringLength(int value);
size_t decimalStringLength(short value);

namespace vorel {

// Pieces of stringCat/append_: NUL-terminated strings, std::string (and
// string views), single chars, and integers in decimal.
inline size_t stringPieceLength(const char* s) {
    return std::strlen(s);
}
inline size_t stringPieceLength(const std::string& s) {
    return s.size();
}
inline size_t stringPieceLength(std::string_view s) {
    return s.size();
}
// A char is counted as its code would print, which is never less than the one
// byte it needs.
inline size_t stringPieceLength(char c) {
    return decimalStringLength(static_cast<int>(static_cast<signed char>(c)));
}
template <typename I,
          typename std::enable_if<std::is_integral<I>::value && !std::is_same<I, char>::value &&
                                      !std::is_same<I, bool>::value,
                                  int>::type = 0>
size_t stringPieceLength(I value) {
    if constexpr (std::is_signed<I>::value)
        return decimalStringLength(static_cast<long long>(value));
    else
        return decimalStringLength(static_cast<unsigned long long>(value));
}

inline void appendStringPiece(std::string& out, const char* s) {
    out.append(s);
}
inline void appendStringPiece(std::string& out, const std::string& s) {
    out.append(s);
}
inline void appendStringPiece(std::string& out, std::string_view s) {
    out.append(s);
}
inline void appendStringPiece(std::string& out, char c) {
    out.push_back(c);
}
template <typename I,
          typename std::enable_if<std::is_integral<I>::value && !std::is_same<I, char>::value &&
                                      !std::is_same<I, bool>::value,
                                  int>::type = 0>
void appendStringPiece(std::string& out, I value) {
    out.append(std::to_string(value));
}

} // namespace vorel

// Adds the counted length of every piece to length.
template <typename... Pieces> void addLength(size_t& length, const Pieces&... pieces) {
    ((length += vorel::stringPieceLength(pieces)), ...);
}

// Appends the pieces to out; with reserve true, memory for all of them is
// reserved once beforehand.
template <typename... Pieces>
void append_(bool reserve, std::string& out, const Pieces&... pieces) {
    if (reserve) {
        size_t length = out.size();
        addLength(length, pieces...);
        out.reserve(length);
    }
    (vorel::appendStringPiece(out, pieces), ...);
}

// The pieces joined, built with exactly one reservation.
template <typename First, typename... Pieces>
std::string stringCat(const First& first, const Pieces&... pieces) {
    std::string out;
    append_(true, out, first, pieces...);
    return out;
}

// printf-style formatting into a string of at most 511 characters; a longer
// result is cut (with a warning in the log) and a formatting error gives "".
std::string stringFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The error of a text that is no integer quotes the text, which may hold NUL
// bytes: what() ends at the first of them, wholeText() keeps all of it. (A
// text with a NUL is never taken whole, so it is never out of range.)
class InvalidIntegerError : public std::invalid_argument {
public:
    explicit InvalidIntegerError(const std::string& text)
        : std::invalid_argument(text), whole(text) {}
    const std::string& wholeText() const { return whole; }

private:
    std::string whole;
};

InvalidIntegerError invalidIntegerError(const std::string& text, size_t index);
std::out_of_range integerOutOfRangeError(const std::string& text, unsigned bytes, bool isSigned);

namespace vorel {
// The text of an exception: what(), or the whole text of the error above.
std::string exceptionText(const std::exception& error);
} // namespace vorel

// The whole text must be one integer in C notation (0x hexadecimal, leading 0
// octal, else decimal). Throws std::invalid_argument or std::out_of_range and
// leaves value unchanged on failure. The 64-bit forms take the conversion's
// saturated result without complaint.
void stringToInt(short& value, const std::string& text);
void stringToInt(int& value, const std::string& text);
void stringToInt(long long& value, const std::string& text);
void stringToInt(unsigned short& value, const std::string& text);
void stringToInt(unsigned int& value, const std::string& text);
void stringToInt(unsigned long& value, const std::string& text);
void stringToInt(unsigned long long& value, const std::string& text);

// printf into out, any length. Returns out's new size, or the formatter's
// negative result (out unchanged).
int strprintf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Only 'a'-'z' (respectively 'A'-'Z') change; other bytes stay as they are.
std::string toUpper(const std::string& text);
std::string toLower(const std::string& text);

// Replaced text is not searched again. An empty from changes nothing.
void replaceAll(std::string& text, const std::string& from, const std::string& to);

namespace vorel {

// The text with every NUL byte written as "\0": log lines are printed as C
// strings and would end at the first NUL of a source line. Source excerpts
// (SourceErrorRef) show their line in this form, so that the log and the
// returned text put the carets in the same columns.
std::string loggable(const std::string& text);

// A missing text read as the empty one.
inline const char* orEmpty(const char* text) {
    return text != nullptr ? text : "";
}

} // namespace vorel

const char* signalToString(int signal);
