// The program's one text-to-number conversion. Pure code: no OS header.
#include "codec/parse_number.h"

namespace {
const uint64_t kLargest = 0x7FFFFFFF;
}

int32_t ParseNumber(const char* text, int radix)
{
    if (radix < 1 || text == nullptr)
        return -1;
    uint64_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const char c = *p;
        uint32_t worth;
        if (c >= '0' && c <= '9')
            worth = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            worth = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            worth = static_cast<uint32_t>(c - 'A' + 10);
        else
            return -1;
        if (worth >= static_cast<uint32_t>(radix))
            break;
        // Once above the largest result the value stays "too large"; the
        // rest of the text is still walked for characters that give -1.
        if (value <= kLargest)
            value = value * static_cast<uint32_t>(radix) + worth;
    }
    return value <= kLargest ? static_cast<int32_t>(value) : -1;
}
