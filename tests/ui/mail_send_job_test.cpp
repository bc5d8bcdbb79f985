// MailSendJob with a stand-in mailer (tests/stubs/stub_sendmail.cpp) in the
// installation directory: the parameter file and command line it is given,
// and what each exit code brings through the error reporter's message boxes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mail/mail_params.h"
#include "mail/mail_port.h"
#include "monitor/monitor.h"
#include "monitor/spool_file.h"
#include "support/fresh_monitor.h"
#include "support/ui_driver.h"
#include "support/test_files.h"
#include "text/catalogue.h"

namespace {

const char kMessages[] = "[MESSAGE]\r\nTITLE=Mail box\r\n"
                         "IDS_SMTP_SERVER_NONE=SMTP none\r\nIDS_SMTP_SERVER_ERROR=SMTP error\r\n"
                         "IDS_SMTP_PROTOCOL_ERROR=SMTP protocol\r\nIDS_SMTP_ADDRMISS=SMTP address\r\n"
                         "IDS_IPP_NOT_AUTHORIZED=Not authorised\r\nIDS_SMTP_OVER_DIVISION=SMTP division\r\n"
                         "IDS_LPR_RETRY_TOP=Restart\r\n";

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct MailSend : ::testing::Test {
    FreshMonitor monitor;
    PortRecord* port = nullptr;
    EmailSettings* mail = nullptr;
    std::string dir;

    void SetUp() override
    {
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        dir = monitor.installDir + "\\";
        ASSERT_TRUE(CopyFileA((ProgramDir() + "stub_sendmail.exe").c_str(), (dir + kMailerProgram).c_str(), FALSE));
        port = CreatePortRecord(nullptr, "M1", "type", PROTOCOL_EMAIL);
        ASSERT_NE(port, nullptr);
        mail = EmailOf(port);
        strcpy(mail->smtpServer, "127.0.0.1");
        strcpy(mail->toAddr, "a@example,b@example");
        strcpy(mail->subject, "S%%DWLPRINT%%");
        strcpy(mail->body, "Body");
        strcpy(reinterpret_cast<char*>(mail->authPass), "\x01\x02");
        strcpy(mail->jobTag, "SMTP042");
        ASSERT_TRUE(SpoolFilePath(5042, true, mail->spoolPath, sizeof mail->spoolPath));
        port->spoolFile = CreateSpoolFile(mail->spoolPath, true);
        ASSERT_NE(port->spoolFile, INVALID_HANDLE_VALUE);
    }
    void TearDown() override
    {
        if (port) {
            if (port->spoolFile != INVALID_HANDLE_VALUE)
                CloseHandle(port->spoolFile);
            MonitorLock();
            RemovePortRecord(port);
            MonitorUnlock();
        }
    }

    void MailerExits(const std::string& code) { monitor.WriteInstallFile("stub-exit.txt", code); }

    // Runs MailSendJob; answers the box that comes, if any. Returns the box's
    // text ("" when none came) and the result in *sent.
    // The box's caption is checked unless `caption` is NULL.
    std::string Send(BOOL* sent, const char* caption = "Mail box")
    {
        PortRecord* record = port;
        UiThread* run = StartUiThread([record] {
            DWORD count = 99;
            BOOL ok = MailSendJob(record, nullptr, 0, &count);
            return static_cast<INT_PTR>(ok && count == 0 ? 1 : ok ? 2 : 0);
        });
        std::string text;
        // A box comes within the bound when there is one; the job ends first when there is none.
        WaitUntil([run] { return UiThreadEnded(run) || FindDialog(run->threadId, nullptr, kMessageBoxTextId) != nullptr; },
                  20000);
        if (!UiThreadEnded(run)) {
            MessageBoxSeen box = AnswerMessageBox(run->threadId, IDOK, 5000);
            if (caption) {
                EXPECT_EQ(box.caption, caption);
            }
            text = box.text;
        }
        INT_PTR result = -1;
        EXPECT_TRUE(JoinUiThread(run, &result, 20000));
        EXPECT_NE(result, 2) << "the count is the length given";
        *sent = result == 1;
        return text;
    }
};

TEST_F(MailSend, TheMailerGetsItsFilesAndCommandLineAndItsExitCodeDecides)
{
    struct Case {
        const char* exitCode;
        DWORD errorCode;
        const char* box; // "" for none
    } cases[] = {
        {"0", 0, ""},
        {"21", 21, "SMTP none"},
        {"22", 22, "SMTP error"},
        {"23", 23, "SMTP protocol"},
        {"24", 24, "SMTP address"},
        {"25", 25, "SMTP protocol"},
        {"30", 30, "Not authorised"},
        {"40", 40, "SMTP division"},
        {"100", 100, ""},
        // Codes the mailer does not have never reach another protocol's paths.
        {"1026", 25, "SMTP protocol"},
        {"0xC0000005", 25, "SMTP protocol"},
        {"259", 25, "SMTP protocol"},
    };
    std::string params = mail->spoolPath;
    params.replace(params.size() - 3, 3, "bin");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exitCode);
        if (port->spoolFile == INVALID_HANDLE_VALUE)
            port->spoolFile = CreateSpoolFile(mail->spoolPath, true);
        MailerExits(c.exitCode);
        BOOL sent = FALSE;
        EXPECT_EQ(Send(&sent), c.box);
        EXPECT_EQ(sent, c.errorCode == 0);
        EXPECT_EQ(port->errorCode, c.errorCode);
        EXPECT_EQ(port->spoolFile, INVALID_HANDLE_VALUE) << "closed once, and forgotten";
        EXPECT_FALSE(Exists(mail->spoolPath)) << "the mailer has ended: the job's file goes, whatever the result";
        EXPECT_FALSE(Exists(params)) << "the parameter file holds the password: deleted";
    }
    std::string line = ReadFileBytes(dir + "stub-cmdline.txt");
    EXPECT_EQ(line, std::string("Sendmail.exe /A") + mail->spoolPath + " /P" + g_monitor.monitorName);
    std::string image = ReadFileBytes(dir + "stub-params.bin");
    ASSERT_EQ(image.size(), kMailParamsSize);
    EXPECT_EQ(image.substr(MAIL_AT_TO_ADDR, 21), std::string("a@example,b@example,\0", 21));
    EXPECT_EQ(image.substr(MAIL_AT_SEPARATORS, 3), std::string(",,\0", 3));
    EXPECT_EQ(image.substr(MAIL_AT_BODY, 7), std::string("Body\r\n\0", 7));
    EXPECT_EQ(image.substr(MAIL_AT_AUTH_PASS, 3), std::string("\x01\x02\0", 3));
    EXPECT_EQ(image.substr(MAIL_AT_JOB_TAG, 8), std::string("SMTP042\0", 8));
    EXPECT_STREQ(mail->toAddr, "a@example,b@example") << "the port's settings are not changed";
}

TEST_F(MailSend, FailuresBeforeTheMailerRunsAreShown)
{
    // A recipients field with no room for the trailing comma.
    memset(mail->toAddr, 'a', sizeof mail->toAddr - 1);
    BOOL sent = TRUE;
    EXPECT_EQ(Send(&sent), "SMTP address");
    EXPECT_FALSE(sent);
    EXPECT_FALSE(Exists(dir + "stub-cmdline.txt")) << "the mailer was not started";

    // No mailer in the installation directory.
    strcpy(mail->toAddr, "a@example");
    DeleteFileA((dir + kMailerProgram).c_str());
    EXPECT_EQ(Send(&sent), "SMTP protocol");
    EXPECT_EQ(port->errorCode, 25u);

    // The parameter file cannot be made: its name is taken by a directory.
    std::string params = mail->spoolPath;
    params.replace(params.size() - 3, 3, "bin");
    ASSERT_TRUE(CreateDirectoryA(params.c_str(), nullptr));
    EXPECT_EQ(Send(&sent), "SMTP protocol");
    EXPECT_EQ(port->errorCode, 25u);
    RemoveDirectoryA(params.c_str());
}

// Without an installation directory (InstallPath empty, or only the drive's
// root) there is no mailer of the monitor's own: the job fails with 25 and no
// other "Sendmail.exe" is started, such as one in the current directory (a
// stand-in that would report success waits there). The box has no catalogue
// to take its texts from.
TEST_F(MailSend, WithoutAnInstallationDirectoryNoMailerIsStarted)
{
    std::string other = dir + "current";
    ASSERT_TRUE(CreateDirectoryA(other.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA((ProgramDir() + "stub_sendmail.exe").c_str(), (other + "\\" + kMailerProgram).c_str(), FALSE));
    char earlier[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof earlier, earlier);
    ASSERT_TRUE(SetCurrentDirectoryA(other.c_str()));
    for (const char* installPath : {"", "\\"}) {
        SCOPED_TRACE(installPath);
        SetRegistryValue(g_monitor.monitorKey, "", "InstallPath", REG_SZ, installPath,
                         static_cast<DWORD>(strlen(installPath) + 1));
        if (port->spoolFile == INVALID_HANDLE_VALUE)
            port->spoolFile = CreateSpoolFile(mail->spoolPath, true);
        BOOL sent = TRUE;
        Send(&sent, nullptr);
        EXPECT_FALSE(sent);
        EXPECT_EQ(port->errorCode, 25u);
        EXPECT_FALSE(Exists(other + "\\stub-cmdline.txt")) << "a mailer was started";
    }
    SetCurrentDirectoryA(earlier);
}

} // namespace
