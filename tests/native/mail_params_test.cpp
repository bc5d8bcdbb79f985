// The mailer's parameter file, its names and command line, the mailer's exit
// codes, and the scrambling of the SMTP password.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/password_codec.h"
#include "mail/mail_params.h"

namespace {

std::string Field(const std::vector<uint8_t>& image, size_t at, size_t width)
{
    return std::string(reinterpret_cast<const char*>(image.data()) + at, width);
}

std::string Padded(const std::string& text, size_t width)
{
    return text + std::string(width - text.size(), '\0');
}

uint32_t Le32(const std::vector<uint8_t>& image, size_t at)
{
    return image[at] | (image[at + 1] << 8) | (image[at + 2] << 16) | (static_cast<uint32_t>(image[at + 3]) << 24);
}

TEST(MailParams, TheImageHoldsEveryFieldAtItsOffset)
{
    MailParams p = {};
    // Older, longer values in the record must not show behind the new texts.
    memset(&p, 'X', sizeof p);
    strcpy(p.smtpServer, "smtp.example");
    strcpy(p.fromAddr, "from@example");
    strcpy(p.fromName, "Sender");
    strcpy(p.toAddr, "a@example,b@example");
    ASSERT_TRUE(AppendRecipientComma(p.toAddr, sizeof p.toAddr));
    BuildSeparators(p.toAddr, p.separators, sizeof p.separators);
    std::string subject = std::string(42, 's') + "%%DWLPRINT%%%%NOPRINT%%";
    ASSERT_EQ(subject.size() + 1, sizeof p.subject);
    strcpy(p.subject, subject.c_str());
    strcpy(p.body, "Body");
    AppendBodyBreak(p.body, sizeof p.body, nullptr);
    strcpy(p.signature, "Sig");
    strcpy(p.authId, "id");
    strcpy(reinterpret_cast<char*>(p.authPass), "pw");
    p.authType = 1;
    p.charCode = 0x0102;
    p.divideSize = 50;
    p.divideFile = 0x01020304;
    FormatMailJobTag(5042, p.jobTag, sizeof p.jobTag);

    std::vector<uint8_t> image(kMailParamsSize, 0xEE);
    WriteMailParams(p, image.data());
    EXPECT_EQ(Field(image, 0, 33), Padded("smtp.example", 33));
    EXPECT_EQ(Field(image, 33, 65), Padded("from@example", 65));
    EXPECT_EQ(Field(image, 98, 256), Padded("Sender", 256));
    EXPECT_EQ(Field(image, 354, 6500), Padded("a@example,b@example,", 6500));
    EXPECT_EQ(Field(image, 6854, 201), Padded(",,", 201));
    EXPECT_EQ(Field(image, 7055, 66), subject + '\0');
    EXPECT_EQ(Field(image, 7121, 1028), Padded("Body\r\n", 1028));
    EXPECT_EQ(Field(image, 8149, 514), Padded("Sig", 514));
    EXPECT_EQ(Field(image, 8663, 257), Padded("id", 257));
    EXPECT_EQ(Field(image, 8920, 257), Padded("pw", 257));
    EXPECT_EQ(Field(image, 9177, 12), std::string(12, '\0'));
    EXPECT_EQ(Le32(image, 9189), 1u);
    EXPECT_EQ(image[9193], 0x02);
    EXPECT_EQ(image[9194], 0x01);
    EXPECT_EQ(Le32(image, 9195), 50u);
    EXPECT_EQ(Le32(image, 9199), 0x01020304u);
    EXPECT_EQ(Le32(image, 9203), 0u);
    EXPECT_EQ(Field(image, 9207, 9), Padded("SMTP042", 9));
    EXPECT_EQ(Field(image, 9216, 2795), std::string(2795, '\0'));

    MailParams back;
    memset(&back, 'Y', sizeof back);
    ASSERT_TRUE(ReadMailParams(image.data(), image.size(), &back));
    EXPECT_STREQ(back.toAddr, "a@example,b@example,");
    EXPECT_STREQ(back.subject, subject.c_str());
    EXPECT_STREQ(back.jobTag, "SMTP042");
    EXPECT_EQ(back.charCode, 0x0102);
    EXPECT_EQ(back.divideFile, 0x01020304u);
    EXPECT_FALSE(ReadMailParams(image.data(), image.size() - 1, &back));
}

TEST(MailParams, AppendsStayInsideTheirFields)
{
    char to[8] = "a@b,";
    EXPECT_TRUE(AppendRecipientComma(to, sizeof to));
    EXPECT_STREQ(to, "a@b,") << "a trailing comma is kept, not doubled";
    strcpy(to, "abcdef");
    EXPECT_TRUE(AppendRecipientComma(to, sizeof to));
    EXPECT_STREQ(to, "abcdef,");
    strcpy(to, "abcdefg");
    EXPECT_FALSE(AppendRecipientComma(to, sizeof to)) << "no room for the comma";
    EXPECT_STREQ(to, "abcdefg");

    char body[8];
    strcpy(body, "1234567");
    AppendBodyBreak(body, sizeof body, nullptr);
    EXPECT_STREQ(body, "12345\r\n");
    // A double-byte character across the cut goes whole.
    strcpy(body, "1234\x82\xA0");
    AppendBodyBreak(body, sizeof body, [](unsigned char c) { return c == 0x82; });
    EXPECT_STREQ(body, "1234\r\n");

    std::string many;
    for (int i = 0; i < 250; ++i)
        many += "x,";
    char separators[201];
    BuildSeparators(many.c_str(), separators, sizeof separators);
    EXPECT_EQ(strlen(separators), 200u);
}

TEST(MailParams, NamesAndCommandLine)
{
    char path[64];
    ASSERT_TRUE(MailParamsPath("C:\\dir x\\Spool\\~DWL042.DWL", path, sizeof path));
    EXPECT_STREQ(path, "C:\\dir x\\Spool\\~DWL042.bin");
    EXPECT_FALSE(MailParamsPath("C:\\dir x\\Spool\\~DWL042.DWL", path, 20));
    char tag[9];
    FormatMailJobTag(5042, tag, sizeof tag);
    EXPECT_STREQ(tag, "SMTP042");

    char line[160];
    ASSERT_TRUE(MailerCommandLine("C:\\Program Files\\m\\Spool\\~DWL042.DWL", "MV Network Printer Port", line, sizeof line));
    EXPECT_STREQ(line, "Sendmail.exe /AC:\\Program Files\\m\\Spool\\~DWL042.DWL /PMV Network Printer Port");
    char spool[80], name[40];
    ASSERT_TRUE(ParseMailerCommandLine(line, spool, sizeof spool, name, sizeof name));
    EXPECT_STREQ(spool, "C:\\Program Files\\m\\Spool\\~DWL042.DWL");
    EXPECT_STREQ(name, "MV Network Printer Port");
    ASSERT_TRUE(ParseMailerCommandLine("\"C:\\x\\Sendmail.exe\" /AC:\\s.DWL", spool, sizeof spool, name, sizeof name));
    EXPECT_STREQ(spool, "C:\\s.DWL");
    EXPECT_FALSE(ParseMailerCommandLine("Sendmail.exe", spool, sizeof spool, name, sizeof name));
    EXPECT_FALSE(ParseMailerCommandLine("Sendmail.exe /A /Pname", spool, sizeof spool, name, sizeof name));
}

TEST(MailParams, UnknownExitCodesBecomeOtherFailure)
{
    for (uint32_t code : {0u, 21u, 22u, 23u, 24u, 25u, 30u, 40u, 100u})
        EXPECT_EQ(MailerResultCode(code), code);
    for (uint32_t code : {1u, 20u, 26u, 259u, 1026u, 0xC0000005u})
        EXPECT_EQ(MailerResultCode(code), 25u) << code;
}

TEST(MailPassword, ScramblingRoundTripsAndAZeroByteEndsTheText)
{
    char text[] = "Secret pass 123";
    const std::string plain = text;
    ASSERT_TRUE(CanScramblePassword(text));
    EXPECT_EQ(ScramblePassword(text), plain.size());
    EXPECT_EQ(static_cast<uint8_t>(text[0]), static_cast<uint8_t>('S' + 'q'));
    EXPECT_EQ(static_cast<uint8_t>(text[5]), static_cast<uint8_t>('t' + 'q'));
    EXPECT_EQ(UnscramblePassword(text), plain.size());
    EXPECT_EQ(text, plain);

    // 'm' is 0x6D: 0x93 + 0x6D is 0x100, so the second byte becomes 0.
    char cut[] = "a\x93z";
    EXPECT_FALSE(CanScramblePassword(cut));
    EXPECT_EQ(ScramblePassword(cut), 1u);
    EXPECT_EQ(ScramblePassword(nullptr), 0u);
}

} // namespace
