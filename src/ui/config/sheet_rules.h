// The rules of the configuration sheets' fields that need no window: typed
// numbers and their ranges, the language list of IPP ports, the sheet title.
// Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>

// Inclusive bounds of a typed number.
struct NumberRange {
    uint32_t least;
    uint32_t largest;
};

// Communication time-out, seconds.
const NumberRange kSheetTimeoutRange = {60, 3600};
// A proxy port must be one a TCP connection can use.
const NumberRange kProxyPortRange = {1, 65535};
// Largest chunk of a chunked IPP job, bytes.
const NumberRange kChunkSizeRange = {1024, 16384};

// Reads NUL-terminated `text` as a decimal number: digits only, at least
// one, within `range`. False (*value unchanged) otherwise.
bool ParseNumberInRange(const char* text, NumberRange range, uint32_t* value);

// The languages an IPP port can ask its printer to answer in, in list order.
const int kLanguageCount = 5;
// The code of entry `index`; NULL outside the list.
const char* LanguageCode(int index);
// The entry whose code equals `code`; else the first one equal to it
// without regard to the case of ASCII letters; else -1 (no entry).
int FindLanguage(const char* code);

// "<caption> - <port name>" into `out` of `size` bytes, cut to fit and
// always terminated (nothing when `size` is 0).
void FormatSheetTitle(const char* caption, const char* portName, char* out, size_t size);
