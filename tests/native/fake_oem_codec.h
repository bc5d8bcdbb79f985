// A stand-in for the OEM code page in native tests: ASCII bytes are
// themselves; 0xA0-0xFF are U+00A0-U+00FF (two UTF-8 bytes); the pair
// 0x81 t is U+3000 + t (three bytes); the pair 0x82 t is U+1F600 + t, a
// surrogate pair (four bytes). Other units become "?".
#pragma once

#include <cstdint>

#include "codec/charset.h"

inline int FakeToWide(const char* text, int length, uint16_t* out, int capacity)
{
    int count = 0;
    for (int i = 0; i < length; ++i) {
        const uint8_t b = static_cast<uint8_t>(text[i]);
        uint16_t units[2] = {b, 0};
        int n = 1;
        if ((b == 0x81 || b == 0x82) && i + 1 < length) {
            const uint8_t t = static_cast<uint8_t>(text[++i]);
            if (b == 0x81) {
                units[0] = static_cast<uint16_t>(0x3000 + t);
            } else {
                const uint32_t cp = 0x1F600u + t - 0x10000u;
                units[0] = static_cast<uint16_t>(0xD800 + (cp >> 10));
                units[1] = static_cast<uint16_t>(0xDC00 + (cp & 0x3FF));
                n = 2;
            }
        }
        if (count + n > capacity)
            return 0;
        for (int k = 0; k < n; ++k)
            out[count++] = units[k];
    }
    return count;
}

inline int FakeFromWide(const uint16_t* units, int count, char* out, int capacity)
{
    char bytes[2 * 4096 + 2];
    int n = 0;
    for (int i = 0; i < count && n < static_cast<int>(sizeof bytes) - 2; ++i) {
        const uint16_t u = units[i];
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes[n++] = static_cast<char>(u);
        } else if (u >= 0x3000 && u <= 0x30FF) {
            bytes[n++] = '\x81';
            bytes[n++] = static_cast<char>(u - 0x3000);
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            const uint32_t cp = 0x10000u + ((u - 0xD800u) << 10) + (units[i + 1] - 0xDC00u);
            ++i;
            if (cp >= 0x1F600 && cp <= 0x1F6FF) {
                bytes[n++] = '\x82';
                bytes[n++] = static_cast<char>(cp - 0x1F600);
            } else {
                bytes[n++] = '?';
            }
        } else {
            bytes[n++] = '?';
        }
    }
    if (capacity == 0)
        return n;
    if (n > capacity)
        return 0;
    for (int i = 0; i < n; ++i)
        out[i] = bytes[i];
    return n;
}

inline int FailingToWide(const char*, int, uint16_t*, int) { return 0; }

const OemCodec kFakeCodec = {FakeToWide, FakeFromWide};
const OemCodec kFailingCodec = {FailingToWide, FakeFromWide};
