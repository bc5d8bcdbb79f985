// The stored form of the IPP password.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "monitor/password_codec.h"

namespace {

std::vector<uint8_t> Encode(const std::string& password)
{
    std::vector<uint8_t> out(kPasswordValueSize);
    const size_t n = EncodePassword(password.c_str(), out.data(), out.size());
    out.resize(n);
    return out;
}

// Decodes from a heap block of exactly `bytes.size()` bytes, so that any read
// beyond what was read from the registry is caught by AddressSanitizer.
std::string Decode(const std::vector<uint8_t>& bytes, size_t* length = nullptr)
{
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
    if (!bytes.empty())
        std::memcpy(exact.get(), bytes.data(), bytes.size());
    std::unique_ptr<char[]> out(new char[kPasswordMaxLength + 1]);
    std::memset(out.get(), 'Z', kPasswordMaxLength + 1);
    const size_t n = DecodePassword(exact.get(), bytes.size(), out.get(), kPasswordMaxLength + 1);
    if (length != nullptr)
        *length = n;
    EXPECT_EQ(n, std::strlen(out.get()));
    return std::string(out.get());
}

} // namespace

TEST(PasswordCodecTest, ConstantsMatchTheField)
{
    EXPECT_EQ(64u, kPasswordMaxLength);
    EXPECT_EQ(67u, kPasswordValueSize);
}

TEST(PasswordCodecTest, EncodingLowersEachCharacterByTheConstant)
{
    const std::vector<uint8_t> bytes = Encode("Ab");
    ASSERT_EQ(4u, bytes.size());
    EXPECT_EQ(2, bytes[0]);
    EXPECT_EQ(0, bytes[1]);
    EXPECT_EQ(static_cast<uint8_t>('A' - kPasswordScramble), bytes[2]);
    EXPECT_EQ(static_cast<uint8_t>('b' - kPasswordScramble), bytes[3]);
    // Wrap-around modulo 256: a character below the constant.
    const std::vector<uint8_t> low = Encode("!");
    ASSERT_EQ(3u, low.size());
    EXPECT_EQ(static_cast<uint8_t>(0x21 + 256 - kPasswordScramble), low[2]);
}

TEST(PasswordCodecTest, DecodingAddsTheConstantBack)
{
    const std::vector<uint8_t> bytes = {3, 0, static_cast<uint8_t>('x' - kPasswordScramble),
                                        static_cast<uint8_t>('y' - kPasswordScramble),
                                        static_cast<uint8_t>(0xE9 - kPasswordScramble)};
    EXPECT_EQ(std::string("xy\xE9"), Decode(bytes));
}

TEST(PasswordCodecTest, RoundTrip)
{
    for (const std::string& password : {std::string(""), std::string("a"), std::string("secret"),
                                        std::string(64, 'q'), std::string("\x7F\x80\xFF\x01 ~")}) {
        EXPECT_EQ(password, Decode(Encode(password)));
    }
    // Every non-zero byte value.
    std::string all;
    for (int c = 1; c < 256; ++c) {
        all.push_back(static_cast<char>(c));
        if (all.size() == kPasswordMaxLength) {
            EXPECT_EQ(all, Decode(Encode(all)));
            all.clear();
        }
    }
    EXPECT_EQ(all, Decode(Encode(all)));
}

TEST(PasswordCodecTest, EncodingTakesAtMost64Characters)
{
    const std::string longer(65, 'L');
    const std::vector<uint8_t> bytes = Encode(longer);
    ASSERT_EQ(66u, bytes.size());
    EXPECT_EQ(64, bytes[0]);
    EXPECT_EQ(std::string(64, 'L'), Decode(bytes));
    // A very long text is never read beyond its 64th character's need.
    const std::string huge(100000, 'H');
    EXPECT_EQ(66u, Encode(huge).size());
}

TEST(PasswordCodecTest, EncodingReadsNoFurtherThan64Characters)
{
    // 64 characters with no terminator behind them.
    std::unique_ptr<char[]> exact(new char[64]);
    std::memset(exact.get(), 'k', 64);
    uint8_t out[kPasswordValueSize];
    EXPECT_EQ(66u, EncodePassword(exact.get(), out, sizeof out));
}

TEST(PasswordCodecTest, EncodingIntoTooSmallBufferGivesZero)
{
    uint8_t out[8];
    std::memset(out, 0xCC, sizeof out);
    EXPECT_EQ(7u, EncodePassword("abcde", out, 7)); // exactly 2 + 5
    EXPECT_EQ(0xCC, out[7]);
    EXPECT_EQ(0u, EncodePassword("abcde", out, 6)); // one short
    EXPECT_EQ(0u, EncodePassword("", out, 1));
    EXPECT_EQ(2u, EncodePassword("", out, 2));
    EXPECT_EQ(0, out[0]);
    EXPECT_EQ(0, out[1]);
    EXPECT_EQ(0u, EncodePassword("abc", nullptr, 100));
    EXPECT_EQ(2u, EncodePassword(nullptr, out, sizeof out)); // no text: empty password
}

TEST(PasswordCodecTest, FewerThanTwoBytesGiveAnEmptyPassword)
{
    size_t n = 99;
    EXPECT_EQ("", Decode({}, &n));
    EXPECT_EQ(0u, n);
    EXPECT_EQ("", Decode({0}, &n)); // the single zero byte stored at creation
    EXPECT_EQ(0u, n);
    EXPECT_EQ("", Decode({0x41}, &n));
    EXPECT_EQ(0u, n);
    char out[65] = "junk";
    EXPECT_EQ(0u, DecodePassword(nullptr, 10, out, sizeof out));
    EXPECT_STREQ("", out);
}

TEST(PasswordCodecTest, StoredLengthIsClampedToTheBytesRead)
{
    // n = 5 but only two characters were read.
    const std::vector<uint8_t> bytes = {5, 0, static_cast<uint8_t>('o' - kPasswordScramble),
                                        static_cast<uint8_t>('k' - kPasswordScramble)};
    size_t n = 0;
    EXPECT_EQ("ok", Decode(bytes, &n));
    EXPECT_EQ(2u, n);
    // n = 0xFFFF with nothing behind it.
    EXPECT_EQ("", Decode({0xFF, 0xFF}, &n));
    EXPECT_EQ(0u, n);
}

TEST(PasswordCodecTest, StoredLengthIsClampedTo64)
{
    std::vector<uint8_t> bytes(kPasswordValueSize, static_cast<uint8_t>('p' - kPasswordScramble));
    bytes[0] = 0xE8; // 1000
    bytes[1] = 0x03;
    size_t n = 0;
    EXPECT_EQ(std::string(64, 'p'), Decode(bytes, &n));
    EXPECT_EQ(64u, n);
}

TEST(PasswordCodecTest, StoredLengthBelowTheBytesReadIsKept)
{
    std::vector<uint8_t> bytes = Encode("abcdef");
    bytes[0] = 3;
    EXPECT_EQ("abc", Decode(bytes));
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
}

TEST(PasswordCodecTest, AByteDecodingToNulEndsTheText)
{
    const std::vector<uint8_t> bytes = {3, 0, static_cast<uint8_t>('a' - kPasswordScramble),
                                        static_cast<uint8_t>(0 - kPasswordScramble),
                                        static_cast<uint8_t>('c' - kPasswordScramble)};
    size_t n = 99;
    EXPECT_EQ("a", Decode(bytes, &n));
    EXPECT_EQ(1u, n);
}
