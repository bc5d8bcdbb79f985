// The print markers of an e-mail job's subject.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "monitor/email_job.h"

namespace {

std::string Marked(const std::string& subject, bool noPrint)
{
    char field[66] = {};
    strncpy(field, subject.c_str(), sizeof field - 1);
    MarkSubject(field, sizeof field, noPrint);
    return field;
}

TEST(MarkSubject, MarkersAreAppendedWholeAndNeverTwice)
{
    EXPECT_EQ(Marked("Invoice", false), "Invoice%%DWLPRINT%%");
    EXPECT_EQ(Marked("Invoice", true), "Invoice%%DWLPRINT%%%%NOPRINT%%");
    EXPECT_EQ(Marked("", false), "%%DWLPRINT%%");
    // Markers left from an earlier job are replaced, not repeated.
    EXPECT_EQ(Marked("Invoice%%DWLPRINT%%%%NOPRINT%%", false), "Invoice%%DWLPRINT%%");
    EXPECT_EQ(Marked("A%%NOPRINT%%B", true), "AB%%DWLPRINT%%%%NOPRINT%%");
}

TEST(MarkSubject, ALongSubjectIsCutSoThatTheMarkersFit)
{
    std::string full(65, 'x');
    std::string marked = Marked(full, true);
    EXPECT_EQ(marked.size(), 65u);
    EXPECT_EQ(marked, std::string(42, 'x') + "%%DWLPRINT%%%%NOPRINT%%");
    EXPECT_EQ(Marked(full, false), std::string(53, 'x') + "%%DWLPRINT%%");
}

TEST(MarkSubject, TheCutNeverSplitsADoubleByteCharacter)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932";
    // 52 single bytes, then a double-byte character across the 53-byte limit.
    std::string subject = std::string(52, 'a') + "\x83\x41" + "zz";
    std::string marked = Marked(subject, false);
    EXPECT_EQ(marked, std::string(52, 'a') + "%%DWLPRINT%%");
}

} // namespace
