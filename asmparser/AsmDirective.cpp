#include "asmparser/AsmDirective.h"

AsmDirective::AsmDirective(const std::shared_ptr<const SourceLine>& line, const AsmToken& keyword)
    : AsmStatement(line, AsmType::DIRECTIVE), keyword(keyword) {}

void AsmDirective::clear() {
    AsmStatement::clear();
    keyword = AsmToken();
    name = AsmToken();
    value = AsmToken();
}
