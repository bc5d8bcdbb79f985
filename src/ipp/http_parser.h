// Incremental reader of one HTTP/1.x response. Fed the bytes as they arrive
// and told when the peer closed; answers more-needed, complete (status and
// body) or error. Interim 1xx responses are consumed on the way. Pure code:
// no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "monitor/error_codes.h"

// A response (head and body as received) must fit this buffer.
const size_t kHttpResponseMax = 16384;
// More interim responses than this in front of the final one are an error.
const uint32_t kHttpInterimMax = 32;

enum HttpOutcome : int {
    HTTP_NEED_MORE = 0, // receive more (or report end-of-stream)
    HTTP_INTERIM = 1,   // an interim response was consumed (never returned
                        // by HttpReceived, HttpFeed or HttpEndOfStream)
    HTTP_COMPLETE = 2,  // status and body known; for a status that is not
                        // 2xx the head alone completes it (body empty)
    HTTP_ERROR = 3,     // error code in `error`
};

// The reader's error codes (monitor/error_codes.h): ERR_CONNECTION_LOST when
// the peer closed before any byte came; ERR_IPP_SEND for a response that is
// malformed, too large, or cut short.

enum HttpPhase : uint8_t {
    HTTP_PHASE_STATUS,
    HTTP_PHASE_HEADERS,
    HTTP_PHASE_COUNTED,      // body of Content-Length bytes
    HTTP_PHASE_UNTIL_CLOSE,  // body ends when the peer closes
    HTTP_PHASE_CHUNK_SIZE,
    HTTP_PHASE_CHUNK_DATA,
    HTTP_PHASE_CHUNK_END,    // CR LF after chunk data
    HTTP_PHASE_TRAILERS,
    HTTP_PHASE_DONE,
};

// Plain record; large (keep it on the heap on small thread stacks). Reset
// it with HttpParserReset before the first use.
struct HttpResponseParser {
    uint8_t buffer[kHttpResponseMax];
    size_t received;         // bytes in buffer
    size_t scan;             // bytes parsed
    HttpPhase phase;
    HttpOutcome outcome;
    uint32_t error;
    uint16_t status;         // 0 until the status line was read
    bool chunked;
    bool otherCoding;        // a Transfer-Encoding other than chunked
    bool haveLength;
    uint64_t contentLength;
    uint64_t chunkLeft;      // data bytes of the current chunk still to come
    size_t bodyStart;        // offset of the body in buffer
    size_t bodyLength;       // body bytes (decoded in place when chunked)
    uint32_t interimResponses;
    bool anyByte;            // some byte ever arrived
    bool ended;              // the peer closed
};

void HttpParserReset(HttpResponseParser* parser);
// Free room behind the received bytes, for a receive straight into it.
uint8_t* HttpReceiveSpace(HttpResponseParser* parser, size_t* room);
// `count` bytes were received into HttpReceiveSpace; parses them.
HttpOutcome HttpReceived(HttpResponseParser* parser, size_t count);
// Copies `length` bytes in (as far as they fit) and parses them.
HttpOutcome HttpFeed(HttpResponseParser* parser, const uint8_t* data, size_t length);
// The peer closed the connection: ends a close-delimited body; anything
// else still incomplete is an error.
HttpOutcome HttpEndOfStream(HttpResponseParser* parser);
// The body of a complete response (null with length 0 otherwise).
const uint8_t* HttpBody(const HttpResponseParser* parser, size_t* length);
