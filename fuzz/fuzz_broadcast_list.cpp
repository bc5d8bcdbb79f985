// Fuzzes the broadcast-address list's texts and the octet fields: the count
// is always 0..16 (0..100 as stored), an address read back from its own
// eight-digit form is the same, a dotted text parses back to the address it
// came from, and the octet check accepts exactly four numbers 0..255 that
// are not all 255.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "discovery/broadcast_list.h"
#include "discovery/search_codec.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool Digits(const std::string& field)
{
    if (field.empty() || field.size() > 3)
        return false;
    for (char c : field)
        if (c < '0' || c > '9')
            return false;
    return atoi(field.c_str()) <= 255;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check(ParseUdpCount(text.c_str()) <= kBroadcastListMax);
    Check(ParseStoredUdpCount(text.c_str()) <= kStoredCountMax);

    const uint32_t address = ParseUdpAddress(text.c_str());
    char value[kUdpValueSize];
    FormatUdpAddress(address, value);
    Check(strlen(value) == 8 && ParseUdpAddress(value) == address);
    char dotted[kResultAddressSize];
    FormatIpv4(address, dotted);
    uint32_t back = ~address;
    Check(ParseDottedAddress(dotted, &back) && back == address);
    uint32_t parsed = 0;
    if (ParseDottedAddress(text.c_str(), &parsed)) {
        FormatIpv4(parsed, dotted);
        Check(text.c_str() == std::string(dotted));
    }

    // Four fields split at '.'.
    std::string fields[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t dot = i < 3 ? text.find('.', start) : std::string::npos;
        fields[i] = start <= text.size() ? text.substr(start, dot == std::string::npos ? std::string::npos : dot - start)
                                         : std::string();
        fields[i] = fields[i].c_str(); // as a window text: up to its first NUL
        start = dot == std::string::npos ? text.size() + 1 : dot + 1;
    }
    const char* pointers[4] = {fields[0].c_str(), fields[1].c_str(), fields[2].c_str(), fields[3].c_str()};
    uint32_t octets = 0;
    int bad = -1;
    char out[kResultAddressSize];
    const OctetCheck check = CheckOctetFields(pointers, &octets, &bad, out);
    bool allValid = true;
    int firstBad = -1;
    for (int i = 0; i < 4 && allValid; ++i)
        if (!Digits(fields[i])) {
            allValid = false;
            firstBad = i;
        }
    if (!allValid) {
        Check(check == OCTETS_INVALID && bad == firstBad);
    } else if (check == OCTETS_VALID) {
        Check(octets != 0xFFFFFFFFu && ParseDottedAddress(out, &back) && back == octets);
    } else {
        Check(check == OCTETS_BROADCAST && bad == 0);
    }
    return 0;
}
