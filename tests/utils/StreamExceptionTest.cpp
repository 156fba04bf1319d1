#include "utils/StreamException.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using Error = StreamException<std::runtime_error>;

// A derived error as the other layers define them.
class MemoryError : public Error {
public:
    explicit MemoryError(std::string&& text) : Error(std::move(text)) {}
};

TEST(StreamException, BuildsTheMessageByInsertion) {
    Error e("Attempt to write ");
    e << std::string("instruction") << " at address " << 5000u << " beyond maximum address "
      << 4095u;
    const std::string expected =
        "Attempt to write instruction at address 5000 beyond maximum address 4095";
    EXPECT_EQ(e.message(), expected);
    EXPECT_EQ(e.what(), expected);
    EXPECT_STREQ(e.std::runtime_error::what(), "") << "the base holds no text";

    Error values;
    values << true << ' ' << 18446744073709551615ull << ' ' << -3 << ' ' << 2.5;
    EXPECT_STREQ(values.what(), "1 18446744073709551615 -3 2.5");
}

TEST(StreamException, CopiesKeepTheirTextAndRecomputeWhat) {
    Error e("a");
    EXPECT_STREQ(e.what(), "a");
    Error copy(e);
    e << "b";
    EXPECT_STREQ(copy.what(), "a");
    EXPECT_STREQ(e.what(), "ab") << "what recomputes after an insertion";
    EXPECT_STREQ(e.what(), "ab");
}

TEST(StreamException, ThrowingANamedLocalKeepsTheDerivedType) {
    try {
        MemoryError error("address ");
        error << 12u << " too big";
        throw error;
    } catch (const MemoryError& caught) {
        EXPECT_STREQ(caught.what(), "address 12 too big");
    } catch (...) {
        FAIL() << "the derived type was lost";
    }
}

} // namespace
