// The dialog font setting "face,size,charset". Pure code: no OS header.
#pragma once

#include <cstddef>

struct FontSetting {
    char face[128];
    int size;    // height in pixels, 1..200
    int charset; // character-set value
};

// Character-set value for a name of the table (case-sensitive), or -1.
int CharsetFromName(const char* name);

// Parses "face,size,charset" (tokens split at commas, empty tokens skipped as
// strtok does). False when a token is missing, the size is not a decimal
// number in 1..200. An unknown character-set name gives DEFAULT_CHARSET (1).
bool ParseFontSetting(const char* setting, FontSetting* out);
