// The character-set table and the OEM <-> UTF-8 conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "codec/charset.h"
#include "fake_oem_codec.h"

namespace {

std::string ToUtf8(const std::string& oem, size_t capacity, int code = CHARSET_UTF8,
                   const OemCodec* codec = &kFakeCodec)
{
    std::string out(capacity + 8, 'Z');
    const size_t n = OemToUtf8(&out[0], capacity, oem.c_str(), code, codec);
    EXPECT_EQ(n, strlen(out.c_str())) << oem; // terminated right behind
    EXPECT_LT(n, capacity);
    EXPECT_EQ('Z', out[capacity]); // nothing written beyond the capacity
    return out.substr(0, n);
}

std::string ToOem(const std::string& utf8, size_t capacity, int code = CHARSET_UTF8)
{
    std::string out(capacity + 8, 'Z');
    const size_t n = Utf8ToOem(&out[0], capacity, reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), code,
                               &kFakeCodec);
    EXPECT_EQ('Z', out[capacity]);
    if (out[0] == 'Z')
        return "untouched";
    EXPECT_EQ('\0', out[n]);
    return out.substr(0, n);
}

} // namespace

TEST(CharsetTest, TableLookup)
{
    const struct {
        const char* name;
        int code;
    } cases[] = {{"utf-8", 5}, {"UTF-8", 5}, {"US-ASCII", 0}, {"Shift_JIS", 2}, {"csunicode", 4}, {"EUC-JP", 3},
                 {"x-jis", 1}, {"utf-16", -1}, {"utf", -1},        {"", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(c.code, CharsetCodeOf(c.name, strlen(c.name))) << c.name;
}

TEST(CharsetTest, OemToUtf8)
{
    const struct {
        std::string oem;
        size_t capacity;
        int code;
        std::string utf8;
    } cases[] = {
        {"abc", 16, 5, "abc"},
        {"\xE9", 16, 5, "\xC3\xA9"},
        {"\x81\x42", 16, 5, "\xE3\x81\x82"},
        {"\x82\x01", 16, 5, "\xF0\x9F\x98\x81"}, // a surrogate pair is one 4-byte sequence
        // Cut on a character boundary, always terminated.
        {"a\x81\x42", 4, 5, "a"},
        {"a\x82\x01", 5, 5, "a"},
        {"a\x82\x01", 6, 5, "a\xF0\x9F\x98\x81"},
        {std::string(5000, '\xE9'), 256, 5, [] {
             std::string s;
             for (int i = 0; i < 127; ++i)
                 s += "\xC3\xA9";
             return s;
         }()},
        {"", 16, 5, ""},
        {"abc", 16, 0, "abc"},
        {"abcdef", 4, 0, "abc"},
        {"a\x82\xA0", 3, 2, "a"}, // Shift_JIS passed through, pairs kept whole
        {"abc", 16, 1, ""},
        {"abc", 16, 4, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.utf8, ToUtf8(c.oem, c.capacity, c.code)) << c.oem.substr(0, 20);
    EXPECT_EQ("", ToUtf8("abc", 16, CHARSET_UTF8, &kFailingCodec));
}

TEST(CharsetTest, Utf8ToOem)
{
    const struct {
        std::string utf8;
        size_t capacity;
        int code;
        std::string oem;
    } cases[] = {
        {"abc", 16, 5, "abc"},
        {"\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x81", 16, 5, "\xE9\x81\x42\x82\x01"},
        // Invalid or truncated sequences become U+FFFD (shown as "?" here);
        // nothing past the value is read.
        {"a\xC3", 16, 5, "a?"},
        {"\xE3\x81", 16, 5, "?"},
        {"\xF0\x9F\x98", 16, 5, "?"},
        {"\xFF\x80z", 16, 5, "??z"},
        {"\xC0\xAF", 16, 5, "??"},           // overlong
        {"\xED\xA0\x80", 16, 5, "???"},      // an encoded surrogate
        {"\xF4\x90\x80\x80", 16, 5, "????"}, // above U+10FFFF
        // Cut on a character boundary.
        {"a\xE3\x81\x82", 3, 5, "a"},
        {"a\xF0\x9F\x98\x81", 3, 5, "a"},
        {"a\xF0\x9F\x98\x81", 4, 5, "a\x82\x01"},
        {"abcdef", 4, 0, "abc"},
        {"abc", 16, 2, "abc"},
        {"abc", 16, 1, "untouched"},
        {"abc", 16, 3, "untouched"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.oem, ToOem(c.utf8, c.capacity, c.code)) << c.utf8;
}
