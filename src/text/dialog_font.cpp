// The dialog font setting "face,size,charset". Pure code: no OS header.
#include "text/dialog_font.h"

#include <cstring>
#include <string>

#include "codec/parse_number.h"

namespace {

struct CharsetName {
    const char* name;
    int value;
};

const CharsetName kCharsets[] = {
    {"DEFAULT", 1},      {"ANSI", 0},     {"SYMBOL", 2},      {"SHIFTJIS", 128},    {"HANGEUL", 129},
    {"GB2312", 134},     {"CHINESEBIG5", 136}, {"OEM", 255},  {"JOHAB", 130},       {"HEBREW", 177},
    {"ARABIC", 178},     {"GREEK", 161},  {"TURKISH", 162},   {"VIETNAMESE", 163},  {"THAI", 222},
    {"EASTEUROPE", 238}, {"RUSSIAN", 204}, {"MAC", 77},       {"BALTIC", 186},
};

const int kDefaultCharset = 1;
const int kSmallestSize = 1;
const int kLargestSize = 200;

// Next comma-separated token of `text` from `*at`, skipping empty tokens as
// strtok does. False when there is none.
bool NextToken(const char* text, size_t* at, std::string* token)
{
    size_t i = *at;
    while (text[i] == ',')
        ++i;
    if (text[i] == '\0') {
        *at = i;
        return false;
    }
    const size_t start = i;
    while (text[i] != '\0' && text[i] != ',')
        ++i;
    token->assign(text + start, i - start);
    *at = i;
    return true;
}

} // namespace

int CharsetFromName(const char* name)
{
    if (name == nullptr)
        return -1;
    for (const CharsetName& entry : kCharsets)
        if (std::strcmp(entry.name, name) == 0)
            return entry.value;
    return -1;
}

bool ParseFontSetting(const char* setting, FontSetting* out)
{
    if (setting == nullptr || out == nullptr)
        return false;
    size_t at = 0;
    std::string face, size, charset;
    if (!NextToken(setting, &at, &face) || !NextToken(setting, &at, &size) || !NextToken(setting, &at, &charset))
        return false;

    const int32_t height = ParseNumber(size.c_str(), 10);
    if (height < kSmallestSize || height > kLargestSize)
        return false;
    int value = CharsetFromName(charset.c_str());
    if (value < 0)
        value = kDefaultCharset;

    const size_t faceLength = face.size() < sizeof out->face - 1 ? face.size() : sizeof out->face - 1;
    std::memcpy(out->face, face.data(), faceLength);
    out->face[faceLength] = '\0';
    out->size = static_cast<int>(height);
    out->charset = value;
    return true;
}
