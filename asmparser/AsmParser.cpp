#include "asmparser/AsmParser.h"

#include <iomanip>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "Logging.h"
#include "utils/CharFilter.h"
#include "utils/SafeFileWrite.h"
#include "utils/StringUtils.h"

namespace {

// Symbol lines are debug detail: written at level 7, but only at verbose.
bool symbolDebug() {
    return Logging::getLogLevel() > 7;
}

// Lines handed in one by one may outnumber those of any source; a count
// stops at its largest value rather than wrap.
void countOne(int& counter) {
    if (counter < std::numeric_limits<int>::max())
        ++counter;
}

bool isAll(const CharFilter& filter, const AsmToken& token) {
    return filter.accept(token.data(), token.size());
}

// An identifier: a first byte of identifierStart, then identifier bytes.
bool isIdentifier(const AsmSyntax& syntax, const AsmToken& token) {
    return !token.empty() && syntax.identifierStart.accept(token.front()) &&
           isAll(syntax.identifier, token);
}

// Where a scan found no token: the rest of the line from there, for the
// comment step to report, unless it is a comment. A comment in that place is
// not kept (only comments after operands and directive values are), so it
// becomes the empty token at the stop.
AsmToken textAfterStop(const AsmSyntax& syntax, const AsmToken& stop) {
    AsmToken rest(stop.line, stop.start);
    rest.stripFront();
    if (rest.empty() || rest.front() == syntax.commentChar)
        return AsmToken(stop.line, stop.start, 0);
    return rest;
}

} // namespace

AsmParser::AsmParser() {
    init();
}

AsmParser::AsmParser(const AsmSyntax& s) : syntax(s) {
    init();
}

void AsmParser::init() {
    for (const std::string& keyword : syntax.symbolDirectives)
        setDirectiveSymbolInserter(keyword);
    for (const std::string& keyword : syntax.ignoredDirectives)
        ignoreDirective(keyword);
    parseTimer = std::make_shared<Timer>("parse", "source line");
    timers.push_back(parseTimer);
}

void AsmParser::setSyntax(const AsmSyntax& s) {
    syntax = s;
}

void AsmParser::setSyntax(AsmSyntax&& s) {
    syntax = std::move(s);
}

// ---------------------------------------------------------------------------
// Line parser

void AsmParser::initializeParsing() {
    symbols.clear();
    container.clear();
    lines = 0;
    instructions = 0;
    directives = 0;
    pendingLabel.reset();
    objects.renew();
    parseTimer->reset();
}

bool AsmParser::start() {
    initializeParsing();
    parseTimer->start();
    return true;
}

void AsmParser::processLine(const std::shared_ptr<const SourceLine>& line, AsmErrorList& errors) {
    try {
        std::shared_ptr<AsmStatement> statement = parseLine(line);
        if (!statement)
            return;
        switch (statement->type) {
        case AsmType::EMPTY:
            break;
        case AsmType::COMMENT_ONLY:
            if (config.keepCommentLines)
                container.push_back(statement);
            break;
        case AsmType::LABEL_ONLY: {
            if (!vorel::statementAs<AsmInstruction>(statement.get()))
                THROW_BUG("AsmStatement of AsmType::LABEL_ONLY is not an instance of the "
                          "AsmInstruction class");
            pendingLabel = std::static_pointer_cast<AsmInstruction>(statement);
            break;
        }
        case AsmType::DIRECTIVE: {
            auto* directive = vorel::statementAs<AsmDirective>(statement.get());
            if (!directive)
                THROW_BUG("AsmStatement of AsmType::DIRECTIVE is not an instance of the "
                          "AsmDirective class");
            if (config.keepAllDirectives ||
                (!config.keptDirectives.empty() &&
                 config.keptDirectives.count(directive->keyword.toString()) != 0))
                container.push_back(std::move(statement));
            break;
        }
        case AsmType::INSTRUCTION: {
            auto* instruction = vorel::statementAs<AsmInstruction>(statement.get());
            if (!instruction)
                THROW_BUG("AsmStatement of AsmType::INSTRUCTION is not an instance of the "
                          "AsmInstruction class");
            if (pendingLabel) {
                instruction->setAddressLabel(pendingLabel->addressLabel);
                pendingLabel.reset();
            }
            container.push_back(std::move(statement));
            break;
        }
        default: {
            THROW_BUG("Unknown AsmType " << static_cast<unsigned>(statement->type) << " in "
                                         << line->getSourceRef() << ": " << line->text);
        }
        }
    } catch (AsmError& e) {
        errors.insert(e.shared_ptr_copy());
    }
}

void AsmParser::finish(AsmErrorList& errors) {
    if (pendingLabel) {
        auto error =
            std::make_shared<AsmSyntaxError>(pendingLabel->sourceLine, std::string::npos, 0);
        *error << "Label-only line without associated instruction line (expected after the "
                  "label-only line)";
        errors.insert(error);
    }
    parseTimer->stop();
    parseTimer->count = static_cast<unsigned int>(lines);
}

unsigned AsmParser::parse(SourceReader& reader, AsmErrorList& errors) {
    initializeParsing();
    parseTimer->start();
    std::string message;
    if (!reader.start(message)) {
        errors.insert(std::make_shared<AsmRuntimeError>(message));
        return 1;
    }
    for (std::shared_ptr<const SourceLine> line = reader.nextLine(false); line;
         line = reader.nextLine(false))
        processLine(line, errors);
    finish(errors);
    reader.finish();
    return static_cast<unsigned>(errors.numberOfErrorSources());
}

std::shared_ptr<AsmStatement> AsmParser::parseLine(const std::shared_ptr<const SourceLine>& line) {
    countOne(lines);
    AsmToken label;
    std::shared_ptr<AsmStatement> result;
    if (!line)
        return result;
    AsmToken token(line);
    token.stripFront();
    if (token.empty())
        return result;

    syntax.filter2Token(token, syntax.firstToken);
    if (token.empty()) {
        // Only comment lines may begin with a byte that starts no word; any
        // other such line is a typo, and dropping it would lose a statement.
        if (line->text[token.start] == syntax.lineCommentChar)
            return result;
        token = textAfterStop(syntax, token);
    }

    if (token.size() >= 2 && token.front() == syntax.directiveChar &&
        isAll(syntax.directive, token)) {
        auto directive = objects.make<AsmDirective>(line, token);
        token.next();
        parseDirective(directive, token);
        result = std::move(directive);
    } else {
        if (isIdentifier(syntax, token)) {
            AsmToken after(line, token.end);
            after.stripFront();
            syntax.filter2Token(after, syntax.firstToken);
            if (after.size() == 1 && after.front() == syntax.labelEndChar) {
                label = token;
                if (CharFilters::isDigit.accept(label.front()))
                    throw AsmSyntaxError(label)
                        << "AsmParser: first character of address label can not be numeric";
                token = AsmToken(line, after.end);
                token.stripFront();
                syntax.filter2Token(token, syntax.firstToken);
                if (token.empty())
                    token = textAfterStop(syntax, token);
            }
        }
        if (isAll(syntax.mnemonic, token)) {
            auto instruction = objects.make<AsmInstruction>(token);
            token.next();
            parseInstruction(instruction, token);
            // The statement lives to the end of the run; the room reserved for
            // operands while parsing is not kept with it.
            instruction->arguments.shrink_to_fit();
            if (!label.empty())
                instruction->setAddressLabel(label);
            result = std::move(instruction);
        } else if (!label.empty()) {
            auto labelOnly = objects.make<AsmInstruction>(line, AsmType::LABEL_ONLY);
            labelOnly->setAddressLabel(label);
            result = std::move(labelOnly);
        }
    }
    parseComment(result, token);
    return result;
}

void AsmParser::parseComment(std::shared_ptr<AsmStatement>& statement, AsmToken& rest) {
    rest.stripFront();
    if (rest.empty())
        return;
    const std::string& text = rest.line->text;
    const size_t length = text.size();
    if (CharFilters::isEndOfLine.accept(rest.front()))
        return;
    if (rest.front() != syntax.commentChar)
        // The error reaches to the end of the line: all of it is unexpected.
        throw AsmSyntaxError(rest.line, rest.start, length - rest.start)
            << "AsmParser: spurious characters after statement";

    // The comment is the text after the comment character up to the line end.
    auto scanComment = [&](size_t from) {
        while (from < length && syntax.commentText.accept(text[from]))
            ++from;
        return from;
    };
    AsmToken comment(rest.line, rest.start + 1);
    comment.stripFront();
    comment.end = scanComment(comment.start);

    // Lines joined by a reader: the comments that follow on the next lines
    // belong to the same comment.
    if (rest.line->lineNr > 0 && text.find('\n') != std::string::npos) {
        for (;;) {
            size_t p = comment.end;
            while (p < length && CharFilters::isSpace.accept(text[p]))
                ++p;
            if (p >= length || text[p] != syntax.commentChar)
                break;
            comment.end = scanComment(p + 1);
        }
    }
    rest = AsmToken(rest.line, comment.end);

    if (!config.keepComments)
        return;
    if (statement)
        statement->setComment(comment);
    else if (config.keepCommentLines)
        statement = objects.make<AsmStatement>(comment);
}

void AsmParser::parseInstruction(std::shared_ptr<AsmInstruction>& instruction, AsmToken& rest) {
    countOne(instructions);
    bool afterSeparator = false;
    for (;;) {
        syntax.filter2Token(rest, syntax.argument);
        if (rest.empty()) {
            // A separator promises an argument: an operand that is missing
            // there is an error, not one silently dropped.
            if (afterSeparator)
                throw AsmSyntaxError(rest.line, rest.start, 1) << "Invalid argument";
            rest = textAfterStop(syntax, rest);
            return;
        }
        std::shared_ptr<AsmArgument> argument = parseArgument(rest);
        if (argument)
            instruction->arguments.push_back(std::move(argument));
        rest.next();
        if (rest.empty() || rest.front() != syntax.separatorChar)
            return;
        rest = AsmToken(rest.line, rest.start + 1);
        afterSeparator = true;
    }
}

std::shared_ptr<AsmArgument> AsmParser::parseArgument(const AsmToken& text) {
    auto argument = objects.make<AsmArgument>(text);
    if (text.size() >= 2 && text.front() == syntax.symbolChar) {
        AsmToken name = text.substr(1);
        if (!isIdentifier(syntax, name))
            throw AsmSyntaxError(text) << "Invalid symbol name";
        argument->symbol = name;
        if (!resolveSymbol(*argument))
            throw AsmUnresolvedSymbolError(name);
        if (symbolDebug())
            Logging::write(7, "parsing: line %d, lookup of symbol '%s' gave value '%s'",
                           text.lineNr(), name.toString().c_str(),
                           vorel::loggable(argument->text.toString()).c_str());
    }
    parseArgValue(*argument);
    return argument;
}

void AsmParser::parseArgValue(AsmArgument& argument) {
    const AsmToken& text = argument.text;
    const size_t n = text.size();
    if (n == 0)
        throw AsmSyntaxError(text) << "Invalid argument";
    if (n >= 2 && text.front() == syntax.labelRefChar) {
        AsmToken name = text.substr(1);
        if (!isIdentifier(syntax, name))
            throw AsmSyntaxError(name) << "Invalid address label reference";
        argument.label = name;
        argument.registerName = '#';
        return;
    }
    if (n >= 2 && CharFilters::isAlpha.accept(text[0]) && CharFilters::isDigit.accept(text[1])) {
        argument.value = getArgumentValue(text.substr(1), "Register");
        argument.hasValue = true;
        argument.registerName = text[0];
        return;
    }
    if (isAll(syntax.number, text)) {
        argument.value = getArgumentValue(text, "Immediate");
        argument.registerName = '#';
        argument.hasValue = true;
        return;
    }
    throw AsmSyntaxError(text) << "Invalid argument";
}

long long AsmParser::getArgumentValue(const AsmToken& text, const char* kind) {
    const std::string s = text.toString();
    long long value = 0;
    try {
        stringToInt(value, s);
    } catch (const std::out_of_range& e) {
        throw AsmSyntaxError(text)
            << "AsmParser: Invalid " << kind << " argument: " << vorel::exceptionText(e);
    } catch (const std::invalid_argument& e) {
        throw AsmSyntaxError(text)
            << "AsmParser: Invalid " << kind << " argument: " << vorel::exceptionText(e);
    } catch (...) {
        throw AsmSyntaxError(text) << "AsmParser: Invalid " << kind << " argument: "
                                   << "Expected an integer number";
    }
    return value;
}

// ---------------------------------------------------------------------------
// Directives and symbols

void AsmParser::setDirectiveProcessor(const std::shared_ptr<AsmDirectiveProcessor>& processor) {
    directiveProcessors.erase(processor->keyword);
    directiveProcessors.emplace(processor->keyword, processor);
}

void AsmParser::setDirectiveSymbolInserter(const std::string& keyword) {
    setDirectiveProcessor(std::make_shared<DirectiveSymbolInserter>(keyword));
}

void AsmParser::ignoreDirective(const std::string& keyword) {
    setDirectiveProcessor(std::make_shared<IgnoreDirective>(keyword));
}

void AsmParser::parseDirective(std::shared_ptr<AsmDirective>& directive, AsmToken& rest) {
    countOne(directives);
    syntax.filter2Token(rest, syntax.identifier);
    if (rest.empty())
        throw AsmSyntaxError(directive->sourceLine, rest.start, 1)
            << "AsmParser: empty directive " << directive->keyword;
    directive->name = rest;
    rest.next();
    syntax.filter2Token(rest, syntax.directiveValue);
    rest.stripBack();
    if (rest.empty())
        throw AsmSyntaxError(directive->sourceLine, rest.start, 1)
            << "AsmParser: directive " << directive->keyword << " has no value";
    directive->value = rest;
    processDirective(directive);
    rest.next();
}

void AsmParser::processDirective(std::shared_ptr<AsmDirective>& directive) {
    if (!directive)
        return;
    auto found = directiveProcessors.find(directive->keyword);
    if (found == directiveProcessors.end())
        throw AsmSyntaxError(directive->sourceLine, directive->keyword.start,
                             directive->keyword.size())
            << "AsmParser: directive '" << directive->keyword << "' not supported";
    std::shared_ptr<AsmDirectiveProcessor> processor = found->second;
    processor->process(directive);
    if (!directive || !processor->isSymbol())
        return;
    if (directive->name.empty())
        throw AsmSyntaxError(directive->sourceLine, directive->keyword.end, 1)
            << "AsmParser: No symbol name given for symbol directive " << directive->keyword;
    int lineNr = directive->sourceLine ? directive->sourceLine->lineNr : 0;
    checkSymbolAdd(addSymbol(directive->name, directive->value, lineNr), *directive);
}

std::pair<AsmParser::SymbolTable::iterator, bool>
AsmParser::addSymbol(const AsmToken& name, const AsmToken& value, int lineNr) {
    std::string key = name.toString();
    auto found = symbols.find(key);
    if (found != symbols.end())
        return {found, false};
    return symbols.emplace(std::move(key), Symbol{name, value, lineNr});
}

std::pair<AsmParser::SymbolTable::iterator, bool> AsmParser::addSymbol(const AsmDirective& d) {
    auto result = addSymbol(d.name, d.value, d.sourceLine ? d.sourceLine->lineNr : 0);
    checkSymbolAdd(result, d);
    return result;
}

void AsmParser::checkSymbolAdd(const std::pair<SymbolTable::iterator, bool>& result,
                               const AsmDirective& directive) {
    const Symbol& symbol = result.first->second;
    if (result.second) {
        if (symbolDebug())
            Logging::write(7, "parse: line %d, found symbol: %s = '%s'", symbol.lineNr,
                           symbol.name.toString().c_str(),
                           vorel::loggable(symbol.value.toString()).c_str());
        return;
    }
    // Both names where they are written; a directive made elsewhere may carry
    // a name that is not in its line, which is then searched for.
    if (directive.name.line == directive.sourceLine)
        throw AsmDuplicateSymbolError(directive.name, symbol.name);
    throw AsmDuplicateSymbolError({directive.sourceLine, symbol.name.line}, result.first->first);
}

bool AsmParser::findSymbol(const AsmToken& name, AsmToken& value) const {
    auto found = symbols.find(name.toString());
    if (found == symbols.end())
        return false;
    value = found->second.value;
    return true;
}

bool AsmParser::resolveSymbol(AsmArgument& argument) const {
    AsmToken value;
    if (!findSymbol(argument.symbol, value))
        return false;
    argument.text = value;
    return true;
}

// ---------------------------------------------------------------------------
// Writer

void AsmParser::alignToColumn(std::ostream& os, int column, int& col) {
    int gap = column - col;
    if (gap > 1) {
        os << std::right << std::setw(gap) << ' ';
        col += gap;
    } else if (col > 0 || gap == 1) {
        os << ' ';
        col += 1;
    }
}

void AsmParser::unparseArgument(std::ostream& os, const AsmArgument& argument) {
    if (!argument.text.empty()) {
        os << argument.text;
    } else if (argument.hasValue) {
        if (CharFilters::isAlpha.accept(argument.registerName))
            os << argument.registerName << std::dec << argument.value;
        else
            os << "0x" << std::hex << static_cast<uint64_t>(argument.value) << std::dec;
    } else {
        os << "??";
    }
}

int AsmParser::unparseArgument(std::ostream& os, const AsmArgument& argument, int& col) {
    // Formatted apart first, so that the width is right on any stream.
    std::ostringstream text;
    unparseArgument(text, argument);
    const std::string s = text.str();
    os << s;
    const int width = static_cast<int>(s.size());
    col += width;
    return width;
}

int AsmParser::unparseAddressLabel(std::ostream& os, const AsmToken& label, int& col) const {
    os << label << syntax.labelEndChar;
    const int width = static_cast<int>(label.size()) + 1;
    col += width;
    return width;
}

void AsmParser::unparseAddressAsLabel(std::ostream& os, unsigned long address, int& col) const {
    const std::string s = stringCat(address, syntax.labelEndChar);
    os << s;
    col += static_cast<int>(s.size());
}

void AsmParser::unparseComment(std::ostream& os, const AsmToken& comment, int& col) const {
    os << syntax.commentChar << comment;
    col += static_cast<int>(comment.size()) + 1;
}

void AsmParser::unparseDirective(std::ostream& os, const AsmDirective& directive, int&) {
    os << directive.keyword << ' ' << directive.name << ' ' << directive.value;
}

void AsmParser::unparseInstruction(std::ostream& os, const AsmInstruction& instruction,
                                   int& col) const {
    if (config.unparseLabels && !instruction.addressLabel.empty()) {
        alignToColumn(os, format.labelColumn, col);
        unparseAddressLabel(os, instruction.addressLabel, col);
    } else if (config.addressAsLabel && instruction.hasAddress) {
        alignToColumn(os, format.labelColumn, col);
        unparseAddressAsLabel(os, instruction.address, col);
    }
    alignToColumn(os, format.instructionColumn, col);
    os << instruction.mnemonic;
    col += static_cast<int>(instruction.mnemonic.size());
    if (!instruction.arguments.empty()) {
        alignToColumn(os, format.argumentColumn, col);
        const size_t n = instruction.arguments.size();
        for (size_t i = 0; i < n; ++i) {
            const std::shared_ptr<AsmArgument>& argument = instruction.arguments[i];
            if (argument) {
                unparseArgument(os, *argument, col);
            } else {
                os << "??";
                col += 2;
            }
            if (i + 1 < n) {
                os << syntax.separatorChar << ' ';
                col += 2;
            }
        }
    }
    if (config.unparseComments && !instruction.comment.empty()) {
        alignToColumn(os, format.commentColumn, col);
        unparseComment(os, instruction.comment, col);
    }
}

std::ostream& AsmParser::unparseStatement(std::ostream& os, const AsmStatement& statement) const {
    int col = 0;
    switch (statement.type) {
    case AsmType::EMPTY:
        break;
    case AsmType::COMMENT_ONLY:
        if (config.unparseComments && config.unparseCommentLines && !statement.comment.empty())
            os << syntax.commentChar << statement.comment;
        break;
    case AsmType::LABEL_ONLY: {
        auto label = vorel::statementAs<AsmInstruction>(&statement);
        if (!label)
            THROW_BUG("AsmStatement of type LABEL_ONLY is not an instance of class AsmInstruction");
        if (config.unparseLabels) {
            unparseAddressLabel(os, label->addressLabel, col);
            if (config.unparseComments && !statement.comment.empty())
                unparseComment(os, statement.comment, col);
        }
        break;
    }
    case AsmType::DIRECTIVE: {
        auto directive = vorel::statementAs<AsmDirective>(&statement);
        if (!directive)
            THROW_BUG("AsmStatement of type DIRECTIVE is not an instance of class AsmDirective");
        if (config.unparseDirectives)
            unparseDirective(os, *directive, col);
        break;
    }
    case AsmType::INSTRUCTION: {
        auto instruction = vorel::statementAs<AsmInstruction>(&statement);
        if (!instruction)
            THROW_BUG("AsmStatement of type INSTRUCTION is not an instance of class "
                      "AsmInstruction");
        unparseInstruction(os, *instruction, col);
        break;
    }
    default:
        THROW_BUG("Not all statement types covered");
    }
    os << '\n';
    return os;
}

int AsmParser::unparse(std::ostream& os) const {
    int failures = 0;
    for (const std::shared_ptr<AsmStatement>& statement : container.statements) {
        try {
            unparseStatement(os, *statement);
        } catch (const std::exception& e) {
            if (Logging::getLogLevel() > 2)
                Logging::write(3, "%s", e.what());
            ++failures;
        }
    }
    return failures;
}

int AsmParser::saveUnparsed(const std::string& fileName) const {
    return vorel::saveCounted(fileName, [this](std::ostream& os) { return unparse(os); });
}

void AsmParser::printTimers() const {
    if (Logging::getLogLevel() != Logging::quietLevel)
        Logging::write(6, "%s", vorel::timerReport(timers).c_str());
}
