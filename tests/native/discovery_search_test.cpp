// The search request and reply of the print servers' query protocol, byte
// for byte, the result entry, and the search dialog's table: malformed
// replies, duplicates, the 128-entry cap, the model filter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "discovery/search_codec.h"

namespace {

bool ShiftJisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// A reply as a print server sends it: type, identifier, model, MAC, address.
std::vector<uint8_t> Reply(const std::string& model, const std::vector<uint8_t>& mac, uint32_t address,
                           size_t size = 80, uint16_t type = kSearchReplyType, uint16_t id = kDiscoveryProtocolId)
{
    std::vector<uint8_t> bytes(size < 70 ? 70 : size, 0xEE);
    bytes[0] = static_cast<uint8_t>(type >> 8);
    bytes[1] = static_cast<uint8_t>(type);
    bytes[2] = static_cast<uint8_t>(id >> 8);
    bytes[3] = static_cast<uint8_t>(id);
    memset(&bytes[36], 0, 16);
    memcpy(&bytes[36], model.data(), model.size() < 16 ? model.size() : 16);
    memcpy(&bytes[56], mac.data(), 6);
    bytes[66] = static_cast<uint8_t>(address >> 24);
    bytes[67] = static_cast<uint8_t>(address >> 16);
    bytes[68] = static_cast<uint8_t>(address >> 8);
    bytes[69] = static_cast<uint8_t>(address);
    bytes.resize(size);
    return bytes;
}

SearchReply Parsed(const std::vector<uint8_t>& bytes, uint16_t port = kDiscoveryPort)
{
    SearchReply reply;
    memset(&reply, 0x5A, sizeof reply);
    EXPECT_TRUE(ParseSearchReply(bytes.data(), bytes.size(), port, ShiftJisLead, &reply));
    return reply;
}

SearchReply Server(uint8_t last, uint16_t port = kDiscoveryPort, const char* model = "NP-100")
{
    return Parsed(Reply(model, {0x00, 0x80, 0x92, 0x10, 0x20, last}, 0x7F000001u), port);
}

} // namespace

TEST(DiscoverySearchTest, RequestGoldenBytes)
{
    uint8_t request[100];
    memset(request, 0xAA, sizeof request);
    ASSERT_EQ(88u, BuildSearchRequest(request, sizeof request));
    std::vector<uint8_t> expected(88, 0);
    expected[0] = 0x00;
    expected[1] = 0x04;
    expected[2] = 0x95;
    expected[3] = 0x06;
    EXPECT_EQ(expected, std::vector<uint8_t>(request, request + 88));
    EXPECT_EQ(0xAA, request[88]) << "nothing written past the request";
    EXPECT_EQ(0u, BuildSearchRequest(request, 87));
}

TEST(DiscoverySearchTest, ReplyBecomesTheFortyByteEntry)
{
    SearchReply reply = Parsed(Reply("LP-S5300", {0x00, 0x80, 0x92, 0xAB, 0xCD, 0xEF}, 0xC0A80A05u, 512), 19541);
    EXPECT_EQ(40u, sizeof reply.entry);
    const uint8_t mac[6] = {0x00, 0x80, 0x92, 0xAB, 0xCD, 0xEF};
    EXPECT_EQ(0, memcmp(mac, reply.entry.mac, 6));
    EXPECT_EQ(19541, reply.entry.queryPort);
    EXPECT_STREQ("192.168.10.5", reply.entry.address);
    EXPECT_STREQ("LP-S5300", reply.entry.model);
    EXPECT_EQ(0xC0A80A05u, reply.ipv4);
    // Field layout: MAC at 0, port at 6, address text at 8, model at 24.
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&reply.entry);
    EXPECT_EQ(0xEF, raw[5]);
    EXPECT_EQ('1', raw[8]);
    EXPECT_EQ('L', raw[24]);
    char text[kMacTextSize];
    FormatMac(reply.entry.mac, text);
    EXPECT_STREQ("00:80:92:AB:CD:EF", text);
    FormatIpv4(0xFFFFFFFFu, text);
    EXPECT_STREQ("255.255.255.255", text);
}

TEST(DiscoverySearchTest, ReplyNeedsSeventyBytesTypeTwoAndIdentifier9506)
{
    SearchReply reply;
    memset(&reply, 0x5A, sizeof reply);
    const SearchReply before = reply;
    const std::vector<uint8_t> good = Reply("A", {1, 2, 3, 4, 5, 6}, 0x7F000001u, 70);
    EXPECT_TRUE(ParseSearchReply(good.data(), 70, 19541, nullptr, &reply)) << "exactly 70 bytes count";
    memset(&reply, 0x5A, sizeof reply);
    // A 10-byte reply (its first four bytes right) and one byte short of the address.
    EXPECT_FALSE(ParseSearchReply(good.data(), 10, 19541, nullptr, &reply));
    EXPECT_FALSE(ParseSearchReply(good.data(), 69, 19541, nullptr, &reply));
    const std::vector<uint8_t> wrongId = Reply("A", {1, 2, 3, 4, 5, 6}, 1, 80, kSearchReplyType, 0x9507);
    EXPECT_FALSE(ParseSearchReply(wrongId.data(), wrongId.size(), 19541, nullptr, &reply));
    const std::vector<uint8_t> request = Reply("A", {1, 2, 3, 4, 5, 6}, 1, 88, kSearchRequestType);
    EXPECT_FALSE(ParseSearchReply(request.data(), request.size(), 19541, nullptr, &reply)) << "our own request";
    EXPECT_FALSE(ParseSearchReply(nullptr, 0, 19541, nullptr, &reply));
    EXPECT_EQ(0, memcmp(&before, &reply, sizeof reply)) << "a refused reply leaves the output alone";
}

TEST(DiscoverySearchTest, ModelOfSixteenBytesWithoutNulIsCutToFifteenOnACharacterBoundary)
{
    EXPECT_STREQ("ABCDEFGHIJKLMNO", Parsed(Reply("ABCDEFGHIJKLMNOP", {1, 2, 3, 4, 5, 6}, 1)).entry.model);
    // A double-byte character at bytes 14 and 15 does not fit in 15: cut before it.
    EXPECT_STREQ("ABCDEFGHIJKLMN", Parsed(Reply("ABCDEFGHIJKLMN\x83\x41", {1, 2, 3, 4, 5, 6}, 1)).entry.model);
    // One at bytes 13 and 14 fits; the 16th byte does not.
    EXPECT_STREQ("ABCDEFGHIJKLM\x83\x41", Parsed(Reply("ABCDEFGHIJKLM\x83\x41Z", {1, 2, 3, 4, 5, 6}, 1)).entry.model);
    // A lead byte just before the NUL has no trail byte: left out.
    EXPECT_STREQ("AB", Parsed(Reply(std::string("AB\x83\0CD", 6), {1, 2, 3, 4, 5, 6}, 1)).entry.model);
    // A NUL within the field ends the name.
    EXPECT_STREQ("NP", Parsed(Reply(std::string("NP\0XYZ", 6), {1, 2, 3, 4, 5, 6}, 1)).entry.model);
}

TEST(DiscoverySearchTest, CopyTextCutKeepsDoubleByteCharactersWhole)
{
    char out[48];
    EXPECT_EQ(3u, CopyTextCut("abcdef", 6, 3, nullptr, out));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(1u, CopyTextCut("a\x82\xA0z", 4, 2, ShiftJisLead, out));
    EXPECT_STREQ("a", out) << "the double-byte character would be split";
    EXPECT_EQ(3u, CopyTextCut("a\x82\xA0z", 4, 3, ShiftJisLead, out));
    EXPECT_EQ(0u, CopyTextCut("", 0, 5, ShiftJisLead, out));
    EXPECT_STREQ("", out);
}

TEST(DiscoverySearchTest, DuplicatesMergeByMacAndPortNineBecomes19541)
{
    SearchTable table;
    table.count = 0;
    size_t index = 99;
    EXPECT_EQ(SEARCH_ADDED, OfferSearchReply(&table, nullptr, Server(1, 9), &index));
    EXPECT_EQ(0u, index);
    EXPECT_EQ(9, table.entries[0].queryPort);
    EXPECT_EQ(SEARCH_DUPLICATE, OfferSearchReply(&table, nullptr, Server(1, 9), &index));
    EXPECT_EQ(SEARCH_PORT_UPGRADED, OfferSearchReply(&table, nullptr, Server(1, 19541), &index));
    EXPECT_EQ(19541, table.entries[0].queryPort);
    // Back to 9 never; another port never upgrades.
    EXPECT_EQ(SEARCH_DUPLICATE, OfferSearchReply(&table, nullptr, Server(1, 9), &index));
    EXPECT_EQ(19541, table.entries[0].queryPort);
    EXPECT_EQ(SEARCH_ADDED, OfferSearchReply(&table, nullptr, Server(2, 5000), &index));
    EXPECT_EQ(SEARCH_DUPLICATE, OfferSearchReply(&table, nullptr, Server(2, 19541), &index));
    EXPECT_EQ(5000, table.entries[1].queryPort);
    EXPECT_EQ(2u, table.count);
}

TEST(DiscoverySearchTest, AddressZeroIsIgnoredAndTheTableHoldsAtMost128)
{
    SearchTable table;
    table.count = 0;
    SearchReply zero = Parsed(Reply("NP", {9, 9, 9, 9, 9, 9}, 0));
    EXPECT_EQ(SEARCH_NO_ADDRESS, OfferSearchReply(&table, nullptr, zero, nullptr));
    for (int i = 0; i < 130; ++i) {
        SearchReply reply = Parsed(Reply("NP", {0, 0, 0, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)}, 1));
        EXPECT_EQ(i < 128 ? SEARCH_ADDED : SEARCH_TABLE_FULL, OfferSearchReply(&table, nullptr, reply, nullptr)) << i;
    }
    EXPECT_EQ(128u, table.count);
    // Full: even a known MAC is no longer looked at.
    EXPECT_EQ(SEARCH_TABLE_FULL, OfferSearchReply(&table, nullptr, Server(0), nullptr));
}

TEST(DiscoverySearchTest, ModelFilterIsACaseSensitiveSubstringTestInOrder)
{
    ModelFilter* filter = new ModelFilter;
    ClearModelFilter(filter);
    EXPECT_TRUE(ModelFilterPasses(filter, "anything")) << "no text: filtering off";
    EXPECT_FALSE(AddModelFilterText(filter, "", 0, nullptr)) << "empty values are skipped";
    EXPECT_FALSE(AddModelFilterText(filter, "\0abc", 4, nullptr)) << "a value that starts with NUL is empty";
    EXPECT_TRUE(AddModelFilterText(filter, "S53", 3, nullptr));
    EXPECT_TRUE(ModelFilterPasses(filter, "LP-S5300"));
    EXPECT_FALSE(ModelFilterPasses(filter, "lp-s5300"));
    EXPECT_TRUE(AddModelFilterText(filter, "P-9", 8, nullptr)) << "ends at its NUL";
    EXPECT_TRUE(ModelFilterPasses(filter, "NP-900"));

    SearchTable table;
    table.count = 0;
    EXPECT_EQ(SEARCH_FILTERED, OfferSearchReply(&table, filter, Server(1, kDiscoveryPort, "XX-1"), nullptr));
    EXPECT_EQ(SEARCH_ADDED, OfferSearchReply(&table, filter, Server(2, kDiscoveryPort, "LP-S5300"), nullptr));
    delete filter;
}

TEST(DiscoverySearchTest, LongFilterTextIsCutAtFortySevenBytesOnACharacterBoundaryAndCounts)
{
    ModelFilter* filter = new ModelFilter;
    ClearModelFilter(filter);
    const std::string longText = std::string(46, 'M') + "\x83\x41" + "tail";
    EXPECT_TRUE(AddModelFilterText(filter, longText.data(), longText.size(), ShiftJisLead));
    EXPECT_EQ(std::string(46, 'M'), filter->texts[0]);
    const std::string plain(60, 'Q');
    EXPECT_TRUE(AddModelFilterText(filter, plain.data(), plain.size(), ShiftJisLead));
    EXPECT_EQ(47u, strlen(filter->texts[1]));
    for (size_t i = 2; i < kModelFilterMax; ++i)
        EXPECT_TRUE(AddModelFilterText(filter, "x", 1, nullptr));
    EXPECT_FALSE(AddModelFilterText(filter, "y", 1, nullptr)) << "128 texts at most";
    EXPECT_EQ(kModelFilterMax, filter->count);
    delete filter;
}

TEST(DiscoverySearchTest, ColumnTexts)
{
    SearchResult entry = Server(0x3F).entry;
    char text[32];
    SearchColumnText(entry, 0, text, sizeof text);
    EXPECT_STREQ("127.0.0.1", text);
    SearchColumnText(entry, 1, text, sizeof text);
    EXPECT_STREQ("00:80:92:10:20:3F", text);
    SearchColumnText(entry, 2, text, sizeof text);
    EXPECT_STREQ("NP-100", text);
    SearchColumnText(entry, 3, text, sizeof text);
    EXPECT_STREQ("", text);
    SearchColumnText(entry, 1, text, 5);
    EXPECT_STREQ("00:8", text) << "cut to the buffer";
    memset(entry.model, 'Z', sizeof entry.model); // no terminator
    SearchColumnText(entry, 2, text, sizeof text);
    EXPECT_EQ(std::string(16, 'Z'), text) << "read no further than the field";
}
