// Incremental reader of one HTTP/1.x response. The whole response stays in
// one buffer; a chunked body is decoded in place, towards the front, behind
// the head (the framing it drops always lies ahead of the data it moves).
#include "ipp/http_parser.h"

#include <cstring>

#include "codec/parse_number.h"

namespace {

const uint64_t kUint64Max = ~uint64_t{0};

enum LineResult { LINE_MISSING, LINE_FOUND, LINE_MALFORMED };

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(const char* text, size_t length, const char* lower)
{
    if (strlen(lower) != length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (Lower(text[i]) != lower[i])
            return false;
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f'); }

// Strict lengths from the peer: digits only (at least one), no sign or
// blank, overflow-checked in 64 bits.
bool ParseLength(const char* text, size_t length, unsigned radix, uint64_t* value)
{
    return ParseStrictNumber(text, length, radix, kUint64Max, value);
}

const char* Text(const HttpResponseParser* p, size_t at) { return reinterpret_cast<const char*>(p->buffer + at); }

// The next line from the scan position: it must end in CR LF and hold no
// other CR or LF. *end is where its CR lies.
LineResult FindLine(const HttpResponseParser* p, size_t* end)
{
    const uint8_t* start = p->buffer + p->scan;
    const size_t available = p->received - p->scan;
    const uint8_t* lf = static_cast<const uint8_t*>(memchr(start, '\n', available));
    // The bytes in front of the CR LF (or, with no LF yet, all bytes but a
    // CR at the very end, which an LF may still follow) hold no CR.
    size_t length;
    if (lf != nullptr) {
        length = static_cast<size_t>(lf - start);
        if (length == 0 || start[length - 1] != '\r')
            return LINE_MALFORMED;
        --length;
    } else {
        length = available;
        if (length > 0 && start[length - 1] == '\r')
            --length;
    }
    if (memchr(start, '\r', length) != nullptr)
        return LINE_MALFORMED;
    if (lf == nullptr)
        return LINE_MISSING;
    *end = p->scan + length;
    return LINE_FOUND;
}

HttpOutcome Fail(HttpResponseParser* p)
{
    p->outcome = HTTP_ERROR;
    p->error = ERR_IPP_SEND;
    return HTTP_ERROR;
}

HttpOutcome Complete(HttpResponseParser* p)
{
    p->phase = HTTP_PHASE_DONE;
    p->outcome = HTTP_COMPLETE;
    return HTTP_COMPLETE;
}

// "HTTP/1." digit, a blank, three digits, then the end or a blank.
bool ParseStatusLine(HttpResponseParser* p, size_t end)
{
    const char* line = Text(p, p->scan);
    const size_t length = end - p->scan;
    if (length < 12 || memcmp(line, "HTTP/1.", 7) != 0 || !IsDigit(line[7]) || line[8] != ' ')
        return false;
    if (!IsDigit(line[9]) || !IsDigit(line[10]) || !IsDigit(line[11]) || line[9] == '0')
        return false;
    if (length > 12 && line[12] != ' ')
        return false;
    p->status = static_cast<uint16_t>((line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0'));
    return true;
}

bool ParseHeaderLine(HttpResponseParser* p, size_t end)
{
    const char* line = Text(p, p->scan);
    const size_t length = end - p->scan;
    const char* colon = static_cast<const char*>(memchr(line, ':', length));
    if (colon == nullptr || colon == line)
        return false;
    const size_t nameLength = static_cast<size_t>(colon - line);
    for (size_t i = 0; i < nameLength; ++i)
        if (IsBlank(line[i])) // also a folded continuation line
            return false;
    size_t from = nameLength + 1, to = length;
    while (from < to && IsBlank(line[from]))
        ++from;
    while (to > from && IsBlank(line[to - 1]))
        --to;
    const char* value = line + from;
    const size_t valueLength = to - from;

    if (EqualsIgnoringCase(line, nameLength, "transfer-encoding")) {
        if (EqualsIgnoringCase(value, valueLength, "chunked"))
            p->chunked = true;
        else
            p->otherCoding = true;
    } else if (EqualsIgnoringCase(line, nameLength, "content-length")) {
        uint64_t number;
        if (!ParseLength(value, valueLength, 10, &number))
            return false;
        if (p->haveLength && number != p->contentLength)
            return false;
        p->haveLength = true;
        p->contentLength = number;
    }
    return true;
}

// Forgets an interim response: its bytes leave the buffer, the next
// response's bytes move to the front.
void DropInterim(HttpResponseParser* p)
{
    memmove(p->buffer, p->buffer + p->scan, p->received - p->scan);
    p->received -= p->scan;
    p->scan = 0;
    p->phase = HTTP_PHASE_STATUS;
    p->status = 0;
    p->chunked = p->otherCoding = p->haveLength = false;
    p->contentLength = 0;
}

// The empty line after the headers: decides how the body is read.
HttpOutcome HeadComplete(HttpResponseParser* p)
{
    p->bodyStart = p->scan;
    p->bodyLength = 0;
    if (p->status < 200 && p->status != 101) {
        if (++p->interimResponses > kHttpInterimMax)
            return Fail(p);
        DropInterim(p);
        return HTTP_INTERIM;
    }
    // Any status but 2xx is decided now, without its body; 204 has none.
    if (p->status / 100 != 2 || p->status == 204)
        return Complete(p);
    if (p->otherCoding) {
        return Fail(p); // a coding this reader cannot undo
    } else if (p->chunked) {
        p->phase = HTTP_PHASE_CHUNK_SIZE;
    } else if (p->haveLength) {
        if (p->contentLength > kHttpResponseMax - p->scan)
            return Fail(p);
        p->phase = HTTP_PHASE_COUNTED;
    } else {
        p->phase = HTTP_PHASE_UNTIL_CLOSE;
    }
    return HTTP_INTERIM; // the body follows in the same round
}

// Head lines: the status line, then headers up to the empty line.
HttpOutcome StepHead(HttpResponseParser* p)
{
    size_t end = 0;
    const LineResult found = FindLine(p, &end);
    if (found != LINE_FOUND)
        return found == LINE_MISSING ? HTTP_NEED_MORE : Fail(p);
    const bool statusLine = p->phase == HTTP_PHASE_STATUS;
    const bool emptyLine = end == p->scan;
    if (statusLine ? !ParseStatusLine(p, end) : (!emptyLine && !ParseHeaderLine(p, end)))
        return Fail(p);
    p->scan = end + 2;
    p->phase = HTTP_PHASE_HEADERS;
    return !statusLine && emptyLine ? HeadComplete(p) : HTTP_INTERIM;
}

// A chunk-size line: hex digits, optional blanks, an ignored extension
// behind ";". The chunk and its CR LF must fit the buffer.
HttpOutcome StepChunkSize(HttpResponseParser* p)
{
    size_t end = 0;
    const LineResult found = FindLine(p, &end);
    if (found != LINE_FOUND)
        return found == LINE_MISSING ? HTTP_NEED_MORE : Fail(p);
    const char* line = Text(p, p->scan);
    size_t digits = 0;
    while (p->scan + digits < end && IsHexDigit(line[digits]))
        ++digits;
    size_t rest = digits;
    while (p->scan + rest < end && IsBlank(line[rest]))
        ++rest;
    uint64_t size;
    if (!ParseLength(line, digits, 16, &size) || (p->scan + rest < end && line[rest] != ';'))
        return Fail(p);
    p->scan = end + 2;
    if (size == 0) {
        p->phase = HTTP_PHASE_TRAILERS;
        return HTTP_INTERIM;
    }
    if (size > kHttpResponseMax - p->scan || kHttpResponseMax - p->scan - size < 2)
        return Fail(p);
    p->chunkLeft = size;
    p->phase = HTTP_PHASE_CHUNK_DATA;
    return HTTP_INTERIM;
}

HttpOutcome StepChunkData(HttpResponseParser* p)
{
    const size_t available = p->received - p->scan;
    const size_t take = available < p->chunkLeft ? available : static_cast<size_t>(p->chunkLeft);
    memmove(p->buffer + p->bodyStart + p->bodyLength, p->buffer + p->scan, take);
    p->bodyLength += take;
    p->scan += take;
    p->chunkLeft -= take;
    if (p->chunkLeft != 0)
        return HTTP_NEED_MORE;
    p->phase = HTTP_PHASE_CHUNK_END;
    return HTTP_INTERIM;
}

HttpOutcome StepChunkEnd(HttpResponseParser* p)
{
    const size_t available = p->received - p->scan;
    if (available >= 1 && p->buffer[p->scan] != '\r')
        return Fail(p);
    if (available < 2)
        return HTTP_NEED_MORE;
    if (p->buffer[p->scan + 1] != '\n')
        return Fail(p);
    p->scan += 2;
    p->phase = HTTP_PHASE_CHUNK_SIZE;
    return HTTP_INTERIM;
}

// Trailer fields after the last chunk are taken and dropped.
HttpOutcome StepTrailers(HttpResponseParser* p)
{
    size_t end = 0;
    const LineResult found = FindLine(p, &end);
    if (found != LINE_FOUND)
        return found == LINE_MISSING ? HTTP_NEED_MORE : Fail(p);
    const bool emptyLine = end == p->scan;
    p->scan = end + 2;
    return emptyLine ? Complete(p) : HTTP_INTERIM;
}

// One step of the current phase. HTTP_INTERIM here means "progress made,
// go on".
HttpOutcome Step(HttpResponseParser* p)
{
    switch (p->phase) {
    case HTTP_PHASE_STATUS:
    case HTTP_PHASE_HEADERS:
        return StepHead(p);
    case HTTP_PHASE_COUNTED:
        if (p->received - p->bodyStart < p->contentLength)
            return HTTP_NEED_MORE;
        p->bodyLength = static_cast<size_t>(p->contentLength);
        return Complete(p);
    case HTTP_PHASE_UNTIL_CLOSE:
        return HTTP_NEED_MORE;
    case HTTP_PHASE_CHUNK_SIZE:
        return StepChunkSize(p);
    case HTTP_PHASE_CHUNK_DATA:
        return StepChunkData(p);
    case HTTP_PHASE_CHUNK_END:
        return StepChunkEnd(p);
    case HTTP_PHASE_TRAILERS:
        return StepTrailers(p);
    case HTTP_PHASE_DONE:
        return Complete(p);
    }
    return Fail(p);
}

// Parses what the buffer holds. A full buffer with an incomplete response
// is an error at once: the response cannot fit.
HttpOutcome Run(HttpResponseParser* p)
{
    if (p->outcome == HTTP_ERROR || p->outcome == HTTP_COMPLETE)
        return p->outcome;
    HttpOutcome step;
    do
        step = Step(p);
    while (step == HTTP_INTERIM);
    if (step == HTTP_NEED_MORE && p->received == kHttpResponseMax)
        return Fail(p);
    return step;
}

} // namespace

void HttpParserReset(HttpResponseParser* parser)
{
    parser->received = 0;
    parser->scan = 0;
    parser->phase = HTTP_PHASE_STATUS;
    parser->outcome = HTTP_NEED_MORE;
    parser->error = 0;
    parser->status = 0;
    parser->chunked = parser->otherCoding = parser->haveLength = false;
    parser->contentLength = 0;
    parser->chunkLeft = 0;
    parser->bodyStart = 0;
    parser->bodyLength = 0;
    parser->interimResponses = 0;
    parser->anyByte = false;
    parser->ended = false;
}

uint8_t* HttpReceiveSpace(HttpResponseParser* parser, size_t* room)
{
    *room = kHttpResponseMax - parser->received;
    return parser->buffer + parser->received;
}

HttpOutcome HttpReceived(HttpResponseParser* parser, size_t count)
{
    if (parser->outcome != HTTP_NEED_MORE || parser->ended)
        return parser->outcome;
    const size_t room = kHttpResponseMax - parser->received;
    if (count > room)
        count = room;
    parser->received += count;
    if (count > 0)
        parser->anyByte = true;
    parser->outcome = Run(parser);
    return parser->outcome;
}

HttpOutcome HttpFeed(HttpResponseParser* parser, const uint8_t* data, size_t length)
{
    // Dropping an interim response frees room, so the bytes go in as they fit.
    do {
        size_t room;
        uint8_t* space = HttpReceiveSpace(parser, &room);
        const size_t n = length < room ? length : room;
        if (n > 0)
            memcpy(space, data, n);
        HttpReceived(parser, n);
        data += n;
        length -= n;
    } while (length > 0 && parser->outcome == HTTP_NEED_MORE && !parser->ended);
    return parser->outcome;
}

HttpOutcome HttpEndOfStream(HttpResponseParser* parser)
{
    if (parser->outcome != HTTP_NEED_MORE || parser->ended)
        return parser->outcome;
    parser->ended = true;
    if (parser->phase == HTTP_PHASE_UNTIL_CLOSE) {
        parser->bodyLength = parser->received - parser->bodyStart;
        return parser->outcome = Complete(parser);
    }
    parser->outcome = HTTP_ERROR;
    parser->error = parser->anyByte ? ERR_IPP_SEND : ERR_CONNECTION_LOST;
    return HTTP_ERROR;
}

const uint8_t* HttpBody(const HttpResponseParser* parser, size_t* length)
{
    if (parser->outcome != HTTP_COMPLETE) {
        *length = 0;
        return nullptr;
    }
    *length = parser->bodyLength;
    return parser->buffer + parser->bodyStart;
}
