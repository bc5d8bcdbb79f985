// Catalogue escapes and the bounded catalogue formatter.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "text/escapes.h"

namespace {

std::string Expand(const std::string& text, int* lines = nullptr)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    const int n = ExpandEscapes(buffer.data(), text.size());
    if (lines != nullptr)
        *lines = n;
    return std::string(buffer.data());
}

std::string Format(const std::string& text, CatalogueArg arg, size_t outSize = 512)
{
    std::vector<char> out(outSize + 1, 'Z');
    const size_t n = FormatCatalogueText(text.c_str(), arg, out.data(), outSize);
    EXPECT_EQ('Z', out[outSize]) << "wrote past the buffer";
    if (outSize == 0)
        return std::string();
    EXPECT_EQ(n, std::strlen(out.data()));
    EXPECT_LE(n, kCatalogueTextMax);
    EXPECT_LT(n, outSize);
    return std::string(out.data());
}

} // namespace

// --- ExpandEscapes -------------------------------------------------------

TEST(ExpandEscapesTest, NewlineBecomesCarriageReturnLineFeed)
{
    int lines = 0;
    EXPECT_EQ("A\r\nB", Expand("A\\nB", &lines));
    EXPECT_EQ(2, lines);
}

TEST(ExpandEscapesTest, TabIsOneCharacterShorter)
{
    int lines = 0;
    const std::string out = Expand("A\\tB", &lines);
    EXPECT_EQ("A\tB", out);
    EXPECT_EQ(3u, out.size());
    EXPECT_EQ(1, lines);
}

TEST(ExpandEscapesTest, OtherBackslashesStay)
{
    EXPECT_EQ("AB\\", Expand("AB\\"));
    EXPECT_EQ("\\", Expand("\\"));
    EXPECT_EQ("a\\xb\\N\\T", Expand("a\\xb\\N\\T"));
}

TEST(ExpandEscapesTest, ABackslashCannotBeEscaped)
{
    EXPECT_EQ("\\\r\n", Expand("\\\\n"));
    EXPECT_EQ("\\\t", Expand("\\\\t"));
}

TEST(ExpandEscapesTest, CountsLines)
{
    int lines = 0;
    EXPECT_EQ("", Expand("", &lines));
    EXPECT_EQ(1, lines);
    EXPECT_EQ("one", Expand("one", &lines));
    EXPECT_EQ(1, lines);
    EXPECT_EQ("1\r\n2\r\n\t3\r\n", Expand("1\\n2\\n\\t3\\n", &lines));
    EXPECT_EQ(4, lines);
    // Line breaks already in the text are not counted.
    EXPECT_EQ("a\r\nb", Expand("a\r\nb", &lines));
    EXPECT_EQ(1, lines);
}

TEST(ExpandEscapesTest, SequencesMadeByATabAreNotReExpanded)
{
    // After "\t" shrinks the text, the walk goes on behind the tab.
    EXPECT_EQ("\tn", Expand("\\tn"));
    EXPECT_EQ("\t\\", Expand("\\t\\"));
}

TEST(ExpandEscapesTest, WalksOnlyTheGivenLength)
{
    char text[] = "A\\nB\\nC";
    EXPECT_EQ(2, ExpandEscapes(text, 4)); // "A\nB": one sequence
    EXPECT_STREQ("A\r\nB\\nC", text);
    // A sequence cut by the length stays.
    char cut[] = "A\\n";
    EXPECT_EQ(1, ExpandEscapes(cut, 2));
    EXPECT_STREQ("A\\n", cut);
}

TEST(ExpandEscapesTest, NeverTouchesBeyondTheLength)
{
    // A heap block of exactly the length, no terminator behind it.
    const std::string text = "x\\ty\\nz\\";
    std::unique_ptr<char[]> exact(new char[text.size()]);
    std::memcpy(exact.get(), text.data(), text.size());
    EXPECT_EQ(2, ExpandEscapes(exact.get(), text.size()));
    EXPECT_EQ(std::string("x\ty\r\nz\\\0", 8), std::string(exact.get(), text.size()));
}

TEST(ExpandEscapesTest, NullAndZeroLength)
{
    EXPECT_EQ(1, ExpandEscapes(nullptr, 10));
    char text[] = "\\n";
    EXPECT_EQ(1, ExpandEscapes(text, 0));
    EXPECT_STREQ("\\n", text);
}

TEST(ExpandEscapesTest, LongTextsNeverGrow)
{
    std::string text;
    for (int i = 0; i < 50000; ++i)
        text += (i % 2) ? "\\t" : "\\n";
    int lines = 0;
    const std::string out = Expand(text, &lines);
    EXPECT_EQ(25001, lines);
    EXPECT_EQ(25000u * 2 + 25000u, out.size());
    EXPECT_LE(out.size(), text.size());
}

// --- FormatCatalogueText ------------------------------------------------

TEST(CatalogueFormatTest, TextArgument)
{
    EXPECT_EQ("Port IPP_1 already exists.", Format("Port %s already exists.", ArgText("IPP_1")));
    EXPECT_EQ("[  abc]", Format("[%5s]", ArgText("abc")));
    EXPECT_EQ("[abc  ]", Format("[%-5s]", ArgText("abc")));
    EXPECT_EQ("[ab]", Format("[%.2s]", ArgText("abc")));
    EXPECT_EQ("", Format("%s", ArgText("")));
}

TEST(CatalogueFormatTest, NumberArgument)
{
    EXPECT_EQ("Error 1024.", Format("Error %d.", ArgNumber(1024)));
    EXPECT_EQ("-5", Format("%i", ArgNumber(-5)));
    EXPECT_EQ("-5", Format("%ld", ArgNumber(-5)));
    EXPECT_EQ("4294967295", Format("%u", ArgNumber(-1)));
    EXPECT_EQ("4294967295", Format("%lu", ArgNumber(-1)));
    EXPECT_EQ("ff", Format("%x", ArgNumber(255)));
    EXPECT_EQ("FF", Format("%X", ArgNumber(255)));
    EXPECT_EQ("ffffffff", Format("%lx", ArgNumber(-1)));
    EXPECT_EQ("FFFFFFFF", Format("%lX", ArgNumber(-1)));
    EXPECT_EQ("0xff", Format("%#x", ArgNumber(255)));
    EXPECT_EQ("[   42]", Format("[%5d]", ArgNumber(42)));
    EXPECT_EQ("[42   ]", Format("[%-5d]", ArgNumber(42)));
    EXPECT_EQ("[00042]", Format("[%05d]", ArgNumber(42)));
    EXPECT_EQ("[00042]", Format("[%.5d]", ArgNumber(42)));
    EXPECT_EQ("+42", Format("%+d", ArgNumber(42)));
    EXPECT_EQ(" 42", Format("% d", ArgNumber(42)));
}

TEST(CatalogueFormatTest, NumbersAre32Bit)
{
    // As on the target, where long is 32 bits.
    EXPECT_EQ("-2147483648", Format("%d", ArgNumber(static_cast<long>(INT32_MIN))));
    EXPECT_EQ("2147483647", Format("%d", ArgNumber(static_cast<long>(INT32_MAX))));
    const std::string expected = sizeof(long) > 4 ? "-1" : "2147483647";
    EXPECT_EQ(expected, Format("%d", ArgNumber(LONG_MAX)));
}

TEST(CatalogueFormatTest, PercentPairsAreLiteral)
{
    EXPECT_EQ("100% done", Format("100%% %s", ArgText("done")));
    EXPECT_EQ("%7%", Format("%%%d%%", ArgNumber(7)));
    // "%%" alone is no conversion: the text stands as it is.
    EXPECT_EQ("%%d", Format("%%d", ArgNumber(7)));
    EXPECT_EQ("100%%", Format("100%%", ArgText("x")));
}

TEST(CatalogueFormatTest, NoArgumentShowsTheTextAsItStands)
{
    EXPECT_EQ("Port %s", Format("Port %s", ArgNone()));
    EXPECT_EQ("%d%%", Format("%d%%", ArgNone()));
    EXPECT_EQ("plain", Format("plain", ArgNone()));
}

TEST(CatalogueFormatTest, NoConversionShowsTheText)
{
    EXPECT_EQ("plain", Format("plain", ArgText("x")));
    EXPECT_EQ("plain", Format("plain", ArgNumber(3)));
    EXPECT_EQ("", Format("", ArgNumber(3)));
}

TEST(CatalogueFormatTest, TwoConversionsShowTheText)
{
    EXPECT_EQ("%s %s", Format("%s %s", ArgText("x")));
    EXPECT_EQ("%d and %d", Format("%d and %d", ArgNumber(1)));
    EXPECT_EQ("%s %n", Format("%s %n", ArgText("x")));
}

TEST(CatalogueFormatTest, MismatchShowsTheText)
{
    EXPECT_EQ("%d", Format("%d", ArgText("x")));
    EXPECT_EQ("%s", Format("%s", ArgNumber(1)));
    EXPECT_EQ("%x", Format("%x", ArgText("x")));
    EXPECT_EQ("%s", Format("%s", ArgText(nullptr)));
}

TEST(CatalogueFormatTest, UnknownConversionsShowTheText)
{
    for (const char* text : {"%n", "%p", "%c", "%f", "%e", "%g", "%o", "%ls", "%lld", "%hd", "%hhd", "%I64d",
                             "%*d", "%.*d", "%S", "%z", "100%", "%", "%-", "%5", "%l", "%#s", "%0s", "%+s",
                             "%#d", "%#u", "%5.2lq", "%1$d"}) {
        EXPECT_EQ(text, Format(text, ArgNumber(1))) << text;
        EXPECT_EQ(text, Format(text, ArgText("t"))) << text;
    }
}

TEST(CatalogueFormatTest, HugeWidthOrPrecisionShowsTheText)
{
    EXPECT_EQ("%99999999999999999999d", Format("%99999999999999999999d", ArgNumber(1)));
    EXPECT_EQ("%.99999999999999999999s", Format("%.99999999999999999999s", ArgText("x")));
    EXPECT_EQ("%4097d", Format("%4097d", ArgNumber(1)));
    // Within the bound the result is formatted and cut at 511.
    EXPECT_EQ(std::string(511, ' '), Format("%4096d", ArgNumber(1)));
    EXPECT_EQ(std::string(511, ' '), Format("%600d", ArgNumber(1)));
    EXPECT_EQ(std::string(509, ' ') + "42", Format("%511d", ArgNumber(42)));
}

TEST(CatalogueFormatTest, ResultIsCutAt511)
{
    const std::string longText(2000, 'a');
    EXPECT_EQ(std::string(511, 'a'), Format(longText, ArgNone()));
    EXPECT_EQ(std::string(511, 'a'), Format(longText, ArgNumber(1)));
    const std::string longArg(100000, 'b');
    EXPECT_EQ("<" + std::string(510, 'b'), Format("<%s>", ArgText(longArg.c_str())));
    EXPECT_EQ(std::string(511, 'a'), Format(longText, ArgNone(), 100000));
    // 511 characters exactly pass whole.
    EXPECT_EQ(std::string(511, 'c'), Format(std::string(511, 'c'), ArgNone()));
    EXPECT_EQ(std::string(509, 'c') + "42", Format(std::string(509, 'c') + "%d", ArgNumber(42)));
    EXPECT_EQ(std::string(509, 'c') + "4", Format(std::string(509, 'c') + "%d", ArgNumber(4)));
    EXPECT_EQ(std::string(510, 'c') + "4", Format(std::string(510, 'c') + "%d", ArgNumber(42)));
}

TEST(CatalogueFormatTest, ResultIsCutAtTheOutputSize)
{
    EXPECT_EQ("Erro", Format("Error %d", ArgNumber(7), 5));
    EXPECT_EQ("Error 7", Format("Error %d", ArgNumber(7), 8));  // exactly
    EXPECT_EQ("Error ", Format("Error %d", ArgNumber(7), 7));   // one short
    EXPECT_EQ("ab", Format("ab", ArgNone(), 3));
    EXPECT_EQ("a", Format("ab", ArgNone(), 2));
    EXPECT_EQ("", Format("ab", ArgNone(), 1));
    EXPECT_EQ("", Format("%s", ArgText("xyz"), 1));
    char none = 'Z';
    EXPECT_EQ(0u, FormatCatalogueText("abc", ArgNone(), &none, 0));
    EXPECT_EQ('Z', none);
    EXPECT_EQ(0u, FormatCatalogueText("abc", ArgNone(), nullptr, 100));
    char out[8] = "junk";
    EXPECT_EQ(0u, FormatCatalogueText(nullptr, ArgNumber(1), out, sizeof out));
    EXPECT_STREQ("", out);
}

TEST(CatalogueFormatTest, ArgumentTextIsNeverAFormat)
{
    EXPECT_EQ("a %n %s %d b", Format("a %s b", ArgText("%n %s %d")));
}
