// The handler of one directive keyword, registered in the parser's table.
#pragma once

#include <memory>
#include <string>

#include "asmparser/AsmDirective.h"
#include "asmparser/AsmToken.h"

class AsmDirectiveProcessor {
public:
    AsmToken keyword;

    explicit AsmDirectiveProcessor(const std::string& keyword) : keyword(keyword) {}
    virtual ~AsmDirectiveProcessor() = default;

    virtual void process(std::shared_ptr<AsmDirective>& directive) = 0;
    // True when the parser adds the directive's name and value as a symbol.
    virtual bool isSymbol() const { return false; }
};
