// The mail texts, held in the system's ANSI code page, in the source
// character set of a character code: Shift_JIS for ISO-2022-JP, ISO-8859-1,
// or as they are for US-ASCII. Converted with the Windows code-page functions.
#pragma once

#include <cstdint>
#include <string>

std::string SourceCharsetText(const std::string& ansi, uint16_t charCode);
