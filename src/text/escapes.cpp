// Catalogue text processing: escape expansion and the bounded formatter.
// Pure code: no OS header.
#include "text/escapes.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

int ExpandEscapes(char* text, size_t length)
{
    size_t breaks = 0;
    if (text == nullptr)
        return 1;
    size_t read = 0;
    size_t write = 0;
    while (read < length && text[read] != '\0') {
        const char c = text[read];
        if (c == '\\' && read + 1 < length && text[read + 1] == 'n') {
            text[write++] = '\r';
            text[write++] = '\n';
            read += 2;
            ++breaks;
        } else if (c == '\\' && read + 1 < length && text[read + 1] == 't') {
            text[write++] = '\t';
            read += 2;
        } else {
            text[write++] = c;
            ++read;
        }
    }
    // The text shrank by one per tab: terminate it at its new end and clear
    // the places it left, never touching text[length] or beyond.
    if (write < read) {
        for (size_t i = write; i < read; ++i)
            text[i] = '\0';
    }
    return breaks >= static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(breaks) + 1;
}

namespace {

// One parsed conversion of a catalogue text.
struct Conversion {
    size_t start;     // offset of its "%"
    size_t end;       // offset behind its conversion character
    char flags[8];    // distinct flags in the order met, terminated
    size_t width;     // SIZE_MAX: none
    size_t precision; // SIZE_MAX: none
    bool isLong;      // "l" length modifier
    char type;        // conversion character; 0 when unknown or incomplete
};

const size_t kNone = SIZE_MAX;
// Width and precision above this are not taken (the result is cut at 511
// characters anyway); such a conversion counts as unknown.
const size_t kFieldMax = 4096;

// Parses the conversion whose "%" stands at `text[at]` (not followed by a
// second "%"). Always consumes at least the "%".
Conversion ParseConversion(const char* text, size_t at)
{
    Conversion conv = {};
    conv.start = at;
    conv.width = kNone;
    conv.precision = kNone;
    size_t i = at + 1;
    size_t flagCount = 0;
    bool valid = true;
    while (text[i] != '\0' && std::strchr("-+ 0#", text[i]) != nullptr) {
        if (std::strchr(conv.flags, text[i]) == nullptr && flagCount < sizeof conv.flags - 1)
            conv.flags[flagCount++] = text[i];
        ++i;
    }
    conv.flags[flagCount] = '\0';
    if (text[i] >= '0' && text[i] <= '9') {
        size_t width = 0;
        while (text[i] >= '0' && text[i] <= '9') {
            if (width <= kFieldMax)
                width = width * 10 + static_cast<size_t>(text[i] - '0');
            ++i;
        }
        if (width > kFieldMax)
            valid = false;
        conv.width = width;
    }
    if (text[i] == '.') {
        ++i;
        size_t precision = 0;
        while (text[i] >= '0' && text[i] <= '9') {
            if (precision <= kFieldMax)
                precision = precision * 10 + static_cast<size_t>(text[i] - '0');
            ++i;
        }
        if (precision > kFieldMax)
            valid = false;
        conv.precision = precision;
    }
    if (text[i] == 'l') {
        conv.isLong = true;
        ++i;
    }
    const char type = text[i];
    if (type == '\0') {
        conv.end = i;
        conv.type = 0;
        return conv;
    }
    conv.end = i + 1;
    conv.type = valid ? type : 0;
    return conv;
}

// Flags a conversion may carry without undefined behaviour of the C library.
bool FlagsAllowed(const Conversion& conv, const char* allowed)
{
    for (const char* f = conv.flags; *f != '\0'; ++f)
        if (std::strchr(allowed, *f) == nullptr)
            return false;
    return true;
}

// The conversion fits the argument (see the header).
bool Matches(const Conversion& conv, const CatalogueArg& arg)
{
    switch (arg.kind) {
    case CatalogueArg::TEXT:
        return arg.text != nullptr && conv.type == 's' && !conv.isLong && FlagsAllowed(conv, "-");
    case CatalogueArg::NUMBER:
        switch (conv.type) {
        case 'd':
        case 'i':
        case 'u':
            return FlagsAllowed(conv, "-+ 0");
        case 'x':
        case 'X':
            return FlagsAllowed(conv, "-+ 0#");
        default:
            return false;
        }
    case CatalogueArg::NONE:
    default:
        return false;
    }
}

// Appends `length` characters of `from` to `out`, bounded by `limit`.
void Append(char* out, size_t* at, size_t limit, const char* from, size_t length)
{
    const size_t room = limit - *at;
    const size_t take = length < room ? length : room;
    if (take > 0)
        std::memcpy(out + *at, from, take);
    *at += take;
}

// Copies `text` as it stands.
size_t CopyAsItStands(const char* text, char* out, size_t limit)
{
    size_t at = 0;
    while (at < limit && text[at] != '\0') {
        out[at] = text[at];
        ++at;
    }
    out[at] = '\0';
    return at;
}

// Appends the decimal digits of `value` to `format`.
void AppendNumber(char* format, size_t* f, size_t value)
{
    char digits[24];
    size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0)
        format[(*f)++] = digits[--n];
}

// The conversion formatted with the argument into `buffer` (bounded). The
// format is rebuilt from the validated parts, never taken from the text.
void FormatOne(const Conversion& conv, const CatalogueArg& arg, char* buffer, size_t bufferSize)
{
    char format[32]; // "%", at most five flags, two numbers of at most 4 digits, ".", type
    size_t f = 0;
    format[f++] = '%';
    for (const char* flag = conv.flags; *flag != '\0'; ++flag)
        format[f++] = *flag;
    if (conv.width != kNone)
        AppendNumber(format, &f, conv.width);
    if (conv.precision != kNone) {
        format[f++] = '.';
        AppendNumber(format, &f, conv.precision);
    }
    format[f++] = conv.type;
    format[f] = '\0';

    int written;
    if (arg.kind == CatalogueArg::TEXT) {
        written = std::snprintf(buffer, bufferSize, format, arg.text);
    } else {
        // Numbers are 32-bit, as on the target where long is 32 bits.
        const uint32_t bits = static_cast<uint32_t>(static_cast<unsigned long>(arg.number));
        if (conv.type == 'd' || conv.type == 'i') {
            const int32_t value =
                bits <= 0x7FFFFFFFu ? static_cast<int32_t>(bits) : -static_cast<int32_t>(~bits) - 1;
            written = std::snprintf(buffer, bufferSize, format, static_cast<int>(value));
        } else {
            written = std::snprintf(buffer, bufferSize, format, static_cast<unsigned int>(bits));
        }
    }
    if (written < 0)
        buffer[0] = '\0';
}

// The length of the first `length` bytes of `text` without a double-byte
// character whose trail byte lies beyond them. Walked from the start: a
// trail byte may have the value of a lead byte.
size_t WholeCharacters(const char* text, size_t length, TextLeadByteTest isLead)
{
    if (!isLead)
        return length;
    size_t i = 0;
    while (i < length) {
        size_t step = isLead(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + step > length)
            return i;
        i += step;
    }
    return length;
}

// Cuts the formatted result back to whole characters.
size_t EndAtCharacter(char* out, size_t at, TextLeadByteTest isLead)
{
    at = WholeCharacters(out, at, isLead);
    out[at] = '\0';
    return at;
}

} // namespace

size_t FormatCatalogueText(const char* text, CatalogueArg arg, char* out, size_t outSize, TextLeadByteTest isLead)
{
    if (out == nullptr || outSize == 0)
        return 0;
    out[0] = '\0';
    if (text == nullptr)
        return 0;
    const size_t limit = outSize - 1 < kCatalogueTextMax ? outSize - 1 : kCatalogueTextMax;

    // Find the conversions; "%%" is a literal percent.
    size_t conversions = 0;
    Conversion conv = {};
    for (size_t i = 0; text[i] != '\0';) {
        if (text[i] != '%') {
            ++i;
        } else if (text[i + 1] == '%') {
            i += 2;
        } else {
            const Conversion found = ParseConversion(text, i);
            if (++conversions == 1)
                conv = found;
            i = found.end;
            if (conversions > 1)
                break;
        }
    }
    if (conversions != 1 || !Matches(conv, arg))
        return EndAtCharacter(out, CopyAsItStands(text, out, limit), isLead);

    size_t at = 0;
    // Literal part in front of the conversion, with "%%" turned into "%".
    for (size_t i = 0; i < conv.start && at < limit;) {
        const char c = text[i];
        out[at++] = c;
        i += (c == '%') ? 2 : 1;
    }
    char formatted[kCatalogueTextMax + 1];
    FormatOne(conv, arg, formatted, sizeof formatted);
    Append(out, &at, limit, formatted, std::strlen(formatted));
    for (size_t i = conv.end; text[i] != '\0' && at < limit;) {
        const char c = text[i];
        out[at++] = c;
        i += (c == '%') ? 2 : 1;
    }
    return EndAtCharacter(out, at, isLead);
}
