// ISO-2022-JP (RFC 1468) from Shift_JIS text. Pure code: no OS header.
//
// Double-byte characters of JIS X 0208 rows 1 to 8 and 16 to 84 are converted
// arithmetically; half-width katakana become their full-width forms (a voiced
// mark stays a mark of its own); every other double-byte character (the
// vendor rows 9 to 15 and 85 to 94, the IBM extensions, the user rows)
// becomes the geta mark; a broken byte becomes "?". Every output ends in ASCII
// mode, so pieces can be encoded and decoded on their own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

std::string SjisToIso2022Jp(const std::string& sjis);

// Splits the Shift_JIS text at character boundaries into pieces whose
// ISO-2022-JP forms have at most `maxBytes` bytes each; returns those forms.
std::vector<std::string> Iso2022JpPieces(const std::string& sjis, size_t maxBytes);

// Length in bytes of the Shift_JIS character that starts at `at` (1 or 2).
size_t SjisCharLength(const std::string& sjis, size_t at);
