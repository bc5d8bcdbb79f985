// The HTTP side of a request: the POST head with its Basic authorization,
// and chunk framing of a body. Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

// What the head of one request says.
struct HttpHeadFields {
    const char* host;     // printer host (Host header, absolute form)
    uint32_t port;        // printer port
    const char* path;     // request path
    bool useProxy;        // absolute-form request line, Proxy-Connection
    bool chunked;         // Transfer-Encoding: chunked (the port's setting and the request allows it)
    bool authenticate;    // Authorization: Basic
    const char* userName; // up to 64 characters
    const char* password; // up to 64 characters
};

// Largest head BuildHttpHead writes with the fields' limits (host 64, path
// 256, user name and password 64 each).
const size_t kHttpHeadMax = 1024;
// Largest Content-Length that can be announced.
const uint64_t kHttpBodyLengthMax = 0xFFFFFFFFull;

// Writes the head ending in the empty line into out (not terminated).
// Returns its length; 0 when the body length is above kHttpBodyLengthMax or
// the head does not fit. The user:password text and its Base64 form are
// wiped before returning.
size_t BuildHttpHead(char* out, size_t capacity, const HttpHeadFields& fields, uint64_t bodyLength);

// Chunk size in force: a stored MaxChunk outside 1024..16384 is 4096.
const uint32_t kMaxChunkDefault = 4096;
const uint32_t kMaxChunkLow = 1024;
const uint32_t kMaxChunkHigh = 16384;
uint32_t EffectiveMaxChunk(uint32_t maxChunk);

// Framing around n data bytes: hex size line with CR LF before, CR LF after.
const size_t kChunkFramingMax = 8 + 2 + 2;
size_t ChunkFraming(size_t n);
// Work buffer for framing a write of `length` bytes: min(length, chunk) + 32.
size_t ChunkWorkBufferSize(size_t length, uint32_t maxChunk);
// Writes one chunk ("%x" CR LF, data, CR LF) of n bytes (n > 0) into out.
// Returns its length, 0 when it does not fit.
size_t FrameChunk(uint8_t* out, size_t capacity, const uint8_t* data, size_t n);

// The closing chunk of a chunked body.
const char kLastChunk[] = "0\r\n\r\n";
const size_t kLastChunkLength = 5;
