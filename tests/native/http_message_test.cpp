// The request head, Base64 and chunk framing (framed bodies read back by the
// response reader).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "ipp/http_message.h"
#include "ipp/http_parser.h"

namespace {

std::string Head(const HttpHeadFields& fields, uint64_t length)
{
    std::string out(kHttpHeadMax, '\0');
    out.resize(BuildHttpHead(&out[0], out.size(), fields, length));
    return out;
}

} // namespace

TEST(HttpMessageTest, Heads)
{
    const std::string common = "Host: 10.1.2.3:631\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n"
                               "Content-Type: application/ipp\r\nAccept: application/ipp\r\nUser-Agent: QX-IPPC\r\n";
    HttpHeadFields fields = {"10.1.2.3", 631, "/ipp", false, false, false, "", ""};
    EXPECT_EQ("POST /ipp HTTP/1.1\r\n" + common + "Connection: Keep-Alive\r\nContent-Length: 156\r\n\r\n",
              Head(fields, 156));
    EXPECT_EQ("POST /ipp HTTP/1.1\r\n" + common + "Connection: Keep-Alive\r\nContent-Length: 4294967295\r\n\r\n",
              Head(fields, 0xFFFFFFFFull));
    EXPECT_EQ("", Head(fields, 0x100000000ull)); // not announced in 32 bits: refused

    fields.useProxy = true;
    fields.authenticate = true;
    fields.userName = "user";
    EXPECT_EQ("POST http://10.1.2.3:631/ipp HTTP/1.1\r\n" + common +
                  "Authorization: Basic dXNlcjo=\r\nProxy-Connection: Keep-Alive\r\nContent-Length: 0\r\n\r\n",
              Head(fields, 0));
    fields.chunked = true;
    fields.password = "p\xC3\xA4ss";
    EXPECT_EQ("POST http://10.1.2.3:631/ipp HTTP/1.1\r\n" + common +
                  "Authorization: Basic dXNlcjpww6Rzcw==\r\nTransfer-Encoding: chunked\r\n\r\n",
              Head(fields, 99));

    // The longest fields fit kHttpHeadMax; a head that does not fit is refused.
    const std::string host(64, 'h'), path = "/" + std::string(255, 'p'), credential(64, 'c');
    HttpHeadFields longest = {host.c_str(), 65535, path.c_str(), true, false, true, credential.c_str(),
                              credential.c_str()};
    const std::string head = Head(longest, 0xFFFFFFFFull);
    EXPECT_NE("", head);
    std::string small(head.size() - 1, '\0');
    EXPECT_EQ(0u, BuildHttpHead(&small[0], small.size(), longest, 0xFFFFFFFFull));
}

TEST(HttpMessageTest, Base64)
{
    const struct {
        std::string data;
        size_t capacity;
        std::string text;
    } cases[] = {{"", 16, ""}, {"f", 16, "Zg=="}, {"fo", 16, "Zm8="}, {"foobar", 7, "Zm9v"}, {"\xFF\xFE", 4, "//4="}};
    for (const auto& c : cases) {
        std::string out(c.capacity, '\0');
        out.resize(Base64Encode(&out[0], c.capacity, reinterpret_cast<const uint8_t*>(c.data.data()), c.data.size()));
        EXPECT_EQ(c.text, out) << c.data;
    }
}

TEST(HttpMessageTest, ChunkSizes)
{
    const struct {
        uint32_t stored, used;
    } cases[] = {{0, 4096}, {1023, 4096}, {1024, 1024}, {16384, 16384}, {16385, 4096}};
    for (const auto& c : cases)
        EXPECT_EQ(c.used, EffectiveMaxChunk(c.stored)) << c.stored;
    EXPECT_EQ(10u + 32, ChunkWorkBufferSize(10, 4096));
    EXPECT_EQ(4096u + 32, ChunkWorkBufferSize(10000, 0));
}

TEST(HttpMessageTest, ChunkedBodyReadsBack)
{
    // 10000 bytes with MaxChunk 4096: chunks of 4096, 4096 and 1808 bytes.
    std::vector<uint8_t> data(10000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    const uint32_t chunk = EffectiveMaxChunk(4096);
    std::string wire = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    std::vector<std::string> sizeLines;
    std::vector<uint8_t> work(ChunkWorkBufferSize(data.size(), chunk));
    for (size_t at = 0; at < data.size();) {
        const size_t n = std::min<size_t>(chunk, data.size() - at);
        const size_t framed = FrameChunk(work.data(), work.size(), data.data() + at, n);
        ASSERT_EQ(n + ChunkFraming(n), framed);
        const std::string piece(work.begin(), work.begin() + static_cast<long>(framed));
        sizeLines.push_back(piece.substr(0, piece.find("\r\n")));
        EXPECT_EQ("\r\n", piece.substr(framed - 2));
        wire += piece;
        at += n;
    }
    wire += kLastChunk;
    EXPECT_EQ((std::vector<std::string>{"1000", "1000", "710"}), sizeLines);
    EXPECT_EQ(0u, FrameChunk(work.data(), 10, data.data(), 7)); // 1 + 2 + 7 + 2 > 10

    auto parser = std::make_unique<HttpResponseParser>();
    HttpParserReset(parser.get());
    ASSERT_EQ(HTTP_COMPLETE, HttpFeed(parser.get(), reinterpret_cast<const uint8_t*>(wire.data()), wire.size()));
    size_t length = 0;
    const uint8_t* body = HttpBody(parser.get(), &length);
    EXPECT_EQ(data, std::vector<uint8_t>(body, body + length));
}
