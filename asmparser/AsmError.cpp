#include "asmparser/AsmError.h"

#include <algorithm>
#include <utility>

#include "utils/StringUtils.h"

namespace {

// First occurrence of needle in text, in linear time: a name taken from a
// long line may occur in it many times over as a near miss.
size_t findFirst(const std::string& text, const std::string& needle) {
    const size_t m = needle.size();
    const size_t n = text.size();
    if (m > n)
        return std::string::npos;
    if (m <= 16)
        return text.find(needle);
    std::vector<size_t> border(m, 0);
    for (size_t i = 1, k = 0; i < m; ++i) {
        while (k > 0 && needle[i] != needle[k])
            k = border[k - 1];
        if (needle[i] == needle[k])
            ++k;
        border[i] = k;
    }
    for (size_t i = 0, k = 0; i < n; ++i) {
        while (k > 0 && text[i] != needle[k])
            k = border[k - 1];
        if (text[i] == needle[k])
            ++k;
        if (k == m)
            return i + 1 - m;
    }
    return std::string::npos;
}

// The reference SourceErrorRef(line, text) makes: the first occurrence of
// text in the line, or no position with the text's length.
SourceErrorRef refToText(std::shared_ptr<const SourceLine> line, const std::string& text) {
    if (!line || text.empty())
        return SourceErrorRef(std::move(line), std::string::npos, 0);
    const size_t position = findFirst(line->text, text);
    return SourceErrorRef(std::move(line), position, text.size());
}

} // namespace

int AsmError::lineNr() const {
    std::shared_ptr<const SourceLine> line = sourceLine();
    return line ? line->lineNr : 0;
}

AsmRuntimeError::AsmRuntimeError(const std::string& text) : std::runtime_error(text) {}

AsmRuntimeError::AsmRuntimeError(const char* text) : std::runtime_error(text) {}

std::shared_ptr<AsmError> AsmRuntimeError::shared_ptr_copy() const {
    return std::make_shared<AsmRuntimeError>(*this);
}

std::shared_ptr<AsmError> AsmFatalError::shared_ptr_copy() const {
    return std::make_shared<AsmFatalError>(*this);
}

std::shared_ptr<AsmError> AsmProgramTooLongError::shared_ptr_copy() const {
    return std::make_shared<AsmProgramTooLongError>(*this);
}

AsmSourceError::AsmSourceError() = default;

AsmSourceError::AsmSourceError(std::string&& text)
    : StreamException<AsmRuntimeError>(std::move(text)) {}

AsmSourceError::AsmSourceError(const AsmSourceError& other)
    : StreamException<AsmRuntimeError>(other), errorRefs(other.errorRefs) {}

std::shared_ptr<const SourceLine> AsmSourceError::sourceLine() const {
    if (!hasSource())
        return nullptr;
    return errorRefs.front().sourceLine();
}

std::shared_ptr<AsmError> AsmSourceError::shared_ptr_copy() const {
    return std::make_shared<AsmSourceError>(*this);
}

std::string AsmSourceError::message() const {
    const std::string text = StreamException<AsmRuntimeError>::message();
    std::string result;
    for (const SourceErrorRef& ref : errorRefs) {
        if (!ref.hasSource())
            continue;
        // A reference without anything to point at renders the bare line: the
        // next reference still starts on a line of its own.
        if (!result.empty() && result.back() != '\n')
            result.push_back('\n');
        append_(true, result, ref.getSourceRef(), ": ", text, ": ", ref.pointToTextInSource());
    }
    return result;
}

void AsmSourceError::addErrorInfo(const SourceErrorRef& ref) {
    errorRefs.insert(std::upper_bound(errorRefs.begin(), errorRefs.end(), ref), ref);
}

void AsmSourceError::sortAndClean() {
    std::stable_sort(errorRefs.begin(), errorRefs.end());
    while (!errorRefs.empty() && !errorRefs.back().hasSource())
        errorRefs.pop_back();
}

AsmSyntaxError::AsmSyntaxError(std::shared_ptr<const SourceLine> line,
                               const std::string& offendingText)
    : AsmSourceError("Syntax error: ") {
    errorRefs.push_back(refToText(std::move(line), offendingText));
    sortAndClean();
}

AsmSyntaxError::AsmSyntaxError(std::shared_ptr<const SourceLine> line, size_t position,
                               size_t length)
    : AsmSourceError("Syntax error: ") {
    errorRefs.emplace_back(std::move(line), position, length);
    sortAndClean();
}

AsmSyntaxError::AsmSyntaxError(const AsmToken& token)
    : AsmSyntaxError(token.line, token.start, token.size()) {}

std::shared_ptr<AsmError> AsmSyntaxError::shared_ptr_copy() const {
    return std::make_shared<AsmSyntaxError>(*this);
}

namespace {

// Message and type text of the reference and duplicate errors.
void initNamedError(AsmSourceError& error, std::string& errorTypeText, const char* prefix,
                    const std::string& name, const std::string& kind,
                    const std::vector<SourceErrorRef>& places) {
    errorTypeText = stringCat(prefix, kind, " error");
    error << stringCat(prefix, kind, ": ", name, ". ");
    for (const SourceErrorRef& place : places)
        error.addErrorInfo(place);
}

std::vector<SourceErrorRef> refsToName(const std::vector<std::shared_ptr<const SourceLine>>& lines,
                                       const std::string& name) {
    std::vector<SourceErrorRef> refs;
    refs.reserve(lines.size());
    for (const std::shared_ptr<const SourceLine>& line : lines)
        refs.push_back(refToText(line, name));
    return refs;
}

} // namespace

SourceErrorRef vorel::refToToken(const AsmToken& token) {
    return SourceErrorRef(token.line, token.start, token.size());
}

AsmUnresolvedReferenceError::AsmUnresolvedReferenceError(
    std::vector<std::shared_ptr<const SourceLine>> lines, std::string name, std::string kind)
    : name(std::move(name)), kind(std::move(kind)) {
    initNamedError(*this, errorTypeText, "Unresolved ", this->name, this->kind,
                   refsToName(lines, this->name));
}

AsmUnresolvedReferenceError::AsmUnresolvedReferenceError(std::vector<SourceErrorRef> places,
                                                         std::string name, std::string kind)
    : name(std::move(name)), kind(std::move(kind)) {
    initNamedError(*this, errorTypeText, "Unresolved ", this->name, this->kind, places);
}

std::shared_ptr<AsmError> AsmUnresolvedReferenceError::shared_ptr_copy() const {
    return std::make_shared<AsmUnresolvedReferenceError>(*this);
}

AsmUnresolvedAddressLabelError::AsmUnresolvedAddressLabelError(
    std::vector<std::shared_ptr<const SourceLine>> lines, const std::string& name)
    : AsmUnresolvedReferenceError(std::move(lines), name, "address label") {}

AsmUnresolvedAddressLabelError::AsmUnresolvedAddressLabelError(std::vector<SourceErrorRef> places,
                                                               const std::string& name)
    : AsmUnresolvedReferenceError(std::move(places), name, "address label") {}

std::shared_ptr<AsmError> AsmUnresolvedAddressLabelError::shared_ptr_copy() const {
    return std::make_shared<AsmUnresolvedAddressLabelError>(*this);
}

AsmUnresolvedSymbolError::AsmUnresolvedSymbolError(const std::shared_ptr<const SourceLine>& line,
                                                   const std::string& name)
    : AsmUnresolvedReferenceError({line}, name, "symbol") {}

AsmUnresolvedSymbolError::AsmUnresolvedSymbolError(const AsmToken& name)
    : AsmUnresolvedReferenceError(std::vector<SourceErrorRef>{vorel::refToToken(name)},
                                  name.toString(), "symbol") {}

std::shared_ptr<AsmError> AsmUnresolvedSymbolError::shared_ptr_copy() const {
    return std::make_shared<AsmUnresolvedSymbolError>(*this);
}

AsmDuplicateDefinitionError::AsmDuplicateDefinitionError(
    std::vector<std::shared_ptr<const SourceLine>> lines, std::string name, std::string kind)
    : name(std::move(name)), kind(std::move(kind)) {
    initNamedError(*this, errorTypeText, "Duplicate ", this->name, this->kind,
                   refsToName(lines, this->name));
}

AsmDuplicateDefinitionError::AsmDuplicateDefinitionError(std::vector<SourceErrorRef> places,
                                                         std::string name, std::string kind)
    : name(std::move(name)), kind(std::move(kind)) {
    initNamedError(*this, errorTypeText, "Duplicate ", this->name, this->kind, places);
}

std::shared_ptr<AsmError> AsmDuplicateDefinitionError::shared_ptr_copy() const {
    return std::make_shared<AsmDuplicateDefinitionError>(*this);
}

AsmDuplicateAddressLabelError::AsmDuplicateAddressLabelError(
    std::initializer_list<std::shared_ptr<const SourceLine>> lines, const std::string& name)
    : AsmDuplicateDefinitionError(lines, name, "address label") {}

AsmDuplicateAddressLabelError::AsmDuplicateAddressLabelError(const AsmToken& existing,
                                                             const AsmToken& again)
    : AsmDuplicateDefinitionError(
          std::vector<SourceErrorRef>{vorel::refToToken(existing), vorel::refToToken(again)},
          existing.toString(), "address label") {}

std::shared_ptr<AsmError> AsmDuplicateAddressLabelError::shared_ptr_copy() const {
    return std::make_shared<AsmDuplicateAddressLabelError>(*this);
}

AsmDuplicateSymbolError::AsmDuplicateSymbolError(
    std::initializer_list<std::shared_ptr<const SourceLine>> lines, const std::string& name)
    : AsmDuplicateDefinitionError(lines, name, "symbol") {}

AsmDuplicateSymbolError::AsmDuplicateSymbolError(const AsmToken& first, const AsmToken& second)
    : AsmDuplicateDefinitionError(
          std::vector<SourceErrorRef>{vorel::refToToken(first), vorel::refToToken(second)},
          first.toString(), "symbol") {}

std::shared_ptr<AsmError> AsmDuplicateSymbolError::shared_ptr_copy() const {
    return std::make_shared<AsmDuplicateSymbolError>(*this);
}
