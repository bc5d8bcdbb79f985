// The rules of the configuration sheets' fields that need no window.
#include "ui/config/sheet_rules.h"

#include <cstdio>
#include <cstring>

#include "codec/parse_number.h"

namespace {

const char* const kLanguageCodes[kLanguageCount] = {"en", "en-us", "fr", "de", "ja-jp"};

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (AsciiLower(*a) != AsciiLower(*b))
            return false;
    return *a == *b;
}

} // namespace

bool ParseNumberInRange(const char* text, NumberRange range, uint32_t* value)
{
    uint64_t number = 0;
    if (!text || !ParseStrictNumber(text, strlen(text), 10, range.largest, &number) || number < range.least)
        return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

const char* LanguageCode(int index)
{
    return index >= 0 && index < kLanguageCount ? kLanguageCodes[index] : nullptr;
}

int FindLanguage(const char* code)
{
    if (!code)
        return -1;
    for (int i = 0; i < kLanguageCount; ++i)
        if (strcmp(kLanguageCodes[i], code) == 0)
            return i;
    for (int i = 0; i < kLanguageCount; ++i)
        if (EqualIgnoringAsciiCase(kLanguageCodes[i], code))
            return i;
    return -1;
}

void FormatSheetTitle(const char* caption, const char* portName, char* out, size_t size)
{
    if (!out || size == 0)
        return;
    snprintf(out, size, "%s - %s", caption ? caption : "", portName ? portName : "");
}
