// The internal-port-name request and reply, the answer's reassembly and the
// answer-name map.
#include "discovery/port_name_codec.h"

#include <cstring>

namespace {

uint16_t Read16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void Write16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

const size_t kOffsetField = 84;
const size_t kChunkMaxField = 86;

struct NameMapping {
    const char* server;
    const char* queue;
};

const NameMapping kAnswerNameMap[] = {
    {"PRN", "lp"},      {"LPT", "lp"},       {"LPT1", "lp_p1"}, {"LPT2", "lp_p2"},
    {"COM1", "lp_s1"},  {"COM2", "lp_s2"},   {"prn1", "lp"},    {"PIO1", "lp_p1"},
    {"PIO2", "lp_p2"},  {"SIO", "lp_s1"},    {"Printer", "lp"},
};

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(const char* name, size_t length, const char* mapped)
{
    size_t i = 0;
    for (; i < length; ++i)
        if (!mapped[i] || AsciiLower(name[i]) != AsciiLower(mapped[i]))
            return false;
    return mapped[i] == '\0';
}

} // namespace

const char* const kDefaultQueueNames[kDefaultQueueNameCount] = {"lp", "lp_p1", "lp_p2", "lp_s1", "sp"};

size_t BuildPortNameRequest(uint16_t operation, uint16_t offset, uint8_t* out, size_t outSize)
{
    if (!out || outSize < kPortNameRequestSize)
        return 0;
    memset(out, 0, kPortNameRequestSize);
    Write16(out, operation);
    Write16(out + 2, 0x0001);
    memcpy(out + 4, kPortNameCommand, sizeof kPortNameCommand - 1);
    Write16(out + kOffsetField, offset);
    Write16(out + kChunkMaxField, kPortNameChunkMax);
    return kPortNameRequestSize;
}

bool ParsePortNameReply(const uint8_t* reply, size_t received, uint16_t operation, uint16_t offset,
                        PortNameChunk* chunk)
{
    if (!reply || received < kPortNameReplyHeader || Read16(reply) != operation || Read16(reply + 4) != offset)
        return false;
    const uint16_t length = Read16(reply + 6);
    if (kPortNameReplyHeader + length > received)
        return false;
    chunk->more = Read16(reply + 2) != 0;
    chunk->offset = offset;
    chunk->length = length;
    chunk->data = reply + kPortNameReplyHeader;
    return true;
}

void StartPortNameAssembly(PortNameAssembly* assembly)
{
    assembly->length = 0;
    assembly->operation = kPortNameFirstChunk;
}

PortNameStep AddPortNameChunk(PortNameAssembly* assembly, const PortNameChunk& chunk)
{
    if (assembly->length + chunk.length > kPortNameAnswerMax)
        return PORT_NAMES_FAILED;
    if (chunk.length)
        memcpy(assembly->answer + assembly->length, chunk.data, chunk.length);
    assembly->length += chunk.length;
    if (chunk.more) {
        // More data announced but none brought: the same request would follow forever.
        if (chunk.length == 0)
            return PORT_NAMES_FAILED;
        assembly->operation = kPortNameNextChunk;
        return PORT_NAMES_NEXT_CHUNK;
    }
    assembly->operation = kPortNameEnd;
    return PORT_NAMES_COMPLETE;
}

const char* MapPortName(const char* name, size_t length)
{
    for (const NameMapping& mapping : kAnswerNameMap)
        if (SameIgnoringCase(name, length, mapping.server))
            return mapping.queue;
    return nullptr;
}

void MapAnswerNames(const uint8_t* answer, size_t length, QueueNameList* list)
{
    list->count = 0;
    size_t i = 1; // the first byte is not interpreted
    while (i < length) {
        if (answer[i] == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < length && answer[end] != 0)
            ++end;
        const size_t nameLength = end - i;
        if (nameLength <= kPortNameMaxLength && list->count < kQueueNamesMax) {
            const char* queue = MapPortName(reinterpret_cast<const char*>(answer + i), nameLength);
            if (queue)
                list->names[list->count++] = queue;
        }
        i = end + 1;
    }
}
