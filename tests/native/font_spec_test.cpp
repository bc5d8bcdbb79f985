// The dialog font specification.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text/font_spec.h"

namespace {

FontSpec Untouched()
{
    FontSpec spec;
    std::memset(&spec, 0x5A, sizeof spec);
    return spec;
}

bool IsUntouched(const FontSpec& spec)
{
    const FontSpec fresh = Untouched();
    return std::memcmp(&spec, &fresh, sizeof spec) == 0;
}

} // namespace

TEST(FontSpecTest, CharsetTable)
{
    const struct {
        const char* name;
        int value;
    } table[] = {{"DEFAULT", 1},     {"ANSI", 0},       {"SYMBOL", 2},     {"SHIFTJIS", 128}, {"HANGEUL", 129},
                 {"GB2312", 134},    {"CHINESEBIG5", 136}, {"OEM", 255},   {"JOHAB", 130},    {"HEBREW", 177},
                 {"ARABIC", 178},    {"GREEK", 161},    {"TURKISH", 162},  {"VIETNAMESE", 163}, {"THAI", 222},
                 {"EASTEUROPE", 238}, {"RUSSIAN", 204}, {"MAC", 77},       {"BALTIC", 186}};
    for (const auto& row : table)
        EXPECT_EQ(row.value, CharsetFromName(row.name)) << row.name;
}

TEST(FontSpecTest, CharsetNamesAreCaseSensitive)
{
    EXPECT_EQ(-1, CharsetFromName("shiftjis"));
    EXPECT_EQ(-1, CharsetFromName("Ansi"));
    EXPECT_EQ(-1, CharsetFromName(""));
    EXPECT_EQ(-1, CharsetFromName("ANSI "));
    EXPECT_EQ(-1, CharsetFromName("ANS"));
    EXPECT_EQ(-1, CharsetFromName("ANSIX"));
    EXPECT_EQ(-1, CharsetFromName(nullptr));
}

TEST(FontSpecTest, GoldenSpecification)
{
    FontSpec spec = Untouched();
    ASSERT_TRUE(ParseFontSpec("MS UI Gothic,12,SHIFTJIS", &spec));
    EXPECT_STREQ("MS UI Gothic", spec.face);
    EXPECT_EQ(12, spec.size);
    EXPECT_EQ(128, spec.charset);
}

TEST(FontSpecTest, UnknownCharsetNameGivesDefault)
{
    FontSpec spec = Untouched();
    ASSERT_TRUE(ParseFontSpec("MS UI Gothic,12,shiftjis", &spec));
    EXPECT_EQ(1, spec.charset);
    ASSERT_TRUE(ParseFontSpec("Arial,9,KLINGON", &spec));
    EXPECT_EQ(1, spec.charset);
    ASSERT_TRUE(ParseFontSpec("Arial,9,ANSI", &spec));
    EXPECT_EQ(0, spec.charset);
}

TEST(FontSpecTest, EmptyTokensAreSkippedAsStrtokDoes)
{
    FontSpec spec = Untouched();
    ASSERT_TRUE(ParseFontSpec(",,Arial,,,10,,OEM,,", &spec));
    EXPECT_STREQ("Arial", spec.face);
    EXPECT_EQ(10, spec.size);
    EXPECT_EQ(255, spec.charset);
}

TEST(FontSpecTest, ExtraTokensAreIgnored)
{
    FontSpec spec = Untouched();
    ASSERT_TRUE(ParseFontSpec("Arial,10,GREEK,bold,extra", &spec));
    EXPECT_EQ(161, spec.charset);
}

TEST(FontSpecTest, MissingTokensGiveNoFont)
{
    for (const char* text : {"", ",", ",,,", "Arial", "Arial,12", "Arial,12,", ",Arial,,12,,"}) {
        FontSpec spec = Untouched();
        EXPECT_FALSE(ParseFontSpec(text, &spec)) << text;
        EXPECT_TRUE(IsUntouched(spec)) << text;
    }
    FontSpec spec = Untouched();
    EXPECT_FALSE(ParseFontSpec(nullptr, &spec));
    EXPECT_TRUE(IsUntouched(spec));
    EXPECT_FALSE(ParseFontSpec("Arial,12,ANSI", nullptr));
}

TEST(FontSpecTest, SizeBounds)
{
    FontSpec spec = Untouched();
    EXPECT_TRUE(ParseFontSpec("A,1,ANSI", &spec));
    EXPECT_EQ(1, spec.size);
    EXPECT_TRUE(ParseFontSpec("A,200,ANSI", &spec));
    EXPECT_EQ(200, spec.size);
    EXPECT_TRUE(ParseFontSpec("A,0200,ANSI", &spec));
    EXPECT_EQ(200, spec.size);
    for (const char* text : {"A,0,ANSI", "A,201,ANSI", "A,-1,ANSI", "A,-12,ANSI", "A,+12,ANSI", "A, 12,ANSI",
                             "A,12 ,ANSI", "A,12x,ANSI", "A,abc,ANSI", "A,4294967296,ANSI", "A,99999999999,ANSI"}) {
        FontSpec other = Untouched();
        EXPECT_FALSE(ParseFontSpec(text, &other)) << text;
        EXPECT_TRUE(IsUntouched(other)) << text;
    }
}

TEST(FontSpecTest, SizeUsesParseNumber)
{
    // The one text-to-number conversion wraps in 32 bits: 2^32 + 1 is 1.
    FontSpec wrapped = Untouched();
    ASSERT_TRUE(ParseFontSpec("A,4294967297,ANSI", &wrapped));
    EXPECT_EQ(1, wrapped.size);
    // A hex letter ends the decimal walk with the value so far.
    FontSpec spec = Untouched();
    ASSERT_TRUE(ParseFontSpec("A,12a,ANSI", &spec));
    EXPECT_EQ(12, spec.size);
}

TEST(FontSpecTest, LongFaceIsCutToTheField)
{
    const std::string face(1000, 'F');
    FontSpec spec = Untouched();
    ASSERT_TRUE(ParseFontSpec((face + ",8,THAI").c_str(), &spec));
    EXPECT_EQ(std::string(127, 'F'), spec.face);
    EXPECT_EQ(8, spec.size);
    EXPECT_EQ(222, spec.charset);
    const std::string exact(127, 'E');
    ASSERT_TRUE(ParseFontSpec((exact + ",8,THAI").c_str(), &spec));
    EXPECT_EQ(exact, spec.face);
}

TEST(FontSpecTest, HugeTokensAreHandled)
{
    const std::string size(100000, '1');
    const std::string charset(100000, 'C');
    FontSpec spec = Untouched();
    EXPECT_FALSE(ParseFontSpec(("A," + size + ",ANSI").c_str(), &spec));
    ASSERT_TRUE(ParseFontSpec(("A,10," + charset).c_str(), &spec));
    EXPECT_EQ(1, spec.charset);
}
