// Fuzzes the HTTP response reader: the outcome does not depend on how the
// bytes are split, and a body always lies inside the buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "ipp/http_parser.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Feeds data in pieces of `step` bytes (0: all at once), then maybe the end.
std::unique_ptr<HttpResponseParser> Read(const uint8_t* data, size_t size, size_t step, bool close)
{
    auto parser = std::make_unique<HttpResponseParser>();
    HttpParserReset(parser.get());
    if (step == 0)
        step = size > 0 ? size : 1;
    for (size_t at = 0; at < size; at += step)
        HttpFeed(parser.get(), data + at, size - at < step ? size - at : step);
    if (size == 0)
        HttpFeed(parser.get(), data, 0);
    if (close)
        HttpEndOfStream(parser.get());
    return parser;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte: end of stream, one of a few heads to start from (so
    // that bodies are reached quickly), and the piece size.
    static const char* const kHeads[] = {"", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                                         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n", "HTTP/1.1 200 OK\r\n"};
    const bool close = (data[0] & 0x80) != 0;
    const char* head = kHeads[(data[0] >> 5) & 3];
    const size_t step = (data[0] & 0x1F) + 1;
    std::string wire = head;
    wire.append(reinterpret_cast<const char*>(data + 1), size - 1);
    data = reinterpret_cast<const uint8_t*>(wire.data());
    size = wire.size();
    const auto whole = Read(data, size, 0, close);
    const auto pieces = Read(data, size, step, close);
    Check(whole->outcome == pieces->outcome);
    Check(whole->outcome != HTTP_INTERIM);
    Check((whole->outcome == HTTP_ERROR) == (whole->error != 0));
    Check(whole->error == pieces->error);
    Check(whole->error == 0 || whole->error == ERR_CONNECTION_LOST || whole->error == ERR_IPP_SEND);
    Check(!close || whole->outcome != HTTP_NEED_MORE);
    size_t length = 0, length2 = 0;
    const uint8_t* body = HttpBody(whole.get(), &length);
    const uint8_t* body2 = HttpBody(pieces.get(), &length2);
    Check((body == nullptr) == (whole->outcome != HTTP_COMPLETE));
    if (body != nullptr) {
        Check(whole->status == pieces->status && whole->status >= 100 && whole->status <= 999);
        Check(body >= whole->buffer && length <= kHttpResponseMax &&
              static_cast<size_t>(body - whole->buffer) <= kHttpResponseMax - length);
        Check(length == length2 && (length == 0 || std::memcmp(body, body2, length) == 0));
        Check(whole->status / 100 == 2 || length == 0);
    }
    return 0;
}
