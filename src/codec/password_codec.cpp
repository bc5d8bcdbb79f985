// The stored form of the IPP password. Pure code: no OS header.
#include "codec/password_codec.h"

size_t DecodePassword(const uint8_t* value, size_t bytesRead, char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return 0;
    out[0] = '\0';
    if (value == nullptr || bytesRead < 2)
        return 0;

    size_t n = static_cast<size_t>(value[0]) | (static_cast<size_t>(value[1]) << 8);
    if (n > bytesRead - 2)
        n = bytesRead - 2;
    if (n > kPasswordMaxLength)
        n = kPasswordMaxLength;
    if (n > outSize - 1)
        n = outSize - 1;

    size_t length = 0;
    while (length < n) {
        const uint8_t plain = static_cast<uint8_t>(value[2 + length] + kPasswordScramble);
        if (plain == 0) // the text ends at a byte that decodes to NUL
            break;
        out[length] = static_cast<char>(plain);
        ++length;
    }
    out[length] = '\0';
    return length;
}

size_t EncodePassword(const char* password, uint8_t* out, size_t outSize)
{
    size_t length = 0;
    if (password != nullptr)
        while (length < kPasswordMaxLength && password[length] != '\0')
            ++length;
    if (out == nullptr || outSize < 2 + length)
        return 0;

    out[0] = static_cast<uint8_t>(length & 0xFF);
    out[1] = static_cast<uint8_t>((length >> 8) & 0xFF);
    for (size_t i = 0; i < length; ++i)
        out[2 + i] = static_cast<uint8_t>(static_cast<uint8_t>(password[i]) - kPasswordScramble);
    return 2 + length;
}

static const char kMailKey[] = "qmvta";
static const size_t kMailKeyLength = 5;

static size_t ApplyMailKey(char* text, int direction)
{
    if (text == nullptr)
        return 0;
    size_t n = 0;
    while (text[n] != '\0')
        ++n;
    for (size_t i = 0; i < n; ++i) {
        const int key = static_cast<uint8_t>(kMailKey[i % kMailKeyLength]);
        text[i] = static_cast<char>(static_cast<uint8_t>(static_cast<uint8_t>(text[i]) + direction * key));
    }
    size_t length = 0;
    while (length < n && text[length] != '\0')
        ++length;
    return length;
}

size_t ScramblePassword(char* text)
{
    return ApplyMailKey(text, 1);
}

size_t UnscramblePassword(char* text)
{
    return ApplyMailKey(text, -1);
}

bool CanScramblePassword(const char* password)
{
    if (password == nullptr)
        return true;
    for (size_t i = 0; password[i] != '\0'; ++i)
        if (static_cast<uint8_t>(static_cast<uint8_t>(password[i]) + static_cast<uint8_t>(kMailKey[i % kMailKeyLength])) == 0)
            return false;
    return true;
}
