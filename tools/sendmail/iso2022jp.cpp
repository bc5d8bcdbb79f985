// ISO-2022-JP from Shift_JIS. Pure code: no OS header.
#include "sendmail/iso2022jp.h"

namespace {

const char kToJis[] = "\x1b$B";
const char kToAscii[] = "\x1b(B";
const unsigned kGeta = 0x222E;
// The rows of JIS X 0208 (row = first byte - 0x20): 1 to 8 symbols, kana and
// Greek, Cyrillic and box drawing; 16 to 84 kanji. Rows 9 to 15 and 85 to 94
// hold vendor characters in Shift_JIS (circled digits in row 13, the
// NEC-selected IBM extensions in rows 89 to 92) that strict decoders refuse.
const unsigned kLastSymbolRow = 8;
const unsigned kFirstKanjiRow = 16;
const unsigned kLastKanjiRow = 84;

// JIS X 0208 codes of the half-width katakana 0xA1 to 0xDF.
const unsigned short kHalfWidthKana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565,
    0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F, 0x2531, 0x2533,
    0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C,
    0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564,
    0x2566, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
};

bool IsLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool IsTrail(unsigned char c)
{
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// The JIS X 0208 code of a double-byte character, or the geta mark.
unsigned JisOf(unsigned char lead, unsigned char trail)
{
    unsigned adjust = trail < 0x9F ? 1 : 0;
    unsigned rowOffset = lead < 0xA0 ? 0x70 : 0xB0;
    unsigned cellOffset = adjust ? (trail > 0x7F ? 0x20 : 0x1F) : 0x7E;
    unsigned j1 = ((lead - rowOffset) << 1) - adjust;
    unsigned j2 = trail - cellOffset;
    if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E)
        return kGeta;
    unsigned row = j1 - 0x20;
    if (row > kLastSymbolRow && (row < kFirstKanjiRow || row > kLastKanjiRow))
        return kGeta;
    return (j1 << 8) | j2;
}

// Converts one character at `at`; `jis` tracks the mode. Returns its length.
size_t ConvertChar(const std::string& sjis, size_t at, bool* jis, std::string* out)
{
    unsigned char c = static_cast<unsigned char>(sjis[at]);
    size_t length = SjisCharLength(sjis, at);
    unsigned code = 0; // 0: an ASCII byte
    char ascii = static_cast<char>(c);
    if (length == 2)
        code = JisOf(c, static_cast<unsigned char>(sjis[at + 1]));
    else if (c >= 0xA1 && c <= 0xDF)
        code = kHalfWidthKana[c - 0xA1];
    else if (c >= 0x80 || c == 0x1B || c == 0x0E || c == 0x0F)
        ascii = '?'; // a broken byte, or one that would switch modes
    if (code && !*jis)
        *out += kToJis;
    else if (!code && *jis)
        *out += kToAscii;
    *jis = code != 0;
    if (code) {
        out->push_back(static_cast<char>(code >> 8));
        out->push_back(static_cast<char>(code & 0xFF));
    } else {
        out->push_back(ascii);
    }
    return length;
}

} // namespace

size_t SjisCharLength(const std::string& sjis, size_t at)
{
    return at + 1 < sjis.size() && IsLead(static_cast<unsigned char>(sjis[at])) &&
                   IsTrail(static_cast<unsigned char>(sjis[at + 1]))
               ? 2
               : 1;
}

std::string SjisToIso2022Jp(const std::string& sjis)
{
    std::string out;
    out.reserve(sjis.size() + sjis.size() / 4 + 8);
    bool jis = false;
    for (size_t at = 0; at < sjis.size();)
        at += ConvertChar(sjis, at, &jis, &out);
    if (jis)
        out += kToAscii;
    return out;
}

std::vector<std::string> Iso2022JpPieces(const std::string& sjis, size_t maxBytes)
{
    std::vector<std::string> pieces;
    std::string piece;
    bool jis = false;
    for (size_t at = 0; at < sjis.size();) {
        std::string grown = piece;
        bool grownJis = jis;
        size_t length = ConvertChar(sjis, at, &grownJis, &grown);
        size_t closed = grown.size() + (grownJis ? 3 : 0);
        if (closed > maxBytes && !piece.empty()) {
            if (jis)
                piece += kToAscii;
            pieces.push_back(piece);
            piece.clear();
            jis = false;
            continue; // the character starts the next piece
        }
        piece.swap(grown);
        jis = grownJis;
        at += length;
    }
    if (!piece.empty()) {
        if (jis)
            piece += kToAscii;
        pieces.push_back(piece);
    }
    return pieces;
}
