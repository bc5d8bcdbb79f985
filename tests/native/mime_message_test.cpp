// The mailer's encodings and the MIME message of a job.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "mail/mail_params.h"
#include "sendmail/iso2022jp.h"
#include "sendmail/mail_encoding.h"
#include "sendmail/mime_message.h"

namespace {

TEST(MailEncoding, Base64Lines)
{
    std::vector<uint8_t> bytes(200, 0xFF);
    std::string lines = Base64Lines(bytes.data(), bytes.size());
    EXPECT_EQ(lines.substr(0, 78), std::string(76, '/') + "\r\n");
    EXPECT_EQ(lines.size(), 3 * 78 + 40 + 2u); // 57 + 57 + 57 + 29 bytes
    EXPECT_EQ(Base64Lines(nullptr, 0), "");
}

TEST(MailEncoding, LineEndsAndDotStuffing)
{
    EXPECT_EQ(NormaliseLineEnds("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(DotStuff(".a\r\n..b\r\nc.\r\n."), "..a\r\n...b\r\nc.\r\n..\r\n.\r\n");
    EXPECT_EQ(DotStuff(""), ".\r\n");
    EXPECT_TRUE(LinesWithin("abc\r\nde", 3));
    EXPECT_FALSE(LinesWithin("abcd\r\nde", 3));
}

TEST(Iso2022Jp, ShiftJisBecomesJisWithEscapes)
{
    // "日本語" (93FA 967B 8CEA), ASCII, half-width "ｱ" (B1), a vendor-row character (FA40).
    EXPECT_EQ(SjisToIso2022Jp("\x93\xFA\x96\x7B\x8C\xEA" "ab"), "\x1b$BF|K\\8l\x1b(Bab");
    EXPECT_EQ(SjisToIso2022Jp("\xB1"), "\x1b$B%\"\x1b(B");
    EXPECT_EQ(SjisToIso2022Jp("\xFA\x40"), "\x1b$B\".\x1b(B");
    EXPECT_EQ(SjisToIso2022Jp("a\x82"), "a?") << "a lead byte at the end";
    EXPECT_EQ(SjisToIso2022Jp("\x1b"), "?");

    std::string text;
    for (int i = 0; i < 30; ++i)
        text += "\x82\xA0"; // "あ" x 30
    std::vector<std::string> pieces = Iso2022JpPieces(text + "xyz", 20);
    for (const std::string& piece : pieces) {
        EXPECT_LE(piece.size(), 20u);
        size_t escape = piece.rfind('\x1b');
        EXPECT_TRUE(escape == std::string::npos || piece.compare(escape, 3, "\x1b(B") == 0) << "ends in ASCII mode";
    }
    EXPECT_EQ(pieces.size(), 5u);
}

TEST(Iso2022Jp, OnlyTheRowsOfJisX0208PassVendorRowsBecomeTheGetaMark)
{
    const std::string geta = "\x1b$B\".\x1b(B";
    struct Case {
        const char* sjis;
        const char* jis; // nullptr: the geta mark
    } cases[] = {
        {"\x81\x40", "!!"},    // row 1, the ideographic space
        {"\x84\xBE", "(@"},    // row 8, its last box-drawing character
        {"\x88\x9F", "0!"},    // row 16, the first kanji
        {"\xEA\xA4", "t&"},    // row 84, the last kanji
        {"\x85\x40", nullptr}, // row 9, empty in JIS X 0208
        {"\x87\x40", nullptr}, // row 13, the circled digit one
        {"\x87\x9C", nullptr}, // row 13, its last vendor character
        {"\x88\x9E", nullptr}, // row 15
        {"\xEB\x40", nullptr}, // row 85
        {"\xED\x40", nullptr}, // row 89, NEC-selected IBM extensions
        {"\xEE\xFC", nullptr}, // row 92
        {"\xFA\x40", nullptr}, // IBM extensions
    };
    for (const Case& c : cases)
        EXPECT_EQ(SjisToIso2022Jp(c.sjis), c.jis ? "\x1b$B" + std::string(c.jis) + "\x1b(B" : geta)
            << std::hex << (static_cast<unsigned char>(c.sjis[0]) << 8 | static_cast<unsigned char>(c.sjis[1]));
}

TEST(MimeHeader, PlainTextStaysEncodedWordsWhenNeeded)
{
    EXPECT_EQ(HeaderText("Invoice%%DWLPRINT%%", MAIL_US_ASCII, 9), "Invoice%%DWLPRINT%%");
    EXPECT_EQ(HeaderText("caf\xE9", MAIL_US_ASCII, 9), "caf?");
    EXPECT_EQ(HeaderText("caf\xE9", MAIL_ISO_8859_1, 9), "=?ISO-8859-1?B?Y2Fm6Q==?=");
    std::string long_jp;
    for (int i = 0; i < 40; ++i)
        long_jp += "\x93\xFA";
    std::string header = "Subject: " + HeaderText(long_jp + "%%DWLPRINT%%", MAIL_ISO_2022_JP, 9);
    EXPECT_TRUE(LinesWithin(header, 76)) << header;
    EXPECT_EQ(header.find("=?ISO-2022-JP?B?"), 9u);
}

TEST(MimeMessage, OneTextPartAndTheAttachment)
{
    const uint8_t data[] = {'.', '\r', '\n', '.', 0, 0xFF};
    MimeInput in = {};
    in.charCode = MAIL_US_ASCII;
    in.fromName = "Print \"Desk\"";
    in.fromAddr = "from@example";
    in.recipients = SplitRecipients(" a@example , b@example,,");
    ASSERT_EQ(in.recipients, (std::vector<std::string>{"a@example", "b@example"}));
    in.subject = PartSubject("Job%%DWLPRINT%%", 2, 3);
    in.text = ".Body\r\nSignature";
    in.date = "Sun, 06 Dec 2026 11:30:00 +0000";
    in.messageId = "SMTP042.1@example";
    in.fileName = "SMTP042_2of3.prn";
    in.attachment = data;
    in.attachmentSize = sizeof data;
    std::string message = BuildMimeMessage(in);
    EXPECT_NE(message.find("From: \"Print \\\"Desk\\\"\" <from@example>\r\n"), std::string::npos) << message;
    EXPECT_NE(message.find("To: a@example,\r\n b@example\r\n"), std::string::npos);
    EXPECT_NE(message.find("Subject: Job%%DWLPRINT%% (2/3)\r\n"), std::string::npos);
    EXPECT_NE(message.find("charset=\"US-ASCII\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n.Body\r\nSignature\r\n--"),
              std::string::npos);
    EXPECT_NE(message.find("filename=\"SMTP042_2of3.prn\"\r\n\r\n" + Base64(data, sizeof data) + "\r\n--=_DWL_SMTP042.1.example--\r\n"),
              std::string::npos);
    EXPECT_TRUE(LinesWithin(message, 998));
    EXPECT_EQ(PartSubject("S", 1, 1), "S");
    in.text = "x"; // a one-character text gets its line end too
    EXPECT_NE(BuildMimeMessage(in).find("7bit\r\n\r\nx\r\n--"), std::string::npos);
    EXPECT_TRUE(UsableAddress("a.b+c@example.test"));
    for (const char* bad : {"", "a b@x", "a@x\r\nDATA", "<a@x>", "caf\xE9@x", "\x93\xFA@x", "a@\x7F"})
        EXPECT_FALSE(UsableAddress(bad)) << bad;
    EXPECT_FALSE(UsableAddress(std::string(255, 'a')));
}

// The boundary parameter of the message's Content-Type.
std::string BoundaryOf(const std::string& message)
{
    size_t at = message.find("boundary=\"");
    if (at == std::string::npos)
        return std::string();
    at += 10;
    return message.substr(at, message.find('"', at) - at);
}

TEST(MimeMessage, TheBoundaryHoldsOnlyRfc2046CharactersAndAtMost70)
{
    MimeInput in = {};
    in.fromAddr = "\"first last\"@example.test";
    in.recipients = {"a@example.test"};
    in.fileName = "SMTP042.prn";
    const std::string domain(64, 'd');
    in.messageId = "SMTP042.0001A2B3.4242.1@\"quoted\"" + domain + ".example.test";
    // The second text holds the first boundary: the next one must differ.
    const std::string first = "=_DWL_SMTP042.0001A2B3.4242.1..quoted." + std::string(20, 'd');
    for (const std::string& text : {std::string(), "see --" + first + "\r\n"}) {
        in.text = text;
        std::string message = BuildMimeMessage(in);
        std::string boundary = BoundaryOf(message);
        ASSERT_FALSE(boundary.empty()) << message;
        EXPECT_LE(boundary.size(), 70u) << boundary;
        for (char c : boundary)
            EXPECT_TRUE(isalnum(static_cast<unsigned char>(c)) || strchr("'()+_,-./:=?", c)) << boundary;
        EXPECT_EQ(text.find(boundary), std::string::npos) << boundary;
        EXPECT_EQ(boundary.compare(0, first.size(), first), 0) << boundary;
        EXPECT_NE(message.find("\r\n--" + boundary + "--\r\n"), std::string::npos);
    }
}

TEST(MailEncoding, HeloArgumentIsTheDomainOrTheAddressLiteral)
{
    EXPECT_EQ(HeloArgument("print-1.example.test", 0x7F000001), "print-1.example.test");
    for (const char* name : {"vm", "", "localhost", "bad_name.example", "trailing.", ".leading", "a b.c"})
        EXPECT_EQ(HeloArgument(name, 0xC0A80A05), "[192.168.10.5]") << name;
    EXPECT_EQ(HeloArgument(std::string(254, 'a') + ".b", 0x7F000001), "[127.0.0.1]");
}

// The payload as the mailer streams it (frame head, the attachment's lines
// block by block, frame tail) against the payload of the whole message in
// memory: the same bytes for every size, around line and block ends.
std::string StreamedPayload(const MimeInput& in, size_t blockBytes)
{
    MimeFrame frame = BuildMimeFrame(in);
    std::string out = frame.head;
    std::vector<char> lines(Base64LinesSize(blockBytes));
    for (size_t at = 0; at < in.attachmentSize; at += blockBytes) {
        size_t count = in.attachmentSize - at < blockBytes ? in.attachmentSize - at : blockBytes;
        size_t length = Base64LinesInto(lines.data(), lines.size(), in.attachment + at, count);
        EXPECT_EQ(length, Base64LinesSize(count));
        out.append(lines.data(), length);
    }
    return out + frame.tail;
}

TEST(MimeMessage, TheStreamedPayloadIsTheWholeMessageDotStuffed)
{
    std::vector<uint8_t> data(3 * kAttachmentBlockBytes + 1000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    MimeInput in = {};
    in.charCode = MAIL_US_ASCII;
    in.fromAddr = "from@example";
    in.recipients = {"a@example"};
    in.subject = "Job%%DWLPRINT%%";
    in.text = ".Body\r\n..\r\n.";
    in.date = "Sun, 06 Dec 2026 11:30:00 +0000";
    in.messageId = "SMTP042.1@example";
    in.fileName = "SMTP042.prn";
    in.attachment = data.data();
    const size_t line = 57;
    for (size_t size : {size_t{0}, size_t{1}, line - 1, line, line + 1, kAttachmentBlockBytes - 1, kAttachmentBlockBytes,
                        kAttachmentBlockBytes + 1, data.size()}) {
        in.attachmentSize = size;
        std::string whole = DotStuff(BuildMimeMessage(in));
        EXPECT_EQ(StreamedPayload(in, kAttachmentBlockBytes), whole) << size;
        EXPECT_EQ(StreamedPayload(in, 2 * line), whole) << size;
    }
    char small[10];
    EXPECT_EQ(Base64LinesInto(small, 9, data.data(), 6), 0u) << "9 characters do not hold 8 and CR LF";
    EXPECT_EQ(Base64LinesInto(small, sizeof small, data.data(), 6), 10u);
}

TEST(MailAuth, TheAuthLinesCarryTheCredentialsInBase64AndNeverOverrun)
{
    char line[kAuthLineSize];
    size_t length = AuthPlainLine(line, sizeof line, "sender", "s3cret");
    EXPECT_EQ(std::string(line, length), "AUTH PLAIN AHNlbmRlcgBzM2NyZXQ=\r\n");
    length = AuthLoginLine(line, sizeof line, "s3cret");
    EXPECT_EQ(std::string(line, length), "czNjcmV0\r\n");
    // The longest ID and password of the parameter file fit.
    const std::string longest(256, 'p');
    length = AuthPlainLine(line, sizeof line, longest.c_str(), longest.c_str());
    EXPECT_EQ(length, strlen("AUTH PLAIN ") + (2 + 2 * 256 + 2) / 3 * 4 + 2);
    // A buffer that is too small stays within its bounds and holds nothing.
    char small[40];
    memset(small, 'x', sizeof small);
    EXPECT_EQ(AuthPlainLine(small, sizeof small, "sender", longest.c_str()), 0u);
    EXPECT_EQ(std::string(small, sizeof small), std::string(sizeof small, '\0'));
    memset(small, 'x', sizeof small);
    EXPECT_EQ(AuthLoginLine(small, sizeof small, longest.c_str()), 0u);
    EXPECT_EQ(std::string(small, sizeof small), std::string(sizeof small, '\0'));
    const std::string tooLong(kAuthLineSize, 'p');
    EXPECT_EQ(AuthPlainLine(line, sizeof line, "id", tooLong.c_str()), 0u);
}

TEST(MailAuth, ASecretBufferIsWipedWhenItsScopeEnds)
{
    alignas(SecretBuffer<64>) unsigned char storage[sizeof(SecretBuffer<64>)];
    SecretBuffer<64>* secret = new (storage) SecretBuffer<64>();
    strcpy(secret->bytes, "AUTH PLAIN AHNlbmRlcgBzM2NyZXQ=");
    secret->~SecretBuffer<64>();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(storage), sizeof storage), std::string(sizeof storage, '\0'));
}

} // namespace
