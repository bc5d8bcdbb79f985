// Encodings of a mail on the wire: base64, line ends, dot-stuffing, and
// RFC 2047 encoded words for header texts. Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Longest line of an encoded body part (RFC 2045), without CR LF.
const size_t kBase64LineChars = 76;

// Base64 of the bytes, one line.
std::string Base64(const uint8_t* data, size_t size);
std::string Base64(const std::string& bytes);
// Base64 in lines of 76 characters, each ended by CR LF.
std::string Base64Lines(const uint8_t* data, size_t size);
// Characters of Base64Lines of `size` bytes.
size_t Base64LinesSize(size_t size);
// Base64Lines into `out`; the characters written, 0 when they do not fit.
size_t Base64LinesInto(char* out, size_t capacity, const uint8_t* data, size_t size);

// An attachment goes out in blocks of this many bytes, read from the job's
// file and encoded one at a time: a whole number of base64 lines, so that the
// lines of consecutive blocks join exactly as the lines of the whole file.
const size_t kAttachmentBlockBytes = kBase64LineChars / 4 * 3 * 1024;
static_assert(kAttachmentBlockBytes % (kBase64LineChars / 4 * 3) == 0, "whole lines per block");

// Every line end (CR LF, lone CR, lone LF) becomes CR LF.
std::string NormaliseLineEnds(const std::string& text);
// True when every line (CR LF separated) has at most `limit` bytes.
bool LinesWithin(const std::string& text, size_t limit);
// True when the text is printable US-ASCII (and tabs, CR, LF) only.
bool IsPlainAscii(const std::string& text);

// The DATA payload of a message of CR LF lines: a "." at the start of a line
// is doubled, the message ends with CR LF, then ".\r\n" ends the data.
std::string DotStuff(const std::string& message);
// A "." at the start of each line doubled, nothing added: for a piece of a
// message that starts at the start of a line.
std::string DotStuffLines(const std::string& text);

// The largest AUTH line built below: "AUTH PLAIN ", the base64 of a NUL, an
// ID and a password of up to 256 bytes each, and CR LF.
const size_t kAuthLineSize = 1024;
// "AUTH PLAIN <base64 of NUL, id, NUL, password>\r\n" into `out` (RFC 4616);
// its length, 0 (and `out` wiped) when it does not fit. The token is put
// together in a buffer of its own that is wiped before the return.
size_t AuthPlainLine(char* out, size_t capacity, const char* id, const char* password);
// The base64 of `text` and CR LF, an answer to AUTH LOGIN; its length, 0
// (and `out` wiped) when it does not fit.
size_t AuthLoginLine(char* out, size_t capacity, const char* text);

// A header's text as RFC 2047 "B" encoded words of `charset`, one per piece
// (each piece must be decodable alone), folded with CR LF SP between words so
// that no line exceeds 76 characters. `used` is what the header line already
// holds before the text ("Subject: " is 9).
std::string EncodedWords(const std::vector<std::string>& pieces, const char* charset, size_t used);
// Bytes of a piece that fit one encoded word of `charset`: at most 75
// characters, and short enough for the first line after `used` characters.
size_t EncodedWordBytes(const char* charset, size_t used);

// The argument of EHLO and HELO (RFC 5321 4.1.4): the host name when it is a
// domain with a dot, else the address literal "[a.b.c.d]" of the connection's
// local address (`localAddress` in host byte order, 0x7F000001 for 127.0.0.1).
std::string HeloArgument(const std::string& hostName, uint32_t localAddress);
