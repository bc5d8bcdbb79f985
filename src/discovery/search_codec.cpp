// The search request and reply of the print servers' query protocol, and
// the search dialog's table of answering servers (Parts 6.1, 6.3).
#include "discovery/search_codec.h"

#include <cstdio>
#include <cstring>

namespace {

uint16_t Read16(const uint8_t* p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t Read32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

void Write16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
}

const uint16_t kUpgradeFromPort = 9;

} // namespace

size_t BuildSearchRequest(uint8_t* out, size_t outSize)
{
    if (!out || outSize < kDiscoveryRequestSize)
        return 0;
    memset(out, 0, kDiscoveryRequestSize);
    Write16(out, kSearchRequestType);
    Write16(out + 2, kDiscoveryProtocolId);
    return kDiscoveryRequestSize;
}

size_t CopyTextCut(const char* text, size_t length, size_t limit, DiscoveryLeadByteTest isLead, char* out)
{
    size_t end = 0;
    while (end < length && text[end])
        ++end;
    size_t copied = 0;
    while (copied < end) {
        size_t width = 1;
        if (isLead && isLead(static_cast<unsigned char>(text[copied]))) {
            // A lead byte without its trail byte is no character: it is left out.
            if (copied + 1 >= end)
                break;
            width = 2;
        }
        if (copied + width > limit)
            break;
        copied += width;
    }
    memcpy(out, text, copied);
    out[copied] = '\0';
    return copied;
}

void FormatIpv4(uint32_t value, char* out)
{
    snprintf(out, kResultAddressSize, "%u.%u.%u.%u", static_cast<unsigned>(value >> 24),
             static_cast<unsigned>((value >> 16) & 0xFF), static_cast<unsigned>((value >> 8) & 0xFF),
             static_cast<unsigned>(value & 0xFF));
}

void FormatMac(const uint8_t* mac, char* out)
{
    snprintf(out, kMacTextSize, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

bool ParseSearchReply(const uint8_t* reply, size_t received, uint16_t sourcePort, DiscoveryLeadByteTest isLead,
                      SearchReply* out)
{
    if (!reply || received < kSearchReplyMin || Read16(reply) != kSearchReplyType ||
        Read16(reply + 2) != kDiscoveryProtocolId)
        return false;
    SearchReply parsed;
    memset(&parsed, 0, sizeof parsed);
    memcpy(parsed.entry.mac, reply + kSearchReplyMacOffset, sizeof parsed.entry.mac);
    parsed.entry.queryPort = sourcePort;
    parsed.ipv4 = Read32(reply + kSearchReplyAddressOffset);
    FormatIpv4(parsed.ipv4, parsed.entry.address);
    CopyTextCut(reinterpret_cast<const char*>(reply + kSearchReplyModelOffset), kSearchReplyModelField,
                kResultModelSize - 1, isLead, parsed.entry.model);
    *out = parsed;
    return true;
}

void ClearModelFilter(ModelFilter* filter)
{
    filter->count = 0;
}

bool AddModelFilterText(ModelFilter* filter, const char* text, size_t length, DiscoveryLeadByteTest isLead)
{
    if (!text || filter->count >= kModelFilterMax)
        return false;
    char* slot = filter->texts[filter->count];
    if (CopyTextCut(text, length, kModelFilterTextMax, isLead, slot) == 0)
        return false;
    ++filter->count;
    return true;
}

bool ModelFilterPasses(const ModelFilter* filter, const char* model)
{
    if (!filter || filter->count == 0)
        return true;
    for (size_t i = 0; i < filter->count; ++i)
        if (strstr(model, filter->texts[i]))
            return true;
    return false;
}

SearchOffer OfferSearchReply(SearchTable* table, const ModelFilter* filter, const SearchReply& reply, size_t* index)
{
    if (table->count >= kSearchTableMax)
        return SEARCH_TABLE_FULL;
    if (reply.ipv4 == 0)
        return SEARCH_NO_ADDRESS;
    if (!ModelFilterPasses(filter, reply.entry.model))
        return SEARCH_FILTERED;
    for (size_t i = 0; i < table->count; ++i) {
        SearchResult& entry = table->entries[i];
        if (memcmp(entry.mac, reply.entry.mac, sizeof entry.mac) != 0)
            continue;
        if (index)
            *index = i;
        if (entry.queryPort == kUpgradeFromPort && reply.entry.queryPort == kDiscoveryPort) {
            entry.queryPort = kDiscoveryPort;
            return SEARCH_PORT_UPGRADED;
        }
        return SEARCH_DUPLICATE;
    }
    table->entries[table->count] = reply.entry;
    if (index)
        *index = table->count;
    ++table->count;
    return SEARCH_ADDED;
}

void SearchColumnText(const SearchResult& entry, int column, char* out, size_t outSize)
{
    if (!out || outSize == 0)
        return;
    char mac[kMacTextSize];
    const char* text = "";
    size_t field = 0;
    if (column == 0) {
        text = entry.address;
        field = sizeof entry.address;
    } else if (column == 1) {
        FormatMac(entry.mac, mac);
        text = mac;
        field = sizeof mac;
    } else if (column == 2) {
        text = entry.model;
        field = sizeof entry.model;
    }
    // The entry's texts end within their fields; an entry filled otherwise
    // is still read no further than its field.
    size_t length = 0;
    while (length + 1 < outSize && length < field && text[length])
        ++length;
    memcpy(out, text, length);
    out[length] = '\0';
}
