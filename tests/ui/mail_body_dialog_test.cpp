// The body edit dialog at print time: a job printed to an e-mail port with
// EditBody 1 opens it from StartDocPort of the real DLL; what the user typed
// (or that the user cancelled) arrives at aiosmtpd on 127.0.0.1:25 through
// the mailer. Also the dialog's images for `./run screenshots`.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "mail/mail_body.h"
#include "mail_ids.h"
#include "monitor/port_record.h"
#include "support/dll_monitor.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/test_files.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Body test\r\nIDS_INVALID_CHARACTER=Refused: %s\r\n";
const char kDialogs[] = "[TITLE]\r\nEDIT_BODY=Fixture body\r\n[LABEL]\r\nIDC_STC_SUBJECT=Fixture subject\r\n";
const char kPort[] = "MAILB";
const char kPrinter[] = "BodyPrinter";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// An e-mail port with EditBody 1 of the real DLL, the mailer in its
// installation directory and aiosmtpd on 127.0.0.1:25.
class BodyAtPrintTime : public ::testing::Test {
protected:
    PeerProcess peer{"smtp-body"};
    DllMonitor m;
    HANDLE handle = nullptr;
    UiThread* run = nullptr;
    std::string data = "job data\r\n." + TestPattern(5000, 7);

    void SetUp() override
    {
        SetEnvironmentVariableA("SENDMAIL_TIMEOUT_MS", "1500");
        std::string command = std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/smtp_sink.py") +
                              " --port 25 --dir " + ShellQuote(peer.unixDir) + " --lifetime 60";
        ASSERT_TRUE(peer.Start(command, 0, 70)) << peer.error;
        ASSERT_TRUE(peer.WaitReady()) << peer.error;
        m.SetPortDword(kPort, "PrintMode", 2);
        m.SetPortText(kPort, "SmtpServer", "127.0.0.1");
        m.SetPortText(kPort, "FromAddr", "printer@example.test");
        m.SetPortText(kPort, "ToAddr", "alice@example.test");
        m.SetPortDword(kPort, "CharCode", 1);
        m.SetPortDword(kPort, "NoPrint", 0);
        m.SetPortDword(kPort, "EditBody", 1);
        // Texts set in advance: a port that writes its body at each job must not use them.
        m.SetPortText(kPort, "Subject", "Stored subject");
        m.SetPortText(kPort, "Body", "Stored body");
        m.UseCatalogue(kMessages);
        std::ofstream(m.installDir + "\\" + DIALOG_CATALOGUE, std::ios::binary) << kDialogs;
        ASSERT_TRUE(CopyFileA((ProgramDir() + "Sendmail.exe").c_str(), (m.installDir + "\\Sendmail.exe").c_str(), FALSE));
        ASSERT_TRUE(m.Load(100)) << m.error;
        StandinAddPrinter(kPrinter, kPort, 0);
        char name[sizeof kPort];
        strcpy(name, kPort);
        ASSERT_TRUE(m.table().pfnOpenPort(name, &handle));
    }

    void TearDown() override
    {
        if (run && !JoinUiThread(run, nullptr, 0))
            ADD_FAILURE() << "a dialog was left open";
        if (handle)
            m.table().pfnClosePort(handle);
        DeleteFileA((m.installDir + "\\Sendmail.exe").c_str());
        DeleteDirectoryTree(m.installDir + "\\Spool");
    }

    // StartDocPort of a new job on a thread of its own; the dialog it shows.
    HWND StartJob()
    {
        DWORD job = StandinAddJob(kPrinter, "doc", "user", "RAW", 0);
        const MONITOR95& table = m.table();
        HANDLE port = handle;
        run = StartUiThread([&table, port, job]() -> INT_PTR {
            DOC_INFO_1A info = {const_cast<char*>("doc"), nullptr, const_cast<char*>("RAW")};
            char printer[sizeof kPrinter];
            strcpy(printer, kPrinter);
            return table.pfnStartDocPort(port, printer, job, 1, reinterpret_cast<BYTE*>(&info));
        });
        return run ? WaitDialog(run->threadId, nullptr, IDC_EDT_BODY) : nullptr;
    }

    // The rest of the job once StartDocPort has returned; the mail's summary.
    std::string FinishJob()
    {
        INT_PTR started = 0;
        bool ended = JoinUiThread(run, &started);
        run = nullptr;
        EXPECT_TRUE(ended && started) << "StartDocPort";
        DWORD written = 0;
        EXPECT_TRUE(m.table().pfnWritePort(handle, reinterpret_cast<BYTE*>(&data[0]), static_cast<DWORD>(data.size()), &written));
        EXPECT_TRUE(m.table().pfnEndDocPort(handle));
        if (!peer.WaitFiles("msg-", ".json", 1))
            return std::string();
        EXPECT_EQ(peer.ReadAll("msg-1.att"), data);
        return peer.ReadAll("msg-1.json");
    }
};

TEST_F(BodyAtPrintTime, TheTypedTextsGoWithTheJob)
{
    HWND dialog = StartJob();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), "Fixture body");
    EXPECT_EQ(ControlText(dialog, IDC_STC_SUBJECT), "Fixture subject");
    EXPECT_EQ(ControlText(dialog, IDC_EDT_SUBJECT), "") << "the texts set in advance are not used";
    EXPECT_EQ(ControlText(dialog, IDC_EDT_BODY), "");
    SetControlText(dialog, IDC_EDT_SUBJECT, "Weekly report");
    SetControlText(dialog, IDC_EDT_BODY, "Line one\r\nLine two");
    SetControlText(dialog, IDC_EDT_SIGNATURE, "-- \r\nPrint desk");
    Click(dialog, IDOK);
    std::string json = FinishJob();
    EXPECT_TRUE(Contains(json, "\"subject\": \"Weekly report%%DWLPRINT%%\"")) << json;
    EXPECT_EQ(peer.ReadAll("msg-1.txt"), "Line one\r\nLine two\r\n-- \r\nPrint desk");
}

TEST_F(BodyAtPrintTime, CancelSendsTheJobMarkedNotToBePrinted)
{
    HWND dialog = StartJob();
    ASSERT_NE(dialog, nullptr);
    SetControlText(dialog, IDC_EDT_SUBJECT, "Typed, then cancelled");
    Click(dialog, IDCANCEL);
    std::string json = FinishJob();
    EXPECT_TRUE(Contains(json, "\"subject\": \"%%DWLPRINT%%%%NOPRINT%%\"")) << json;
}

// A refused subject keeps the dialog open; texts longer than their fields
// (WM_SETTEXT passes the controls' limits by) are cut to them, double-byte
// characters whole.
TEST_F(BodyAtPrintTime, TheSubjectIsCheckedAndEveryTextIsCutToItsField)
{
    HWND dialog = StartJob();
    ASSERT_NE(dialog, nullptr);
    SetControlText(dialog, IDC_EDT_SUBJECT, "Re: report");
    Click(dialog, IDOK);
    MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK);
    EXPECT_TRUE(box.found);
    EXPECT_EQ(box.caption, "Body test");
    EXPECT_EQ(box.text, "Refused: \"':");
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";

    bool japanese = GetACP() == 932;
    std::string subject;
    for (int i = 0; i < 25; ++i)
        subject += japanese ? "\x93\xFA" : "S"; // "日": 50 bytes, or 25 letters
    subject += japanese ? "" : std::string(25, 'T');
    SetControlText(dialog, IDC_EDT_SUBJECT, subject.c_str());
    SetControlText(dialog, IDC_EDT_BODY, std::string(1100, 'b').c_str());
    SetControlText(dialog, IDC_EDT_SIGNATURE, std::string(600, 's').c_str());
    Click(dialog, IDOK);
    std::string json = FinishJob();
    std::string expected = japanese ? "" : std::string(25, 'S') + std::string(17, 'T');
    for (int i = 0; japanese && i < 21; ++i)
        expected += "日";
    EXPECT_TRUE(Contains(json, "\"subject\": \"" + expected + "%%DWLPRINT%%\"")) << json;
    EXPECT_EQ(peer.ReadAll("msg-1.txt"), std::string(998, 'b') + "\r\n" + std::string(513, 's'));
}

// The dialog with the shipped catalogues, English and Japanese, into
// SCREENSHOT_DIR: registered only when that is set.
class BodyDialogScreenshots : public ::testing::Test {
    void TestBody() override
    {
        FreshMonitor monitor;
        monitor.UseInstallDir();
        for (std::string language : {"en", "ja"}) {
            monitor.InstallShippedCatalogues(language);
            EmailSettings mail = {};
            strcpy(mail.subject, language == "en" ? "Monthly report" : "\x8C\x8E\x95\xF1"); // "月報"
            strcpy(mail.body, language == "en" ? "Please find the report attached." : "\x95\xF1\x8D\x90\x8F\x91"); // "報告書"
            strcpy(mail.signature, "-- \r\nPrint desk");
            UiThread* shown = StartUiThread([&mail] { return RunMailBodyDialog(nullptr, &mail); });
            ASSERT_NE(shown, nullptr);
            HWND dialog = WaitDialog(shown->threadId, nullptr, IDC_EDT_BODY);
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(SaveScreenshot(dialog, "mail_body_" + language));
            Click(dialog, IDCANCEL);
            EXPECT_TRUE(JoinUiThread(shown));
        }
    }
};

[[maybe_unused]] const bool kScreenshotsWanted = GetEnvironmentVariableA("SCREENSHOT_DIR", nullptr, 0) > 0 &&
                                ::testing::RegisterTest("Screenshots", "MailBody", nullptr, nullptr, __FILE__, __LINE__,
                                                        []() -> ::testing::Test* { return new BodyDialogScreenshots; });

} // namespace
