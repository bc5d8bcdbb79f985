// Encodings of a mail on the wire. Pure code: no OS header.
#include "sendmail/mail_encoding.h"

#include <cstdio>
#include <cstring>

#include "codec/base64.h"

namespace {

// RFC 2047: an encoded word has at most 75 characters.
const size_t kEncodedWordChars = 75;
const size_t kFoldedLineChars = 76;
// RFC 1035: a domain name has at most 253 characters in its text form.
const size_t kMaxDomainChars = 253;

} // namespace

std::string Base64(const uint8_t* data, size_t size)
{
    std::string out((size + 2) / 3 * 4, '\0');
    out.resize(Base64Encode(&out[0], out.size(), data, size));
    return out;
}

std::string Base64(const std::string& bytes)
{
    return Base64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Base64Lines(const uint8_t* data, size_t size)
{
    std::string out(Base64LinesSize(size), '\0');
    if (!out.empty())
        out.resize(Base64LinesInto(&out[0], out.size(), data, size));
    return out;
}

size_t Base64LinesSize(size_t size)
{
    const size_t lineBytes = kBase64LineChars / 4 * 3;
    size_t lines = (size + lineBytes - 1) / lineBytes;
    return (size + 2) / 3 * 4 + lines * 2;
}

size_t Base64LinesInto(char* out, size_t capacity, const uint8_t* data, size_t size)
{
    const size_t lineBytes = kBase64LineChars / 4 * 3;
    if (capacity < Base64LinesSize(size))
        return 0;
    size_t written = 0;
    for (size_t at = 0; at < size; at += lineBytes) {
        size_t count = size - at < lineBytes ? size - at : lineBytes;
        written += Base64Encode(out + written, capacity - written, data + at, count);
        out[written++] = '\r';
        out[written++] = '\n';
    }
    return written;
}

std::string NormaliseLineEnds(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool LinesWithin(const std::string& text, size_t limit)
{
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        size_t length = (end == std::string::npos ? text.size() : end) - start;
        if (length > limit)
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 2;
    }
}

bool IsPlainAscii(const std::string& text)
{
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c >= 0x7F)
            return false;
    return true;
}

std::string DotStuffLines(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 64 + 8);
    bool lineStart = true;
    for (size_t i = 0; i < text.size(); ++i) {
        if (lineStart && text[i] == '.')
            out.push_back('.');
        out.push_back(text[i]);
        lineStart = text[i] == '\n' && i > 0 && text[i - 1] == '\r';
    }
    return out;
}

std::string DotStuff(const std::string& message)
{
    std::string out = DotStuffLines(message);
    bool endsLine = message.size() >= 2 && message.compare(message.size() - 2, 2, "\r\n") == 0;
    if (!message.empty() && !endsLine)
        out += "\r\n";
    out += ".\r\n";
    return out;
}

namespace {

// "<prefix><base64 of the bytes>\r\n" into `out`; its length, 0 (and `out`
// wiped) when it does not fit.
size_t Base64Line(char* out, size_t capacity, const char* prefix, const uint8_t* data, size_t size)
{
    size_t prefixLength = strlen(prefix);
    size_t needed = prefixLength + (size + 2) / 3 * 4 + 2;
    if (!out || capacity < needed + 1) {
        if (out)
            WipeBytes(out, capacity);
        return 0;
    }
    memcpy(out, prefix, prefixLength);
    size_t length = prefixLength + Base64Encode(out + prefixLength, capacity - prefixLength, data, size);
    memcpy(out + length, "\r\n", 3);
    return length + 2;
}

} // namespace

size_t AuthPlainLine(char* out, size_t capacity, const char* id, const char* password)
{
    SecretBuffer<kAuthLineSize> token;
    size_t idLength = strlen(id);
    size_t passwordLength = strlen(password);
    size_t length = 0;
    if (idLength + passwordLength + 2 <= sizeof token.bytes) {
        memcpy(token.bytes + 1, id, idLength);
        memcpy(token.bytes + 2 + idLength, password, passwordLength);
        length = Base64Line(out, capacity, "AUTH PLAIN ", reinterpret_cast<const uint8_t*>(token.bytes),
                            idLength + passwordLength + 2);
    } else if (out) {
        WipeBytes(out, capacity);
    }
    return length;
}

size_t AuthLoginLine(char* out, size_t capacity, const char* text)
{
    return Base64Line(out, capacity, "", reinterpret_cast<const uint8_t*>(text), strlen(text));
}

size_t EncodedWordBytes(const char* charset, size_t used)
{
    size_t overhead = strlen("=?") + strlen(charset) + strlen("?B?") + strlen("?=");
    size_t width = used < kFoldedLineChars - kEncodedWordChars ? kEncodedWordChars : kFoldedLineChars - used;
    if (used >= kFoldedLineChars || overhead + 4 > width)
        return 3; // the word goes on a line of its own
    return (width - overhead) / 4 * 3;
}

std::string EncodedWords(const std::vector<std::string>& pieces, const char* charset, size_t used)
{
    std::string out;
    size_t column = used;
    for (const std::string& piece : pieces) {
        std::string word = std::string("=?") + charset + "?B?" + Base64(piece) + "?=";
        if (!out.empty()) {
            if (column + 1 + word.size() > kFoldedLineChars) {
                out += "\r\n";
                column = 0;
            }
            out += " ";
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out;
}

std::string HeloArgument(const std::string& hostName, uint32_t localAddress)
{
    bool domain = hostName.find('.') != std::string::npos && hostName.size() <= kMaxDomainChars &&
                  hostName.front() != '.' && hostName.back() != '.';
    for (char c : hostName)
        domain = domain && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            c == '-' || c == '.');
    if (domain)
        return hostName;
    char literal[24];
    snprintf(literal, sizeof literal, "[%u.%u.%u.%u]", static_cast<unsigned>(localAddress >> 24),
             static_cast<unsigned>((localAddress >> 16) & 0xFF), static_cast<unsigned>((localAddress >> 8) & 0xFF),
             static_cast<unsigned>(localAddress & 0xFF));
    return literal;
}
