// The response reader: every response gives the same outcome whole, split at
// every byte, and byte by byte.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ipp/http_parser.h"

namespace {

struct Outcome {
    HttpOutcome outcome;
    uint32_t error;
    uint16_t status;
    std::string body;
    bool operator==(const Outcome& o) const
    {
        // The status of a failed read is whatever was read before the fault.
        return outcome == o.outcome && error == o.error && (outcome == HTTP_ERROR || status == o.status) &&
               body == o.body;
    }
};

std::ostream& operator<<(std::ostream& out, const Outcome& o)
{
    return out << "outcome " << o.outcome << " error " << o.error << " status " << o.status << " body "
               << o.body.substr(0, 40);
}

// Feeds the pieces [0, split) and [split, end), then (if asked) the end of
// the stream. split 0 feeds the whole at once; split ~0 one byte at a time.
Outcome Read(const std::string& wire, size_t split, bool close)
{
    auto parser = std::make_unique<HttpResponseParser>();
    HttpParserReset(parser.get());
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(wire.data());
    if (split == ~size_t{0}) {
        for (size_t i = 0; i < wire.size(); ++i)
            HttpFeed(parser.get(), bytes + i, 1);
    } else {
        HttpFeed(parser.get(), bytes, split);
        HttpFeed(parser.get(), bytes + split, wire.size() - split);
    }
    if (close)
        HttpEndOfStream(parser.get());
    size_t length = 0;
    const uint8_t* body = HttpBody(parser.get(), &length);
    return Outcome{parser->outcome, parser->error, parser->status,
                   body ? std::string(reinterpret_cast<const char*>(body), length) : ""};
}

const std::string k200 = "HTTP/1.1 200 OK\r\n";
const Outcome kMalformed = {HTTP_ERROR, 102, 0, ""};

} // namespace

TEST(HttpParserTest, EveryResponseAtEverySplit)
{
    const std::string big(16342, 'b'); // with a 42-byte head: 16384 bytes
    std::string interims;
    for (int i = 0; i < 33; ++i)
        interims += "HTTP/1.1 100 Continue\r\n\r\n";
    const struct {
        std::string wire;
        bool close;
        Outcome expected;
    } cases[] = {
        {k200 + "Content-Length: 5\r\n\r\nhello", false, {HTTP_COMPLETE, 0, 200, "hello"}},
        {k200 + "Content-Length: 5\r\n\r\nhelloEXTRA", false, {HTTP_COMPLETE, 0, 200, "hello"}},
        {k200 + "Content-Length: 5\r\n\r\nhel", true, kMalformed},
        {"HTTP/1.0 200\r\ncontent-length:  0 \r\n\r\n", false, {HTTP_COMPLETE, 0, 200, ""}},
        // Chunked, with an extension and trailers; the coding in any letter case.
        {k200 + "transfer-ENCODING: ChunKed\r\n\r\n3;name=value\r\nabc\r\n0002 ; x\r\nde\r\n0\r\nX-T: 1\r\n\r\n",
         false,
         {HTTP_COMPLETE, 0, 200, "abcde"}},
        {k200 + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n", false, {HTTP_NEED_MORE, 0, 200, ""}},
        // Chunked wins over Content-Length in either order.
        {k200 + "Content-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n", false,
         {HTTP_COMPLETE, 0, 200, "x"}},
        {k200 + "Transfer-Encoding: chunked\r\nContent-Length: 99\r\n\r\n1\r\nx\r\n0\r\n\r\n", false,
         {HTTP_COMPLETE, 0, 200, "x"}},
        // Interim responses in front of the final one.
        {"HTTP/1.1 100 Continue\r\n\r\n" + k200 + "Content-Length: 2\r\n\r\nok", false, {HTTP_COMPLETE, 0, 200, "ok"}},
        {"HTTP/1.1 100 Continue\r\nX: y\r\n\r\nHTTP/1.1 102 P\r\n\r\n" + k200 + "Content-Length: 0\r\n\r\n", false,
         {HTTP_COMPLETE, 0, 200, ""}},
        {interims + k200 + "Content-Length: 0\r\n\r\n", false, kMalformed},
        // A status that is not 2xx is decided with its head.
        {"HTTP/1.1 401 Unauthorized\r\nContent-Length: 500\r\n\r\n", false, {HTTP_COMPLETE, 0, 401, ""}},
        {"HTTP/1.1 101 Switching\r\n\r\n", false, {HTTP_COMPLETE, 0, 101, ""}},
        // A body delimited by the close.
        {k200 + "\r\nabc", false, {HTTP_NEED_MORE, 0, 200, ""}},
        {k200 + "\r\nabc", true, {HTTP_COMPLETE, 0, 200, "abc"}},
        // A response must fit 16384 bytes.
        {k200 + "Content-Length: 16342\r\n\r\n" + big, false, {HTTP_COMPLETE, 0, 200, big}},
        {k200 + "Content-Length: 16343\r\n\r\n", false, kMalformed},
        {k200 + "\r\n" + big, true, {HTTP_COMPLETE, 0, 200, big}},
        {k200 + "\r\n" + big + big, true, kMalformed},
        {"", true, {HTTP_ERROR, 1, 0, ""}},
        {"HTTP/1.1 2", true, kMalformed},
        // Malformed status lines, lengths, codings and line ends.
        {"HTTP/1.1 20 OK\r\n\r\n", false, kMalformed},
        {"HTTP/1.1200 OK\r\n\r\n", false, kMalformed},
        {"HTTP/1.1 200 OK\n\r\n", false, kMalformed},
        {"HTTP/2 200 OK\r\n\r\n", false, kMalformed},
        {"http/1.1 200 OK\r\n\r\n", false, kMalformed},
        {"HTTP/1.1 099 OK\r\n\r\n", false, kMalformed},
        {k200 + "X: y\rz\r\n\r\n", false, kMalformed},
        {k200 + "NoColon\r\n\r\n", false, kMalformed},
        {k200 + "X : y\r\n\r\n", false, kMalformed},
        {k200 + "X: y\r\n folded\r\n\r\n", false, kMalformed},
        {k200 + "Content-Length: -1\r\n\r\n", false, kMalformed},
        {k200 + "Content-Length: 1 2\r\n\r\n", false, kMalformed},
        {k200 + "Content-Length: +2\r\n\r\n", false, kMalformed},
        {k200 + "Content-Length: 99999999999999999999999\r\n\r\n", false, kMalformed},
        {k200 + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nabc", false, kMalformed},
        {k200 + "Content-Length: 2\r\nContent-Length: 2\r\n\r\nab", false, {HTTP_COMPLETE, 0, 200, "ab"}},
        {k200 + "Transfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n", false, kMalformed},
        {k200 + "Transfer-Encoding: chunked\r\n\r\nffffffff\r\n", false, kMalformed},
        {k200 + "Transfer-Encoding: chunked\r\n\r\n3x\r\nabc\r\n0\r\n\r\n", false, kMalformed},
        {k200 + "Transfer-Encoding: chunked\r\n\r\n\r\n", false, kMalformed},
        {k200 + "Transfer-Encoding: chunked\r\n\r\n3\r\nabcd\r\n0\r\n\r\n", false, kMalformed},
        {k200 + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\n0\r\n\r\n", false, kMalformed},
    };
    for (const auto& c : cases) {
        const std::string shown = c.wire.substr(0, 60);
        EXPECT_EQ(c.expected, Read(c.wire, 0, c.close)) << shown;
        EXPECT_EQ(c.expected, Read(c.wire, ~size_t{0}, c.close)) << shown;
        for (size_t split = 1; split < c.wire.size() && c.wire.size() < 1000; ++split)
            ASSERT_EQ(c.expected, Read(c.wire, split, c.close)) << shown << " split at " << split;
    }
}
