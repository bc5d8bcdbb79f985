// The mail of one job as MIME text. Pure code: no OS header.
#include "sendmail/mime_message.h"

#include <cstdio>
#include <cstring>

#include "mail/mail_params.h"
#include "sendmail/iso2022jp.h"
#include "sendmail/mail_encoding.h"

namespace {

// RFC 5322: a line has at most 998 characters, and should have at most 78.
const size_t kMaxLineChars = 998;
const size_t kFoldedLineChars = 76;
// RFC 5321 allows 256 characters for a path, angle brackets included.
const size_t kMaxAddressChars = 254;

const char* CharsetName(uint16_t charCode)
{
    switch (charCode) {
    case MAIL_ISO_2022_JP: return "ISO-2022-JP";
    case MAIL_ISO_8859_1: return "ISO-8859-1";
    default: return "US-ASCII";
    }
}

// US-ASCII cannot carry other bytes: they become "?".
std::string AsciiOnly(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) >= 0x80)
            c = '?';
    return out;
}

// The text in the wire character set.
std::string WireText(const std::string& text, uint16_t charCode)
{
    if (charCode == MAIL_ISO_2022_JP)
        return SjisToIso2022Jp(text);
    if (charCode == MAIL_ISO_8859_1)
        return text;
    return AsciiOnly(text);
}

// Pieces of at most `maxBytes` bytes in the wire character set.
std::vector<std::string> HeaderPieces(const std::string& text, uint16_t charCode, size_t maxBytes)
{
    if (charCode == MAIL_ISO_2022_JP)
        return Iso2022JpPieces(text, maxBytes);
    std::vector<std::string> pieces;
    for (size_t at = 0; at < text.size(); at += maxBytes)
        pieces.push_back(text.substr(at, maxBytes));
    return pieces;
}

// A display name as a quoted string.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string FromHeader(const MimeInput& in)
{
    const std::string prefix = "From: ";
    std::string address = "<" + in.fromAddr + ">";
    if (in.fromName.empty())
        return prefix + address + "\r\n";
    std::string plain = WireText(in.fromName, in.charCode);
    std::string name = IsPlainAscii(plain) && plain.find_first_of("\r\n") == std::string::npos
                           ? Quoted(plain)
                           : HeaderText(in.fromName, in.charCode, prefix.size());
    bool fits = prefix.size() + name.size() + 1 + address.size() <= kFoldedLineChars && name.find("\r\n") == std::string::npos;
    return prefix + name + (fits ? " " : "\r\n ") + address + "\r\n";
}

std::string ToHeader(const std::vector<std::string>& recipients)
{
    std::string out = "To: ";
    for (size_t i = 0; i < recipients.size(); ++i)
        out += recipients[i] + (i + 1 < recipients.size() ? ",\r\n " : "\r\n");
    return out;
}

// RFC 2046: a boundary has 1 to 70 characters, digits, letters and "'()+_,-./:=?"
// (a space too, not used here). The base leaves room for "_<n>".
const size_t kBoundaryBaseChars = 58;

bool IsBoundaryChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c != '\0' && strchr("'()+_,-./:=?", c) != nullptr);
}

// A boundary that occurs nowhere in the text part, made from the message ID
// with every character a boundary may not hold ("@", quotes of a quoted local
// part, ...) replaced by ".", and cut to fit.
std::string Boundary(const std::string& text, const std::string& messageId)
{
    std::string base = "=_DWL_";
    for (size_t i = 0; i < messageId.size() && base.size() < kBoundaryBaseChars; ++i)
        base.push_back(IsBoundaryChar(messageId[i]) ? messageId[i] : '.');
    std::string boundary = base;
    for (unsigned n = 0; text.find(boundary) != std::string::npos; ++n)
        boundary = base + "_" + std::to_string(n);
    return boundary;
}

std::string TextPart(const MimeInput& in)
{
    std::string text = NormaliseLineEnds(WireText(in.text, in.charCode));
    // ISO-2022-JP and US-ASCII texts are 7-bit; 8-bit bytes or overlong lines go as base64.
    bool sevenBit = LinesWithin(text, kMaxLineChars);
    for (unsigned char c : text)
        if (c >= 0x80 || c == 0)
            sevenBit = false;
    std::string out = std::string("Content-Type: text/plain; charset=\"") + CharsetName(in.charCode) + "\"\r\n";
    if (sevenBit) {
        out += "Content-Transfer-Encoding: 7bit\r\n\r\n" + text;
        if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0))
            out += "\r\n";
    } else {
        out += "Content-Transfer-Encoding: base64\r\n\r\n" +
               Base64Lines(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    return out;
}

} // namespace

std::string HeaderText(const std::string& text, uint16_t charCode, size_t used)
{
    std::string wire = WireText(text, charCode);
    if (IsPlainAscii(wire) && wire.find_first_of("\r\n") == std::string::npos && used + wire.size() <= kMaxLineChars &&
        wire.find("=?") == std::string::npos)
        return wire;
    const char* charset = CharsetName(charCode);
    std::string source = charCode == MAIL_ISO_2022_JP ? text : wire;
    return EncodedWords(HeaderPieces(source, charCode, EncodedWordBytes(charset, used)), charset, used);
}

std::vector<std::string> SplitRecipients(const std::string& list)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        std::string item = list.substr(start, end - start);
        size_t first = item.find_first_not_of(" \t\r\n");
        size_t last = item.find_last_not_of(" \t\r\n");
        if (first != std::string::npos)
            out.push_back(item.substr(first, last - first + 1));
        start = end + 1;
    }
    return out;
}

bool UsableAddress(const std::string& address)
{
    if (address.empty() || address.size() > kMaxAddressChars)
        return false;
    for (unsigned char c : address)
        if (c <= 0x20 || c >= 0x7F || c == '<' || c == '>')
            return false;
    return true;
}

std::string PartSubject(const std::string& subject, size_t part, size_t parts)
{
    if (parts <= 1)
        return subject;
    char suffix[48];
    snprintf(suffix, sizeof suffix, " (%zu/%zu)", part, parts);
    return subject + suffix;
}

namespace {

// The message up to the blank line after the attachment's headers; the
// attachment's base64 lines and the closing boundary follow.
std::string MessageHead(const MimeInput& in, std::string* boundary)
{
    std::string text = TextPart(in);
    *boundary = Boundary(text, in.messageId);
    std::string out;
    out += FromHeader(in);
    out += ToHeader(in.recipients);
    out += "Subject: " + HeaderText(in.subject, in.charCode, 9) + "\r\n";
    out += "Date: " + in.date + "\r\n";
    out += "Message-ID: <" + in.messageId + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: multipart/mixed;\r\n boundary=\"" + *boundary + "\"\r\n\r\n";
    out += "This is a multi-part message in MIME format.\r\n";
    out += "--" + *boundary + "\r\n" + text;
    out += "--" + *boundary + "\r\n";
    out += "Content-Type: application/octet-stream; name=\"" + in.fileName + "\"\r\n";
    out += "Content-Transfer-Encoding: base64\r\n";
    out += "Content-Disposition: attachment; filename=\"" + in.fileName + "\"\r\n\r\n";
    return out;
}

} // namespace

std::string BuildMimeMessage(const MimeInput& in)
{
    std::string boundary;
    std::string out = MessageHead(in, &boundary);
    out += Base64Lines(in.attachment, in.attachmentSize);
    out += "--" + boundary + "--\r\n";
    return out;
}

MimeFrame BuildMimeFrame(const MimeInput& in)
{
    std::string boundary;
    MimeFrame frame;
    frame.head = DotStuffLines(MessageHead(in, &boundary));
    frame.tail = "--" + boundary + "--\r\n.\r\n";
    return frame;
}
