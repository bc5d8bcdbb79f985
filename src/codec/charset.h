// Character sets of IPP texts and the conversions between the system's OEM
// code page and UTF-8. Pure code: no OS header; the OEM code page step is
// handed in as functions (MultiByteToWideChar / WideCharToMultiByte with
// GetOEMCP on Windows, a stand-in in the native tests).
#pragma once

#include <cstddef>
#include <cstdint>

// Conversion codes of the character-set table.
enum CharsetCode : int {
    CHARSET_ASCII = 0,     // passed through
    CHARSET_ISO_2022_JP = 1, // recognised, not converted (nothing produced)
    CHARSET_SHIFT_JIS = 2, // passed through
    CHARSET_EUC_JP = 3,    // recognised, not converted
    CHARSET_UCS2 = 4,      // recognised, not converted
    CHARSET_UTF8 = 5,      // UTF-8 <-> OEM code page
};

struct CharsetRow {
    const char* name;
    int code;
};

// The table, ending with a row whose name is null.
extern const CharsetRow kCharsetTable[];

// Code of the first row whose name equals `name` (length bytes, need not be
// terminated) ignoring case; -1 when no row matches.
int CharsetCodeOf(const char* name, size_t length);

// OEM code page -> UTF-16: converts `length` bytes of `text` into at most
// `capacity` units at `out`; returns the units written, 0 on failure (also
// when they do not fit).
typedef int (*OemToWideFunction)(const char* text, int length, uint16_t* out, int capacity);
// UTF-16 -> OEM code page: converts `count` units into at most `capacity`
// bytes; with capacity 0 returns the bytes needed; 0 on failure (also when
// the result does not fit).
typedef int (*WideToOemFunction)(const uint16_t* units, int count, char* out, int capacity);

struct OemCodec {
    OemToWideFunction toWide;
    WideToOemFunction fromWide;
};

// Longest OEM text converted: longer input is cut (the IPP names built from
// it are limited to 255 octets anyway).
const size_t kOemTextMax = 4096;

// Converts the NUL-terminated OEM text into UTF-8 by `code` (0 and 2 copy,
// 5 converts, others produce nothing). At most capacity - 1 bytes are
// written, cut on a character boundary, always followed by a NUL (when
// capacity > 0). Surrogate pairs become one 4-byte sequence. Returns the
// bytes written without the NUL; 0 (and empty text) when the conversion
// fails.
size_t OemToUtf8(char* out, size_t capacity, const char* text, int code, const OemCodec* codec);

// Converts `length` bytes of UTF-8 (not terminated) into the OEM code page by
// `code` (0 and 2 copy, 5 converts, others leave `out` untouched). The
// decoder never reads past `length`; invalid or truncated sequences become
// U+FFFD; 4-byte sequences become surrogate pairs. At most capacity - 1 bytes
// are written, cut on a character boundary, and terminated. Returns the bytes
// written without the NUL.
size_t Utf8ToOem(char* out, size_t capacity, const uint8_t* bytes, size_t length, int code, const OemCodec* codec);

// Decodes one UTF-8 character of bytes[0..length) (length > 0): stores the
// code point (U+FFFD for an invalid or truncated sequence) and returns the
// bytes taken (1 to 4, never more than length).
size_t DecodeUtf8(const uint8_t* bytes, size_t length, uint32_t* codePoint);

// Length of the longest prefix of `text` (length bytes, valid UTF-8 assumed
// to be checked by the caller or not) that is at most `limit` bytes and does
// not end inside a multi-byte character.
size_t Utf8Boundary(const char* text, size_t length, size_t limit);
