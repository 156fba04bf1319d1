#include "utils/SourceErrorRef.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Excerpt.h"

namespace {

const size_t npos = std::string::npos;

std::shared_ptr<const SourceLine> line(const std::string& text, int nr,
                                       const char* name = nullptr) {
    std::shared_ptr<const std::string> n;
    if (name)
        n = std::make_shared<const std::string>(name);
    return std::make_shared<const SourceLine>(text, nr, n);
}

TEST(SourceErrorRef, PointsUnderTabExpandedText) {
    const SourceErrorRef ref(line("\tloop 1,2", 12, "a.s"), 6, 3);
    EXPECT_EQ(ref.pointToTextInSource(), "\n    loop 1,2\n---------^^^\n");
    EXPECT_EQ(ref.getSourceRef(), "a.s:12:6");
    EXPECT_EQ(ref.errorText(), "1,2");
    EXPECT_EQ(SourceErrorRef(line("\tloop 1,2", 12), 6, 3).getSourceRef(), "line 12 column 6");
}

TEST(SourceErrorRef, ReferencedTabsWidenTheCarets) {
    const SourceErrorRef ref(line("a\tb\tc", 1), 1, 3);
    EXPECT_EQ(ref.pointToTextInSource(), "\na    b    c\n-^^^^^^^^^\n");
}

// A NUL byte is shown as the two characters \0, as the log writes it: the
// returned text is the one the log shows, and its carets stand under the
// referenced bytes as shown, wherever NUL bytes and tabs stand.
TEST(SourceErrorRef, CaretsStandUnderTheReferencedBytesAsShown) {
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string text;
        size_t position, length;
        // The shown line: before the referenced bytes, the referenced bytes
        // (under the carets), after them.
        std::string before, under, after;
    };
    const Case cases[] = {
        {"NUL before", "a\0bc"s, 2, 1, "a\\0", "b", "c"},
        {"NULs before", "\0\0x"s, 2, 1, "\\0\\0", "x", ""},
        {"NUL at the referenced byte", "R5\0junk"s, 2, 1, "R5", "\\0", "junk"},
        {"NUL inside", "mov 1\0x"s, 4, 3, "mov ", "1\\0x", ""},
        {"NULs inside", "R5\0\0junk"s, 1, 7, "R", "5\\0\\0junk", ""},
        {"tab and NUL before", "\t\0y"s, 2, 1, "    \\0", "y", ""},
        {"NUL and tab before", "\0\tnop R1"s, 6, 2, "\\0    nop ", "R1", ""},
        {"tabs and NUL inside", "\t\0\ty"s, 1, 2, "    ", "\\0    ", "y"},
        {"NUL before, tab inside", "a\0\tb\0"s, 2, 2, "a\\0", "    b", "\\0"},
        {"NUL after", "nop x\0"s, 4, 1, "nop ", "x", "\\0"},
        {"length cut at the end", "a\0b"s, 1, npos - 1, "a", "\\0b", ""},
        // One caret just past the last shown column.
        {"position at the end after a NUL", "nop\0"s, 4, 1, "nop\\0", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string shown =
            SourceErrorRef(line(c.text, 1), c.position, c.length).pointToTextInSource();
        EXPECT_EQ(shown.find('\0'), npos) << "a raw NUL byte in the returned text";
        const std::optional<Excerpt> excerpt = excerptAtEnd(shown);
        ASSERT_TRUE(excerpt) << shown;
        EXPECT_EQ(shown.front(), '\n');
        EXPECT_EQ(excerpt->text(), shown);
        EXPECT_EQ(excerpt->line, c.before + c.under + c.after);
        EXPECT_EQ(excerpt->column, c.before.size());
        EXPECT_EQ(excerpt->underCarets(), c.under);
        EXPECT_EQ(excerpt->carets, std::max<size_t>(c.under.size(), 1));
    }
}

TEST(SourceErrorRef, BareLineWhenThereIsNothingToPointAt) {
    struct Case {
        SourceErrorRef ref;
        const char* why;
        bool hasColumn;
    };
    const Case cases[] = {
        {SourceErrorRef(line("mov r1", 3), 0, 0), "zero length", true},
        {SourceErrorRef(line("mov r1", 3), npos, 2), "no position", false},
        {SourceErrorRef(line("mov r1", 3), 7, 1), "position beyond the text", false},
        {SourceErrorRef(line("mov r1", 3), "r9"), "text not in the line", false},
        {SourceErrorRef(line("mov r1\nnop", 3), 1, 2), "joined lines", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.ref.pointToTextInSource(), c.ref.line->text) << c.why;
        EXPECT_EQ(c.ref.getSourceRef().find("column") != npos, c.hasColumn) << c.why;
    }
}

TEST(SourceErrorRef, PositionAtTheEndGetsOneCaret) {
    const SourceErrorRef ref(line("nop", 2), 3, 1);
    EXPECT_EQ(ref.position, 3u);
    EXPECT_EQ(ref.pointToTextInSource(), "\nnop\n---^\n");
    EXPECT_EQ(ref.getSourceRef(), "line 2 column 3");
}

TEST(SourceErrorRef, HugeLengthIsCutAtTheEndOfTheText) {
    const SourceErrorRef ref(line("mov r1", 2), 4, npos - 1);
    EXPECT_EQ(ref.pointToTextInSource(), "\nmov r1\n----^^\n");
    EXPECT_EQ(ref.errorText(), "r1");
}

TEST(SourceErrorRef, LinesWithoutSourceRenderNothing) {
    const SourceErrorRef unnumbered(std::make_shared<const SourceLine>("mov r1"), 0, 3);
    const SourceErrorRef negative(line("mov r1", -4, "a.s"), 0, 3);
    const SourceErrorRef null(nullptr, 5, 2);
    for (const SourceErrorRef* ref : {&unnumbered, &negative, &null}) {
        EXPECT_FALSE(ref->hasSource());
        EXPECT_EQ(ref->getSourceRef(), "");
        EXPECT_EQ(ref->errorText(), "");
        EXPECT_EQ(ref->pointToTextInSource(), "");
    }
    EXPECT_EQ(null.position, 5u);
    EXPECT_EQ(null.length, 2u);
}

TEST(SourceErrorRef, FindsTextInTheLine) {
    const SourceErrorRef found(line("add r1, r2, r1", 5), "r1");
    EXPECT_EQ(found.position, 4u);
    EXPECT_EQ(found.length, 2u);
    const SourceErrorRef missing(line("add r1", 5), "xyz");
    EXPECT_EQ(missing.position, npos);
    EXPECT_EQ(missing.length, 3u);
    const SourceErrorRef empty(line("add r1", 5), "");
    EXPECT_EQ(empty.position, npos);
    EXPECT_EQ(empty.length, 0u);
    const SourceErrorRef nullLine(nullptr, "add");
    EXPECT_EQ(nullLine.position, npos);
    EXPECT_EQ(nullLine.length, 0u);
}

TEST(SourceErrorRef, StableSortPutsLinelessLastAndKeepsInsertionOrder) {
    std::vector<SourceErrorRef> refs = {
        SourceErrorRef(line("first seven", 7), 0, 1), SourceErrorRef(nullptr, 0, 1),
        SourceErrorRef(line("three", 3), 0, 1), SourceErrorRef(line("second seven", 7), 0, 1)};
    std::stable_sort(refs.begin(), refs.end());
    ASSERT_EQ(refs.size(), 4u);
    EXPECT_EQ(refs[0].line->text, "three");
    EXPECT_EQ(refs[1].line->text, "first seven");
    EXPECT_EQ(refs[2].line->text, "second seven");
    EXPECT_EQ(refs[3].line, nullptr);
}

} // namespace
