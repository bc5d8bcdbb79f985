// The program's text-to-number conversions: ParseNumber, and ParseStrictNumber
// for numbers that must be exact (lengths from a peer, a typed time-out).
// Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

// The worth of a digit 0-9, a-f or A-F; -1 for any other character.
int DigitWorth(char c);

// Converts NUL-terminated `text` in `radix`. A radix below 1 gives -1; empty
// text gives 0. Digits are 0-9, a-f, A-F; any other character gives -1 at
// once. A digit not below the radix ends the walk with the value so far.
// A value above 0x7FFFFFFF (the largest result) gives -1.
int32_t ParseNumber(const char* text, int radix);

// Converts the `length` characters at `text` in `radix` (10 or 16) strictly:
// digits of the radix only (a-f, A-F for 16), at least one, no sign or
// blank, and a value not above `largest`. False (*value unchanged) otherwise.
bool ParseStrictNumber(const char* text, size_t length, unsigned radix, uint64_t largest, uint64_t* value);
