// The errors of an assembly source. Errors tied to source lines keep sorted
// references into those lines and build their text (location, message and a
// caret pointer) only when it is asked for.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "asmparser/AsmToken.h"
#include "utils/SourceErrorRef.h"
#include "utils/SourceLine.h"
#include "utils/StreamException.h"

namespace vorel {
// The reference to the token's bytes in its line.
SourceErrorRef refToToken(const AsmToken& token);
} // namespace vorel

class AsmError {
public:
    virtual const char* what() const noexcept = 0;
    virtual const char* errorType() const = 0;
    virtual bool hasSource() const { return false; }
    virtual std::shared_ptr<const SourceLine> sourceLine() const { return nullptr; }
    virtual size_t numberOfErrorSources() const { return 0; }
    virtual int lineNr() const;
    // The text of what(), whole: a NUL byte from a source line does not end it.
    virtual std::string text() const { return what(); }
    // A heap copy of the error's own dynamic class, for the error list.
    virtual std::shared_ptr<AsmError> shared_ptr_copy() const = 0;
    virtual ~AsmError() = default;

protected:
    AsmError() = default;
    AsmError(const AsmError&) = default;
    AsmError& operator=(const AsmError&) = default;
};

// An error with a finished text and no source.
class AsmRuntimeError : public AsmError, public std::runtime_error {
public:
    explicit AsmRuntimeError(const std::string& text);
    explicit AsmRuntimeError(const char* text);
    AsmRuntimeError(const AsmRuntimeError&) = default;

    const char* what() const noexcept override { return std::runtime_error::what(); }
    const char* errorType() const override { return "AsmRuntimeError"; }
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmFatalError : public AsmRuntimeError {
public:
    using AsmRuntimeError::AsmRuntimeError;
    AsmFatalError(const AsmFatalError&) = default;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmProgramTooLongError : public AsmFatalError {
public:
    explicit AsmProgramTooLongError(const std::string& text) : AsmFatalError(text) {}
    AsmProgramTooLongError(const AsmProgramTooLongError&) = default;
    const char* errorType() const override { return "Asm program too long"; }
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

// Base of the errors that point into source lines.
class AsmSourceError : public StreamException<AsmRuntimeError> {
public:
    // In the order of SourceErrorRef::operator<.
    std::vector<SourceErrorRef> errorRefs;

    AsmSourceError();
    explicit AsmSourceError(std::string&& text);
    AsmSourceError(const AsmSourceError& other);

    const char* errorType() const override { return "Asm source error"; }
    bool hasSource() const override { return !errorRefs.empty(); }
    std::shared_ptr<const SourceLine> sourceLine() const override;
    size_t numberOfErrorSources() const override { return errorRefs.size(); }
    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    // One block per located reference: location, message, pointer text;
    // each block starts on a line of its own.
    std::string message() const override;
    std::string text() const override { return message(); }

    // Inserts after every reference that does not sort after it.
    void addErrorInfo(const SourceErrorRef& ref);
    // Stable sort, then drops trailing references without a source.
    void sortAndClean();
};

class AsmSyntaxError : public AsmSourceError {
public:
    AsmSyntaxError(std::shared_ptr<const SourceLine> line, const std::string& offendingText);
    // npos and 0 for an error about the whole line.
    AsmSyntaxError(std::shared_ptr<const SourceLine> line, size_t position, size_t length);
    // Points at the token's bytes in its line.
    explicit AsmSyntaxError(const AsmToken& token);
    AsmSyntaxError(const AsmSyntaxError&) = default;

    const char* errorType() const override { return "Asm syntax error"; }
    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    // Appends to the message and keeps the dynamic type, so that
    // `throw AsmSyntaxError(...) << "text";` throws an AsmSyntaxError.
    template <typename V> AsmSyntaxError& operator<<(const V& value) {
        static_cast<StreamException<AsmRuntimeError>&>(*this) << value;
        return *this;
    }
};

class AsmUnresolvedReferenceError : public AsmSourceError {
public:
    std::string name;
    std::string kind;
    std::string errorTypeText;

    // Each line is searched for the first occurrence of the name.
    AsmUnresolvedReferenceError(std::vector<std::shared_ptr<const SourceLine>> lines,
                                std::string name, std::string kind);
    // The places where the name is written.
    AsmUnresolvedReferenceError(std::vector<SourceErrorRef> places, std::string name,
                                std::string kind);
    AsmUnresolvedReferenceError(const AsmUnresolvedReferenceError&) = default;

    const char* errorType() const override { return errorTypeText.c_str(); }
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmUnresolvedAddressLabelError : public AsmUnresolvedReferenceError {
public:
    AsmUnresolvedAddressLabelError(std::vector<std::shared_ptr<const SourceLine>> lines,
                                   const std::string& name);
    // The places of the references: the name as written, or the operand that
    // stands for it.
    AsmUnresolvedAddressLabelError(std::vector<SourceErrorRef> places, const std::string& name);
    AsmUnresolvedAddressLabelError(const AsmUnresolvedAddressLabelError&) = default;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmUnresolvedSymbolError : public AsmUnresolvedReferenceError {
public:
    AsmUnresolvedSymbolError(const std::shared_ptr<const SourceLine>& line,
                             const std::string& name);
    // The name as written in the using line.
    explicit AsmUnresolvedSymbolError(const AsmToken& name);
    AsmUnresolvedSymbolError(const AsmUnresolvedSymbolError&) = default;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmDuplicateDefinitionError : public AsmSourceError {
public:
    std::string name;
    std::string kind;
    std::string errorTypeText;

    // Each line is searched for the first occurrence of the name.
    AsmDuplicateDefinitionError(std::vector<std::shared_ptr<const SourceLine>> lines,
                                std::string name, std::string kind);
    // The places where the name is written.
    AsmDuplicateDefinitionError(std::vector<SourceErrorRef> places, std::string name,
                                std::string kind);
    AsmDuplicateDefinitionError(const AsmDuplicateDefinitionError&) = default;

    const char* errorType() const override { return errorTypeText.c_str(); }
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmDuplicateAddressLabelError : public AsmDuplicateDefinitionError {
public:
    AsmDuplicateAddressLabelError(std::initializer_list<std::shared_ptr<const SourceLine>> lines,
                                  const std::string& name);
    // The two labels as written, the existing one first.
    AsmDuplicateAddressLabelError(const AsmToken& existing, const AsmToken& again);
    AsmDuplicateAddressLabelError(const AsmDuplicateAddressLabelError&) = default;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmDuplicateSymbolError : public AsmDuplicateDefinitionError {
public:
    AsmDuplicateSymbolError(std::initializer_list<std::shared_ptr<const SourceLine>> lines,
                            const std::string& name);
    // The two names as written in their definitions.
    AsmDuplicateSymbolError(const AsmToken& first, const AsmToken& second);
    AsmDuplicateSymbolError(const AsmDuplicateSymbolError&) = default;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};
