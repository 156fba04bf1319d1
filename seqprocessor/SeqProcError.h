// Exceptions of the instruction-set model and of processor memory accesses.
// Table faults are logic errors, faults met while assembling or simulating a
// program are run-time errors; every concrete error composes its message by
// insertion (StreamException) and is thrown by value, caught by reference.
#pragma once

#include <stdexcept>
#include <string>

#include "utils/StreamException.h"

// Common interface of the family. Not meant to be deleted through, hence the
// protected destructor.
class SeqProcError {
public:
    virtual const char* what() = 0;

protected:
    SeqProcError() = default;
    SeqProcError(const SeqProcError&) = default;
    SeqProcError& operator=(const SeqProcError&) = default;
    ~SeqProcError() = default;
};

class SeqProcRuntimeError : public SeqProcError, public std::runtime_error {
public:
    explicit SeqProcRuntimeError(const std::string& text);
    ~SeqProcRuntimeError() override;

    // The full message, the same as what() const: the derived stream exceptions
    // keep their text outside the standard base.
    const char* what() override;
    using std::runtime_error::what;
};

class SeqProcLogicError : public SeqProcError, public std::logic_error {
public:
    explicit SeqProcLogicError(const std::string& text);
    ~SeqProcLogicError() override;

    const char* what() override;
    using std::logic_error::what;
};

// A read or write of a processor memory beyond its last word.
class SeqProcMemoryError : public StreamException<SeqProcRuntimeError> {
public:
    explicit SeqProcMemoryError(std::string text);
    SeqProcMemoryError(const SeqProcMemoryError& other) = default;
    ~SeqProcMemoryError() override;
};

// An instruction word whose opcode and select match no instruction definition.
class SeqProcInstructionNotFoundError : public StreamException<SeqProcRuntimeError> {
public:
    explicit SeqProcInstructionNotFoundError(std::string text);
    SeqProcInstructionNotFoundError(const SeqProcInstructionNotFoundError& other) = default;
    ~SeqProcInstructionNotFoundError() override;
};

// An instruction definition without an argument writing a field of a given name.
class SeqProcArgumentNotFoundError : public StreamException<SeqProcRuntimeError> {
public:
    explicit SeqProcArgumentNotFoundError(std::string text);
    SeqProcArgumentNotFoundError(const SeqProcArgumentNotFoundError& other) = default;
    ~SeqProcArgumentNotFoundError() override;
};

// Inconsistent instruction tables: missing field or argument, overlapping
// fields, conflicting definitions, a value outside its field.
class SeqProcInstructionTableError : public StreamException<SeqProcLogicError> {
public:
    explicit SeqProcInstructionTableError(std::string text);
    SeqProcInstructionTableError(const SeqProcInstructionTableError& other) = default;
    ~SeqProcInstructionTableError() override;
};

// A null or uninitialised element offered to a lookup table.
class SeqProcUninitializedError : public StreamException<SeqProcLogicError> {
public:
    explicit SeqProcUninitializedError(std::string text);
    SeqProcUninitializedError(const SeqProcUninitializedError& other) = default;
    ~SeqProcUninitializedError() override;
};

// An id or name already held by a lookup table, or two arguments of one
// instruction writing the same field.
class SeqProcDuplicateError : public StreamException<SeqProcLogicError> {
public:
    explicit SeqProcDuplicateError(std::string text);
    SeqProcDuplicateError(const SeqProcDuplicateError& other) = default;
    ~SeqProcDuplicateError() override;
};
