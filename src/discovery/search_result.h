// The result entry of the print-server search: what the search
// keeps of one answering print server, and what the search dialog returns to
// its caller. Pure: no OS header.
#pragma once

#include <cstdint>

const uint16_t kDiscoveryPort = 19541;   // the print servers' query port
const unsigned kResultAddressSize = 16;  // "%d.%d.%d.%d" and its NUL
const unsigned kResultModelSize = 16;    // at most 15 bytes and a NUL

// 40 bytes, in this order.
struct SearchResult {
    uint8_t mac[6];
    uint16_t queryPort;                 // the reply's UDP source port, host byte order
    char address[kResultAddressSize];   // the reply's IPv4 address, first octet first
    char model[kResultModelSize];       // the reply's model name, always NUL-terminated
};
static_assert(sizeof(SearchResult) == 40, "the result entry is 40 bytes");
