// ParseNumber.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ipp/parse_number.h"

TEST(ParseNumberTest, DocumentedExamples)
{
    EXPECT_EQ(255, ParseNumber("ff", 16));
    EXPECT_EQ(0, ParseNumber("", 10));
    EXPECT_EQ(-1, ParseNumber("-5", 10));
    EXPECT_EQ(-1, ParseNumber("12", 0));
    EXPECT_EQ(-1, ParseNumber("", 0));
    EXPECT_EQ(12, ParseNumber("12a", 10));
    EXPECT_EQ(-1, ParseNumber("12x", 10));
    EXPECT_EQ(0, ParseNumber("abc", 10));
    EXPECT_EQ(-1, ParseNumber("631x", 10));
}

TEST(ParseNumberTest, Digits)
{
    EXPECT_EQ(1234567890, ParseNumber("1234567890", 10));
    EXPECT_EQ(255, ParseNumber("FF", 16));
    EXPECT_EQ(0xABCDEF, ParseNumber("aBcDeF", 16));
    EXPECT_EQ(5, ParseNumber("101", 2));
    EXPECT_EQ(2, ParseNumber("102", 2)); // "2" is not below radix 2
    EXPECT_EQ(8, ParseNumber("10", 8));
    EXPECT_EQ(36, ParseNumber("10", 36)); // every hex digit is below radix 36
    EXPECT_EQ(7, ParseNumber("007", 10));
}

TEST(ParseNumberTest, AnyOtherCharacterGivesMinusOneAtOnce)
{
    for (const char* text : {" 1", "1 ", "+1", "1;", "1\r\n", "g", "1g", "\x80", "1.5", "0x10"})
        EXPECT_EQ(-1, ParseNumber(text, 16)) << text;
}

TEST(ParseNumberTest, TheWalkEndsAtTheFirstDigitNotBelowTheRadix)
{
    // Once it ended, what follows is not looked at, even a non-digit.
    EXPECT_EQ(12, ParseNumber("12ax", 10));
    EXPECT_EQ(12, ParseNumber("12a-", 10));
    EXPECT_EQ(0, ParseNumber("9", 9));
}

TEST(ParseNumberTest, RadixBounds)
{
    EXPECT_EQ(-1, ParseNumber("1", -1));
    EXPECT_EQ(-1, ParseNumber("1", INT32_MIN));
    EXPECT_EQ(0, ParseNumber("0", 1)); // no digit is below radix 1
    EXPECT_EQ(0, ParseNumber("5", 1));
    EXPECT_EQ(15, ParseNumber("f", INT32_MAX));
}

TEST(ParseNumberTest, WrapsIn32Bits)
{
    EXPECT_EQ(INT32_MAX, ParseNumber("2147483647", 10));
    EXPECT_EQ(INT32_MIN, ParseNumber("2147483648", 10));
    EXPECT_EQ(-1, ParseNumber("4294967295", 10));
    EXPECT_EQ(0, ParseNumber("4294967296", 10));
    EXPECT_EQ(1, ParseNumber("4294967297", 10));
    EXPECT_EQ(-1, ParseNumber("ffffffff", 16));
    EXPECT_EQ(0, ParseNumber("100000000", 16));
    EXPECT_EQ(0x23456789, ParseNumber("123456789", 16));
}

TEST(ParseNumberTest, LongAndMissingTexts)
{
    EXPECT_EQ(0, ParseNumber(std::string(100000, '0').c_str(), 10));
    EXPECT_EQ(-1, ParseNumber(nullptr, 10));
}
