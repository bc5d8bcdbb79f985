// The broadcast-address list's texts and the settings dialog's octet fields
// (Parts 6.1, 6.3).
#include "discovery/broadcast_list.h"

#include <cstdio>

#include "codec/parse_number.h"
#include "discovery/search_codec.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Decimal digits with blanks around them, the value clamped to `largest`;
// anything else is 0.
size_t ParseClampedCount(const char* text, size_t largest)
{
    if (!text)
        return 0;
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    if (!IsDigit(*p))
        return 0;
    size_t value = 0;
    for (; IsDigit(*p); ++p)
        if (value <= largest)
            value = value * 10 + static_cast<size_t>(*p - '0');
    while (IsBlank(*p))
        ++p;
    if (*p)
        return 0;
    return value > largest ? largest : value;
}

const unsigned kOctetMax = 255;
const uint32_t kAllOnes = 0xFFFFFFFFu;

} // namespace

size_t ParseUdpCount(const char* text)
{
    return ParseClampedCount(text, kBroadcastListMax);
}

size_t ParseStoredUdpCount(const char* text)
{
    return ParseClampedCount(text, kStoredCountMax);
}

uint32_t ParseUdpAddress(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitWorth(p[2]) >= 0)
        p += 2;
    if (DigitWorth(*p) < 0)
        return 0;
    while (*p == '0' && DigitWorth(p[1]) >= 0)
        ++p;
    uint32_t value = 0;
    int digits = 0;
    for (; DigitWorth(*p) >= 0; ++p) {
        if (++digits > 8)
            return 0;
        value = (value << 4) | static_cast<uint32_t>(DigitWorth(*p));
    }
    return value;
}

void FormatUdpAddress(uint32_t address, char* out)
{
    snprintf(out, kUdpValueSize, "%02x%02x%02x%02x", static_cast<unsigned>(address >> 24),
             static_cast<unsigned>((address >> 16) & 0xFF), static_cast<unsigned>((address >> 8) & 0xFF),
             static_cast<unsigned>(address & 0xFF));
}

bool FormatUdpKey(size_t index, char* out)
{
    if (index > 99)
        return false;
    snprintf(out, kUdpKeySize, "UDP%02u", static_cast<unsigned>(index));
    return true;
}

bool ParseDottedAddress(const char* text, uint32_t* address)
{
    if (!text)
        return false;
    const char* p = text;
    uint32_t value = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && *p++ != '.')
            return false;
        if (!IsDigit(*p) || (p[0] == '0' && IsDigit(p[1])))
            return false;
        unsigned number = 0;
        int digits = 0;
        for (; IsDigit(*p); ++p) {
            if (++digits > 3)
                return false;
            number = number * 10 + static_cast<unsigned>(*p - '0');
        }
        if (number > kOctetMax)
            return false;
        value = (value << 8) | number;
    }
    if (*p)
        return false;
    *address = value;
    return true;
}

OctetCheck CheckOctetFields(const char* const fields[4], uint32_t* address, int* badField, char* text)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const char* field = fields[i] ? fields[i] : "";
        unsigned number = 0;
        size_t digits = 0;
        for (; field[digits]; ++digits) {
            if (!IsDigit(field[digits]) || digits >= kOctetFieldMax) {
                digits = 0;
                break;
            }
            number = number * 10 + static_cast<unsigned>(field[digits] - '0');
        }
        if (digits == 0 || number > kOctetMax) {
            if (badField)
                *badField = i;
            return OCTETS_INVALID;
        }
        value = (value << 8) | number;
    }
    if (value == kAllOnes) {
        if (badField)
            *badField = 0;
        return OCTETS_BROADCAST;
    }
    *address = value;
    if (text)
        FormatIpv4(value, text);
    return OCTETS_VALID;
}
