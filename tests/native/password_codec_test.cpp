// The stored form of the IPP password.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/password_codec.h"

namespace {

std::vector<uint8_t> Encode(const std::string& password)
{
    std::vector<uint8_t> out(kPasswordValueSize);
    out.resize(EncodePassword(password.c_str(), out.data(), out.size()));
    return out;
}

// Decodes from a heap block of exactly `bytes.size()` bytes, so that any read
// beyond what was read from the registry is caught by AddressSanitizer.
std::string Decode(const std::vector<uint8_t>& bytes)
{
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
    if (!bytes.empty())
        std::memcpy(exact.get(), bytes.data(), bytes.size());
    std::unique_ptr<char[]> out(new char[kPasswordMaxLength + 1]);
    std::memset(out.get(), 'Z', kPasswordMaxLength + 1);
    const size_t n = DecodePassword(exact.get(), bytes.size(), out.get(), kPasswordMaxLength + 1);
    EXPECT_EQ(n, std::strlen(out.get()));
    return std::string(out.get());
}

uint8_t Scrambled(char c) { return static_cast<uint8_t>(static_cast<uint8_t>(c) - kPasswordScramble); }

} // namespace

TEST(PasswordCodecTest, EncodingLowersEachCharacterAndRoundTrips)
{
    // Little-endian length, then each character lowered modulo 256 ("!" is below the constant).
    EXPECT_EQ((std::vector<uint8_t>{3, 0, Scrambled('A'), Scrambled('b'), 0x21 + 256 - kPasswordScramble}),
              Encode("Ab!"));
    for (const std::string& password : {std::string(""), std::string("secret"), std::string(64, 'q')})
        EXPECT_EQ(password, Decode(Encode(password)));
    // Every non-zero byte value, 64 at a time.
    std::string all;
    for (int c = 1; c < 256; ++c) {
        all.push_back(static_cast<char>(c));
        if (all.size() == kPasswordMaxLength || c == 255) {
            EXPECT_EQ(all, Decode(Encode(all)));
            all.clear();
        }
    }
}

TEST(PasswordCodecTest, EncodingTakesAtMost64CharactersAndFitsTheBuffer)
{
    const std::vector<uint8_t> bytes = Encode(std::string(100000, 'L'));
    ASSERT_EQ(66u, bytes.size());
    EXPECT_EQ(64, bytes[0]);
    EXPECT_EQ(std::string(64, 'L'), Decode(bytes));
    // 64 characters with no terminator behind them are not read beyond.
    std::unique_ptr<char[]> exact(new char[64]);
    std::memset(exact.get(), 'k', 64);
    uint8_t out[kPasswordValueSize];
    EXPECT_EQ(66u, EncodePassword(exact.get(), out, sizeof out));

    std::memset(out, 0xCC, sizeof out);
    EXPECT_EQ(7u, EncodePassword("abcde", out, 7)); // exactly 2 + 5
    EXPECT_EQ(0xCC, out[7]);
    EXPECT_EQ(0u, EncodePassword("abcde", out, 6)); // one short
    EXPECT_EQ(0u, EncodePassword("", out, 1));
    EXPECT_EQ(0u, EncodePassword("abc", nullptr, 100));
    EXPECT_EQ(2u, EncodePassword(nullptr, out, sizeof out)); // no text: empty password
    EXPECT_EQ(0, out[0] | out[1]);
}

TEST(PasswordCodecTest, StoredLengthIsClamped)
{
    std::vector<uint8_t> thousand(kPasswordValueSize, Scrambled('p'));
    thousand[0] = 0xE8; // 1000
    thousand[1] = 0x03;
    std::vector<uint8_t> shorter = Encode("abcdef");
    shorter[0] = 3;
    const struct {
        std::vector<uint8_t> bytes;
        std::string expected;
    } cases[] = {
        {{}, ""},
        {{0}, ""}, // the single zero byte stored at creation
        {{0x41}, ""},
        {{0xFF, 0xFF}, ""},
        {{3, 0, Scrambled('o'), Scrambled('k')}, "ok"}, // to the bytes read
        {{0, 1, Scrambled('o'), Scrambled('k')}, "ok"}, // 256: the second byte is the high one
        {thousand, std::string(64, 'p')},               // to 64
        {shorter, "abc"},                               // a shorter stored length is kept
        {{3, 0, Scrambled('a'), Scrambled('\0'), Scrambled('c')}, "a"}, // ends at a byte decoding to NUL
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Decode(c.bytes)) << c.bytes.size() << " bytes";
    char out[65] = "junk";
    EXPECT_EQ(0u, DecodePassword(nullptr, 10, out, sizeof out));
    EXPECT_STREQ("", out);
}

TEST(PasswordCodecTest, SmallOutputBufferIsNeverOverrun)
{
    const std::vector<uint8_t> bytes = Encode(std::string(64, 'w'));
    std::vector<char> out(9, 'Z');
    EXPECT_EQ(7u, DecodePassword(bytes.data(), bytes.size(), out.data(), 8));
    EXPECT_STREQ("wwwwwww", out.data());
    EXPECT_EQ('Z', out[8]);
    char one = 'Z';
    EXPECT_EQ(0u, DecodePassword(bytes.data(), bytes.size(), &one, 1));
    EXPECT_EQ('\0', one);
    char none = 'Z';
    EXPECT_EQ(0u, DecodePassword(bytes.data(), bytes.size(), &none, 0));
    EXPECT_EQ('Z', none);
    // A larger one still gets at most 64 characters.
    std::vector<uint8_t> claims65(kPasswordValueSize, Scrambled('w'));
    claims65[0] = 65;
    claims65[1] = 0;
    std::vector<char> large(100, 'Z');
    EXPECT_EQ(64u, DecodePassword(claims65.data(), claims65.size(), large.data(), large.size()));
}
