// The configuration sheets' field rules: typed numbers and their ranges, the
// language look-up, the bounded title.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ui/config/sheet_rules.h"

TEST(SheetRulesTest, NumbersAreDecimalDigitsWithinTheirRange)
{
    const struct {
        const char* text;
        NumberRange range;
        bool accepted;
        uint32_t value;
    } cases[] = {
        {"60", kSheetTimeoutRange, true, 60},       {"3600", kSheetTimeoutRange, true, 3600},
        {"59", kSheetTimeoutRange, false, 0},       {"3601", kSheetTimeoutRange, false, 0},
        {"", kSheetTimeoutRange, false, 0},         {"6O", kSheetTimeoutRange, false, 0},
        {" 60", kSheetTimeoutRange, false, 0},      {"-60", kSheetTimeoutRange, false, 0},
        {"4294967356", kSheetTimeoutRange, false, 0}, // 60 once wrapped to 32 bits
        {"1", kProxyPortRange, true, 1},            {"65535", kProxyPortRange, true, 65535},
        {"0", kProxyPortRange, false, 0},           {"65536", kProxyPortRange, false, 0},
        {"4294975488", kProxyPortRange, false, 0},  // 8192 once wrapped to 32 bits
        {"1024", kChunkSizeRange, true, 1024},      {"16384", kChunkSizeRange, true, 16384},
        {"1023", kChunkSizeRange, false, 0},        {"16385", kChunkSizeRange, false, 0},
        {nullptr, kChunkSizeRange, false, 0},
    };
    for (const auto& c : cases) {
        uint32_t value = 7;
        EXPECT_EQ(c.accepted, ParseNumberInRange(c.text, c.range, &value)) << (c.text ? c.text : "(null)");
        EXPECT_EQ(c.accepted ? c.value : 7u, value) << (c.text ? c.text : "(null)");
    }
}

TEST(SheetRulesTest, LanguageMatchesExactlyThenWithoutCaseElseNone)
{
    EXPECT_EQ(0, FindLanguage("en"));
    EXPECT_EQ(1, FindLanguage("en-us"));
    EXPECT_EQ(4, FindLanguage("ja-jp"));
    EXPECT_EQ(4, FindLanguage("JA-JP"));
    EXPECT_EQ(1, FindLanguage("En-US"));
    for (const char* unknown : {"", "xx", "en-", "ja", "en-usx", "\xc5n"})
        EXPECT_EQ(-1, FindLanguage(unknown)) << unknown;
    EXPECT_EQ(-1, FindLanguage(nullptr));
    EXPECT_STREQ("fr", LanguageCode(2));
    EXPECT_STREQ("de", LanguageCode(3));
    EXPECT_EQ(nullptr, LanguageCode(-1)) << "no selection has no code";
    EXPECT_EQ(nullptr, LanguageCode(kLanguageCount));
}

TEST(SheetRulesTest, TitleIsCutToItsBuffer)
{
    char title[16];
    FormatSheetTitle("Settings", "IPP1", title, sizeof title);
    EXPECT_STREQ("Settings - IPP1", title);
    std::string caption(511, 'c'), name(255, 'n');
    char small[40];
    memset(small, 'x', sizeof small);
    FormatSheetTitle(caption.c_str(), name.c_str(), small, sizeof small);
    EXPECT_EQ(std::string(39, 'c'), small);
    char full[1024];
    FormatSheetTitle(caption.c_str(), name.c_str(), full, sizeof full);
    EXPECT_EQ(caption + " - " + name, full);
    char untouched = 'u';
    FormatSheetTitle("a", "b", &untouched, 0);
    EXPECT_EQ('u', untouched);
}
