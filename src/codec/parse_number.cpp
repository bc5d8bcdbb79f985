// The program's text-to-number conversions. Pure code: no OS header.
#include "codec/parse_number.h"

namespace {

const uint64_t kLargest = 0x7FFFFFFF;

} // namespace

int DigitWorth(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int32_t ParseNumber(const char* text, int radix)
{
    if (radix < 1 || text == nullptr)
        return -1;
    uint64_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const int digit = DigitWorth(*p);
        if (digit < 0)
            return -1;
        const uint32_t worth = static_cast<uint32_t>(digit);
        if (worth >= static_cast<uint32_t>(radix))
            break;
        // Once above the largest result the value stays "too large"; the
        // rest of the text is still walked for characters that give -1.
        if (value <= kLargest)
            value = value * static_cast<uint32_t>(radix) + worth;
    }
    return value <= kLargest ? static_cast<int32_t>(value) : -1;
}

bool ParseStrictNumber(const char* text, size_t length, unsigned radix, uint64_t largest, uint64_t* value)
{
    if (text == nullptr || length == 0 || (radix != 10 && radix != 16))
        return false;
    uint64_t total = 0;
    for (size_t i = 0; i < length; ++i) {
        const int worth = DigitWorth(text[i]);
        if (worth < 0 || static_cast<unsigned>(worth) >= radix)
            return false;
        if (static_cast<uint64_t>(worth) > largest || total > (largest - static_cast<unsigned>(worth)) / radix)
            return false;
        total = total * radix + static_cast<unsigned>(worth);
    }
    *value = total;
    return true;
}
