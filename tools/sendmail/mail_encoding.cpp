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
    const size_t lineBytes = kBase64LineChars / 4 * 3;
    std::string out;
    out.reserve((size + 2) / 3 * 4 + (size / lineBytes + 1) * 2);
    char line[kBase64LineChars];
    for (size_t at = 0; at < size; at += lineBytes) {
        size_t count = size - at < lineBytes ? size - at : lineBytes;
        out.append(line, Base64Encode(line, sizeof line, data + at, count));
        out += "\r\n";
    }
    return out;
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

std::string DotStuff(const std::string& message)
{
    std::string out;
    out.reserve(message.size() + message.size() / 64 + 8);
    bool lineStart = true;
    for (size_t i = 0; i < message.size(); ++i) {
        if (lineStart && message[i] == '.')
            out.push_back('.');
        out.push_back(message[i]);
        lineStart = message[i] == '\n' && i > 0 && message[i - 1] == '\r';
    }
    if (!message.empty() && !lineStart)
        out += "\r\n";
    out += ".\r\n";
    return out;
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
