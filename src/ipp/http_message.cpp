// The HTTP request head and chunk framing.
#include "ipp/http_message.h"

#include "codec/base64.h"

#include <cstring>
#include <initializer_list>

namespace {

const size_t kHostMax = 64;
const size_t kPathMax = 256;
const size_t kCredentialMax = 64;
const size_t kChunkExtra = 32;

// Appends texts to a bounded buffer; once something did not fit, the whole
// head is refused.
struct TextWriter {
    char* out;
    size_t capacity;
    size_t length;
    bool overflow;
};

void Append(TextWriter* writer, const char* text, size_t length)
{
    if (writer->overflow || length > writer->capacity - writer->length) {
        writer->overflow = true;
        return;
    }
    memcpy(writer->out + writer->length, text, length);
    writer->length += length;
}

void AppendText(TextWriter* writer, const char* text) { Append(writer, text, strlen(text)); }

// A text field of the settings, never more than its field's characters.
void AppendField(TextWriter* writer, const char* text, size_t limit)
{
    if (text != nullptr)
        Append(writer, text, strnlen(text, limit));
}

// Digits of value in radix 10 or 16 (lower case), no leading zeros.
size_t FormatNumber(char* out, uint64_t value, unsigned radix)
{
    char reversed[24];
    size_t n = 0;
    do {
        reversed[n++] = "0123456789abcdef"[value % radix];
        value /= radix;
    } while (value != 0);
    for (size_t i = 0; i < n; ++i)
        out[i] = reversed[n - 1 - i];
    return n;
}

void AppendNumber(TextWriter* writer, uint64_t value)
{
    char digits[24];
    Append(writer, digits, FormatNumber(digits, value, 10));
}

void AppendRequestLine(TextWriter* writer, const HttpHeadFields& fields)
{
    AppendText(writer, "POST ");
    if (fields.useProxy) {
        // The absolute form always names http, also for an ipp URL.
        AppendText(writer, "http://");
        AppendField(writer, fields.host, kHostMax);
        AppendText(writer, ":");
        AppendNumber(writer, fields.port);
    }
    AppendField(writer, fields.path, kPathMax);
    AppendText(writer, " HTTP/1.1\r\n");
}

void AppendAuthorization(TextWriter* writer, const HttpHeadFields& fields)
{
    char credentials[2 * kCredentialMax + 2];
    char encoded[(sizeof credentials + 2) / 3 * 4 + 4];
    size_t length = 0;
    for (const char* part : {fields.userName, ":", fields.password}) {
        const size_t n = part != nullptr ? strnlen(part, kCredentialMax) : 0;
        if (n > 0)
            memcpy(credentials + length, part, n);
        length += n;
    }
    const size_t encodedLength =
        Base64Encode(encoded, sizeof encoded, reinterpret_cast<const uint8_t*>(credentials), length);
    AppendText(writer, "Authorization: Basic ");
    Append(writer, encoded, encodedLength);
    AppendText(writer, "\r\n");
    WipeBytes(credentials, sizeof credentials);
    WipeBytes(encoded, sizeof encoded);
}

} // namespace

size_t BuildHttpHead(char* out, size_t capacity, const HttpHeadFields& fields, uint64_t bodyLength)
{
    if (out == nullptr || bodyLength > kHttpBodyLengthMax)
        return 0;
    TextWriter writer = {out, capacity, 0, false};
    AppendRequestLine(&writer, fields);
    AppendText(&writer, "Host: ");
    AppendField(&writer, fields.host, kHostMax);
    AppendText(&writer, ":");
    AppendNumber(&writer, fields.port);
    AppendText(&writer, "\r\nCache-Control: no-cache\r\nPragma: no-cache\r\nContent-Type: application/ipp\r\n"
                        "Accept: application/ipp\r\nUser-Agent: QX-IPPC\r\n");
    if (fields.authenticate)
        AppendAuthorization(&writer, fields);
    if (fields.chunked) {
        AppendText(&writer, "Transfer-Encoding: chunked\r\n\r\n");
    } else {
        AppendText(&writer, fields.useProxy ? "Proxy-Connection: Keep-Alive\r\n" : "Connection: Keep-Alive\r\n");
        AppendText(&writer, "Content-Length: ");
        AppendNumber(&writer, bodyLength);
        AppendText(&writer, "\r\n\r\n");
    }
    if (writer.overflow) {
        WipeBytes(out, capacity); // it may hold the credentials
        return 0;
    }
    return writer.length;
}

uint32_t EffectiveMaxChunk(uint32_t maxChunk)
{
    return maxChunk >= kMaxChunkLow && maxChunk <= kMaxChunkHigh ? maxChunk : kMaxChunkDefault;
}

size_t ChunkFraming(size_t n)
{
    size_t digits = 1;
    for (size_t rest = n >> 4; rest != 0; rest >>= 4)
        ++digits;
    return digits + 4;
}

size_t ChunkWorkBufferSize(size_t length, uint32_t maxChunk)
{
    const size_t chunk = EffectiveMaxChunk(maxChunk);
    return (length < chunk ? length : chunk) + kChunkExtra;
}

size_t FrameChunk(uint8_t* out, size_t capacity, const uint8_t* data, size_t n)
{
    if (out == nullptr || n == 0 || capacity < ChunkFraming(n) || n > capacity - ChunkFraming(n))
        return 0;
    const size_t lineLength = FormatNumber(reinterpret_cast<char*>(out), n, 16);
    out[lineLength] = '\r';
    out[lineLength + 1] = '\n';
    memcpy(out + lineLength + 2, data, n);
    out[lineLength + 2 + n] = '\r';
    out[lineLength + 3 + n] = '\n';
    return lineLength + n + 4;
}
