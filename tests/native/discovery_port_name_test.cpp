// The internal-port-name query's request, reply checks, the joining of
// chunks, and the answer walk through the answer-name map.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "discovery/port_name_codec.h"

namespace {

std::vector<uint8_t> Chunk(uint16_t operation, uint16_t more, uint16_t offset, const std::string& data,
                           int announced = -1)
{
    const uint16_t n = static_cast<uint16_t>(announced < 0 ? data.size() : announced);
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(operation >> 8), static_cast<uint8_t>(operation),
                                  static_cast<uint8_t>(more >> 8),      static_cast<uint8_t>(more),
                                  static_cast<uint8_t>(offset >> 8),    static_cast<uint8_t>(offset),
                                  static_cast<uint8_t>(n >> 8),         static_cast<uint8_t>(n)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

std::vector<std::string> Walk(const std::string& answer)
{
    QueueNameList* list = new QueueNameList;
    list->count = 77;
    MapAnswerNames(reinterpret_cast<const uint8_t*>(answer.data()), answer.size(), list);
    std::vector<std::string> names(list->names, list->names + list->count);
    delete list;
    return names;
}

using Names = std::vector<std::string>;

} // namespace

TEST(DiscoveryPortNameTest, RequestGoldenBytes)
{
    uint8_t request[88];
    ASSERT_EQ(88u, BuildPortNameRequest(kPortNameNextChunk, 0x0203, request, sizeof request));
    std::vector<uint8_t> expected(88, 0);
    expected[1] = 2;
    expected[3] = 1;
    memcpy(&expected[4], "GET PORT_NAME", 13);
    expected[84] = 0x02;
    expected[85] = 0x03;
    expected[86] = 0x02; // 512
    expected[87] = 0x00;
    EXPECT_EQ(expected, std::vector<uint8_t>(request, request + 88));
    EXPECT_EQ(0u, BuildPortNameRequest(1, 0, request, 87));
}

TEST(DiscoveryPortNameTest, ReplyMustEchoOperationAndOffsetAndHoldItsChunk)
{
    PortNameChunk chunk{};
    const std::vector<uint8_t> good = Chunk(1, 0, 0, std::string("\0LPT1\0", 6));
    ASSERT_EQ(14u, good.size());
    ASSERT_TRUE(ParsePortNameReply(good.data(), good.size(), 1, 0, &chunk));
    EXPECT_FALSE(chunk.more);
    EXPECT_EQ(6, chunk.length);
    EXPECT_EQ(good.data() + 8, chunk.data);
    // Wrong operation, wrong offset.
    EXPECT_FALSE(ParsePortNameReply(good.data(), good.size(), 2, 0, &chunk));
    EXPECT_FALSE(ParsePortNameReply(good.data(), good.size(), 1, 6, &chunk));
    // Fewer than 8 bytes, and n larger than the datagram.
    EXPECT_FALSE(ParsePortNameReply(good.data(), 7, 1, 0, &chunk));
    EXPECT_FALSE(ParsePortNameReply(good.data(), 13, 1, 0, &chunk)) << "8 + 6 > 13";
    std::vector<uint8_t> tooLong = Chunk(1, 0, 0, "abc", 600);
    EXPECT_FALSE(ParsePortNameReply(tooLong.data(), tooLong.size(), 1, 0, &chunk));
    // A header alone with n = 0 is a chunk.
    std::vector<uint8_t> empty = Chunk(1, 0, 0, "");
    EXPECT_TRUE(ParsePortNameReply(empty.data(), empty.size(), 1, 0, &chunk));
    EXPECT_EQ(0, chunk.length);
    // Bytes past the chunk are allowed.
    std::vector<uint8_t> padded = Chunk(1, 1, 0, "ab", 1);
    EXPECT_TRUE(ParsePortNameReply(padded.data(), padded.size(), 1, 0, &chunk));
    EXPECT_TRUE(chunk.more);
    EXPECT_EQ(1, chunk.length);
}

TEST(DiscoveryPortNameTest, ChunksJoinInOrderThenTheExchangeEnds)
{
    PortNameAssembly assembly;
    StartPortNameAssembly(&assembly);
    EXPECT_EQ(kPortNameFirstChunk, assembly.operation);
    EXPECT_EQ(0u, assembly.length);
    PortNameChunk chunk{};
    std::vector<uint8_t> first = Chunk(1, 1, 0, std::string("\0LPT", 4));
    ASSERT_TRUE(ParsePortNameReply(first.data(), first.size(), assembly.operation, 0, &chunk));
    EXPECT_EQ(PORT_NAMES_NEXT_CHUNK, AddPortNameChunk(&assembly, chunk));
    EXPECT_EQ(kPortNameNextChunk, assembly.operation);
    EXPECT_EQ(4u, assembly.length);
    std::vector<uint8_t> second = Chunk(2, 0, 4, std::string("1\0COM1\0", 7));
    ASSERT_TRUE(ParsePortNameReply(second.data(), second.size(), assembly.operation, 4, &chunk));
    EXPECT_EQ(PORT_NAMES_COMPLETE, AddPortNameChunk(&assembly, chunk));
    EXPECT_EQ(kPortNameEnd, assembly.operation);
    EXPECT_EQ(std::string("\0LPT1\0COM1\0", 11), std::string(reinterpret_cast<char*>(assembly.answer), assembly.length));
}

TEST(DiscoveryPortNameTest, AnswerOver1024BytesFails)
{
    PortNameAssembly assembly;
    StartPortNameAssembly(&assembly);
    const std::string block(512, 'x');
    std::vector<uint8_t> reply;
    PortNameChunk chunk{};
    for (uint16_t offset : {0, 512}) {
        reply = Chunk(assembly.operation, 1, offset, block);
        ASSERT_TRUE(ParsePortNameReply(reply.data(), reply.size(), assembly.operation, offset, &chunk));
        EXPECT_EQ(PORT_NAMES_NEXT_CHUNK, AddPortNameChunk(&assembly, chunk));
    }
    EXPECT_EQ(1024u, assembly.length) << "exactly 1024 is accepted";
    reply = Chunk(2, 0, 1024, "y");
    ASSERT_TRUE(ParsePortNameReply(reply.data(), reply.size(), 2, 1024, &chunk));
    EXPECT_EQ(PORT_NAMES_FAILED, AddPortNameChunk(&assembly, chunk));
    EXPECT_EQ(1024u, assembly.length) << "nothing written past the answer";
    // An empty last chunk at exactly 1024 completes.
    reply = Chunk(2, 0, 1024, "");
    ASSERT_TRUE(ParsePortNameReply(reply.data(), reply.size(), 2, 1024, &chunk));
    EXPECT_EQ(PORT_NAMES_COMPLETE, AddPortNameChunk(&assembly, chunk));
}

TEST(DiscoveryPortNameTest, MoreDataWithAnEmptyChunkFails)
{
    PortNameAssembly assembly;
    StartPortNameAssembly(&assembly);
    std::vector<uint8_t> reply = Chunk(1, 1, 0, "");
    PortNameChunk chunk{};
    ASSERT_TRUE(ParsePortNameReply(reply.data(), reply.size(), 1, 0, &chunk));
    EXPECT_EQ(PORT_NAMES_FAILED, AddPortNameChunk(&assembly, chunk));
}

TEST(DiscoveryPortNameTest, AnswerWalkMapsKnownNamesInOrder)
{
    EXPECT_EQ((Names{"lp_p1", "lp_s1"}), Walk(std::string("\x01LPT1\0COM1\0SCSI\0", 16)));
    EXPECT_EQ((Names{"lp", "lp", "lp_p1", "lp_p2", "lp_s1", "lp_s2", "lp", "lp_p1", "lp_p2", "lp_s1", "lp"}),
              Walk(std::string("?prn\0lpt\0lpt1\0Lpt2\0com1\0COM2\0PRN1\0pio1\0PIO2\0sio\0PRINTER\0", 56)));
    EXPECT_EQ(Names{}, Walk(std::string("\0FOO\0BAR\0", 9))) << "no known name";
    EXPECT_EQ(Names{}, Walk(std::string("LPT1", 4))) << "the first byte is not a name";
    EXPECT_EQ(Names{}, Walk(""));
    EXPECT_EQ((Names{"lp", "lp"}), Walk(std::string("\0\0\0PRN\0\0PRN", 11))) << "runs of NULs; repeats kept";
}

TEST(DiscoveryPortNameTest, UnterminatedLastNameEndsAtTheEndAndLongNamesAreSkipped)
{
    EXPECT_EQ((Names{"lp_p1", "lp_s2"}), Walk(std::string("\0LPT1\0COM2", 10)));
    // The walk stops at the length it is given, whatever follows in memory.
    const std::string buffer("\0COM1\0LPT2\0", 11);
    QueueNameList list;
    MapAnswerNames(reinterpret_cast<const uint8_t*>(buffer.data()), 8, &list);
    ASSERT_EQ(1u, list.count) << "\"LP\" is no name of the map";
    EXPECT_STREQ("lp_s1", list.names[0]);
    const std::string longName = "LPT1" + std::string(28, 'x');
    EXPECT_EQ((Names{"lp_p2"}), Walk(std::string(1, '\0') + longName + std::string(1, '\0') + "LPT2"))
        << "a 32-byte name is skipped";
    EXPECT_EQ(nullptr, MapPortName("LPT12", 5));
    EXPECT_EQ(nullptr, MapPortName("LPT", 2));
    EXPECT_STREQ("lp", MapPortName("LPT", 3));
}

TEST(DiscoveryPortNameTest, DefaultQueueNames)
{
    EXPECT_EQ((Names{"lp", "lp_p1", "lp_p2", "lp_s1", "sp"}),
              Names(kDefaultQueueNames, kDefaultQueueNames + kDefaultQueueNameCount));
}
