#include "asmparser/AsmStatement.h"

#include <utility>

AsmStatement::AsmStatement(AsmType type) : type(type) {}

AsmStatement::AsmStatement(const std::shared_ptr<const SourceLine>& line, AsmType type)
    : sourceLine(line), type(type) {}

AsmStatement::AsmStatement(const AsmToken& comment)
    : sourceLine(comment.line), comment(comment), type(AsmType::COMMENT_ONLY) {}

AsmStatement::AsmStatement(const AsmToken& comment, AsmType type)
    : sourceLine(comment.line), comment(comment), type(type) {}

void AsmStatement::clear() {
    sourceLine.reset();
    comment = AsmToken();
    type = AsmType::EMPTY;
}

void AsmStatement::setComment(const AsmToken& token) {
    comment = token;
    adoptCommentLine();
}

void AsmStatement::setComment(AsmToken&& token) {
    comment = std::move(token);
    adoptCommentLine();
}

void AsmStatement::adoptCommentLine() {
    if (type == AsmType::EMPTY)
        type = AsmType::COMMENT_ONLY;
    if (!sourceLine && comment.line && comment.line->lineNr > 0)
        sourceLine = comment.line;
}

std::string AsmStatement::sourceString() const {
    if (!sourceLine || sourceLine->lineNr <= 0)
        return std::string();
    return sourceLine->text;
}
