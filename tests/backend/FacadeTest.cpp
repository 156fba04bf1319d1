// The facade Vorel: its section registry, which section receives which line of
// a source, what an assembly returns (count, message, the assembled flag), and
// the entry points that feed the assembly loop from a reader, a string, a
// shared string or a file, and the disassembly into a string.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "BackendTestSupport.h"
#include "Logging.h"
#include "Vorel.h"
#include "asmparser/AsmError.h"
#include "asmparser/AsmErrorList.h"
#include "asmparser/AsmSection.h"
#include "assembler/seq_instr_set.h"
#include "tests/support/CapturedStderr.h"
#include "tests/support/TempFolder.h"
#include "utils/CharArraySourceReader.h"
#include "utils/FileSourceReader.h"
#include "utils/SourceLine.h"
#include "utils/StringSourceReader.h"

namespace {

using Journal = std::vector<std::string>;

// A section that writes every call it gets into a journal shared with the
// other sections of the test: "start N", "N| line text", "finish N", where N is
// its name (by default its directive).
class RecordingSection : public AsmSection {
public:
    RecordingSection(std::string directive, Journal& journal, std::string name = "")
        : directive(std::move(directive)), name(name.empty() ? this->directive : std::move(name)),
          journal(journal) {}

    std::string asmSectionGetDirective() override {
        ++directiveQueries;
        return directive;
    }
    bool asmSectionStart(AsmErrorList& errors) override {
        journal.push_back("start " + name);
        if (!startError.empty())
            errors.emplace<AsmRuntimeError>(startError);
        return startResult;
    }
    bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                               AsmErrorList& errors) override {
        journal.push_back(name + "| " + line->text);
        if (onLine)
            onLine(*line, errors);
        return !stopAt.empty() && line->text == stopAt;
    }
    void asmSectionFinish(AsmErrorList& errors) override {
        journal.push_back("finish " + name);
        if (!finishError.empty())
            errors.emplace<AsmRuntimeError>(finishError);
    }

    std::string directive;
    const std::string name;
    Journal& journal;
    int directiveQueries = 0;
    bool startResult = false;
    // A line with exactly this text asks to stop reading.
    std::string stopAt;
    std::string startError;
    std::string finishError;
    std::function<void(const SourceLine&, AsmErrorList&)> onLine;
};

// A facade that holds only the sections a test registers.
class BareFacade : public Vorel {
public:
    BareFacade() = default;
};

// A facade over the built-in set that, as a wrapper would, overrides the
// assembly loop: it counts the calls and writes its own success text.
class WrappingFacade : public Vorel {
public:
    WrappingFacade() : Vorel(seq_instr_set(), 4096, 64) {}
    using Vorel::assemble;
    int assemble(SourceReader& reader, std::string& message) override {
        ++loops;
        const int result = Vorel::assemble(reader, message);
        if (result == 0)
            message = "wrapper finished successfully";
        return result;
    }
    int loops = 0;
};

// Counts the line reads a consumer asks for.
class CountingReader : public StringSourceReader {
public:
    explicit CountingReader(const std::string& text) : StringSourceReader(text) {}
    std::string nextLineContents() override {
        ++reads;
        return StringSourceReader::nextLineContents();
    }
    int reads = 0;
};

// The journal of an assembly whose sections (directives in key order) got
// the given lines.
Journal framed(const std::vector<std::string>& directives, const Journal& lines) {
    Journal journal;
    for (const auto& d : directives)
        journal.push_back("start " + d);
    journal.insert(journal.end(), lines.begin(), lines.end());
    for (const auto& d : directives)
        journal.push_back("finish " + d);
    return journal;
}

// What the log shows at the given level while the action runs.
std::string logOf(int level, const std::function<void()>& action) {
    const int before = Logging::getLogLevel();
    Logging::setLogLevel(level);
    captureStderr();
    action();
    std::string log = capturedStderr();
    Logging::setLogLevel(before);
    return log;
}

// Open file descriptors of this process; -1 where the system does not list them.
int openFiles() {
    std::error_code ec;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
         it.increment(ec))
        ++count;
    return ec ? -1 : count;
}

std::vector<uint64_t> program(const Vorel& vorel) {
    std::vector<uint64_t> words;
    const SeqAssembler& assembler = *vorel.getAssembler();
    for (uint32_t a = 0; a < assembler.getProgramSize(); ++a)
        words.push_back(assembler.getProcessor()->instructionMemory.read(a));
    return words;
}

class FacadeTest : public testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(3); }
};

// ---- registration ----------------------------------------------------------

TEST_F(FacadeTest, RegistrationIsLoggedAtItsLevel) {
    struct Case {
        const char* directive;
        int level;
        const char* expected; // nullptr: nothing is logged
    };
    const Case cases[] = {
        {".CODE", 3,
         "Vorel::registerAsmSection: duplicate AsmSection handler for directive '.CODE'"},
        {".SIM", 3, "Vorel::registerAsmSection: duplicate AsmSection handler for directive '.SIM'"},
        {".CODE", 2, nullptr},
        {".X", 7, "registered AsmSection handler for directive '.X'"},
        {".X", 6, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.directive) + " at level " + std::to_string(c.level));
        Journal journal;
        RecordingSection section(c.directive, journal);
        Vorel vorel(seq_instr_set(), 4096, 64);
        const std::string log = logOf(c.level, [&] { vorel.registerAsmSection(&section); });
        if (c.expected == nullptr) {
            EXPECT_EQ(log, "");
        } else {
            EXPECT_NE(log.find(std::string(": ") + c.expected + "\n"), std::string::npos) << log;
            EXPECT_EQ(log.find('\n'), log.size() - 1) << "one line: " << log;
        }
    }
}

TEST_F(FacadeTest, DuplicateOfABuiltInSectionIsNeverCalled) {
    Journal journal;
    RecordingSection code(".CODE", journal);
    RecordingSection sim(".SIM", journal);
    Vorel vorel(seq_instr_set(), 4096, 64);
    logOf(3, [&] {
        vorel.registerAsmSection(&code);
        vorel.registerAsmSection(&sim);
    });

    std::string message;
    ASSERT_EQ(vorel.assemble(std::string("nop\n.SIM\nxyz\n.CODE\nstop\n"), message), 0) << message;
    EXPECT_EQ(journal, Journal());
    EXPECT_EQ(program(vorel).size(), 2u) << "the facade's own assembler got the code";
}

TEST_F(FacadeTest, FirstRegistrationOfADirectiveWins) {
    Journal journal;
    RecordingSection code(".CODE", journal);
    RecordingSection first(".X", journal, "first");
    RecordingSection second(".X", journal, "second");
    RecordingSection otherCode(".CODE", journal, "other code");
    BareFacade vorel;
    logOf(3, [&] {
        vorel.registerAsmSection(&code);
        vorel.registerAsmSection(&first);
        vorel.registerAsmSection(&second);
        vorel.registerAsmSection(&otherCode);
    });

    std::string message;
    EXPECT_EQ(vorel.assemble(std::string("a\n.X\nb\n.CODE\nc\n"), message), 0);
    EXPECT_EQ(journal, framed({".CODE", "first"}, {".CODE| a", "first| b", ".CODE| c"}));
}

TEST_F(FacadeTest, DirectiveIsAskedOnceAtRegistration) {
    Journal journal;
    RecordingSection code(".CODE", journal);
    RecordingSection other(".X", journal, "other");
    BareFacade vorel;
    vorel.registerAsmSection(&code);
    vorel.registerAsmSection(&other);
    // A later change of the text is not seen: ".X" still selects the section,
    // ".Y" is an ordinary line.
    other.directive = ".Y";

    std::string message;
    for (int round = 0; round < 2; ++round) {
        journal.clear();
        EXPECT_EQ(vorel.assemble(std::string(".X\na\n.Y\n"), message), 0);
        EXPECT_EQ(journal, framed({".CODE", "other"}, {"other| a", "other| .Y"}));
    }
    EXPECT_EQ(code.directiveQueries, 1);
    EXPECT_EQ(other.directiveQueries, 1);
}

// ---- routing ---------------------------------------------------------------

TEST_F(FacadeTest, SectionsAreStartedAndFinishedInByteOrderOfTheirDirectives) {
    Journal journal;
    RecordingSection sections[] = {
        {".SIM", journal}, {".a", journal}, {".CODE", journal}, {".Z", journal}, {".B", journal}};
    BareFacade vorel;
    for (auto& s : sections)
        vorel.registerAsmSection(&s);

    const std::vector<std::string> order = {".B", ".CODE", ".SIM", ".Z", ".a"};
    std::string message;
    EXPECT_EQ(vorel.assemble(std::string(""), message), 0);
    EXPECT_EQ(journal, framed(order, {}));

    journal.clear();
    EXPECT_EQ(vorel.assemble(std::string("x\n.a\ny\n.Z\nz\n.A\n.z\n"), message), 0);
    EXPECT_EQ(journal, framed(order, {".CODE| x", ".a| y", ".Z| z", ".Z| .A", ".Z| .z"}));
}

TEST_F(FacadeTest, LinesGoToTheSectionOfTheLatestDirective) {
    struct Case {
        const char* what;
        const char* source;
        Journal lines;
    };
    const Case cases[] = {
        {"without a directive everything is code",
         "nop\n\n  stop # end",
         {".CODE| nop", ".CODE| ", ".CODE|   stop # end"}},
        {".SIM after leading blanks switches, .CODE switches back",
         "a\n   .SIM\nb\nc\n.CODE\nd",
         {".CODE| a", ".SIM| b", ".SIM| c", ".CODE| d"}},
        {"tabs around the directive", "\t.SIM\t\nb\n \t.CODE\t \nc", {".SIM| b", ".CODE| c"}},
        {".CODE followed by a comment switches and the comment is dropped",
         ".SIM\nx\n.CODE # back to code\ny",
         {".SIM| x", ".CODE| y"}},
        {"the rest after a section directive is dropped without error",
         ".SIM, 1, 2\nx\n.CODE: y\nz\n.SIM#c\nw",
         {".SIM| x", ".CODE| z", ".SIM| w"}},
        {"a directive of the current section is no change",
         ".CODE\na\n.CODE\nb",
         {".CODE| a", ".CODE| b"}},
        {".CPU and .END are dropped, the lines after .END are still read",
         ".CPU vorel\na\n.END\nb\n  .END # again\nc",
         {".CODE| a", ".CODE| b", ".CODE| c"}},
        {".END keeps the current section", ".SIM\n.END\nx\n.CPU\ny", {".SIM| x", ".SIM| y"}},
        {"lower-case directives are ordinary lines",
         ".code\n.sim\n.cpu\n.end",
         {".CODE| .code", ".CODE| .sim", ".CODE| .cpu", ".CODE| .end"}},
        {"lower-case .code reaches the simulator section when it is current",
         ".SIM\n.code\nx",
         {".SIM| .code", ".SIM| x"}},
        {"directives no section registered go to the current section",
         ".FOO 1\n.DEF X 1\n.SIM\n.DEF Y 2\n.BAR",
         {".CODE| .FOO 1", ".CODE| .DEF X 1", ".SIM| .DEF Y 2", ".SIM| .BAR"}},
        {"words that only begin like a directive",
         ".SIMX\n.SIM.X\n..SIM\n.\n.1\nlabel: .SIM\n.CODE-2\n.ENDING\n.CPU_\n# .SIM",
         {".CODE| .SIMX", ".CODE| .SIM.X", ".CODE| ..SIM", ".CODE| .", ".CODE| .1",
          ".CODE| label: .SIM", ".CODE| .CODE-2", ".CODE| .ENDING", ".CODE| .CPU_",
          ".CODE| # .SIM"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Journal journal;
        RecordingSection code(".CODE", journal);
        RecordingSection sim(".SIM", journal);
        BareFacade vorel;
        vorel.registerAsmSection(&sim);
        vorel.registerAsmSection(&code);
        std::string message;
        EXPECT_EQ(vorel.assemble(std::string(c.source), message), 0);
        EXPECT_EQ(journal, framed({".CODE", ".SIM"}, c.lines));
    }
}

TEST_F(FacadeTest, EveryAssemblyBeginsInTheCodeSection) {
    Journal journal;
    RecordingSection code(".CODE", journal);
    RecordingSection sim(".SIM", journal);
    BareFacade vorel;
    vorel.registerAsmSection(&code);
    vorel.registerAsmSection(&sim);
    std::string message;
    vorel.assemble(std::string("a\n.SIM\nb\n"), message);
    journal.clear();
    vorel.assemble(std::string("c\n"), message);
    EXPECT_EQ(journal, framed({".CODE", ".SIM"}, {".CODE| c"}));
}

TEST_F(FacadeTest, SectionAskingToStopEndsTheReading) {
    struct Case {
        const char* what;
        const char* source;
        Journal lines;
        int reads;
    };
    const Case cases[] = {
        {"in the code section", "a\nSTOP\nb\n.SIM\nc", {".CODE| a", ".CODE| STOP"}, 2},
        {"in the simulator section", "a\n.SIM\nSTOP\nb\n.CODE\nc", {".CODE| a", ".SIM| STOP"}, 3},
        {"at the first line", "STOP\nSTOP\n", {".CODE| STOP"}, 1},
        {"no line asks", "a\n.SIM\nb", {".CODE| a", ".SIM| b"}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Journal journal;
        RecordingSection code(".CODE", journal);
        RecordingSection sim(".SIM", journal);
        code.stopAt = sim.stopAt = "STOP";
        BareFacade vorel;
        vorel.registerAsmSection(&code);
        vorel.registerAsmSection(&sim);
        CountingReader reader(c.source);
        std::string message;
        EXPECT_EQ(vorel.assemble(reader, message), 0);
        EXPECT_EQ(journal, framed({".CODE", ".SIM"}, c.lines));
        EXPECT_EQ(reader.reads, c.reads) << "lines read from the source";
    }
}

TEST_F(FacadeTest, SectionThatCannotWorkIsStillFedAndFinished) {
    Journal journal;
    RecordingSection code(".CODE", journal);
    RecordingSection sim(".SIM", journal);
    code.startResult = sim.startResult = true;
    BareFacade vorel;
    vorel.registerAsmSection(&code);
    vorel.registerAsmSection(&sim);
    std::string message = "kept";
    EXPECT_EQ(vorel.assemble(std::string("a\n.SIM\nb"), message), 0)
        << "only a recorded error fails an assembly";
    EXPECT_EQ(message, "kept");
    EXPECT_EQ(journal, framed({".CODE", ".SIM"}, {".CODE| a", ".SIM| b"}));
}

// ---- results ---------------------------------------------------------------

TEST_F(FacadeTest, ErrorsRecordedBySectionsCountOnceEach) {
    struct Case {
        const char* what;
        const char* startError;
        const char* lineError; // recorded for the line "bad"
        const char* finishError;
        const char* source;
        int result;
        const char* message;
    };
    const Case cases[] = {
        {"at start", "cannot start", "", "", "", 1,
         "assembler failed with 1 errors:\ncannot start"},
        {"at finish", "", "", "cannot finish", "a", 1,
         "assembler failed with 1 errors:\ncannot finish"},
        {"from a line", "", "bad line", "", "a\nbad\nb", 1,
         "assembler failed with 1 errors:\nbad line"},
        {"in every step", "one", "two", "three", "bad\nbad", 4,
         "assembler failed with 4 errors:\none\ntwo\ntwo\nthree"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Journal journal;
        RecordingSection code(".CODE", journal);
        code.startError = c.startError;
        code.finishError = c.finishError;
        const std::string lineError = c.lineError;
        code.onLine = [&](const SourceLine& line, AsmErrorList& errors) {
            if (line.text == "bad")
                errors.emplace<AsmRuntimeError>(lineError);
        };
        BareFacade vorel;
        vorel.registerAsmSection(&code);
        std::string message = "before";
        EXPECT_EQ(vorel.assemble(std::string(c.source), message), c.result);
        EXPECT_EQ(message, c.message);
        EXPECT_FALSE(vorel.isAssembled());
    }
}

TEST_F(FacadeTest, ErrorWithSeveralSourceReferencesCountsOnce) {
    Journal journal;
    RecordingSection code(".CODE", journal);
    code.onLine = [](const SourceLine& line, AsmErrorList& errors) {
        auto shared = std::make_shared<const SourceLine>(line);
        auto error = std::make_shared<AsmSyntaxError>(shared, 0, 1);
        error->addErrorInfo(SourceErrorRef(shared, 2, 1));
        ASSERT_EQ(error->numberOfErrorSources(), 2u);
        errors.insert(error);
    };
    BareFacade vorel;
    vorel.registerAsmSection(&code);
    std::string message;
    EXPECT_EQ(vorel.assemble(std::string("a b"), message), 1);
    EXPECT_EQ(message.rfind("assembler failed with 1 errors:\n", 0), 0u) << message;
}

TEST_F(FacadeTest, EmptySourceStartsAndFinishesEverySection) {
    Vorel vorel(seq_instr_set(), 4096, 64);
    std::string message = "before";
    std::string log = logOf(7, [&] { EXPECT_EQ(vorel.assemble(std::string(""), message), 0); });
    EXPECT_EQ(message, "before");
    EXPECT_TRUE(vorel.isAssembled());
    EXPECT_EQ(vorel.getAssembler()->getProgramSize(), 0u);

    size_t at = 0;
    for (const char* expected :
         {"starting section '.CODE'", "starting section '.SIM'", "finishing section '.CODE'",
          "finishing section '.SIM'", "assembly completed"}) {
        const size_t found = log.find(std::string(": ") + expected + "\n", at);
        ASSERT_NE(found, std::string::npos) << expected << " after offset " << at << "\n" << log;
        at = found;
    }
}

TEST_F(FacadeTest, SwitchesAndFailuresAreLogged) {
    Vorel vorel(seq_instr_set(), 4096, 64);
    std::string message;
    const std::string log =
        logOf(6, [&] { vorel.assemble(std::string("xyz\n.SIM\n.CODE\nqqq\n"), message); });
    for (const char* expected : {": found section '.SIM'\n", ": found section '.CODE'\n",
                                 ": assembly failed with 2 errors\n"})
        EXPECT_NE(log.find(expected), std::string::npos) << expected << "\n" << log;
    EXPECT_EQ(log.find("starting section"), std::string::npos) << "a debug line at info level";
}

TEST_F(FacadeTest, ResultOfTheBuiltInSections) {
    struct Case {
        const char* what;
        const char* source;
        int result;
        size_t words;                   // of the program, on success
        std::vector<const char*> texts; // in the report, in this order
    };
    const Case cases[] = {
        {"lines of the simulator section are not assembled",
         ".SIM\nxyz 1, 2\n.CODE\nnop\nstop",
         0,
         2,
         {}},
        {"lines after .END are assembled", "nop\n.END\nstop\n", 0, 2, {}},
        {"lines after .END are assembled, with their errors",
         "nop\n.END\nxyz\n",
         1,
         0,
         {"instruction 'xyz' not found"}},
        {"lower-case .code is an unsupported directive",
         "nop\n.code X 1\nstop\n",
         1,
         0,
         {"AsmParser: directive '.code' not supported"}},
        {"two faulty lines",
         "xyz\nnop\nnop R1\n",
         2,
         0,
         {"instruction 'xyz' not found",
          "Instruction \"nop\" does not support argument signature"}},
        {"dropped and skipped lines keep their numbers",
         "nop R1\n.SIM\nx\n.CODE\n.END\nbogus\n",
         2,
         0,
         {"line 1 ", "Instruction \"nop\" does not support",
          "line 6 column 0: Syntax error: instruction 'bogus' not found"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Vorel vorel(seq_instr_set(), 4096, 64);
        std::string message = "before";
        ASSERT_EQ(vorel.assemble(std::string(c.source), message), c.result) << message;
        if (c.result == 0) {
            EXPECT_EQ(message, "before");
            EXPECT_EQ(vorel.getAssembler()->getProgramSize(), c.words);
            continue;
        }
        const std::string title =
            "assembler failed with " + std::to_string(c.result) + " errors:\n";
        EXPECT_EQ(message.rfind(title, 0), 0u) << message;
        size_t at = title.size();
        for (const char* text : c.texts) {
            const size_t found = message.find(text, at);
            ASSERT_NE(found, std::string::npos) << text << "\n" << message;
            at = found;
        }
    }
}

TEST_F(FacadeTest, ReportIsTheFullReportOfTheErrors) {
    // The same source assembled without the facade gives the oracle list.
    for (const char* source : {"xyz\nnop\nnop R1\n", "nop\nbogus 1\n", "jmp\n\n\nwait 1\n"}) {
        SCOPED_TRACE(source);
        AssemblerRig rig;
        const int expected = rig.assemble(source);
        ASSERT_GT(expected, 0);
        Vorel vorel(seq_instr_set(), 4096, 64);
        std::string message;
        EXPECT_EQ(vorel.assemble(std::string(source), message), expected);
        EXPECT_EQ(message, rig.errors.toStringFullReport("assembler"));
    }
}

TEST_F(FacadeTest, ReaderThatCannotStart) {
    struct Case {
        const char* what;
        std::function<std::unique_ptr<SourceReader>()> reader;
        const char* message;
    };
    const Case cases[] = {
        {"missing file",
         [] { return std::make_unique<FileSourceReader>("/nonexistent-vorel-dir/prog.s"); },
         "Could not open input file '/nonexistent-vorel-dir/prog.s' for reading"},
        {"empty file name", [] { return std::make_unique<FileSourceReader>(""); },
         "Could not open input file '' for reading"},
        {"no character array", [] { return std::make_unique<CharArraySourceReader>(); },
         "Empty character array source"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Journal journal;
        RecordingSection other(".AUX", journal);
        Vorel vorel(seq_instr_set(), 4096, 64);
        vorel.registerAsmSection(&other);
        std::string message;

        // Once before any success, once after one.
        for (const bool assembledBefore : {false, true}) {
            if (assembledBefore) {
                ASSERT_EQ(vorel.assemble(std::string("nop\nstop\n"), message), 0);
                journal.clear();
            }
            auto reader = c.reader();
            message = "previous text";
            std::string log = logOf(8, [&] { EXPECT_EQ(vorel.assemble(*reader, message), 1); });
            EXPECT_EQ(message, c.message);
            EXPECT_EQ(log, "") << "nothing is logged";
            EXPECT_EQ(journal, Journal()) << "no section is started";
            EXPECT_EQ(vorel.isAssembled(), assembledBefore);
            EXPECT_EQ(vorel.getAssembler()->getProgramSize(), assembledBefore ? 2u : 0u)
                << "the program of the assembly before stays";
        }
    }
}

TEST_F(FacadeTest, AssemblyAfterAFailedOneStartsFromAnEmptyErrorList) {
    Vorel vorel(seq_instr_set(), 4096, 64);
    std::string message;
    ASSERT_EQ(vorel.assemble(std::string("xyz\nabc\n"), message), 2);
    EXPECT_EQ(vorel.assemble(std::string("nop\nqqq\n"), message), 1);
    EXPECT_EQ(message.rfind("assembler failed with 1 errors:\n", 0), 0u) << message;
    EXPECT_NE(message.find("'qqq'"), std::string::npos) << message;
    EXPECT_EQ(message.find("'xyz'"), std::string::npos) << message;

    const std::string report = message;
    EXPECT_EQ(vorel.assemble(std::string("nop\n"), message), 0);
    EXPECT_EQ(message, report) << "a success leaves the message as it was";
    EXPECT_EQ(program(vorel).size(), 1u);
}

TEST_F(FacadeTest, AssembledTurnsTrueAtTheFirstSuccessAndStays) {
    struct Step {
        const char* source;
        int result;
        bool assembled;
    };
    const Step steps[] = {
        {"xyz\n", 1, false}, {"stop\n", 0, true},  {"xyz\nqqq\n", 2, true},
        {"", 0, true},       {"bogus\n", 1, true},
    };
    Vorel vorel(seq_instr_set(), 4096, 64);
    EXPECT_FALSE(vorel.isAssembled());
    for (const Step& s : steps) {
        SCOPED_TRACE(s.source);
        std::string message;
        EXPECT_EQ(vorel.assemble(std::string(s.source), message), s.result);
        EXPECT_EQ(vorel.isAssembled(), s.assembled);
    }
}

TEST_F(FacadeTest, SimulationWaitsForTheFirstSuccess) {
    Logging::setLogLevel(2); // the simulator logs an interrupted run at level 3
    Vorel vorel(seq_instr_set(), 4096, 64);
    const SeqSim& sim = *vorel.getSimulator();
    std::string message;

    EXPECT_EQ(vorel.simulate(100), 1);
    ASSERT_EQ(vorel.assemble(std::string("stop\nxyz\n"), message), 1);
    EXPECT_EQ(vorel.simulate(100), 1);
    EXPECT_EQ(sim.runTimers.size(), 0u) << "nothing was simulated";

    ASSERT_EQ(vorel.assemble(std::string("nop\nnop\nstop\n"), message), 0);
    EXPECT_EQ(vorel.simulate(100), 0);
    EXPECT_EQ(sim.runTimers.size(), 1u);
    EXPECT_EQ(sim.instructionCount, 3u);
    EXPECT_EQ(vorel.simulate(1), 1) << "the limit is passed on";
    EXPECT_EQ(sim.runTimers.size(), 2u);

    // A later failure does not stop the simulation of what memory holds.
    ASSERT_EQ(vorel.assemble(std::string("xyz\n"), message), 1);
    vorel.simulate(100);
    EXPECT_EQ(sim.runTimers.size(), 3u);
}

// ---- entry points ----------------------------------------------------------

TEST_F(FacadeTest, EveryEntryPointRunsTheOverriddenLoop) {
    const std::string source = "move 1, R1\nadd R1, 2, R3\nstop\n";
    AssemblerRig rig;
    ASSERT_EQ(rig.assemble(source), 0);
    const std::vector<uint64_t> expected = {rig.word(0), rig.word(1), rig.word(2)};

    const TempFolder dir;
    const std::string path = dir / "entry.s";
    writeFile(path, source);
    struct Case {
        const char* what;
        std::function<int(WrappingFacade&, std::string&)> run;
    };
    const Case cases[] = {
        {"reader",
         [&](WrappingFacade& v, std::string& m) {
             StringSourceReader reader(source);
             return v.assemble(static_cast<SourceReader&>(reader), m);
         }},
        {"string", [&](WrappingFacade& v, std::string& m) { return v.assemble(source, m); }},
        {"shared string",
         [&](WrappingFacade& v, std::string& m) {
             return v.assemble(std::make_shared<const std::string>(source), m);
         }},
        {"file", [&](WrappingFacade& v, std::string& m) { return v.assembleFile(path, m); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WrappingFacade vorel;
        std::string message = "before";
        EXPECT_EQ(c.run(vorel, message), 0);
        EXPECT_EQ(vorel.loops, 1);
        EXPECT_EQ(message, "wrapper finished successfully");
        EXPECT_EQ(program(vorel), expected);
    }
}

// Lines are made in a pool of the facade while it reads; a section may keep
// them past the next assembly and past the facade itself.
TEST_F(FacadeTest, LinesKeptBySectionsOutliveAssembliesAndTheFacade) {
    class KeepingSection : public AsmSection {
    public:
        std::string asmSectionGetDirective() override { return ".CODE"; }
        bool asmSectionStart(AsmErrorList&) override { return false; }
        bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                                   AsmErrorList&) override {
            kept.push_back(line);
            return false;
        }
        void asmSectionFinish(AsmErrorList&) override {}
        std::vector<std::shared_ptr<const SourceLine>> kept;
    };
    KeepingSection code;
    StringSourceReader second("move 2, R2 # a text beyond the small-string room\nnop");
    {
        BareFacade vorel;
        vorel.registerAsmSection(&code);
        std::string message;
        EXPECT_EQ(vorel.assemble(std::string("move 1, R1 # first\nstop"), message), 0);
        EXPECT_EQ(vorel.assemble(second, message), 0);
        EXPECT_EQ(second.getLinePool(), nullptr) << "the reader is left as it was given";
    }
    Journal texts;
    for (const auto& line : code.kept)
        texts.push_back(std::to_string(line->lineNr) + " " + line->text);
    EXPECT_EQ(texts, (Journal{"1 move 1, R1 # first", "2 stop",
                              "1 move 2, R2 # a text beyond the small-string room", "2 nop"}));
}

TEST_F(FacadeTest, SharedSourceIsReadInPlaceAndAStringSourceIsCopied) {
    struct Case {
        const char* what;
        bool shared;
        const char* secondLine;
    };
    const Case cases[] = {{"shared string", true, "c"}, {"string", false, "b"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto text = std::make_shared<std::string>("a\nb\n");
        Journal journal;
        RecordingSection code(".CODE", journal);
        // While the first line is handled, the caller's text changes.
        code.onLine = [&](const SourceLine& line, AsmErrorList&) {
            if (line.text == "a")
                (*text)[2] = 'c';
        };
        BareFacade vorel;
        vorel.registerAsmSection(&code);
        std::string message;
        if (c.shared)
            EXPECT_EQ(vorel.assemble(std::shared_ptr<const std::string>(text), message), 0);
        else
            EXPECT_EQ(vorel.assemble(*text, message), 0);
        EXPECT_EQ(journal, framed({".CODE"}, {".CODE| a", std::string(".CODE| ") + c.secondLine}));
        EXPECT_EQ(text.use_count(), 1) << "the facade keeps no reference";
    }
}

TEST_F(FacadeTest, AssembleFile) {
    struct Case {
        const char* what;
        const char* contents; // nullptr: no such file
        int result;
        const char* messageStart;
    };
    const Case cases[] = {
        {"missing file", nullptr, 1, "Could not open input file '"},
        {"program", "nop\n.SIM\nignored\n.CODE\nstop\n", 0, "before"},
        {"empty file", "", 0, "before"},
        {"faulty program", "nop\nxyz\n", 1, "assembler failed with 1 errors:\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TempFolder dir;
        const std::string path = dir / "file.s";
        if (c.contents != nullptr)
            writeFile(path, c.contents);
        Vorel vorel(seq_instr_set(), 4096, 64);
        std::string message = "before";
        const int filesBefore = openFiles();
        EXPECT_EQ(vorel.assembleFile(path, message), c.result);
        EXPECT_EQ(openFiles(), filesBefore) << "the file is released on return";
        EXPECT_EQ(message.rfind(c.messageStart, 0), 0u) << message;
        if (c.contents == nullptr) {
            EXPECT_EQ(message, "Could not open input file '" + path + "' for reading");
        }
    }
}

TEST_F(FacadeTest, DisassembleReplacesTheTextAndCountsUnknownWords) {
    Vorel vorel(seq_instr_set(), 4096, 64);
    SeqAssembler& assembler = *vorel.getAssembler();
    std::string text = "left from before";
    EXPECT_EQ(vorel.disassemble(text), 0);
    EXPECT_EQ(text, "") << "an empty program";

    // The count does not depend on an assembly having succeeded.
    assembler.writeInstructionMem(0, 31ull << 59); // an opcode with no variations
    EXPECT_FALSE(vorel.isAssembled());
    EXPECT_EQ(vorel.disassemble(text), 1);
    EXPECT_NE(text.find("UNKNOWN_opcode_31"), std::string::npos) << text;

    std::string message;
    ASSERT_EQ(vorel.assemble(std::string("nop\nstop\n"), message), 0);
    text = "left from before";
    EXPECT_EQ(vorel.disassemble(text), 0);
    std::ostringstream direct;
    assembler.disassemble(direct);
    EXPECT_EQ(text, direct.str());
    EXPECT_EQ(text.find("left"), std::string::npos) << text;

    struct Case {
        uint64_t word;
        const char* name;
        int unknown; // words counted after this one was appended
    };
    const Case cases[] = {
        {31ull << 59, "UNKNOWN_opcode_31", 1},
        {1ull << 58, "illegal_UNKNOWN_select_1", 2}, // opcode 0 has select 0 only
        {2ull << 59, "nop", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        assembler.writeInstructionMem(assembler.getProgramSize(), c.word);
        EXPECT_EQ(vorel.disassemble(text), c.unknown);
        const size_t lastLine = text.rfind('\n', text.size() - 2);
        EXPECT_NE(text.find(c.name, lastLine), std::string::npos) << text;
    }
}

} // namespace
