// Sets of byte values for character classification, and the predefined sets
// in CharFilters. The predefined sets are constants, initialised before any
// dynamic initialisation, so static objects in other files may use them.
#pragma once

#include <cstddef>
#include <string>

class CharFilter {
public:
    constexpr CharFilter() : accepted() {}

    constexpr void include(const char* s) {
        for (; *s != '\0'; ++s)
            accepted[index(*s)] = true;
    }
    void include(const std::string& s);
    // f is called for every char value from -128 to 127.
    void include(bool (*f)(char));
    // For the <cctype> classifiers: f is called for every byte value 0 to 255,
    // visited in the order of the signed values -128 to 127.
    void include(int (*f)(int));
    constexpr void include(const CharFilter& other) {
        for (size_t i = 0; i < 256; ++i)
            accepted[i] = accepted[i] || other.accepted[i];
    }
    constexpr void includeRange(int first, int last) {
        for (int v = first; v <= last; ++v)
            accepted[v & 0xFF] = true;
    }

    void exclude(const char* s);
    void exclude(const std::string& s);
    void exclude(bool (*f)(char));
    void exclude(const CharFilter& other);

    CharFilter& invert();

    // Both update this filter and return a copy of it.
    CharFilter operator|=(const CharFilter& other);
    CharFilter operator&=(const CharFilter& other);
    constexpr CharFilter operator|(const CharFilter& other) const {
        CharFilter result(*this);
        result.include(other);
        return result;
    }

    // The multi-character forms never accept an empty input.
    bool accept(const std::string& s) const;
    bool accept(const char* data, unsigned long length) const;
    bool accept(const char* s) const;
    bool accept(char c) const { return accepted[index(c)]; }

private:
    static constexpr size_t index(char c) { return static_cast<unsigned char>(c); }

    bool accepted[256];
};

namespace CharFilters {

constexpr CharFilter fromChars(const char* s) {
    CharFilter f;
    f.include(s);
    return f;
}

constexpr CharFilter printableAscii() {
    // What isprint accepts in the "C" locale, which the program never changes.
    CharFilter f;
    f.includeRange(32, 126);
    return f;
}

// clang-format off
inline constexpr CharFilter isSpace       = fromChars(" \t\v\f\r\n");
inline constexpr CharFilter isEndOfLine   = fromChars("\n\r");
inline constexpr CharFilter isDigit       = fromChars("-0123456789");
inline constexpr CharFilter isXLowerDigit = fromChars("0123456789abcdefx");
inline constexpr CharFilter isXUpperDigit = fromChars("0123456789ABCDEFX");
inline constexpr CharFilter isXDigit      = isXLowerDigit | isXUpperDigit;
inline constexpr CharFilter isODigit      = fromChars("01234567");
inline constexpr CharFilter isLower       = fromChars("abcdefghijklmnopqrstuvwxyz");
inline constexpr CharFilter isUpper       = fromChars("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
inline constexpr CharFilter isAlpha       = isLower | isUpper;
inline constexpr CharFilter isAlnum       = isAlpha | isDigit;
inline constexpr CharFilter isPrint       = printableAscii();
// clang-format on

} // namespace CharFilters
