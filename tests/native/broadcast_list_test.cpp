// The broadcast-address list's texts (Dwlmon.ini [UserDefined]) and the
// settings dialog's octet fields.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "discovery/broadcast_list.h"
#include "discovery/search_result.h"

TEST(BroadcastListTest, CountIsDecimalClampedToSixteen)
{
    EXPECT_EQ(3u, ParseUdpCount("3"));
    EXPECT_EQ(3u, ParseUdpCount(" 3 "));
    EXPECT_EQ(16u, ParseUdpCount("16"));
    EXPECT_EQ(16u, ParseUdpCount("17"));
    EXPECT_EQ(16u, ParseUdpCount("99999999999999999999999999"));
    for (const char* refused : std::initializer_list<const char*>{"", "-1", "-0", "+3", "abc", "3x", "0x10", "1 2", nullptr})
        EXPECT_EQ(0u, ParseUdpCount(refused)) << (refused ? refused : "NULL");
    EXPECT_EQ(100u, ParseStoredUdpCount("100"));
    EXPECT_EQ(100u, ParseStoredUdpCount("4294967296"));
    EXPECT_EQ(42u, ParseStoredUdpCount("42"));
    EXPECT_EQ(0u, ParseStoredUdpCount("-5"));
}

TEST(BroadcastListTest, AddressIsHexFirstOctetMostSignificant)
{
    EXPECT_EQ(0xC0A80AFFu, ParseUdpAddress("c0a80aff"));
    EXPECT_EQ(0x7FFFFFFFu, ParseUdpAddress("7fffffff"));
    EXPECT_EQ(0x7F000001u, ParseUdpAddress("7F000001"));
    EXPECT_EQ(0x7F000001u, ParseUdpAddress("  0x7f000001"));
    EXPECT_EQ(0xFFu, ParseUdpAddress("ff"));
    EXPECT_EQ(0xC0A80AFFu, ParseUdpAddress("00c0a80aff")) << "leading zeros are not significant";
    EXPECT_EQ(0xABu, ParseUdpAddress("abz")) << "stops at the first other character";
    for (const char* unreadable : std::initializer_list<const char*>{"", "zz", "-1", "+1", "123456789", "fffffffff", nullptr})
        EXPECT_EQ(0u, ParseUdpAddress(unreadable)) << (unreadable ? unreadable : "NULL");
    char value[kUdpValueSize];
    FormatUdpAddress(0xC0A80AFFu, value);
    EXPECT_STREQ("c0a80aff", value);
    FormatUdpAddress(0x0000000Au, value);
    EXPECT_STREQ("0000000a", value);
    char key[kUdpKeySize];
    ASSERT_TRUE(FormatUdpKey(0, key));
    EXPECT_STREQ("UDP00", key);
    ASSERT_TRUE(FormatUdpKey(15, key));
    EXPECT_STREQ("UDP15", key);
    ASSERT_TRUE(FormatUdpKey(99, key));
    EXPECT_STREQ("UDP99", key);
    EXPECT_FALSE(FormatUdpKey(100, key));
}

TEST(BroadcastListTest, DottedTextRoundTrip)
{
    uint32_t address = 1;
    EXPECT_TRUE(ParseDottedAddress("192.168.10.255", &address));
    EXPECT_EQ(0xC0A80AFFu, address);
    EXPECT_TRUE(ParseDottedAddress("0.0.0.0", &address));
    EXPECT_EQ(0u, address);
    address = 5;
    for (const char* refused : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "01.2.3.4", "1..2.3", "1.2.3.4 ", "a.b.c.d"})
        EXPECT_FALSE(ParseDottedAddress(refused, &address)) << refused;
    EXPECT_EQ(5u, address);
}

TEST(BroadcastListTest, OctetFieldsAreCheckedInOrder)
{
    uint32_t address = 0;
    int bad = -1;
    char text[kResultAddressSize] = "";
    const char* zero[4] = {"0", "0", "0", "0"};
    EXPECT_EQ(OCTETS_VALID, CheckOctetFields(zero, &address, &bad, text));
    EXPECT_STREQ("0.0.0.0", text);
    const char* net[4] = {"192", "168", "010", "255"};
    EXPECT_EQ(OCTETS_VALID, CheckOctetFields(net, &address, &bad, text));
    EXPECT_EQ(0xC0A80AFFu, address);
    EXPECT_STREQ("192.168.10.255", text);

    struct Case {
        const char* fields[4];
        int bad;
    } cases[] = {
        {{"256", "1", "1", "1"}, 0}, {{"1", "", "1", "1"}, 1},     {{"1", "2", "x", "1"}, 2},
        {{"1", "2", "3", "1000"}, 3}, {{"1", "2", "3", "-1"}, 3},  {{"999", "", "", ""}, 0},
        {{"1", "2", "3", nullptr}, 3},
    };
    for (const Case& c : cases) {
        bad = -1;
        EXPECT_EQ(OCTETS_INVALID, CheckOctetFields(c.fields, &address, &bad, text));
        EXPECT_EQ(c.bad, bad);
    }
    const char* all[4] = {"255", "255", "255", "255"};
    bad = -1;
    EXPECT_EQ(OCTETS_BROADCAST, CheckOctetFields(all, &address, &bad, nullptr));
    EXPECT_EQ(0, bad);
}
