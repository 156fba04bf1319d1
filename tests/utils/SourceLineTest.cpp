#include "utils/SourceLine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>

namespace {

struct RefCase {
    const char* name; // null: no source name
    int lineNr;
    const char* text;
    size_t column;
    const char* expected;
};

const size_t npos = std::string::npos;

// clang-format off
const RefCase refCases[] = {
    {"a.s",   0, "x\ny",   npos, "a.s"},
    {"a.s",  12, "x",      npos, "a.s:12"},
    {"a.s",  12, "x\ny\nz", npos, "a.s:12-14"},
    {"a.s",  -3, "x\ny",   npos, "a.s:-3"},
    {"a.s",  12, "x",         5, "a.s:12:5"},
    {"a.s",  12, "x\ny\nz",    5, "a.s:12-14:5"},
    {"a.s",   0, "x",         5, "a.s:5"},
    {"",     12, "x",      npos, ":12"},
    {nullptr, 0, "x\ny",   npos, ""},
    {nullptr, 7, "x",      npos, "line 7"},
    {nullptr, 7, "x\ny\nz", npos, "lines 7-9"},
    {nullptr, -3, "x\ny",  npos, "lines -3"},
    {nullptr, -3, "x",     npos, "lines -3"},
    {nullptr, 7, "x",         5, "line 7 column 5"},
    {nullptr, 7, "x\ny\nz",    5, "lines 7-9 column 5"},
    {nullptr, 0, "x",         5, " column 5"},
    {nullptr, 4, "x\n",    npos, "lines 4-5"},
    {nullptr, 7, "\t\tab",    1, "line 7 column 1"},
};
// clang-format on

TEST(SourceLine, LocationTexts) {
    for (const RefCase& c : refCases) {
        std::shared_ptr<const std::string> name;
        if (c.name)
            name = std::make_shared<const std::string>(c.name);
        const SourceLine line(std::string(c.text), c.lineNr, name);
        const std::string ref =
            c.column == npos ? line.getSourceRef() : line.getSourceRef(c.column);
        EXPECT_EQ(ref, c.expected) << "name=" << (c.name ? c.name : "(none)")
                                   << " lineNr=" << c.lineNr << " column=" << c.column;
        EXPECT_EQ(line.getSourceRef(npos), line.getSourceRef());
    }
}

// "a\n" with 4 reads as lines 4-5, but no form takes a text and a line
// number: the call must not compile, rather than copy 4 bytes of a 3-byte literal.
static_assert(!std::is_constructible_v<SourceLine, const char*, int>);
static_assert(std::is_constructible_v<SourceLine, const char*, size_t>);
static_assert(std::is_constructible_v<SourceLine, const std::string&, int>);

TEST(SourceLine, ConstructorsKeepBytesAndDefaultToNoNumberNoName) {
    const char bytes[] = {'a', '\0', 'b', 'c'};
    const SourceLine fromPointer(bytes, size_t{3});
    EXPECT_EQ(fromPointer.text, std::string("a\0b", 3));
    EXPECT_EQ(fromPointer.lineNr, 0);
    EXPECT_EQ(fromPointer.sourceName, nullptr);
    EXPECT_EQ(fromPointer.getSourceRef(), "");

    EXPECT_EQ(SourceLine("abc").text, "abc");
    EXPECT_EQ(SourceLine(std::string("abc"), 9).lineNr, 9);
    EXPECT_EQ(SourceLine(bytes, 4, -2).text.size(), 4u);

    auto name = std::make_shared<const std::string>("f.s");
    const SourceLine shared(bytes, 1, 3, name);
    EXPECT_EQ(shared.sourceName.get(), name.get()) << "the name object is shared, not copied";
    EXPECT_EQ(shared.getSourceRef(), "f.s:3");
}

TEST(SourceLine, SetConcatAndClear) {
    auto name = std::make_shared<const std::string>("a.s");
    SourceLine line(std::string("first"), 3, name);
    line.setLine(std::string("second"), 8);
    EXPECT_EQ(line.text, "second");
    EXPECT_EQ(line.sourceName, name) << "setLine keeps the name";
    EXPECT_EQ(line.getSourceRef(), "a.s:8");

    SourceLine joined(std::string("a"), 3);
    joined.concatLine(std::string("b"));
    joined.concatLine("c", 1);
    EXPECT_EQ(joined.text, "a\nb\nc");
    EXPECT_EQ(joined.lineNr, 3);
    EXPECT_EQ(joined.getSourceRef(), "lines 3-5");

    line.clear();
    EXPECT_EQ(line.text, "");
    EXPECT_EQ(line.lineNr, 0);
    EXPECT_EQ(line.sourceName, nullptr);
    EXPECT_EQ(line.getSourceRef(), "");
}

} // namespace
