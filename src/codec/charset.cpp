// Character sets of IPP texts and the OEM <-> UTF-8 conversions.
#include "codec/charset.h"

#include <cstring>
#include <memory>
#include <new>

const CharsetRow kCharsetTable[] = {
    {"us-ascii", CHARSET_ASCII},
    {"us", CHARSET_ASCII},
    {"ascii", CHARSET_ASCII},
    {"utf-8", CHARSET_UTF8},
    {"iso-2022-jp", CHARSET_ISO_2022_JP},
    {"x-jis", CHARSET_ISO_2022_JP},
    {"shift_jis", CHARSET_SHIFT_JIS},
    {"x-sjis", CHARSET_SHIFT_JIS},
    {"ms_kanji", CHARSET_SHIFT_JIS},
    {"euc-jp", CHARSET_EUC_JP},
    {"x-euc", CHARSET_EUC_JP},
    {"iso-10646-ucs-2", CHARSET_UCS2},
    {"csUnicode", CHARSET_UCS2},
    {nullptr, 0},
};

namespace {

const uint32_t kReplacement = 0xFFFD;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

bool IsSjisLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Longest prefix of at most `limit` bytes that keeps Shift_JIS pairs whole.
size_t SjisBoundary(const uint8_t* bytes, size_t length, size_t limit)
{
    size_t at = 0;
    while (at < length) {
        const size_t step = IsSjisLead(bytes[at]) ? 2 : 1;
        if (at + step > limit)
            break;
        at += step;
    }
    return at < length ? at : length;
}

// Codes 0 and 2: the bytes as they are, cut to fit and terminated.
size_t PassThrough(char* out, size_t capacity, const uint8_t* bytes, size_t length, int code)
{
    const size_t room = capacity - 1;
    size_t n = length;
    if (code == CHARSET_SHIFT_JIS)
        n = SjisBoundary(bytes, length, room);
    else if (n > room)
        n = room;
    memcpy(out, bytes, n);
    out[n] = '\0';
    return n;
}

// UTF-8 form of one code point; returns its length (1 to 4).
size_t EncodeUtf8(uint32_t cp, uint8_t* out)
{
    if (cp < 0x80) {
        out[0] = static_cast<uint8_t>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<uint8_t>(0xC0 | (cp >> 6));
        out[1] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<uint8_t>(0xE0 | (cp >> 12));
        out[1] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<uint8_t>(0xF0 | (cp >> 18));
    out[1] = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<uint8_t>(0x80 | (cp & 0x3F));
    return 4;
}

// UTF-16 units to UTF-8, whole characters only, at most `room` bytes. A
// surrogate pair is one 4-byte sequence; a lone surrogate is U+FFFD.
size_t UnitsToUtf8(const uint16_t* units, size_t count, char* out, size_t room)
{
    size_t written = 0;
    for (size_t i = 0; i < count;) {
        uint32_t cp = units[i];
        size_t taken = 1;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
            taken = 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        uint8_t sequence[4];
        const size_t n = EncodeUtf8(cp, sequence);
        if (written + n > room)
            break;
        memcpy(out + written, sequence, n);
        written += n;
        i += taken;
    }
    return written;
}

// UTF-8 to UTF-16 units, at most `capacity` units, never splitting a pair.
size_t Utf8ToUnits(const uint8_t* bytes, size_t length, uint16_t* units, size_t capacity)
{
    size_t count = 0;
    for (size_t at = 0; at < length;) {
        uint32_t cp;
        const size_t taken = DecodeUtf8(bytes + at, length - at, &cp);
        if (cp >= 0x10000) {
            if (count + 2 > capacity)
                break;
            units[count++] = static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10));
            units[count++] = static_cast<uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            if (count + 1 > capacity)
                break;
            units[count++] = static_cast<uint16_t>(cp);
        }
        at += taken;
    }
    return count;
}

bool IsLowSurrogate(uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Largest number of leading units whose OEM form fits `room` bytes, never
// ending between the halves of a surrogate pair; 0 when the codec fails.
size_t UnitsThatFit(const uint16_t* units, size_t count, size_t room, const OemCodec* codec)
{
    const auto fits = [&](size_t k) {
        const int needed = codec->fromWide(units, static_cast<int>(k), nullptr, 0);
        return needed > 0 && static_cast<size_t>(needed) <= room;
    };
    if (fits(count))
        return count;
    size_t low = 0, high = count; // low fits (or is 0), high does not
    while (high - low > 1) {
        const size_t middle = low + (high - low) / 2;
        if (fits(middle))
            low = middle;
        else
            high = middle;
    }
    if (low > 0 && IsLowSurrogate(units[low]))
        --low;
    return low;
}

} // namespace

int CharsetCodeOf(const char* name, size_t length)
{
    if (name == nullptr)
        return -1;
    for (const CharsetRow* row = kCharsetTable; row->name != nullptr; ++row) {
        size_t i = 0;
        while (i < length && row->name[i] != '\0' && Lower(name[i]) == Lower(row->name[i]))
            ++i;
        if (i == length && row->name[i] == '\0')
            return row->code;
    }
    return -1;
}

size_t DecodeUtf8(const uint8_t* bytes, size_t length, uint32_t* codePoint)
{
    const uint8_t lead = bytes[0];
    *codePoint = kReplacement;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    size_t more;
    uint32_t cp;
    uint8_t low = 0x80, high = 0xBF; // allowed range of the first continuation
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        cp = lead & 0x0Fu;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        cp = lead & 0x07u;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return 1;
    }
    for (size_t i = 1; i <= more; ++i) {
        if (i >= length)
            return i; // cut short by the end of the value
        const uint8_t b = bytes[i];
        if (i == 1 ? (b < low || b > high) : !IsContinuation(b))
            return i;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    *codePoint = cp;
    return more + 1;
}

size_t Utf8Boundary(const char* text, size_t length, size_t limit)
{
    if (length <= limit)
        return length;
    size_t n = limit;
    for (int back = 0; back < 3 && n > 0 && IsContinuation(static_cast<uint8_t>(text[n])); ++back)
        --n;
    // Behind n starts a character unless more than 3 continuation bytes
    // follow each other (invalid text): then the plain cut stands.
    return IsContinuation(static_cast<uint8_t>(text[n])) ? limit : n;
}

size_t OemToUtf8(char* out, size_t capacity, const char* text, int code, const OemCodec* codec)
{
    if (out == nullptr || capacity == 0)
        return 0;
    out[0] = '\0';
    if (text == nullptr)
        return 0;
    const size_t length = strnlen(text, kOemTextMax);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
    if (code == CHARSET_ASCII || code == CHARSET_SHIFT_JIS)
        return PassThrough(out, capacity, bytes, length, code);
    if (code != CHARSET_UTF8 || length == 0 || codec == nullptr || codec->toWide == nullptr)
        return 0;

    // Each OEM byte gives at most one unit and each character at least one
    // byte of UTF-8, so 4 bytes of input per byte of room always fill the
    // output. A cut input may end inside a character: its last unit is
    // dropped.
    const size_t enough = capacity < kOemTextMax ? 4 * capacity + 4 : kOemTextMax;
    const bool cut = length > enough;
    const size_t take = cut ? enough : length;
    std::unique_ptr<uint16_t[]> units(new (std::nothrow) uint16_t[take]);
    if (!units)
        return 0;
    int count = codec->toWide(text, static_cast<int>(take), units.get(), static_cast<int>(take));
    if (count <= 0 || static_cast<size_t>(count) > take)
        return 0;
    if (cut)
        --count;
    const size_t written = UnitsToUtf8(units.get(), static_cast<size_t>(count), out, capacity - 1);
    out[written] = '\0';
    return written;
}

size_t Utf8ToOem(char* out, size_t capacity, const uint8_t* bytes, size_t length, int code, const OemCodec* codec)
{
    if (out == nullptr || capacity == 0)
        return 0;
    if (bytes == nullptr)
        length = 0;
    if (code == CHARSET_ASCII || code == CHARSET_SHIFT_JIS)
        return PassThrough(out, capacity, bytes, length, code);
    if (code != CHARSET_UTF8)
        return 0;
    out[0] = '\0';
    if (length == 0 || codec == nullptr || codec->fromWide == nullptr)
        return 0;

    // Every unit but the halves of a pair gives at least one OEM byte: twice
    // the room in units is always enough.
    const size_t limit = capacity < length / 2 ? 2 * capacity + 2 : length;
    std::unique_ptr<uint16_t[]> units(new (std::nothrow) uint16_t[limit]);
    if (!units)
        return 0;
    const size_t count = Utf8ToUnits(bytes, length, units.get(), limit);
    const size_t fit = UnitsThatFit(units.get(), count, capacity - 1, codec);
    if (fit == 0)
        return 0;
    const int written = codec->fromWide(units.get(), static_cast<int>(fit), out, static_cast<int>(capacity - 1));
    if (written <= 0 || static_cast<size_t>(written) > capacity - 1) {
        out[0] = '\0';
        return 0;
    }
    out[written] = '\0';
    return static_cast<size_t>(written);
}
