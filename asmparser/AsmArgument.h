// One operand of an instruction: as written, and as interpreted by the parser
// (register, immediate, address-label or symbol reference).
#pragma once

#include <cstdint>

#include "asmparser/AsmToken.h"

class AsmArgument {
public:
    // Signed 64-bit, the value type of instruction arguments.
    using value_t = int64_t;

    // The operand as written; for a symbol operand, the symbol's value text.
    AsmToken text;
    // Label name of an '@' operand, without the '@' that stands just before it.
    AsmToken label;
    // Symbol name of a '$' operand, without the '$' that stands just before it.
    AsmToken symbol;
    value_t value = 0;
    // Register letter as written, '#' for immediates and label references
    // made by the parser, 0 when not classified.
    char registerName = 0;
    bool hasValue = false;

    AsmArgument() = default;
    explicit AsmArgument(const AsmToken& text) : text(text) {}

    // The operand as it stands in its instruction's line: "$name" for a
    // symbol, "@name" for a label reference (whose text is dropped once
    // addresses are assigned), else its text.
    AsmToken written() const {
        AsmToken token = !symbol.empty() ? symbol : !label.empty() ? label : text;
        if ((!symbol.empty() || !label.empty()) && token.start > 0)
            --token.start;
        return token;
    }
};
