// The kind of a parsed statement.
#pragma once

#include <cstdint>

enum class AsmType : uint16_t {
    EMPTY = 1,
    COMMENT_ONLY = 2,
    LABEL_ONLY = 3,
    DIRECTIVE = 4,
    INSTRUCTION = 5,
};
