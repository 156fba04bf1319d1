// Helpers shared by the libFuzzer targets and by the regression tests that
// replay their inputs: a property check with a replaceable failure handler,
// and the reading of raw bytes as 64-bit instruction words. Header-only, so
// the ordinary test suite uses the same code without a build of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Called with the failed condition and its detail text; it must not return.
// The fuzzers abort, which libFuzzer records as a crash with the input that
// caused it; the tests install a handler that throws.
using FailureHandler = void (*)(const char* file, int line, const char* condition,
                                const std::string& detail);

inline void abortOnFailure(const char* file, int line, const char* condition,
                           const std::string& detail) {
    std::fprintf(stderr, "\n%s:%d: property failed: %s\n%s\n", file, line, condition,
                 detail.c_str());
    std::fflush(stderr);
    std::abort();
}

inline FailureHandler& failureHandler() {
    static FailureHandler handler = abortOnFailure;
    return handler;
}

// The input's whole 8-byte groups, each read as one little-endian word.
inline std::vector<uint64_t> wordsOf(const uint8_t* data, size_t size) {
    std::vector<uint64_t> words(size / 8);
    for (size_t i = 0; i < words.size(); ++i) {
        uint64_t word = 0;
        for (size_t b = 8; b-- > 0;)
            word = (word << 8) | data[i * 8 + b];
        words[i] = word;
    }
    return words;
}

// The lines of a text, without their '\n'; a last line without one counts too.
inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

inline std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

} // namespace fuzz

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzz::failureHandler()(__FILE__, __LINE__, #condition, (detail));                    \
    } while (false)
