// The search of the print servers' UDP query protocol: the
// request sent by broadcast, the identification reply, and the table of
// answering servers that the search dialog keeps, with its model
// filter. Pure code: no OS header; numbers on the wire are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "discovery/search_result.h"

// True for the first byte of a double-byte character of the system's code
// page (IsDBCSLeadByte); NULL: every byte is a character.
typedef bool (*DiscoveryLeadByteTest)(unsigned char c);

const size_t kDiscoveryRequestSize = 88; // search and port-name requests alike
const uint16_t kSearchRequestType = 0x0004;
const uint16_t kSearchReplyType = 0x0002;
const uint16_t kDiscoveryProtocolId = 0x9506;
// At most this much of one reply is read; the receive buffer is zeroed first.
const size_t kSearchReplyMax = 512;
// A reply counts only when at least this much arrived: everything up to and
// including the IPv4 address field (offset 66, 4 bytes).
const size_t kSearchReplyMin = 70;
const size_t kSearchReplyModelOffset = 36;
const size_t kSearchReplyModelField = 16;
const size_t kSearchReplyMacOffset = 56;
const size_t kSearchReplyAddressOffset = 66;

const size_t kSearchTableMax = 128;     // entries the search dialog lists at most
const size_t kModelFilterMax = 128;     // SearchModel_1 .. SearchModel_128
const size_t kModelFilterTextMax = 47;  // bytes of one filter text
const size_t kMacTextSize = 18;         // "%02X:%02X:%02X:%02X:%02X:%02X" and its NUL

// The 88-byte search request: type 4, identifier 0x9506, zeros. Returns 88,
// or 0 when `outSize` is smaller.
size_t BuildSearchRequest(uint8_t* out, size_t outSize);

// One valid reply: its result entry and its address field as a number
// (first octet most significant).
struct SearchReply {
    SearchResult entry;
    uint32_t ipv4;
};

// Checks the `received` bytes of a datagram that came from UDP port
// `sourcePort`: valid only with at least kSearchReplyMin bytes, reply type 2
// and identifier 0x9506. Fills `out` (MAC, query port, address text, model
// name cut as CopyTextCut does to 15 bytes) and returns true; false leaves
// `out` untouched.
bool ParseSearchReply(const uint8_t* reply, size_t received, uint16_t sourcePort, DiscoveryLeadByteTest isLead,
                      SearchReply* out);

// Copies the text at `text` up to its first NUL or `length` bytes, whichever
// comes first, into `out` cut to at most `limit` bytes and NUL-terminated
// (`out` holds limit + 1 bytes). With a lead-byte test the cut never splits a
// double-byte character: a lead byte whose trail byte would not fit, or
// whose trail byte is missing, is left out with the rest. Returns the length.
size_t CopyTextCut(const char* text, size_t length, size_t limit, DiscoveryLeadByteTest isLead, char* out);

// "%d.%d.%d.%d" of a 32-bit address whose most significant byte is the
// first octet, into `out` of kResultAddressSize bytes.
void FormatIpv4(uint32_t value, char* out);
// The MAC address as "%02X:%02X:%02X:%02X:%02X:%02X" into `out` of kMacTextSize bytes.
void FormatMac(const uint8_t* mac, char* out);

// The model filter: texts from the monitor key's SearchModel_n values.
// Filtering is on when it holds at least one text.
struct ModelFilter {
    char texts[kModelFilterMax][kModelFilterTextMax + 1];
    size_t count;
};
void ClearModelFilter(ModelFilter* filter);
// Adds the `length` bytes at `text` (up to a NUL) cut as CopyTextCut does to
// 47 bytes; an empty text is skipped. False when nothing was added (empty,
// or the filter is full).
bool AddModelFilterText(ModelFilter* filter, const char* text, size_t length, DiscoveryLeadByteTest isLead);
// True when filtering is off or `model` contains one of the texts
// (case-sensitive substring test).
bool ModelFilterPasses(const ModelFilter* filter, const char* model);

// The servers the search found, in the order they first answered.
struct SearchTable {
    SearchResult entries[kSearchTableMax];
    size_t count;
};

enum SearchOffer {
    SEARCH_ADDED,         // a new entry at *index
    SEARCH_TABLE_FULL,    // 128 entries already: ignored
    SEARCH_NO_ADDRESS,    // the address field is 0: ignored
    SEARCH_FILTERED,      // the model matches no filter text: ignored
    SEARCH_DUPLICATE,     // an entry with this MAC exists (*index): nothing changed
    SEARCH_PORT_UPGRADED, // that entry had query port 9 and this reply came from 19541: port now 19541
};

// Offers one valid reply to the table, checked in this order: full table,
// address 0, filter, same MAC (port 9 upgraded to 19541), else appended.
// `filter` may be NULL (no filtering). `index` (may be NULL) gets the entry
// added or matched.
SearchOffer OfferSearchReply(SearchTable* table, const ModelFilter* filter, const SearchReply& reply, size_t* index);

// The text of column 0 (address), 1 (MAC) or 2 (model) of an entry, into
// `out` of at least kMacTextSize bytes (the longest of the three is the
// model's 16). An unknown column gives an empty text.
void SearchColumnText(const SearchResult& entry, int column, char* out, size_t outSize);
