// The assembly line parser: turns source lines into statements in its
// container, keeps the ".DEF" symbols and the directive table, collects one
// error per faulty line, and writes statements back as aligned text.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "asmparser/AsmArgument.h"
#include "asmparser/AsmContainer.h"
#include "asmparser/AsmDirective.h"
#include "asmparser/AsmDirectiveProcessor.h"
#include "asmparser/AsmError.h"
#include "asmparser/AsmErrorList.h"
#include "asmparser/AsmInstruction.h"
#include "asmparser/AsmStatement.h"
#include "asmparser/AsmSyntax.h"
#include "asmparser/AsmToken.h"
#include "utils/ObjectPool.h"
#include "utils/SourceLine.h"
#include "utils/SourceReader.h"
#include "utils/StopWatch.h"

class AsmParser {
public:
    struct AsmConfig {
        bool keepComments = false;
        bool keepCommentLines = false;
        bool keepAllDirectives = false;
        bool unparseLabels = true;
        bool addressAsLabel = true;
        bool unparseComments = true;
        bool unparseCommentLines = true;
        bool unparseDirectives = true;
        std::unordered_set<std::string> keptDirectives;
    };

    struct AsmFormat {
        int instructionColumn = 8;
        int argumentColumn = 20;
        int commentColumn = 40;
        int labelColumn = 0;
    };

    struct Symbol {
        AsmToken name;
        AsmToken value;
        int lineNr = 0;
    };

    class IgnoreDirective : public AsmDirectiveProcessor {
    public:
        using AsmDirectiveProcessor::AsmDirectiveProcessor;
        void process(std::shared_ptr<AsmDirective>&) override {}
    };

    // The symbol itself is added by the parser after process() returns.
    class DirectiveSymbolInserter : public AsmDirectiveProcessor {
    public:
        using AsmDirectiveProcessor::AsmDirectiveProcessor;
        void process(std::shared_ptr<AsmDirective>&) override {}
        bool isSymbol() const override { return true; }
    };

    using Timer = StopWatch<std::chrono::system_clock>;
    using SymbolTable = std::unordered_map<std::string, Symbol>;

    AsmSyntax syntax;
    AsmConfig config;
    AsmFormat format;
    std::map<AsmToken, std::shared_ptr<AsmDirectiveProcessor>> directiveProcessors;
    AsmContainer container;
    SymbolTable symbols;
    // Counts since the last start; each stops at INT_MAX instead of wrapping.
    int lines = 0;
    int instructions = 0;
    int directives = 0;
    std::shared_ptr<Timer> parseTimer;
    std::vector<std::shared_ptr<Timer>> timers;
    std::shared_ptr<AsmInstruction> pendingLabel;
    // Statements and operands of one assembly; starts over with the next.
    ObjectPool objects;

    AsmParser();
    explicit AsmParser(const AsmSyntax& syntax);
    AsmParser(const AsmParser&) = delete;
    AsmParser& operator=(const AsmParser&) = delete;

    void init();
    void setSyntax(const AsmSyntax& s);
    void setSyntax(AsmSyntax&& s);

    // Line parser.
    void initializeParsing();
    bool start();
    void processLine(const std::shared_ptr<const SourceLine>& line, AsmErrorList& errors);
    void finish(AsmErrorList& errors);
    unsigned parse(SourceReader& reader, AsmErrorList& errors);
    std::shared_ptr<AsmStatement> parseLine(const std::shared_ptr<const SourceLine>& line);
    void parseComment(std::shared_ptr<AsmStatement>& statement, AsmToken& rest);
    void parseInstruction(std::shared_ptr<AsmInstruction>& instruction, AsmToken& rest);
    std::shared_ptr<AsmArgument> parseArgument(const AsmToken& text);
    void parseArgValue(AsmArgument& argument);
    static long long getArgumentValue(const AsmToken& text, const char* kind);

    // Directives and symbols.
    void setDirectiveProcessor(const std::shared_ptr<AsmDirectiveProcessor>& processor);
    void setDirectiveSymbolInserter(const std::string& keyword);
    void ignoreDirective(const std::string& keyword);
    void parseDirective(std::shared_ptr<AsmDirective>& directive, AsmToken& rest);
    void processDirective(std::shared_ptr<AsmDirective>& directive);
    std::pair<SymbolTable::iterator, bool> addSymbol(const AsmToken& name, const AsmToken& value,
                                                     int lineNr);
    std::pair<SymbolTable::iterator, bool> addSymbol(const AsmDirective& directive);
    void checkSymbolAdd(const std::pair<SymbolTable::iterator, bool>& result,
                        const AsmDirective& directive);
    bool findSymbol(const AsmToken& name, AsmToken& value) const;
    bool resolveSymbol(AsmArgument& argument) const;

    // Writer. col is the current column, advanced by what is written.
    static void alignToColumn(std::ostream& os, int column, int& col);
    static void unparseArgument(std::ostream& os, const AsmArgument& argument);
    static int unparseArgument(std::ostream& os, const AsmArgument& argument, int& col);
    int unparseAddressLabel(std::ostream& os, const AsmToken& label, int& col) const;
    void unparseAddressAsLabel(std::ostream& os, unsigned long address, int& col) const;
    void unparseComment(std::ostream& os, const AsmToken& comment, int& col) const;
    static void unparseDirective(std::ostream& os, const AsmDirective& directive, int& col);
    void unparseInstruction(std::ostream& os, const AsmInstruction& instruction, int& col) const;
    std::ostream& unparseStatement(std::ostream& os, const AsmStatement& statement) const;
    int unparse(std::ostream& os) const;
    int saveUnparsed(const std::string& fileName) const;
    void printTimers() const;
};
