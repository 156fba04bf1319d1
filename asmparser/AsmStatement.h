// Base of every parsed source line: the line it came from, its comment and
// its kind.
#pragma once

#include <memory>
#include <string>
#include <typeinfo>

#include "asmparser/AsmToken.h"
#include "asmparser/AsmType.h"
#include "utils/SourceLine.h"

class AsmStatement {
public:
    std::shared_ptr<const SourceLine> sourceLine;
    AsmToken comment;
    AsmType type = AsmType::EMPTY;

    AsmStatement() = default;
    explicit AsmStatement(AsmType type);
    AsmStatement(const std::shared_ptr<const SourceLine>& line, AsmType type);
    explicit AsmStatement(const AsmToken& comment);
    AsmStatement(const AsmToken& comment, AsmType type);
    virtual ~AsmStatement() = default;

    AsmStatement(const AsmStatement&) = default;
    AsmStatement(AsmStatement&&) = default;
    AsmStatement& operator=(const AsmStatement&) = default;
    AsmStatement& operator=(AsmStatement&&) = default;

    virtual void clear();

    // Records the comment; an empty statement becomes a comment line and a
    // statement without a line takes the comment's numbered line.
    void setComment(const AsmToken& token);
    void setComment(AsmToken&& token);

    // The whole text of the statement's line; empty without a numbered line.
    std::string sourceString() const;

private:
    void adoptCommentLine();
};

namespace vorel {

// The statement as its class T, or null. The exact class is tested first: it
// is what nearly every statement is, and far cheaper than a dynamic cast,
// which still finds a subclass of T.
template <typename T> T* statementAs(AsmStatement* statement) {
    if (statement == nullptr)
        return nullptr;
    if (typeid(*statement) == typeid(T))
        return static_cast<T*>(statement);
    return dynamic_cast<T*>(statement);
}

template <typename T> const T* statementAs(const AsmStatement* statement) {
    return statementAs<T>(const_cast<AsmStatement*>(statement));
}

} // namespace vorel
