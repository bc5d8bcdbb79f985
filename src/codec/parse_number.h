// The program's one text-to-number conversion. Pure code: no OS header.
#pragma once

#include <cstdint>

// Converts NUL-terminated `text` in `radix`. A radix below 1 gives -1; empty
// text gives 0. Digits are 0-9, a-f, A-F; any other character gives -1 at
// once. A digit not below the radix ends the walk with the value so far.
// A value above 0x7FFFFFFF (the largest result) gives -1.
int32_t ParseNumber(const char* text, int radix);
