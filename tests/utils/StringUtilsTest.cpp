#include "utils/StringUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

TEST(StringToInt, ConvertsCNotation) {
    struct Case {
        const char* text;
        long long value;
    };
    const Case cases[] = {
        {"0x1F", 31},
        {"0X1f", 31},
        {"017", 15},
        {"-12", -12},
        {" 12", 12},
        {"", 0},
        {"+7", 7},
        {"99999999999999999999", LLONG_MAX},
        {"-99999999999999999999", LLONG_MIN},
    };
    for (const Case& c : cases) {
        long long value = 12345;
        stringToInt(value, c.text);
        EXPECT_EQ(value, c.value) << "'" << c.text << "'";
    }
}

TEST(StringToInt, InvalidCharacterTexts) {
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"12ab", "Value '12ab' is not a valid integer. Invalid character 'a' at index 2"},
        {"08", "Value '08' is not a valid integer. Invalid character '8' at index 1"},
        {"12 ", "Value '12 ' is not a valid integer. Invalid character ' ' at index 2"},
        {"-", "Value '-' is not a valid integer. Invalid character '-' at index 0"},
        {"0x", "Value '0x' is not a valid integer. Invalid character 'x' at index 1"},
    };
    for (const Case& c : cases) {
        long long value = 5;
        try {
            stringToInt(value, c.text);
            ADD_FAILURE() << "no error for '" << c.text << "'";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(value, 5) << "value unchanged on failure";
        unsigned short narrow = 5;
        EXPECT_THROW(stringToInt(narrow, c.text), std::invalid_argument);
        EXPECT_EQ(narrow, 5);
    }
    long long value = 1;
    EXPECT_THROW(stringToInt(value, std::string("1\0002", 3)), std::invalid_argument)
        << "an embedded NUL ends the number";
}

// The text of the error quotes a source text that may hold NUL bytes;
// what() is a C string and ends at the first, the whole text goes on.
TEST(StringToInt, InvalidTextKeepsItsNulBytes) {
    using namespace std::string_literals;
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"5\0junk"s, "Value '5\0junk' is not a valid integer. Invalid character '\0' at index 1"s},
        {"\0"s, "Value '\0' is not a valid integer. Invalid character '\0' at index 0"s},
        {"1x\0"s, "Value '1x\0' is not a valid integer. Invalid character 'x' at index 1"s},
    };
    for (const Case& c : cases) {
        long long value = 0;
        try {
            stringToInt(value, c.text);
            ADD_FAILURE() << "no error for " << vorel::loggable(c.text);
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(vorel::exceptionText(e), c.message) << vorel::loggable(c.text);
            EXPECT_EQ(std::string(e.what()), c.message.substr(0, c.message.find('\0')));
        }
    }
    EXPECT_EQ(vorel::exceptionText(std::runtime_error("plain")), "plain");
    EXPECT_EQ(vorel::exceptionText(integerOutOfRangeError("70000", 2, false)),
              "Value '70000' is out of range for an 16 bits unsigned integer");
}

template <typename T> std::string rangeError(const std::string& text) {
    T value = 7;
    try {
        stringToInt(value, text);
    } catch (const std::out_of_range& e) {
        EXPECT_EQ(value, 7);
        return e.what();
    }
    return "stored " + std::to_string(value);
}

TEST(StringToInt, NarrowTypesCheckTheirRange) {
    EXPECT_EQ(rangeError<short>("32768"),
              "Value '32768' is out of range for an 16 bits signed integer");
    EXPECT_EQ(rangeError<short>("-32768"), "stored -32768");
    EXPECT_EQ(rangeError<short>("-32769"),
              "Value '-32769' is out of range for an 16 bits signed integer");
    EXPECT_EQ(rangeError<int>("0x80000000"),
              "Value '0x80000000' is out of range for an 32 bits signed integer");
    EXPECT_EQ(rangeError<int>("-2147483648"), "stored -2147483648");
    EXPECT_EQ(rangeError<unsigned short>("65536"),
              "Value '65536' is out of range for an 16 bits unsigned integer");
    EXPECT_EQ(rangeError<unsigned int>("-1"),
              "Value '-1' is out of range for an 32 bits unsigned integer");
    EXPECT_EQ(rangeError<unsigned int>("0xffffffff"), "stored 4294967295");
    EXPECT_EQ(rangeError<unsigned long long>("-1"), "stored 18446744073709551615");
    EXPECT_EQ(rangeError<unsigned long>("99999999999999999999"), "stored 18446744073709551615");
}

TEST(StringBuilders, JoinPiecesWithOneReservation) {
    EXPECT_EQ(stringCat("Program too long (", 4097u, "). Maximum ", 4096u, " instructions"),
              "Program too long (4097). Maximum 4096 instructions");
    const std::string name = "loop";
    EXPECT_EQ(stringCat(name, ": ", std::string("x"), ':', 12ul), "loop: x:12");
    EXPECT_EQ(stringCat('\xff'), "\xff");
    EXPECT_EQ(stringCat(-5, ' ', 18446744073709551615ull), "-5 18446744073709551615");

    std::string out = "pre ";
    append_(true, out, "a", name, 'c', 7u);
    EXPECT_EQ(out, "pre aloopc7");
    append_(false, out, "!");
    EXPECT_EQ(out, "pre aloopc7!");

    // One reservation of the counted length before the first piece: the
    // capacity is the one a single reserve gives, never more. The pieces are
    // long enough that growing piece by piece would end with a larger one.
    const auto reservedOnce = [](std::string start, const auto&... pieces) {
        size_t length = start.size();
        addLength(length, pieces...);
        start.reserve(length);
        return start.capacity();
    };
    const std::string piece(40, 'p');
    std::string joined = "pre ";
    append_(true, joined, piece, piece, piece, 'c', 123456u);
    EXPECT_EQ(joined, "pre " + piece + piece + piece + "c123456");
    EXPECT_EQ(joined.capacity(), reservedOnce("pre ", piece, piece, piece, 'c', 123456u));
    const std::string message =
        stringCat("Program too long (", 4097u, "). Maximum ", 4096u, " instructions");
    EXPECT_EQ(message.capacity(),
              reservedOnce("", "Program too long (", 4097u, "). Maximum ", 4096u, " instructions"));

    size_t length = 3;
    addLength(length, "ab", name, 'c', 100u, 5ul);
    // 2 + 4 + 2 (the code 99 of 'c') + 3 + 1
    EXPECT_EQ(length, 3u + 12u);
    length = 0;
    addLength(length, '\x80');
    EXPECT_EQ(length, 4u) << "-128 counts four";
}

TEST(StringHelpers, DecimalStringLength) {
    EXPECT_EQ(decimalStringLength(0u), 1u);
    EXPECT_EQ(decimalStringLength(9u), 1u);
    EXPECT_EQ(decimalStringLength(100u), 3u);
    EXPECT_EQ(decimalStringLength(-1), 2u);
    EXPECT_EQ(decimalStringLength(std::numeric_limits<unsigned long long>::max()), 20u);
    EXPECT_EQ(decimalStringLength(std::numeric_limits<long long>::min()), 20u);
    EXPECT_EQ(decimalStringLength(std::numeric_limits<int>::min()), 11u);
    EXPECT_EQ(decimalStringLength(static_cast<short>(-32768)), 6u);
    EXPECT_EQ(decimalStringLength(static_cast<unsigned short>(65535)), 5u);
    EXPECT_EQ(decimalStringLength(4294967295ul), 10u);
}

TEST(StringHelpers, CaseConversionChangesOnlyAsciiLetters) {
    const std::string text = "Mov R1,\xe4\xc4 z@[";
    EXPECT_EQ(toUpper(text), "MOV R1,\xe4\xc4 Z@[");
    EXPECT_EQ(toLower(text), "mov r1,\xe4\xc4 z@[");
}

TEST(StringHelpers, ReplaceAll) {
    std::string tabs = "\ta\tb\t";
    replaceAll(tabs, "\t", "    ");
    EXPECT_EQ(tabs, "    a    b    ");
    std::string as = "aaa";
    replaceAll(as, "a", "aa");
    EXPECT_EQ(as, "aaaaaa") << "replaced text is not searched again";
    std::string lines = "a\nb\n";
    replaceAll(lines, "\n", "\\n");
    EXPECT_EQ(lines, "a\\nb\\n");
    std::string pairs = "aaaaa";
    replaceAll(pairs, "aa", "b");
    EXPECT_EQ(pairs, "bba") << "matches do not overlap";
    std::string megabyte(1 << 20, '\t');
    replaceAll(megabyte, "\t", "  ");
    EXPECT_EQ(megabyte, std::string(2 << 20, ' '));
    std::string unchanged = "abc";
    replaceAll(unchanged, "", "x");
    EXPECT_EQ(unchanged, "abc");
}

TEST(StringHelpers, LoggableShowsEveryNul) {
    using namespace std::string_literals;
    EXPECT_EQ(vorel::loggable("a\0b\0\0"s), "a\\0b\\0\\0");
    EXPECT_EQ(vorel::loggable("\0"s), "\\0");
    EXPECT_EQ(vorel::loggable("plain"), "plain");
}

TEST(StringHelpers, Strprintf) {
    std::string out = "old";
    EXPECT_EQ(strprintf(out, "%d-%s", 42, "x"), 4);
    EXPECT_EQ(out, "42-x");
    for (int size : {1023, 1024, 1500}) {
        EXPECT_EQ(strprintf(out, "%s", std::string(size, 'q').c_str()), size);
        EXPECT_EQ(out, std::string(size, 'q'));
    }
    // One pointer argument: must format, not be taken as a va_list.
    const char* word = "word";
    EXPECT_EQ(strprintf(out, "%s", word), 4);
    EXPECT_EQ(out, "word");
}

TEST(StringHelpers, StringFormat) {
    EXPECT_EQ(stringFormat("%s=%03d", "x", 7), "x=007");
    EXPECT_EQ(stringFormat("%s", std::string(511, 'a').c_str()), std::string(511, 'a'));
}

TEST(StringHelpers, SignalToString) {
    struct Case {
        int signal;
        const char* text;
    };
    const Case cases[] = {
        {2, "Keyboard Interrupt"},       {4, "Illegal Instruction"}, {6, "Abort"},
        {8, "Floating Point Exception"}, {11, "Segmentation Fault"}, {15, "Terminate"},
        {9, "Unknown Signal"},           {-1, "Unknown Signal"}};
    for (const Case& c : cases)
        EXPECT_STREQ(signalToString(c.signal), c.text) << c.signal;
}

} // namespace
