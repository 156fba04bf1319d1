// A directive line: keyword (with its leading '.'), name and value.
#pragma once

#include <memory>

#include "asmparser/AsmStatement.h"

class AsmDirective : public AsmStatement {
public:
    AsmToken keyword;
    AsmToken name;
    AsmToken value;

    AsmDirective(const std::shared_ptr<const SourceLine>& line, const AsmToken& keyword);

    void clear() override;
};
