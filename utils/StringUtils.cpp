#include "utils/StringUtils.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

size_t decimalStringLength(unsigned long long value) {
    size_t digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

size_t decimalStringLength(unsigned long value) {
    return decimalStringLength(static_cast<unsigned long long>(value));
}
size_t decimalStringLength(unsigned int value) {
    return decimalStringLength(static_cast<unsigned long long>(value));
}
size_t decimalStringLength(unsigned short value) {
    return decimalStringLength(static_cast<unsigned long long>(value));
}

size_t decimalStringLength(long long value) {
    if (value >= 0)
        return decimalStringLength(static_cast<unsigned long long>(value));
    // The magnitude in unsigned arithmetic, so the minimum does not overflow.
    return 1 + decimalStringLength(0ULL - static_cast<unsigned long long>(value));
}
size_t decimalStringLength(int value) {
    return decimalStringLength(static_cast<long long>(value));
}
size_t decimalStringLength(short value) {
    return decimalStringLength(static_cast<long long>(value));
}

InvalidIntegerError invalidIntegerError(const std::string& text, size_t index) {
    const char c = index < text.size() ? text[index] : '\0';
    return InvalidIntegerError(stringCat("Value '", text, "' is not a valid integer. ",
                                         "Invalid character '", c, "' at index ",
                                         static_cast<unsigned long>(index)));
}

std::out_of_range integerOutOfRangeError(const std::string& text, unsigned bytes, bool isSigned) {
    return std::out_of_range(stringCat("Value '", text, "' is out of range for an ", bytes * 8,
                                       " bits ", std::string(isSigned ? "signed" : "unsigned"),
                                       " integer"));
}

std::string vorel::exceptionText(const std::exception& error) {
    if (const auto* invalid = dynamic_cast<const InvalidIntegerError*>(&error))
        return invalid->wholeText();
    return error.what();
}

namespace {

long long convertSigned(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long result = std::strtoll(start, &end, 0);
    if (static_cast<size_t>(end - start) != text.size())
        throw invalidIntegerError(text, static_cast<size_t>(end - start));
    return result;
}

unsigned long long convertUnsigned(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long long result = std::strtoull(start, &end, 0);
    if (static_cast<size_t>(end - start) != text.size())
        throw invalidIntegerError(text, static_cast<size_t>(end - start));
    return result;
}

template <typename T> void storeSigned(T& value, const std::string& text) {
    const long long result = convertSigned(text);
    if (result < static_cast<long long>(std::numeric_limits<T>::min()) ||
        result > static_cast<long long>(std::numeric_limits<T>::max()))
        throw integerOutOfRangeError(text, sizeof(T), true);
    value = static_cast<T>(result);
}

template <typename T> void storeUnsigned(T& value, const std::string& text) {
    const unsigned long long result = convertUnsigned(text);
    if (result > static_cast<unsigned long long>(std::numeric_limits<T>::max()))
        throw integerOutOfRangeError(text, sizeof(T), false);
    value = static_cast<T>(result);
}

} // namespace

void stringToInt(short& value, const std::string& text) {
    storeSigned(value, text);
}
void stringToInt(int& value, const std::string& text) {
    storeSigned(value, text);
}
void stringToInt(long long& value, const std::string& text) {
    storeSigned(value, text);
}
void stringToInt(unsigned short& value, const std::string& text) {
    storeUnsigned(value, text);
}
void stringToInt(unsigned int& value, const std::string& text) {
    storeUnsigned(value, text);
}
void stringToInt(unsigned long& value, const std::string& text) {
    storeUnsigned(value, text);
}
void stringToInt(unsigned long long& value, const std::string& text) {
    storeUnsigned(value, text);
}

namespace {

// The va_list side of strprintf.
__attribute__((format(printf, 2, 0))) int vstrprintf(std::string& out, const char* format,
                                                     va_list args) {
    va_list again;
    va_copy(again, args);
    char buffer[1024];
    const int result = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (result < 0) {
        va_end(again);
        return result;
    }
    if (result <= static_cast<int>(sizeof buffer) - 1) {
        out.assign(buffer);
    } else {
        std::vector<char> large(static_cast<size_t>(result) + 1);
        const int second = std::vsnprintf(large.data(), large.size(), format, again);
        if (second < 0) {
            va_end(again);
            return second;
        }
        out.assign(large.data());
    }
    va_end(again);
    return static_cast<int>(out.size());
}

} // namespace

int strprintf(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = vstrprintf(out, format, args);
    va_end(args);
    return result;
}

std::string toUpper(const std::string& text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string toLower(const std::string& text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty())
        return;
    // One pass into a new string: replacing in place would move the tail of
    // the text once per match, quadratic on long lines full of matches.
    size_t position = text.find(from);
    if (position == std::string::npos)
        return;
    std::string result;
    result.reserve(text.size());
    size_t done = 0;
    for (; position != std::string::npos; position = text.find(from, done)) {
        result.append(text, done, position - done);
        result += to;
        done = position + from.size();
    }
    result.append(text, done, std::string::npos);
    text.swap(result);
}

const char* signalToString(int signal) {
    switch (signal) {
    case 2:
        return "Keyboard Interrupt";
    case 4:
        return "Illegal Instruction";
    case 6:
        return "Abort";
    case 8:
        return "Floating Point Exception";
    case 11:
        return "Segmentation Fault";
    case 15:
        return "Terminate";
    default:
        return "Unknown Signal";
    }
}

std::string vorel::loggable(const std::string& text) {
    if (text.find('\0') == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\0')
            out.append("\\0");
        else
            out.push_back(c);
    }
    return out;
}
