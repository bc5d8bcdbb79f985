// Catalogue escapes and the bounded catalogue formatter.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "text/escapes.h"

namespace {

std::string Expand(const std::string& text, int* lines)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    *lines = ExpandEscapes(buffer.data(), text.size());
    return std::string(buffer.data());
}

std::string Format(const std::string& text, CatalogueArg arg, size_t outSize = 512)
{
    std::vector<char> out(outSize + 1, 'Z');
    const size_t n = FormatCatalogueText(text.c_str(), arg, out.data(), outSize);
    EXPECT_EQ('Z', out[outSize]) << "wrote past the buffer";
    EXPECT_EQ(n, std::strlen(out.data()));
    EXPECT_LT(n, outSize);
    EXPECT_LE(n, kCatalogueTextMax);
    return std::string(out.data());
}

} // namespace

TEST(ExpandEscapesTest, SequencesAndLineCount)
{
    const struct {
        const char* in;
        const char* out;
        int lines;
    } cases[] = {
        {"A\\nB", "A\r\nB", 2},         {"A\\tB", "A\tB", 1},
        {"1\\n2\\n\\t3\\n", "1\r\n2\r\n\t3\r\n", 4},
        {"", "", 1},                    {"a\r\nb", "a\r\nb", 1}, // breaks already there do not count
        {"AB\\", "AB\\", 1},            {"a\\xb\\N\\T", "a\\xb\\N\\T", 1},
        {"\\\\n", "\\\r\n", 2},         {"\\\\t", "\\\t", 1}, // a backslash cannot be escaped
        {"\\tn", "\tn", 1},             {"\\t\\", "\t\\", 1}, // the shrunk text is not walked again
    };
    for (const auto& c : cases) {
        int lines = 0;
        EXPECT_EQ(c.out, Expand(c.in, &lines)) << c.in;
        EXPECT_EQ(c.lines, lines) << c.in;
    }
}

TEST(ExpandEscapesTest, WalksOnlyTheGivenLength)
{
    char text[] = "A\\nB\\nC";
    EXPECT_EQ(2, ExpandEscapes(text, 4));
    EXPECT_STREQ("A\r\nB\\nC", text);
    char cut[] = "A\\n"; // a sequence cut by the length stays
    EXPECT_EQ(1, ExpandEscapes(cut, 2));
    EXPECT_STREQ("A\\n", cut);
    EXPECT_EQ(1, ExpandEscapes(cut, 0));
    EXPECT_STREQ("A\\n", cut);
    EXPECT_EQ(1, ExpandEscapes(nullptr, 10));

    // A heap block of exactly the length, no terminator behind it.
    const std::string source = "x\\ty\\nz\\";
    std::unique_ptr<char[]> exact(new char[source.size()]);
    std::memcpy(exact.get(), source.data(), source.size());
    EXPECT_EQ(2, ExpandEscapes(exact.get(), source.size()));
    EXPECT_EQ(std::string("x\ty\r\nz\\\0", 8), std::string(exact.get(), source.size()));
}

TEST(CatalogueFormatTest, OneMatchingConversionIsFormatted)
{
    const struct {
        const char* text;
        CatalogueArg arg;
        const char* expected;
    } cases[] = {
        {"Port %s already exists.", ArgText("IPP_1"), "Port IPP_1 already exists."},
        {"[%5s]", ArgText("abc"), "[  abc]"}, {"[%-5s]", ArgText("abc"), "[abc  ]"}, {"[%.2s]", ArgText("abc"), "[ab]"},
        {"a %s b", ArgText("%n %s %d"), "a %n %s %d b"}, // the argument is never a format
        {"Error %d.", ArgNumber(1024), "Error 1024."}, {"%i", ArgNumber(-5), "-5"}, {"%ld", ArgNumber(-5), "-5"},
        {"%lu", ArgNumber(-1), "4294967295"}, {"%X", ArgNumber(255), "FF"}, {"%lx", ArgNumber(-1), "ffffffff"},
        {"%#x", ArgNumber(255), "0xff"},     {"[%-5d]", ArgNumber(42), "[42   ]"}, {"[%05d]", ArgNumber(42), "[00042]"},
        {"[%.5d]", ArgNumber(42), "[00042]"}, {"%+d", ArgNumber(42), "+42"},      {"% d", ArgNumber(42), " 42"},
        {"100%% %s", ArgText("done"), "100% done"}, {"%%%d%%", ArgNumber(7), "%7%"},
        // Numbers are 32-bit, as on the target where long is 32 bits.
        {"%d", ArgNumber(static_cast<long>(INT32_MIN)), "-2147483648"},
        {"%d", ArgNumber(LONG_MAX), sizeof(long) > 4 ? "-1" : "2147483647"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Format(c.text, c.arg)) << c.text;
}

TEST(CatalogueFormatTest, AnythingElseShowsTheTextAsItStands)
{
    const std::vector<std::pair<std::string, CatalogueArg>> cases = {
        {"Port %s", ArgNone()}, {"plain", ArgText("x")}, {"", ArgNumber(3)}, {"%%d", ArgNumber(7)},
        {"%s %s", ArgText("x")}, {"%d and %d", ArgNumber(1)}, {"%s %n", ArgText("x")},
        {"%d", ArgText("x")}, {"%s", ArgNumber(1)}, {"%s", ArgText(nullptr)},
        // Width or precision beyond the bound.
        {"%99999999999999999999d", ArgNumber(1)}, {"%.99999999999999999999s", ArgText("x")}, {"%4097d", ArgNumber(1)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.first, Format(c.first, c.second)) << c.first;
    for (const char* text : {"%n", "%p", "%c", "%f", "%o", "%ls", "%lld", "%hd", "%I64d", "%*d", "%.*d", "%S",
                             "100%", "%", "%-", "%5", "%l", "%#s", "%0s", "%+s", "%#d", "%#u", "%5.2lq", "%1$d"}) {
        EXPECT_EQ(text, Format(text, ArgNumber(1))) << text;
        EXPECT_EQ(text, Format(text, ArgText("t"))) << text;
    }
}

TEST(CatalogueFormatTest, ResultIsCutAt511AndAtTheOutputSize)
{
    const std::string a2000(2000, 'a'), c509(509, 'c'), b100k(100000, 'b');
    const struct {
        std::string text;
        CatalogueArg arg;
        size_t outSize;
        std::string expected;
    } cases[] = {
        {a2000, ArgNone(), 512, std::string(511, 'a')}, {a2000, ArgNumber(1), 100000, std::string(511, 'a')},
        {"<%s>", ArgText(b100k.c_str()), 512, "<" + std::string(510, 'b')},
        {std::string(511, 'c'), ArgNone(), 512, std::string(511, 'c')},
        {c509 + "%d", ArgNumber(42), 512, c509 + "42"}, {c509 + "c%d", ArgNumber(42), 512, c509 + "c4"},
        {"%4096d", ArgNumber(1), 512, std::string(511, ' ')},
        {"%511d", ArgNumber(42), 512, std::string(509, ' ') + "42"},
        {"Error %d", ArgNumber(7), 8, "Error 7"}, {"Error %d", ArgNumber(7), 7, "Error "},
        {"Error %d", ArgNumber(7), 5, "Erro"},    {"ab", ArgNone(), 2, "a"}, {"%s", ArgText("xyz"), 1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Format(c.text, c.arg, c.outSize)) << c.text.substr(0, 20) << " into " << c.outSize;

    char none = 'Z';
    EXPECT_EQ(0u, FormatCatalogueText("abc", ArgNone(), &none, 0));
    EXPECT_EQ('Z', none);
    EXPECT_EQ(0u, FormatCatalogueText("abc", ArgNone(), nullptr, 100));
    char out[8] = "junk";
    EXPECT_EQ(0u, FormatCatalogueText(nullptr, ArgNumber(1), out, sizeof out));
    EXPECT_STREQ("", out);
}

TEST(FormatCatalogueTextTest, CutNeverSplitsADoubleByteCharacter)
{
    auto cp932Lead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
    // 510 bytes, then a two-byte character (lead 0x95, trail 0x5C) that would
    // end at byte 512: the character goes, not only its trail byte.
    std::string text = std::string(505, 'a') + "%s";
    std::string argument = std::string(5, 'b') + "\x95\x5C" "c";
    char out[512];
    size_t n = FormatCatalogueText(text.c_str(), ArgText(argument.c_str()), out, sizeof out, cp932Lead);
    EXPECT_EQ(510u, n);
    EXPECT_EQ(std::string(505, 'a') + "bbbbb", out);
    // A trail byte with the value of a lead byte (0x88 0x88) is walked as one character.
    std::string pairs;
    for (int i = 0; i < 300; ++i)
        pairs += "\x88\x88";
    n = FormatCatalogueText(("x" + pairs).c_str(), ArgNone(), out, sizeof out, cp932Lead);
    EXPECT_EQ(511u, n) << "1 + 255 whole characters";
    n = FormatCatalogueText(pairs.c_str(), ArgNone(), out, sizeof out, cp932Lead);
    EXPECT_EQ(510u, n);
    // Without a code page the cut stays at 511 bytes.
    EXPECT_EQ(511u, FormatCatalogueText(text.c_str(), ArgText(argument.c_str()), out, sizeof out));
}
