// Base64 encoding and the wiping of secrets.
#include "codec/base64.h"

size_t Base64Encode(char* out, size_t capacity, const uint8_t* data, size_t length)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t written = 0;
    for (size_t at = 0; at < length && capacity - written >= 4; at += 3) {
        const size_t n = length - at < 3 ? length - at : 3;
        const uint32_t group = (uint32_t{data[at]} << 16) | (n > 1 ? uint32_t{data[at + 1]} << 8 : 0u) |
                               (n > 2 ? uint32_t{data[at + 2]} : 0u);
        out[written++] = kAlphabet[(group >> 18) & 0x3F];
        out[written++] = kAlphabet[(group >> 12) & 0x3F];
        out[written++] = n > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        out[written++] = n > 2 ? kAlphabet[group & 0x3F] : '=';
    }
    return written;
}

void WipeBytes(void* data, size_t length)
{
    volatile uint8_t* bytes = static_cast<volatile uint8_t*>(data);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = 0;
}
