// ParseNumber.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "codec/parse_number.h"

TEST(ParseNumberTest, DigitsRadixAndOverflow)
{
    const std::string zeros(100000, '0');
    const struct {
        const char* text;
        int radix;
        int32_t expected;
    } cases[] = {
        {"1234567890", 10, 1234567890}, {"007", 10, 7},      {"", 10, 0},
        {"aBcDeF", 16, 0xABCDEF},      {"101", 2, 5},        {"10", 36, 36}, // every hex digit is below 36
        {"f", INT32_MAX, 15},          {zeros.c_str(), 10, 0},
        // A digit not below the radix ends the walk; what follows is not looked at.
        {"102", 2, 2},  {"12a", 10, 12}, {"12ax", 10, 12}, {"12a-", 10, 12}, {"abc", 10, 0}, {"9", 9, 0},
        {"5", 1, 0},
        // Any other character gives -1 at once, as does a radix below 1.
        {"12x", 10, -1}, {"-5", 10, -1}, {" 1", 16, -1}, {"1 ", 16, -1}, {"+1", 16, -1}, {"1\r\n", 16, -1},
        {"1g", 16, -1},  {"1G", 16, -1}, {"\x80", 16, -1}, {"1.5", 16, -1}, {"0x10", 16, -1}, {nullptr, 10, -1},
        {"12", 0, -1},   {"", 0, -1},      {"1", -1, -1},  {"1", INT32_MIN, -1},
        // A value above the largest result is not a number.
        {"2147483647", 10, INT32_MAX}, {"7fffffff", 16, INT32_MAX}, {"2147483648", 10, -1},
        {"4294967297", 10, -1},        {"123456789", 16, -1},       {"99999999999999999999999", 10, -1},
        {"99999999999999999999a", 10, -1}, {"2147483648x", 10, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ParseNumber(c.text, c.radix))
            << (c.text ? std::string(c.text).substr(0, 20) : "(null)") << " radix " << c.radix;
}
