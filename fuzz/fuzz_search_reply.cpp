// Fuzzes the search reply: whatever a datagram holds, a reply is accepted
// only with 70 bytes, type 2 and identifier 0x9506; its entry's texts are
// terminated within their fields, the model is at most 15 bytes and never
// ends inside a double-byte character; offering replies to the table keeps
// it at most 128 entries with distinct MAC addresses.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "discovery/search_codec.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool ShiftJisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool EndsWithinField(const char* field, size_t size)
{
    return memchr(field, 0, size) != nullptr;
}

// No lead byte is left without its trail byte.
bool WholeCharacters(const char* text)
{
    for (size_t i = 0; text[i]; ++i)
        if (ShiftJisLead(static_cast<unsigned char>(text[i])) && !text[++i])
            return false;
    return true;
}

SearchTable g_table;
ModelFilter g_filter;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    g_table.count = 0;
    ClearModelFilter(&g_filter);
    // The first byte picks a filter text from the input (its length), the
    // rest is a run of datagrams, each preceded by a one-byte length / 2.
    if (size > 0 && data[0] & 1)
        AddModelFilterText(&g_filter, reinterpret_cast<const char*>(data + 1), (data[0] >> 1) % 8 < size ? (data[0] >> 1) % 8 : 0,
                           ShiftJisLead);
    size_t at = size > 0 ? 1 : 0;
    while (at < size) {
        size_t length = static_cast<size_t>(data[at]) * 2 + 1;
        ++at;
        if (length > size - at)
            length = size - at;
        // As the receiver does: a zeroed buffer of 512 bytes and what arrived.
        uint8_t buffer[kSearchReplyMax];
        memset(buffer, 0, sizeof buffer);
        const size_t received = length < sizeof buffer ? length : sizeof buffer;
        memcpy(buffer, data + at, received);
        at += length;
        SearchReply reply;
        const uint16_t port = static_cast<uint16_t>(received & 1 ? 9 : kDiscoveryPort);
        const bool valid = ParseSearchReply(buffer, received, port, (received & 2) ? ShiftJisLead : nullptr, &reply);
        const bool expected = received >= kSearchReplyMin && buffer[0] == 0 && buffer[1] == 2 && buffer[2] == 0x95 &&
                              buffer[3] == 0x06;
        Check(valid == expected);
        if (!valid)
            continue;
        Check(EndsWithinField(reply.entry.address, sizeof reply.entry.address));
        Check(EndsWithinField(reply.entry.model, sizeof reply.entry.model));
        Check(strlen(reply.entry.model) <= 15);
        Check(memcmp(reply.entry.mac, buffer + kSearchReplyMacOffset, 6) == 0);
        Check(strncmp(reply.entry.model, reinterpret_cast<const char*>(buffer + kSearchReplyModelOffset),
                      strlen(reply.entry.model)) == 0);
        if (received & 2)
            Check(WholeCharacters(reply.entry.model));
        const size_t before = g_table.count;
        size_t index = 0;
        const SearchOffer offer = OfferSearchReply(&g_table, &g_filter, reply, &index);
        Check(g_table.count == before + (offer == SEARCH_ADDED ? 1 : 0));
        Check(g_table.count <= kSearchTableMax);
        if (offer == SEARCH_ADDED || offer == SEARCH_DUPLICATE || offer == SEARCH_PORT_UPGRADED)
            Check(index < g_table.count && memcmp(g_table.entries[index].mac, reply.entry.mac, 6) == 0);
        char text[kMacTextSize];
        for (int column = 0; column < 3; ++column)
            SearchColumnText(reply.entry, column, text, sizeof text);
    }
    for (size_t i = 0; i < g_table.count; ++i)
        for (size_t j = i + 1; j < g_table.count; ++j)
            Check(memcmp(g_table.entries[i].mac, g_table.entries[j].mac, 6) != 0);
    return 0;
}
