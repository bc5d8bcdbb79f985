// The dialog font setting.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text/dialog_font.h"

namespace {

FontSetting Untouched()
{
    FontSetting setting;
    std::memset(&setting, 0x5A, sizeof setting);
    return setting;
}

} // namespace

TEST(FontSettingTest, CharsetNamesAreWholeAndCaseSensitive)
{
    EXPECT_EQ(128, CharsetFromName("SHIFTJIS"));
    EXPECT_EQ(0, CharsetFromName("ANSI"));
    for (const char* name : {"shiftjis", "ANSI ", "ANS", "ANSIX", ""})
        EXPECT_EQ(-1, CharsetFromName(name)) << name;
    EXPECT_EQ(-1, CharsetFromName(nullptr));
}

TEST(FontSettingTest, FaceSizeAndCharset)
{
    const std::string face1000(1000, 'F'), face127(127, 'E');
    const struct {
        std::string setting;
        std::string face;
        int size;
        int charset;
    } cases[] = {
        {"MS UI Gothic,12,SHIFTJIS", "MS UI Gothic", 12, 128},
        {"MS UI Gothic,12,shiftjis", "MS UI Gothic", 12, 1}, // unknown name: DEFAULT
        {"A,10," + std::string(100000, 'C'), "A", 10, 1},
        {",,Arial,,,10,,OEM,,", "Arial", 10, 255}, // empty tokens skipped as strtok does
        {"Arial,10,GREEK,bold,extra", "Arial", 10, 161},
        {"A,1,ANSI", "A", 1, 0},
        {"A,0200,ANSI", "A", 200, 0},
        {"A,12a,ANSI", "A", 12, 0},        // a hex letter ends the decimal walk
        {face1000 + ",8,THAI", std::string(127, 'F'), 8, 222}, // cut to the field
        {face127 + ",8,THAI", face127, 8, 222},
    };
    for (const auto& c : cases) {
        FontSetting setting = Untouched();
        ASSERT_TRUE(ParseFontSetting(c.setting.c_str(), &setting)) << c.setting.substr(0, 40);
        EXPECT_EQ(c.face, setting.face) << c.setting.substr(0, 40);
        EXPECT_EQ(c.size, setting.size) << c.setting.substr(0, 40);
        EXPECT_EQ(c.charset, setting.charset) << c.setting.substr(0, 40);
    }
}

TEST(FontSettingTest, MissingTokensOrBadSizesGiveNoFont)
{
    const std::string hugeSize = "A," + std::string(100000, '1') + ",ANSI";
    const FontSetting fresh = Untouched();
    for (const char* text : {"", ",,,", "Arial,12", "Arial,12,", "A,0,ANSI", "A,201,ANSI", "A,-1,ANSI", "A, 12,ANSI",
                             "A,12x,ANSI", "A,4294967297,ANSI", hugeSize.c_str()}) {
        FontSetting setting = Untouched();
        EXPECT_FALSE(ParseFontSetting(text, &setting)) << text;
        EXPECT_EQ(0, std::memcmp(&setting, &fresh, sizeof setting)) << "changed by " << text;
    }
    FontSetting setting = Untouched();
    EXPECT_FALSE(ParseFontSetting(nullptr, &setting));
    EXPECT_EQ(0, std::memcmp(&setting, &fresh, sizeof setting));
    EXPECT_FALSE(ParseFontSetting("Arial,12,ANSI", nullptr));
}
