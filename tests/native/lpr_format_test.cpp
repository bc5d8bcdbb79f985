// The line printer daemon commands and control file, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/lpr_format.h"

namespace {

std::string ReceiveJob(const char* queue)
{
    char out[kLprCommandMax];
    const size_t n = LprReceiveJobCommand(queue, out, sizeof out);
    return std::string(out, n);
}

std::string ControlCommand(uint32_t length, unsigned number, const char* host)
{
    char out[kLprCommandMax];
    const size_t n = LprControlFileCommand(length, number, host, out, sizeof out);
    return std::string(out, n);
}

std::string DataCommand(uint32_t size, bool streamed, unsigned number, const char* host)
{
    char out[kLprCommandMax];
    const size_t n = LprDataFileCommand(size, streamed, number, host, out, sizeof out);
    return std::string(out, n);
}

std::string ControlFile(const char* host, const char* user, const char* document, unsigned number)
{
    char out[kLprControlFileMax];
    const size_t n = LprBuildControlFile(host, user, document, number, out, sizeof out);
    EXPECT_EQ(n, std::strlen(out));
    return std::string(out, n);
}

} // namespace

TEST(LprFormatTest, CommandsGoldenBytesWithThreeDigitJobNumbers)
{
    EXPECT_EQ(7u, LprJobNumber(7));
    EXPECT_EQ(234u, LprJobNumber(1234));
    EXPECT_EQ(295u, LprJobNumber(0xFFFFFFFFu));
    EXPECT_EQ("\x02" "12 cfA007host\n", ControlCommand(12, LprJobNumber(7), "host"));
    EXPECT_EQ("\x03" "5 dfA234host\n", DataCommand(5, false, LprJobNumber(1234), "host"));
    EXPECT_EQ("\x02lp1\n", ReceiveJob("lp1"));
    EXPECT_EQ("\x02\n", ReceiveJob(nullptr));
    EXPECT_EQ("\x03" "4294967295 dfA007pc1\n", DataCommand(0xFFFFFFFFu, false, 7, "pc1"));
    // Streamed: the fixed length whatever the size.
    EXPECT_EQ("\x03" "125899906843000 dfA007pc1\n", DataCommand(99999, true, 7, "pc1"));
}

TEST(LprFormatTest, ControlFileGoldenBytesAndItsCommandAnnouncesItsLength)
{
    const std::string file = ControlFile("pc1", "alice", "Report.txt", 7);
    EXPECT_EQ("Hpc1\nPalice\nJReport.txt\nfdfA007pc1\nUdfA007pc1\nNReport.txt\n", file);
    EXPECT_EQ("\x02" + std::to_string(file.size()) + " cfA007pc1\n",
              ControlCommand(static_cast<uint32_t>(file.size()), 7, "pc1"));
    EXPECT_EQ("Hpc1\nP\nJ\nfdfA234pc1\nUdfA234pc1\nN\n", ControlFile("pc1", nullptr, nullptr, 234));
    // A line break in a name must not start a control-file line of its own;
    // bytes of a double-byte code page pass unchanged.
    EXPECT_EQ("Hpc 1\nPal ice\nJRe  port  \nfdfA001pc 1\nUdfA001pc 1\nNRe  port  \n",
              ControlFile("pc\r1", "al\nice", "Re\r\nport\x7F\x01", 1));
    EXPECT_EQ("Hh\nP\x83\x65\nJ\x82\xa0\nfdfA001h\nUdfA001h\nN\x82\xa0\n", ControlFile("h", "\x83\x65", "\x82\xa0", 1));
}

TEST(LprFormatTest, NamesAreCutToTheirFieldLengths)
{
    const std::string longHost(40, 'h');
    const std::string longUser(40, 'u');
    const std::string longDoc(150, 'd');
    const std::string host31(31, 'h');
    const std::string file = ControlFile(longHost.c_str(), longUser.c_str(), longDoc.c_str(), 5);
    const std::string doc99(99, 'd');
    EXPECT_EQ("H" + host31 + "\nP" + std::string(31, 'u') + "\nJ" + doc99 + "\nfdfA005" + host31 + "\nUdfA005" + host31 +
                  "\nN" + doc99 + "\n",
              file);
    EXPECT_LE(file.size(), kLprControlFileMax - 1);
    // The file names in the sub-commands use the same cut host name.
    EXPECT_EQ("\x02" "10 cfA005" + host31 + "\n", ControlCommand(10, 5, longHost.c_str()));
    EXPECT_EQ("\x03" "10 dfA005" + host31 + "\n", DataCommand(10, false, 5, longHost.c_str()));
}

TEST(LprFormatTest, QueueWithControlCharactersIsRefused)
{
    char out[kLprCommandMax] = "Z";
    EXPECT_EQ(0u, LprReceiveJobCommand("lp\n1", out, sizeof out));
    EXPECT_EQ('\0', out[0]);
    EXPECT_EQ(0u, LprReceiveJobCommand("\x7F", out, sizeof out));
    EXPECT_EQ("\x02lp 1\n", ReceiveJob("lp 1"));
}

TEST(LprFormatTest, SmallBuffersFailWithoutOverrun)
{
    char out[8];
    std::memset(out, 'Z', sizeof out);
    EXPECT_EQ(0u, LprBuildControlFile("pc1", "alice", "doc", 1, out, 7));
    EXPECT_EQ('\0', out[0]);
    EXPECT_EQ('Z', out[7]);
    // Exactly fitting: "\x02lp1\n" and its NUL need 6 bytes.
    EXPECT_EQ(5u, LprReceiveJobCommand("lp1", out, 6));
    EXPECT_EQ(0u, LprReceiveJobCommand("lp1", out, 5));
    EXPECT_EQ(0u, LprDataFileCommand(1, false, 1, "host", out, sizeof out));
    EXPECT_EQ(0u, LprControlFileCommand(1, 1, "host", nullptr, 50));
    char name[4];
    EXPECT_EQ(0u, LprFileName("dfA", 1, "h", name, sizeof name));
    char clean[4];
    EXPECT_EQ(3u, LprCleanName("a\tbcdef", 10, clean, sizeof clean));
    EXPECT_STREQ("a b", clean);
}

namespace {

// Shift_JIS lead bytes, as the system's code page 932 has them.
bool ShiftJisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

} // namespace

TEST(LprNames, DoubleByteNamesAreCutBeforeACharacterThatDoesNotFitWhole)
{
    const std::string kanji = "\x8A\xBF"; // one double-byte character
    const std::string document = std::string(98, 'd') + kanji;   // 100 bytes: the character straddles 99
    const std::string user = std::string(30, 'u') + kanji + "x"; // the character straddles 31
    char out[kLprControlFileMax];
    const size_t n = LprBuildControlFile("host", user.c_str(), document.c_str(), 7, out, sizeof out, ShiftJisLead);
    const std::string expected = "Hhost\nP" + std::string(30, 'u') + "\nJ" + std::string(98, 'd') +
                                 "\nfdfA007host\nUdfA007host\nN" + std::string(98, 'd') + "\n";
    EXPECT_EQ(std::string(out, n), expected);

    // Characters that fit are kept whole, their trail bytes untouched (0x5C
    // and 0x7C are trail bytes here, not text); a lead byte left without its
    // trail (a name cut earlier) is dropped.
    char name[kLprJobNameMax + 1];
    const std::string whole = "\x95\x5C\x83\x7C" "a\x81";
    EXPECT_EQ(LprCleanName(whole.c_str(), kLprJobNameMax, name, sizeof name, ShiftJisLead), 5u);
    EXPECT_EQ(std::string(name), "\x95\x5C\x83\x7C" "a");
    // A lead byte before a control character cannot take it as its trail byte.
    EXPECT_EQ(LprCleanName("a\x81\nb", kLprJobNameMax, name, sizeof name, ShiftJisLead), 4u);
    EXPECT_EQ(std::string(name), "a  b");
    // Without the code page the cut stays byte-wise.
    EXPECT_EQ(LprCleanName(document.c_str(), kLprJobNameMax, name, sizeof name), kLprJobNameMax);
}
