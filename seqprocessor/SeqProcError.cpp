#include "seqprocessor/SeqProcError.h"

#include <utility>

SeqProcRuntimeError::SeqProcRuntimeError(const std::string& text) : std::runtime_error(text) {}
SeqProcRuntimeError::~SeqProcRuntimeError() = default;

// Dispatches to the virtual what() const, so a stream exception yields its
// whole message here too, not the empty text of the standard base.
const char* SeqProcRuntimeError::what() {
    return static_cast<const std::runtime_error&>(*this).what();
}

SeqProcLogicError::SeqProcLogicError(const std::string& text) : std::logic_error(text) {}
SeqProcLogicError::~SeqProcLogicError() = default;

const char* SeqProcLogicError::what() {
    return static_cast<const std::logic_error&>(*this).what();
}

SeqProcMemoryError::SeqProcMemoryError(std::string text)
    : StreamException<SeqProcRuntimeError>(std::move(text)) {}
SeqProcMemoryError::~SeqProcMemoryError() = default;

SeqProcInstructionNotFoundError::SeqProcInstructionNotFoundError(std::string text)
    : StreamException<SeqProcRuntimeError>(std::move(text)) {}
SeqProcInstructionNotFoundError::~SeqProcInstructionNotFoundError() = default;

SeqProcArgumentNotFoundError::SeqProcArgumentNotFoundError(std::string text)
    : StreamException<SeqProcRuntimeError>(std::move(text)) {}
SeqProcArgumentNotFoundError::~SeqProcArgumentNotFoundError() = default;

SeqProcInstructionTableError::SeqProcInstructionTableError(std::string text)
    : StreamException<SeqProcLogicError>(std::move(text)) {}
SeqProcInstructionTableError::~SeqProcInstructionTableError() = default;

SeqProcUninitializedError::SeqProcUninitializedError(std::string text)
    : StreamException<SeqProcLogicError>(std::move(text)) {}
SeqProcUninitializedError::~SeqProcUninitializedError() = default;

SeqProcDuplicateError::SeqProcDuplicateError(std::string text)
    : StreamException<SeqProcLogicError>(std::move(text)) {}
SeqProcDuplicateError::~SeqProcDuplicateError() = default;
