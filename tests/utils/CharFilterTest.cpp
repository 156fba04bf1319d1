#include "utils/CharFilter.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

std::string acceptedBytes(const CharFilter& f) {
    std::string s;
    for (int v = 0; v < 256; ++v)
        if (f.accept(static_cast<char>(v)))
            s.push_back(static_cast<char>(v));
    return s;
}

TEST(CharFilters, PredefinedSets) {
    struct Case {
        const CharFilter& filter;
        const char* name;
        std::string members;
    };
    const Case cases[] = {
        {CharFilters::isSpace, "isSpace", "\t\n\v\f\r "},
        {CharFilters::isEndOfLine, "isEndOfLine", "\n\r"},
        {CharFilters::isDigit, "isDigit", "-0123456789"},
        {CharFilters::isXLowerDigit, "isXLowerDigit", "0123456789abcdefx"},
        {CharFilters::isXUpperDigit, "isXUpperDigit", "0123456789ABCDEFX"},
        {CharFilters::isXDigit, "isXDigit", "0123456789ABCDEFXabcdefx"},
        {CharFilters::isODigit, "isODigit", "01234567"},
        {CharFilters::isLower, "isLower", "abcdefghijklmnopqrstuvwxyz"},
        {CharFilters::isUpper, "isUpper", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {CharFilters::isAlpha, "isAlpha", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"},
        {CharFilters::isAlnum, "isAlnum",
         "-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(acceptedBytes(c.filter), c.members) << c.name;

    // isPrint is what the C library's isprint says in the default locale.
    CharFilter fromLibrary;
    fromLibrary.include(isprint);
    EXPECT_EQ(acceptedBytes(CharFilters::isPrint), acceptedBytes(fromLibrary));
    EXPECT_EQ(acceptedBytes(CharFilters::isPrint).size(), 95u);
    EXPECT_TRUE(CharFilters::isPrint.accept(" ~"));
    EXPECT_FALSE(CharFilters::isPrint.accept('\t'));
    EXPECT_FALSE(CharFilters::isPrint.accept('\x7f'));
    EXPECT_FALSE(CharFilters::isPrint.accept('\x80'));
    EXPECT_FALSE(CharFilters::isPrint.accept('\xff'));

    EXPECT_TRUE(CharFilters::isXDigit.accept("0x1F"));
    EXPECT_FALSE(CharFilters::isXDigit.accept("g"));
    EXPECT_TRUE(CharFilters::isDigit.accept("-"));
}

TEST(CharFilter, EmptyInputIsNeverAccepted) {
    CharFilter all;
    all.invert();
    EXPECT_EQ(acceptedBytes(all).size(), 256u);
    EXPECT_FALSE(all.accept(""));
    EXPECT_FALSE(all.accept(std::string()));
    EXPECT_FALSE(all.accept("abc", 0ul));
    EXPECT_TRUE(all.accept(std::string("a\0b", 3)));
    all.invert();
    EXPECT_EQ(acceptedBytes(all), "");
}

TEST(CharFilter, MultiCharacterAcceptStopsAtTheFirstRejection) {
    CharFilter f;
    f.include("ab");
    EXPECT_TRUE(f.accept("abba"));
    EXPECT_FALSE(f.accept("abc"));
    EXPECT_TRUE(f.accept("abX", 2ul));
    EXPECT_FALSE(f.accept(std::string("a\0", 2)));
}

TEST(CharFilter, IncludeAndExclude) {
    CharFilter f;
    f.include(std::string("a\0b", 3));
    EXPECT_TRUE(f.accept('\0')) << "a std::string includes its NUL bytes";
    CharFilter g;
    g.include("a");
    EXPECT_FALSE(g.accept('\0'));

    f.exclude("b");
    f.exclude("z"); // never accepted: nothing changes
    EXPECT_EQ(acceptedBytes(f), std::string("\0a", 2));
    f.exclude(std::string("\0", 1));
    EXPECT_EQ(acceptedBytes(f), "a");

    CharFilter high;
    high.include([](char c) { return c < 0; });
    EXPECT_EQ(acceptedBytes(high).size(), 128u);
    EXPECT_TRUE(high.accept('\x80'));
    EXPECT_TRUE(high.accept('\xff'));
    high.exclude([](char c) { return c == '\xff'; });
    EXPECT_FALSE(high.accept('\xff'));

    CharFilter letters = CharFilters::isAlpha;
    letters.exclude(CharFilters::isUpper);
    EXPECT_EQ(acceptedBytes(letters), acceptedBytes(CharFilters::isLower));
}

TEST(CharFilter, CompoundAssignmentReturnsACopy) {
    CharFilter a;
    a.include("a");
    CharFilter b;
    b.include("b");
    CharFilter result = (a |= b);
    EXPECT_EQ(acceptedBytes(a), "ab");
    result.include("z");
    EXPECT_EQ(acceptedBytes(a), "ab") << "changing the returned copy leaves a alone";

    CharFilter bc;
    bc.include("bc");
    EXPECT_EQ(acceptedBytes(a &= bc), "b");
    EXPECT_EQ(acceptedBytes(a), "b");

    const CharFilter x = CharFilters::isLower | CharFilters::isDigit;
    EXPECT_EQ(acceptedBytes(x).size(), 37u);
    EXPECT_EQ(acceptedBytes(CharFilters::isLower).size(), 26u) << "operator| changes no operand";
}

} // namespace
