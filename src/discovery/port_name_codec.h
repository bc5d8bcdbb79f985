// The internal-port-name query of the print servers' UDP protocol (Part
// 6.1): the request, the chunked reply and its reassembly into the answer,
// and the walk of the answer's names through the answer-name map to the LPR
// queue names the wizard offers. Pure code: no OS header; numbers on the
// wire are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

// Operations of the request (echoed in the reply's first two bytes).
const uint16_t kPortNameFirstChunk = 1;
const uint16_t kPortNameNextChunk = 2;
const uint16_t kPortNameEnd = 3;
const char kPortNameCommand[] = "GET PORT_NAME";
const size_t kPortNameRequestSize = 88;
const size_t kPortNameCommandField = 80;
const uint16_t kPortNameChunkMax = 512;   // the largest chunk the client accepts
const size_t kPortNameReplyMax = 576;     // bytes read of one reply
const size_t kPortNameReplyHeader = 8;    // operation, more-data, offset, length
const size_t kPortNameAnswerMax = 1024;   // the joined chunks, at most
const size_t kPortNameMaxLength = 31;     // a longer name is skipped
const int kPortNameAttempts = 5;          // per chunk

// The 88-byte request: operation, 0x0001, "GET PORT_NAME" NUL-padded to 80
// bytes, the wanted offset, 512. Returns 88, or 0 when `outSize` is smaller.
size_t BuildPortNameRequest(uint16_t operation, uint16_t offset, uint8_t* out, size_t outSize);

// One chunk of a reply; `data` points into the reply.
struct PortNameChunk {
    bool more;
    uint16_t offset;
    uint16_t length;
    const uint8_t* data;
};

// True when the `received` bytes answer the request (`operation`,
// `offset`): at least the 8-byte header, the same operation, the same
// offset, and the whole chunk inside what arrived (8 + n <= received).
// Anything else is a failed attempt.
bool ParsePortNameReply(const uint8_t* reply, size_t received, uint16_t operation, uint16_t offset,
                        PortNameChunk* chunk);

// The answer being joined from its chunks, and the request to send next.
struct PortNameAssembly {
    uint8_t answer[kPortNameAnswerMax];
    size_t length;      // bytes joined so far: the offset of the next chunk
    uint16_t operation; // of the next request
};

enum PortNameStep {
    PORT_NAMES_NEXT_CHUNK, // send the request for the next chunk (operation 2)
    PORT_NAMES_COMPLETE,   // the answer is whole: send operation 3 once, then done
    PORT_NAMES_FAILED,     // the query ends with -1
};

void StartPortNameAssembly(PortNameAssembly* assembly);
// Adds a chunk accepted by ParsePortNameReply for the assembly's current
// request. An answer that would grow past 1024 bytes fails, and so does a
// chunk that announces more data but brings none (a server that would keep
// the client asking forever).
PortNameStep AddPortNameChunk(PortNameAssembly* assembly, const PortNameChunk& chunk);

// The LPR queue names offered for an answer: at most one per name of the
// answer (names are at least one byte plus a NUL, after the first byte).
const size_t kQueueNamesMax = kPortNameAnswerMax / 2;
struct QueueNameList {
    const char* names[kQueueNamesMax]; // static texts of the answer-name map
    size_t count;
};

// The queue name that the answer-name map gives a server port name (the
// `length` bytes at `name`, compared without regard to ASCII case, first
// match wins), or NULL when the name is not in the map.
const char* MapPortName(const char* name, size_t length);

// Walks the `length` bytes of an answer from its second byte: a NUL steps
// one byte on; a name runs to its NUL or, unterminated, to the end of the
// answer; names longer than 31 bytes and names not in the map are skipped;
// each mapped name adds its queue name (repeats included). Replaces the
// list's contents.
void MapAnswerNames(const uint8_t* answer, size_t length, QueueNameList* list);

// The default queue names, in order: "lp", "lp_p1", "lp_p2", "lp_s1", "sp".
const size_t kDefaultQueueNameCount = 5;
extern const char* const kDefaultQueueNames[kDefaultQueueNameCount];
