// Fuzzes the internal-port-name exchange: the input is a run of server
// datagrams answering the client's requests in turn. Only a datagram that
// echoes the operation and offset and holds its whole chunk is taken; the
// answer never grows past 1024 bytes; the exchange ends (complete or failed)
// or keeps asking only while each accepted chunk brought data.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "discovery/port_name_codec.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

PortNameAssembly g_assembly;
QueueNameList g_list;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StartPortNameAssembly(&g_assembly);
    size_t at = 0;
    int failedAttempts = 0;
    bool ended = false;
    while (at + 2 <= size && !ended) {
        size_t length = (static_cast<size_t>(data[at]) << 8 | data[at + 1]) % 700;
        at += 2;
        if (length > size - at)
            length = size - at;
        uint8_t buffer[kPortNameReplyMax];
        const size_t received = length < sizeof buffer ? length : sizeof buffer;
        memcpy(buffer, data + at, received);
        at += length;
        PortNameChunk chunk;
        const uint16_t offset = static_cast<uint16_t>(g_assembly.length);
        if (!ParsePortNameReply(buffer, received, g_assembly.operation, offset, &chunk)) {
            if (++failedAttempts == kPortNameAttempts)
                break;
            continue;
        }
        failedAttempts = 0;
        Check(received >= kPortNameReplyHeader && kPortNameReplyHeader + chunk.length <= received);
        Check(chunk.data == buffer + kPortNameReplyHeader);
        const size_t before = g_assembly.length;
        const PortNameStep step = AddPortNameChunk(&g_assembly, chunk);
        Check(g_assembly.length <= kPortNameAnswerMax);
        if (step == PORT_NAMES_NEXT_CHUNK) {
            Check(chunk.length > 0 && g_assembly.length == before + chunk.length);
            Check(g_assembly.operation == kPortNameNextChunk);
        } else {
            ended = true;
            if (step == PORT_NAMES_COMPLETE) {
                Check(g_assembly.operation == kPortNameEnd);
                Check(memcmp(g_assembly.answer + before, chunk.data, chunk.length) == 0);
            }
        }
    }
    MapAnswerNames(g_assembly.answer, g_assembly.length, &g_list);
    Check(g_list.count <= g_assembly.length / 2 + 1);
    return 0;
}
