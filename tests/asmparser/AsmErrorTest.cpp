// Assembly errors: references, texts, copies; the error list and its reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "asmparser/AsmError.h"
#include "asmparser/AsmErrorList.h"
#include "utils/StringUtils.h"

namespace {

auto name = std::make_shared<const std::string>("a.s");

std::shared_ptr<const SourceLine> lineOf(const std::string& text, int nr, bool named = true) {
    if (named)
        return std::make_shared<const SourceLine>(text, nr, name);
    return std::make_shared<const SourceLine>(text, nr);
}

std::shared_ptr<AsmError> syntaxError(int lineNr) {
    AsmSyntaxError e(lineOf("x", lineNr), "x");
    e << "line " << lineNr;
    return e.shared_ptr_copy();
}

TEST(AsmError, SyntaxErrorTextPointsIntoTheLine) {
    AsmSyntaxError e(lineOf("add R1, R9x", 12), "R9x");
    e << "Invalid argument";
    EXPECT_EQ(std::string(e.what()),
              "a.s:12:8: Syntax error: Invalid argument: \nadd R1, R9x\n--------^^^\n");
    EXPECT_STREQ(e.errorType(), "Asm syntax error");
    EXPECT_TRUE(e.hasSource());
    EXPECT_EQ(e.lineNr(), 12);
    EXPECT_EQ(e.numberOfErrorSources(), 1u);

    // The insertion keeps the class, so the thrown object is a syntax error.
    try {
        throw AsmSyntaxError(lineOf("nop x", 2, false), 4, 1) << "AsmParser: " << 42;
    } catch (AsmError& caught) {
        std::shared_ptr<AsmError> copy = caught.shared_ptr_copy();
        EXPECT_STREQ(copy->errorType(), "Asm syntax error");
        EXPECT_EQ(std::string(copy->what()),
                  "line 2 column 4: Syntax error: AsmParser: 42: \nnop x\n----^\n");
    }

    AsmSyntaxError whole(lineOf("x:", 5, false), std::string::npos, 0);
    whole << "whole line";
    EXPECT_EQ(std::string(whole.what()), "line 5: Syntax error: whole line: x:");
}

TEST(AsmError, ErrorsWithoutNumberedLines) {
    AsmSyntaxError unnumbered(std::make_shared<const SourceLine>("abc"), "b");
    EXPECT_FALSE(unnumbered.hasSource());
    EXPECT_FALSE(unnumbered.sourceLine());
    EXPECT_EQ(unnumbered.lineNr(), 0);
    EXPECT_EQ(unnumbered.numberOfErrorSources(), 0u);
    EXPECT_STREQ(unnumbered.what(), "");

    AsmUnresolvedSymbolError symbol(std::make_shared<const SourceLine>("$n"), "n");
    EXPECT_TRUE(symbol.hasSource());
    EXPECT_EQ(symbol.numberOfErrorSources(), 1u);
    EXPECT_EQ(symbol.lineNr(), 0);
    EXPECT_STREQ(symbol.what(), "");
    EXPECT_STREQ(symbol.errorType(), "Unresolved symbol error");
    EXPECT_STREQ(symbol.shared_ptr_copy()->errorType(), "Unresolved symbol error");

    AsmRuntimeError runtime("Could not open");
    AsmProgramTooLongError tooLong("Program too long");
    for (const AsmError* e :
         {static_cast<const AsmError*>(&runtime), static_cast<const AsmError*>(&tooLong)}) {
        EXPECT_EQ(e->lineNr(), 0);
        EXPECT_EQ(e->numberOfErrorSources(), 0u);
        EXPECT_FALSE(e->hasSource());
    }
    EXPECT_STREQ(runtime.what(), "Could not open");
    EXPECT_STREQ(runtime.errorType(), "AsmRuntimeError");
    EXPECT_STREQ(tooLong.errorType(), "Asm program too long");
    EXPECT_STREQ(tooLong.shared_ptr_copy()->what(), "Program too long");
    EXPECT_STREQ(tooLong.shared_ptr_copy()->errorType(), "Asm program too long");
    EXPECT_STREQ(AsmFatalError("f").errorType(), "AsmRuntimeError");
}

TEST(AsmError, DuplicateLabelNamesBothLinesInOrder) {
    auto line9 = lineOf("loop: nop", 9);
    auto line3 = lineOf("  loop: add R1, R2", 3);
    AsmDuplicateAddressLabelError e({line9, line3}, "loop");
    ASSERT_EQ(e.errorRefs.size(), 2u);
    EXPECT_EQ(e.errorRefs[0].line, line3);
    EXPECT_EQ(e.sourceLine(), line3);
    EXPECT_EQ(e.lineNr(), 3);
    EXPECT_EQ(e.numberOfErrorSources(), 2u);
    EXPECT_STREQ(e.errorType(), "Duplicate address label error");
    EXPECT_EQ(std::string(e.what()),
              "a.s:3:2: Duplicate address label: loop. : \n  loop: add R1, R2\n--^^^^\n"
              "a.s:9:0: Duplicate address label: loop. : \nloop: nop\n^^^^\n");

    // A name that does not occur in the line: no position, the bare line.
    AsmUnresolvedAddressLabelError missing({lineOf("jmp $target", 4, false)}, "loop");
    EXPECT_EQ(std::string(missing.what()), "line 4: Unresolved address label: loop. : jmp $target");

    AsmDuplicateSymbolError symbol({lineOf(".DEF N 7", 8), lineOf(".DEF N 5", 2)}, "N");
    EXPECT_STREQ(symbol.errorType(), "Duplicate symbol error");
    EXPECT_EQ(symbol.lineNr(), 2);
    auto copy = symbol.shared_ptr_copy();
    EXPECT_STREQ(copy->errorType(), "Duplicate symbol error");
    EXPECT_EQ(std::string(copy->what()), std::string(symbol.what()));
}

// A reference with nothing to point at renders its bare line: the next
// reference still begins on a line of its own, and the last one is not
// followed by a line end of its own.
TEST(AsmError, EveryReferenceStartsOnALineOfItsOwn) {
    struct Case {
        const char* why;
        std::shared_ptr<AsmError> error;
        std::string text;
    };
    const Case cases[] = {
        {"unpositioned, then positioned",
         std::make_shared<AsmDuplicateAddressLabelError>(
             std::initializer_list<std::shared_ptr<const SourceLine>>{lineOf("nop", 2),
                                                                      lineOf("a: stop", 3)},
             "a"),
         "a.s:2: Duplicate address label: a. : nop\n"
         "a.s:3:0: Duplicate address label: a. : \na: stop\n^\n"},
        {"positioned, then unpositioned",
         std::make_shared<AsmDuplicateAddressLabelError>(
             std::initializer_list<std::shared_ptr<const SourceLine>>{lineOf("a: nop", 1),
                                                                      lineOf("nop", 5)},
             "a"),
         "a.s:1:0: Duplicate address label: a. : \na: nop\n^\n"
         "a.s:5: Duplicate address label: a. : nop"},
        {"both unpositioned",
         std::make_shared<AsmDuplicateSymbolError>(
             std::initializer_list<std::shared_ptr<const SourceLine>>{lineOf(".DEF M 1", 4),
                                                                      lineOf(".DEF M 2", 6)},
             "N"),
         "a.s:4: Duplicate symbol: N. : .DEF M 1\na.s:6: Duplicate symbol: N. : .DEF M 2"},
        {"joined lines render bare",
         std::make_shared<AsmDuplicateDefinitionError>(
             std::vector<SourceErrorRef>{SourceErrorRef(lineOf("x: nop\n# c", 2), 0, 1),
                                         SourceErrorRef(lineOf("x: stop", 7), 0, 1)},
             "x", "address label"),
         "a.s:2-3:0: Duplicate address label: x. : x: nop\n# c\n"
         "a.s:7:0: Duplicate address label: x. : \nx: stop\n^\n"},
        {"three references",
         std::make_shared<AsmUnresolvedReferenceError>(
             std::vector<std::shared_ptr<const SourceLine>>{lineOf("jmp $q", 1), lineOf("nop", 2),
                                                            lineOf("jmp @q", 3)},
             "q", "address label"),
         "a.s:1:5: Unresolved address label: q. : \njmp $q\n-----^\n"
         "a.s:2: Unresolved address label: q. : nop\n"
         "a.s:3:5: Unresolved address label: q. : \njmp @q\n-----^\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(c.error->what()), c.text) << c.why;
        EXPECT_EQ(c.error->shared_ptr_copy()->text(), c.text) << c.why;
    }
}

TEST(AsmError, LongNamesAreFoundInLinearTime) {
    // A near miss of the name fills the line before the name itself.
    std::string name(200000, 'a');
    std::string nearMiss = std::string(name.size() - 1, 'a') + "b";
    std::string text = "@" + nearMiss + ", $" + name;
    auto line = lineOf(text, 1);
    AsmUnresolvedSymbolError e(line, name);
    ASSERT_EQ(e.errorRefs.size(), 1u);
    EXPECT_EQ(e.errorRefs[0].position, 1u + nearMiss.size() + 3);
    EXPECT_EQ(e.errorRefs[0].length, name.size());
}

// Lines 7, 3, 0, 3, 9 arrive in this order; each error's text names its place
// of arrival, so that a report shows the order too.
struct ArrivalOutOfOrder {
    std::vector<std::shared_ptr<AsmError>> inserted;
    AsmErrorList list;

    ArrivalOutOfOrder() {
        const int lines[] = {7, 3, 0, 3, 9};
        for (int i = 0; i < 5; ++i) {
            const std::string tag = "arrival " + std::to_string(i);
            std::shared_ptr<AsmError> error;
            if (lines[i] == 0) {
                error = std::make_shared<AsmRuntimeError>(tag);
            } else {
                AsmSyntaxError e(lineOf(tag, lines[i]), std::string::npos, 0);
                e << tag;
                error = e.shared_ptr_copy();
            }
            inserted.push_back(error);
            list.insert(error);
        }
    }

    // Lines 3 (the first), 3 (the second), 7, 9, then the one without a line.
    std::vector<std::shared_ptr<AsmError>> inLineOrder() const {
        return {inserted[1], inserted[3], inserted[0], inserted[4], inserted[2]};
    }
};

std::string textsOf(const std::vector<std::shared_ptr<AsmError>>& errors) {
    std::string text;
    for (const auto& error : errors)
        text += error->text() + "\n";
    return text;
}

// What the details of a list of these errors read: the final newline removed.
std::string detailsOf(const std::vector<std::shared_ptr<AsmError>>& errors) {
    std::string text = textsOf(errors);
    text.pop_back();
    return text;
}

// Each reader is the first to look at a list filled out of order, through a
// const reference, with no call that asks for the order.
TEST(AsmErrorList, EveryReaderSeesLineOrder) {
    const std::string ordered = textsOf(ArrivalOutOfOrder().inLineOrder());
    const std::string details = detailsOf(ArrivalOutOfOrder().inLineOrder());
    struct Reader {
        const char* name;
        std::function<std::string(const AsmErrorList&)> read;
        std::string want;
    };
    const Reader readers[] = {
        {"iteration",
         [](const AsmErrorList& list) {
             std::vector<std::shared_ptr<AsmError>> seen;
             for (const auto& error : list)
                 seen.push_back(error);
             return textsOf(seen);
         },
         ordered},
        {"operator[]",
         [](const AsmErrorList& list) {
             std::vector<std::shared_ptr<AsmError>> seen;
             for (size_t i = 0; i < list.size(); ++i)
                 seen.push_back(list[i]);
             return textsOf(seen);
         },
         ordered},
        {"getErrors", [](const AsmErrorList& list) { return textsOf(list.getErrors()); }, ordered},
        {"full report",
         [](const AsmErrorList& list) { return list.toStringFullReport("assembler"); },
         "assembler failed with 5 errors:\n" + details},
        {"details", [](const AsmErrorList& list) { return list.toStringDetails(); }, details},
        // Gives only the count for more than one error, so no order to see.
        {"one-line summary",
         [](const AsmErrorList& list) { return list.toStringOneLineSummary("assembler"); },
         "assembler failed with 5 errors"},
    };
    for (const Reader& reader : readers) {
        const ArrivalOutOfOrder errors;
        EXPECT_EQ(reader.read(errors.list), reader.want) << reader.name;
        EXPECT_EQ(errors.list.getErrors(), errors.inLineOrder()) << reader.name;
    }
}

// A read in the middle of filling the list sees the order so far, and an error
// for an earlier line inserted after it goes before what was read.
TEST(AsmErrorList, ReadsBetweenInsertsSeeTheOrderSoFar) {
    AsmErrorList list;
    auto seven = syntaxError(7);
    auto lineless = std::make_shared<AsmRuntimeError>("none");
    list.insert(seven);
    list.insert(lineless);
    EXPECT_EQ(list[0], seven);
    auto three = syntaxError(3);
    list.insert(three);
    EXPECT_EQ(list[0], three);
    EXPECT_EQ(list.toStringDetails(), detailsOf({three, seven, lineless}));
    auto five = syntaxError(5);
    list.insert(five);
    list.insert(syntaxError(9));
    EXPECT_EQ(list[1], five);
    EXPECT_EQ(list[2], seven);
    EXPECT_EQ(list[4], lineless);
}

// Erasing finds an entry whether a reader has put it in place or it still
// waits among the later arrivals, and leaves the others in order.
TEST(AsmErrorList, EraseAfterAndBeforeAReadKeepsTheOrder) {
    ArrivalOutOfOrder errors;
    AsmErrorList& list = errors.list;
    ASSERT_EQ(list.getErrors(), errors.inLineOrder());
    list.erase(errors.inserted[3]); // the second line 3
    EXPECT_EQ(list.getErrors(),
              (std::vector<std::shared_ptr<AsmError>>{errors.inserted[1], errors.inserted[0],
                                                      errors.inserted[4], errors.inserted[2]}));

    auto one = syntaxError(1);
    auto eight = syntaxError(8);
    list.insert(one);
    list.insert(eight);
    list.erase(errors.inserted[4]); // line 9, read before
    list.erase(eight);              // never read
    EXPECT_EQ(list.getErrors(),
              (std::vector<std::shared_ptr<AsmError>>{one, errors.inserted[1], errors.inserted[0],
                                                      errors.inserted[2]}));
    EXPECT_EQ(list.toStringFullReport("assembler"),
              "assembler failed with 4 errors:\n" +
                  detailsOf({one, errors.inserted[1], errors.inserted[0], errors.inserted[2]}));
}

TEST(AsmErrorList, KeepsLineOrderLinelessLast) {
    AsmErrorList list;
    const int order[] = {7, 3, 0, 3, 9};
    std::shared_ptr<AsmError> inserted[5];
    for (int i = 0; i < 5; ++i) {
        inserted[i] =
            order[i] == 0 ? std::make_shared<AsmRuntimeError>("none") : syntaxError(order[i]);
        list.insert(inserted[i]);
    }
    list.insert(nullptr);
    ASSERT_EQ(list.size(), 5u);
    const std::shared_ptr<AsmError> want[] = {inserted[1], inserted[3], inserted[0], inserted[4],
                                              inserted[2]};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list[i], want[i]) << i;

    auto lateLineless = std::make_shared<AsmRuntimeError>("late");
    list.insert(lateLineless);
    auto early = syntaxError(2);
    list.insert(early);
    EXPECT_EQ(list[0], early);
    EXPECT_EQ(list[5], inserted[2]);
    EXPECT_EQ(list[6], lateLineless);
    EXPECT_EQ(list.numberOfErrorSources(), 5u);

    list.erase(std::make_shared<AsmRuntimeError>("none"));
    EXPECT_EQ(list.size(), 7u);
    list.insert(early);
    ASSERT_EQ(list.size(), 8u);
    list.erase(early);
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list[0], early);
    EXPECT_EQ(list[1], inserted[1]);
    list.erase(early);
    EXPECT_EQ(list[0], inserted[1]);

    EXPECT_FALSE(AsmErrorList::sortByLineNr(nullptr, early));
    EXPECT_TRUE(AsmErrorList::sortByLineNr(early, nullptr));
    EXPECT_TRUE(AsmErrorList::sortByLineNr(early, lateLineless));
    EXPECT_FALSE(AsmErrorList::sortByLineNr(lateLineless, early));
}

// Whatever the order of arrival and however reads and erases interleave with
// insertions, the list holds what placing each error after every entry it does
// not precede gives.
TEST(AsmErrorList, OrderMatchesPlacingEachErrorAtItsUpperBound) {
    std::mt19937 random(12345);
    for (int round = 0; round < 50; ++round) {
        AsmErrorList list;
        std::vector<std::shared_ptr<AsmError>> model;
        for (int step = 0; step < 200; ++step) {
            const unsigned action = random() % 16;
            if (action == 0) {
                ASSERT_EQ(list.getErrors(), model) << "round " << round << " step " << step;
            } else if (action == 1 && !model.empty()) {
                auto victim = model[random() % model.size()];
                list.erase(victim);
                model.erase(std::find(model.begin(), model.end(), victim));
            } else {
                // Few distinct lines, so that equal lines keep their arrival order.
                const int line = static_cast<int>(random() % 8);
                auto error =
                    line == 0 ? std::make_shared<AsmRuntimeError>("none") : syntaxError(line);
                if (action == 2 && !model.empty())
                    error = model[random() % model.size()]; // the same object twice
                list.insert(error);
                model.insert(
                    std::upper_bound(model.begin(), model.end(), error, AsmErrorList::sortByLineNr),
                    error);
            }
            ASSERT_EQ(list.size(), model.size());
        }
        ASSERT_EQ(std::vector<std::shared_ptr<AsmError>>(list.begin(), list.end()), model);
    }
}

TEST(AsmErrorList, ReportsAreNotCutAtNulBytes) {
    AsmSyntaxError e(lineOf(std::string("mov 1\0x", 7), 4), 5, 2);
    e << "spurious '" << std::string(1, '\0') << "'";
    // The message keeps its NUL byte; the excerpt shows the line's as \0:
    // three columns under the two bytes.
    const std::string want =
        std::string("a.s:4:5: Syntax error: spurious '\0': \nmov 1\\0x\n-----^^^\n", 56);
    EXPECT_EQ(e.text(), want);
    AsmErrorList list;
    list.insert(e.shared_ptr_copy());
    EXPECT_EQ(list.toStringFullReport("assembler"), "assembler failed with 1 errors:\n" + want);
    std::string summary = want;
    replaceAll(summary, "\n", "\\n");
    EXPECT_EQ(list.toStringOneLineSummary("assembler"), "assembler failed with error: " + summary);
    list.emplace<AsmRuntimeError>("last");
    EXPECT_EQ(list.toStringDetails(), want + "\nlast");
}

TEST(AsmErrorList, ReportTexts) {
    AsmErrorList list;
    EXPECT_EQ(list.toStringFullReport("assembler"), "assembler finished successfully");
    EXPECT_EQ(list.toStringOneLineSummary("assembler"), "assembler finished successfully");
    EXPECT_EQ(list.toStringDetails(), "");

    AsmErrorList runtime;
    runtime.emplace<AsmRuntimeError>("");
    EXPECT_EQ(runtime.toStringFullReport("assembler"), "assembler failed with 1 errors:\n");
    EXPECT_EQ(runtime.numberOfErrorSources(), 0u);
    EXPECT_FALSE(runtime.empty());

    AsmSyntaxError first(lineOf("nop x", 2), 4, 1);
    first << "spurious";
    list.insert(first.shared_ptr_copy());
    const std::string firstText = "a.s:2:4: Syntax error: spurious: \nnop x\n----^\n";
    EXPECT_EQ(list.toStringFullReport("assembler"),
              "assembler failed with 1 errors:\n" + firstText);
    EXPECT_EQ(list.toStringOneLineSummary("assembler"),
              "assembler failed with error: a.s:2:4: Syntax error: spurious: \\nnop x\\n----^\\n");
    EXPECT_EQ(list.toStringDetails(), "");

    list.emplace<AsmProgramTooLongError>("Program too long");
    EXPECT_EQ(list.toStringFullReport("assembler"),
              "assembler failed with 2 errors:\n" + firstText + "\nProgram too long");
    EXPECT_EQ(list.toStringOneLineSummary("assembler"), "assembler failed with 2 errors");
    EXPECT_EQ(list.toStringDetails(), firstText + "\nProgram too long");
}

} // namespace
