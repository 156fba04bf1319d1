// Runs the fuzz targets' property checks inside the test suite: a broken
// property becomes an exception carrying its report instead of an abort.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz/FuzzSupport.h"

class FuzzPropertyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Installs the throwing handler while it lives.
class ThrowingFuzzChecks {
public:
    ThrowingFuzzChecks() : previous(fuzz::failureHandler()) { fuzz::failureHandler() = fail; }
    ~ThrowingFuzzChecks() { fuzz::failureHandler() = previous; }
    ThrowingFuzzChecks(const ThrowingFuzzChecks&) = delete;
    ThrowingFuzzChecks& operator=(const ThrowingFuzzChecks&) = delete;

private:
    [[noreturn]] static void fail(const char* file, int line, const char* condition,
                                  const std::string& detail) {
        throw FuzzPropertyError(std::string(file) + ":" + std::to_string(line) +
                                ": property failed: " + condition + "\n" + detail);
    }
    fuzz::FailureHandler previous;
};

// The text of the broken property, or empty when every property held.
template <class Check> std::string brokenProperty(Check check, const std::string& input) {
    ThrowingFuzzChecks throwing;
    try {
        check(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    } catch (const FuzzPropertyError& e) {
        return e.what();
    }
    return std::string();
}
