// The broadcast-address list of the print-server search (Parts 6.1, 6.3):
// the texts of "Dwlmon.ini" [UserDefined] (UDPCount, UDP00, UDP01, ...) and
// the addresses the settings dialog edits. Pure code: no OS header.
//
// An address is held as one 32-bit number whose most significant byte is
// the first octet (so c0a80aff is 192.168.10.255); a socket address takes it
// through htonl.
#pragma once

#include <cstddef>
#include <cstdint>

const char kBroadcastListFile[] = "Dwlmon.ini";
const char kBroadcastListSection[] = "UserDefined";
const char kBroadcastCountKey[] = "UDPCount";
const size_t kBroadcastListMax = 16;
// A stored count is believed up to this many keys when old keys are deleted.
const size_t kStoredCountMax = 100;
const size_t kUdpKeySize = 8;      // "UDP%02d" and its NUL, for indexes below 100
const size_t kUdpValueSize = 9;    // eight hexadecimal digits and a NUL
const size_t kOctetFieldMax = 3;   // digits of one octet field

// UDPCount as the search reads it: decimal digits (blanks around them
// allowed); anything else, a negative number included, is 0; clamped to 16.
size_t ParseUdpCount(const char* text);
// UDPCount as a save reads it to delete old keys: the same, clamped to 100.
size_t ParseStoredUdpCount(const char* text);

// One UDPnn value read as "%lx" reads it: blanks, an optional 0x or 0X, then
// hexadecimal digits up to the first other character. A value without
// digits, with a sign, or with more than 8 significant digits cannot be read
// and counts as 0.
uint32_t ParseUdpAddress(const char* text);
// "%02x%02x%02x%02x", first octet first, into `out` of kUdpValueSize bytes.
void FormatUdpAddress(uint32_t address, char* out);
// "UDP%02d" into `out` of kUdpKeySize bytes; false for an index above 99.
bool FormatUdpKey(size_t index, char* out);

// A dotted text exactly as FormatIpv4 writes it ("%d.%d.%d.%d", 0..255
// each, no leading zeros beyond a lone 0): true and the address, else false.
bool ParseDottedAddress(const char* text, uint32_t* address);

enum OctetCheck {
    OCTETS_VALID,
    OCTETS_INVALID,   // field `*badField` (0..3) is empty, not a number, or above 255
    OCTETS_BROADCAST, // 255.255.255.255 cannot be registered
};
// Reads the four octet fields in order as unsigned decimal numbers (digits
// only, at most 3 of them, at most 255). Valid: `address` gets the number
// and `text` (kResultAddressSize bytes, may be NULL) the dotted text.
OctetCheck CheckOctetFields(const char* const fields[4], uint32_t* address, int* badField, char* text);
