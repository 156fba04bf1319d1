#include "tests/hardening/HardeningSupport.h"

#include <cstdio>

std::string hexText(const std::vector<uint64_t>& words) {
    std::string text;
    char line[18];
    for (const uint64_t word : words) {
        std::snprintf(line, sizeof line, "%016llx\n", static_cast<unsigned long long>(word));
        text += line;
    }
    return text;
}
