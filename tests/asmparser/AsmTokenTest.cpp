// Tokens over shared lines and the tokenizer step of the default syntax.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "asmparser/AsmSyntax.h"
#include "asmparser/AsmToken.h"

namespace {

std::shared_ptr<const SourceLine> lineOf(const std::string& text, int nr = 1) {
    return std::make_shared<const SourceLine>(text, nr);
}

std::string textOf(const AsmToken& t) {
    return t.toString();
}

TEST(AsmToken, ConstructorsClampToTheLine) {
    auto line = lineOf("abcde");
    struct Case {
        size_t start;
        int length;
        size_t wantStart, wantEnd;
    };
    // clang-format off
    const Case cases[] = {
        {0, 5, 0, 5},    {1, 2, 1, 3},   {2, 100, 2, 5}, {9, 2, 5, 5},
        {2, -10, 0, 0},  {2, -1, 2, 4},  {4, -3, 2, 2},  {0, -5, 0, 0},
        {0, 0, 0, 0},    {5, 0, 5, 5},
    };
    // clang-format on
    for (const Case& c : cases) {
        AsmToken t(line, c.start, c.length);
        EXPECT_EQ(t.start, c.wantStart) << c.start << "," << c.length;
        EXPECT_EQ(t.end, c.wantEnd) << c.start << "," << c.length;
    }
    AsmToken rest(line, 3);
    EXPECT_EQ(textOf(rest), "de");
    AsmToken beyond(line, 99);
    EXPECT_TRUE(beyond.empty());
    EXPECT_EQ(beyond.start, 5u);

    AsmToken none;
    EXPECT_FALSE(none.line);
    EXPECT_TRUE(none == "");
    AsmToken nullLine(std::shared_ptr<const SourceLine>(), 3, 4);
    EXPECT_EQ(nullLine.start, 0u);
    EXPECT_EQ(nullLine.end, 0u);
}

TEST(AsmToken, FromStringsOwnsAFreshLine) {
    AsmToken a("abc");
    ASSERT_TRUE(a.line);
    EXPECT_EQ(a.line->lineNr, 0);
    EXPECT_FALSE(a.line->sourceName);
    EXPECT_TRUE(a == "abc");
    EXPECT_FALSE(a == "ab");
    EXPECT_FALSE(a == "abcd");
    EXPECT_TRUE(a == std::string("abc"));
    EXPECT_TRUE(a == AsmToken(std::string("abc")));
    EXPECT_TRUE(AsmToken("abcdef", 2) == "ab");

    std::string nul("a\0b", 3);
    AsmToken withNul(nul);
    EXPECT_EQ(withNul.size(), 3u);
    EXPECT_FALSE(withNul == "a");
    EXPECT_TRUE(withNul == nul);

    a = "xy";
    EXPECT_TRUE(a == "xy");
    a = std::string("longer");
    EXPECT_EQ(a.size(), 6u);
}

TEST(AsmToken, SubstrNextAndStrip) {
    EXPECT_TRUE(AsmToken("R5").substr(1) == "5");
    AsmToken at("@");
    AsmToken empty = at.substr(1);
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.start, 0u);
    EXPECT_EQ(empty.end, 0u);
    EXPECT_TRUE(AsmToken("abc").substr(0, -1) == "ab");
    EXPECT_TRUE(AsmToken("abc").substr(1, 1) == "b");
    EXPECT_TRUE(AsmToken("abc").substr(0, -5).empty());
    EXPECT_TRUE(AsmToken("abc").substr(1, 0).empty());

    AsmToken five("5   ");
    five.stripBack();
    EXPECT_TRUE(five == "5");
    AsmToken blanks(" \t ");
    blanks.stripBack();
    EXPECT_TRUE(blanks.empty());
    AsmToken front("  x ");
    front.stripFront();
    EXPECT_TRUE(front == "x ");

    auto line = lineOf("add  R1, R2");
    AsmToken t(line, 0, 3);
    t.next();
    EXPECT_EQ(textOf(t), "R1, R2");
    AsmToken none;
    none.next();
    EXPECT_TRUE(none.empty());
}

TEST(AsmToken, OrderingAndCaseInsensitiveCompare) {
    EXPECT_TRUE(AsmToken("") < AsmToken(".DEF"));
    EXPECT_TRUE(AsmToken(".DEF") < AsmToken(".DEFX"));
    EXPECT_FALSE(AsmToken(".DEFX") < AsmToken(".DEF"));
    EXPECT_TRUE(AsmToken("\xE9x") < AsmToken("A"));
    EXPECT_FALSE(AsmToken("A") < AsmToken("A"));
    EXPECT_TRUE(AsmToken(".def").isEqualCaseInsensitive(".DEF"));
    EXPECT_TRUE(AsmToken(".def").isEqualCaseInsensitive(std::string(".Def")));
    EXPECT_FALSE(AsmToken(".def").isEqualCaseInsensitive(AsmToken(".DEFX")));

    std::ostringstream os;
    os << AsmToken(lineOf("xx word yy"), 3, 4) << '|' << AsmToken();
    EXPECT_EQ(os.str(), "word|");
}

TEST(AsmSyntax, Filter2TokenCutsTheNextWord) {
    AsmSyntax syntax;
    struct Case {
        const char* text;
        const CharFilter AsmSyntax::*cls;
        const char* want;
        size_t wantStart;
    };
    // clang-format off
    const Case cases[] = {
        {"   .DEF x 5", &AsmSyntax::firstToken, ".DEF", 3},
        {"   .DEF x 5", &AsmSyntax::argument,   "",     3},
        {"loop: nop",   &AsmSyntax::firstToken, "loop", 0},
        {"-12,R3",      &AsmSyntax::argument,   "-12",  0},
        {"$x, 1",       &AsmSyntax::argument,   "$x",   0},
        {"@lbl # c",    &AsmSyntax::argument,   "@lbl", 0},
        {"$_a-1",       &AsmSyntax::argument,   "$_a-1", 0},
        {" :x",         &AsmSyntax::argument,   ":",    1},
        {"[3]",         &AsmSyntax::number,     "[",    0},
        {"a^b c",       &AsmSyntax::firstToken, "a^b",  0},
        {"  ",          &AsmSyntax::firstToken, "",     2},
        {"x # \x01\xff", &AsmSyntax::commentText, "x # \x01\xff", 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        AsmToken t(lineOf(c.text));
        syntax.filter2Token(t, syntax.*c.cls);
        EXPECT_EQ(textOf(t), c.want) << c.text;
        EXPECT_EQ(t.start, c.wantStart) << c.text;
    }

    // The colon comes out alone after the label although ':' is no firstToken byte.
    AsmToken t(lineOf("loop: nop"));
    syntax.filter2Token(t, syntax.firstToken);
    t.next();
    syntax.filter2Token(t, syntax.firstToken);
    EXPECT_EQ(textOf(t), ":");

    // The scan runs to the end of the line, not to the token's previous end.
    AsmToken shortToken(lineOf("abcdef"), 0, 2);
    syntax.filter2Token(shortToken, syntax.identifier);
    EXPECT_EQ(textOf(shortToken), "abcdef");

    AsmToken delimited(lineOf("  foo+bar"));
    syntax.filter2Token(delimited);
    EXPECT_EQ(textOf(delimited), "foo");
}

TEST(AsmSyntax, DefaultClasses) {
    AsmSyntax syntax;
    EXPECT_TRUE(syntax.number.accept("0x1F"));
    EXPECT_TRUE(syntax.number.accept("-5"));
    EXPECT_TRUE(syntax.number.accept("ff"));
    EXPECT_FALSE(syntax.number.accept("R1"));
    EXPECT_TRUE(syntax.argument.accept("$_a-1"));
    EXPECT_TRUE(syntax.argument.accept("@x"));
    EXPECT_FALSE(syntax.argument.accept("a.b"));
    EXPECT_TRUE(syntax.firstToken.accept("a.b^c-_1"));
    EXPECT_FALSE(syntax.identifierStart.accept('1'));
    EXPECT_TRUE(syntax.identifier.accept("_a-1"));
    EXPECT_TRUE(syntax.directiveValue.accept(std::string("a b\0\t:;", 7)));
    EXPECT_FALSE(syntax.directiveValue.accept('#'));
    EXPECT_FALSE(syntax.directiveValue.accept('\r'));
    for (char c : std::string(":;,<>/?|\\[]{}()+=& \t"))
        EXPECT_TRUE(syntax.delimiters.accept(c)) << c;
    EXPECT_FALSE(syntax.delimiters.accept('#'));
    ASSERT_EQ(syntax.symbolDirectives.size(), 1u);
    EXPECT_EQ(syntax.symbolDirectives[0], ".DEF");
    ASSERT_EQ(syntax.ignoredDirectives.size(), 1u);
    EXPECT_EQ(syntax.ignoredDirectives[0], "");
}

} // namespace
