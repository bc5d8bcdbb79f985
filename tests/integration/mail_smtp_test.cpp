// The mailer (Sendmail.exe) against aiosmtpd and a fault-injecting SMTP
// server on 127.0.0.1:25, and an e-mail port of the real monitor DLL whose
// job goes through the mailer to aiosmtpd. The mailer's reads time out after
// SENDMAIL_TIMEOUT_MS (1500 ms here).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "codec/password_codec.h"
#include "mail/mail_params.h"
#include "support/dll_monitor.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/test_files.h"

namespace {

const DWORD kMailerBoundMs = 30000;
const char kSpoolName[] = "~DWL042.DWL";

// smtp_sink.py (aiosmtpd) or smtp_fault.py on 127.0.0.1:25.
std::string SmtpCommand(const char* script, const PeerProcess& peer, const std::string& options)
{
    return std::string("exec ") + kPython + " " + ShellQuote(PeersDir() + "/" + script) + " --port 25 --dir " +
           ShellQuote(peer.unixDir) + " --lifetime 60 " + options;
}
std::string SmtpSinkCommand(const PeerProcess& peer, const std::string& options)
{
    return SmtpCommand("smtp_sink.py", peer, options);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs the mailer on one job: a spool file and its parameter file in a
// directory of the test's own.
struct Mailer : ::testing::Test {
    std::string jobDir;
    MailParams p = {};

    void SetUp() override
    {
        SetEnvironmentVariableA("SENDMAIL_TIMEOUT_MS", "1500");
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        jobDir = std::string(temp) + "mailjob-" + UniqueModel();
        CreateDirectoryA(jobDir.c_str(), nullptr);
        strcpy(p.smtpServer, "127.0.0.1");
        strcpy(p.fromAddr, "printer@example.test");
        strcpy(p.fromName, "Office Printer");
        strcpy(p.toAddr, "alice@example.test, bob@example.test,");
        strcpy(p.subject, "Report%%DWLPRINT%%");
        strcpy(p.body, ".Body line\r\n");
        strcpy(p.signature, "-- \r\nSignature");
        FormatMailJobTag(5042, p.jobTag, sizeof p.jobTag);
    }
    void TearDown() override { DeleteDirectoryTree(jobDir); }

    void SetPassword(const char* id, const char* password)
    {
        p.authType = 1;
        strcpy(p.authId, id);
        strcpy(reinterpret_cast<char*>(p.authPass), password);
        ScramblePassword(reinterpret_cast<char*>(p.authPass));
    }

    // The mailer's exit code, or 0xFFFFFFFF when it could not run or did not end.
    DWORD Run(const std::string& spool)
    {
        std::string spoolPath = jobDir + "\\" + kSpoolName;
        WriteFileBytes(spoolPath, spool);
        std::string image(kMailParamsSize, '\0');
        WriteMailParams(p, reinterpret_cast<uint8_t*>(&image[0]));
        WriteFileBytes(jobDir + "\\~DWL042.bin", image);
        std::string line = "Sendmail.exe /A" + spoolPath + " /PTest Network Printer Port";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA((ProgramDir() + "Sendmail.exe").c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            return 0xFFFFFFFF;
        DWORD code = 0xFFFFFFFF;
        if (WaitForSingleObject(process.hProcess, kMailerBoundMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    }
};

void StartPeer(PeerProcess* peer, const std::string& command)
{
    ASSERT_TRUE(peer->Start(command, 0, 70)) << peer->error;
    ASSERT_TRUE(peer->WaitReady()) << peer->error << peer->ReadAll("peer.log");
}

// A refused password is ServerFaultsBecomeTheirExitCodes' auth535.
TEST_F(Mailer, AuthenticatesWithPlainOrLogin)
{
    for (const char* mechanism : {"PLAIN", "LOGIN"}) {
        PeerProcess peer("smtp-auth");
        StartPeer(&peer, SmtpSinkCommand(peer, std::string("--auth sender:s3cret") + (mechanism[0] == 'L' ? " --no-plain" : "")));
        SetPassword("sender", "s3cret");
        EXPECT_EQ(Run("job bytes"), 0u) << mechanism;
        ASSERT_TRUE(peer.WaitFiles("msg-", ".json", 1)) << peer.error;
        std::string json = peer.ReadAll("msg-1.json");
        EXPECT_TRUE(Contains(json, "\"auth_user\": \"sender\"")) << json;
        EXPECT_TRUE(Contains(json, std::string("\"auth_mechanism\": \"") + mechanism + "\"")) << json;
        EXPECT_EQ(peer.ReadAll("msg-1.att"), "job bytes");
    }
}

TEST_F(Mailer, AShiftJisSubjectGoesAsIso2022Jp)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932 (LC_ALL=ja_JP.UTF-8)";
    PeerProcess peer("smtp-jp");
    StartPeer(&peer, SmtpSinkCommand(peer, ""));
    p.charCode = MAIL_ISO_2022_JP;
    // "日本語の報告書" and half-width "ｱ" in Shift_JIS.
    strcpy(p.subject, "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x95\xF1\x8D\x90\x8F\x91\xB1%%DWLPRINT%%");
    strcpy(p.fromName, "\x88\xF3\x8D\xFC");  // "印刷"
    strcpy(p.body, "\x96\x7B\x95\xB6\r\n"); // "本文"
    ASSERT_EQ(Run("x"), 0u);
    ASSERT_TRUE(peer.WaitFiles("msg-", ".json", 1)) << peer.error;
    std::string json = peer.ReadAll("msg-1.json");
    EXPECT_TRUE(Contains(json, "\"subject\": \"日本語の報告書ア%%DWLPRINT%%\"")) << json;
    EXPECT_TRUE(Contains(json, "\"from\": \"印刷 <printer@example.test>\"")) << json;
    EXPECT_TRUE(Contains(json, "\"charset\": \"iso-2022-jp\", \"encoding\": \"7bit\"")) << json;
    EXPECT_TRUE(Contains(peer.ReadAll("msg-1.eml"), "Subject: =?ISO-2022-JP?B?"));
    EXPECT_EQ(peer.ReadAll("msg-1.txt"), "本文\r\n-- \r\nSignature");
}

TEST_F(Mailer, ADividedJobGoesAsNumberedMessagesUpToTheLimit)
{
    PeerProcess peer("smtp-parts");
    StartPeer(&peer, SmtpSinkCommand(peer, ""));
    p.divideFile = 1;
    p.divideSize = 1; // kilobytes
    std::string spool = TestPattern(2 * 1024 + 500, 4);
    ASSERT_EQ(Run(spool), 0u);
    ASSERT_TRUE(peer.WaitFiles("msg-", ".json", 3)) << peer.error;
    std::string joined;
    for (int n = 1; n <= 3; ++n) {
        std::string json = peer.ReadAll("msg-" + std::to_string(n) + ".json");
        std::string part = std::to_string(n) + "/3";
        EXPECT_TRUE(Contains(json, "\"subject\": \"Report%%DWLPRINT%% (" + part + ")\"")) << json;
        EXPECT_TRUE(Contains(json, "\"filename\": \"SMTP042_" + std::to_string(n) + "of3.prn\"")) << json;
        joined += peer.ReadAll("msg-" + std::to_string(n) + ".att");
    }
    EXPECT_EQ(joined, spool);

    // 100 parts are more than allowed: nothing is sent. So is a part size of 0.
    EXPECT_EQ(Run(std::string(99 * 1024 + 1, 'x')), 40u);
    p.divideSize = 0;
    EXPECT_EQ(Run("x"), 40u);
    EXPECT_EQ(peer.Files("msg-", ".json").size(), 3u);
}

TEST_F(Mailer, ServerFaultsBecomeTheirExitCodes)
{
    struct Case {
        const char* options; // empty: no server at all
        bool authenticate;
        DWORD exitCode;
        const char* timeoutMs; // SENDMAIL_TIMEOUT_MS; the end of the data waits ten times as long
        size_t spoolMiB = 3;
    } cases[] = {
        {"", false, 21, "1500"},
        {"--mode silent", false, 21, "1500"},
        {"--mode greet421", false, 22, "1500"},
        {"--mode auth535", true, 30, "1500"},
        {"--mode no-auth", true, 30, "1500"},
        {"--mode mail550", false, 24, "1500"},
        {"--mode mail530", false, 30, "1500"},
        {"--mode rcpt550", false, 24, "1500"},
        {"--mode drop-data --after 20000", false, 23, "1500"},
        {"--mode data552", false, 22, "1500"},
        {"--mode data-silent", false, 23, "300"},
        // The server stops reading after DATA: once the socket buffers are
        // full (a few MiB on loopback, so a job well beyond them) the mailer
        // gives up after the step's time-out instead of blocking in a send.
        {"--mode data-stop --rcvbuf 4096", false, 23, "1500", 16},
        // The answer comes after four step time-outs, well within ten.
        {"--mode data-slow --delay 2", false, 0, "500"},
        // Without a cap on reply lines the mailer would read until the
        // step's time-out (a minute here) and beyond the test's bound.
        {"--mode endless-ehlo", false, 21, "60000"},
    };
    for (const Case& c : cases) {
        std::string spool = TestPattern(c.spoolMiB * 1024 * 1024, 5);
        PeerProcess peer("smtp-fault");
        if (c.options[0])
            StartPeer(&peer, SmtpCommand("smtp_fault.py", peer, c.options));
        if (c.authenticate)
            SetPassword("sender", "pw");
        else
            p.authType = 0;
        SetEnvironmentVariableA("SENDMAIL_TIMEOUT_MS", c.timeoutMs);
        EXPECT_EQ(Run(spool), c.exitCode) << c.options;
    }
}

// EHLO names this machine by a domain, or by the address literal of the
// connection when its host name has no dot; a refused EHLO is followed by HELO.
TEST_F(Mailer, HelloNamesTheHostByADomainOrAnAddressLiteral)
{
    PeerProcess peer("smtp-helo");
    StartPeer(&peer, SmtpCommand("smtp_fault.py", peer, "--mode ehlo500"));
    ASSERT_EQ(Run("x"), 0u);
    char host[256] = "";
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    gethostname(host, sizeof host);
    WSACleanup();
    std::string name = strchr(host, '.') ? host : "[127.0.0.1]";
    std::string commands = peer.ReadAll("commands.log");
    EXPECT_EQ(commands.compare(0, 2 * name.size() + 12, "EHLO " + name + "\nHELO " + name + "\n"), 0) << commands;
}

// An address with bytes of 0x80 and above cannot go into a command without
// SMTPUTF8: the job fails before anything is sent.
TEST_F(Mailer, AnAddressWithEightBitBytesIsRefused)
{
    PeerProcess peer("smtp-8bit");
    StartPeer(&peer, SmtpSinkCommand(peer, ""));
    strcpy(p.toAddr, "alice@example.test,b\xF6" "b@example.test,");
    EXPECT_EQ(Run("x"), 24u);
    strcpy(p.toAddr, "alice@example.test,");
    strcpy(p.fromAddr, "\x88\xF3@example.test");
    EXPECT_EQ(Run("x"), 24u);
    EXPECT_EQ(peer.Files("msg-", ".json").size(), 0u);
}

// An e-mail port of the real DLL: EndDocPort runs Sendmail.exe from the
// installation directory, which delivers the job to aiosmtpd with AUTH.
TEST(MailPort, AJobOfTheMonitorArrivesThroughTheMailer)
{
    SetEnvironmentVariableA("SENDMAIL_TIMEOUT_MS", "1500");
    PeerProcess peer("smtp-port");
    StartPeer(&peer, SmtpSinkCommand(peer, "--auth sender:s3cret"));
    DllMonitor m;
    const char port[] = "MAILP";
    m.SetPortDword(port, "PrintMode", 2);
    m.SetPortText(port, "SmtpServer", "127.0.0.1");
    m.SetPortText(port, "FromAddr", "printer@example.test");
    m.SetPortText(port, "FromName", "Office Printer");
    m.SetPortText(port, "ToAddr", "alice@example.test,bob@example.test");
    m.SetPortText(port, "AuthID", "sender");
    m.SetPortDword(port, "AuthType", 1);
    char password[] = "s3cret";
    ScramblePassword(password);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (m.monitorKey + "\\Ports\\" + port).c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "AuthPass", 0, REG_BINARY, reinterpret_cast<BYTE*>(password), static_cast<DWORD>(strlen(password)));
    for (auto [value, text] : {std::pair<const char*, const char*>{"Subject", "Monthly"},
                               {"Body", ".Body line"}, {"Signature", "-- \r\nSignature"}})
        RegSetValueExA(key, value, 0, REG_BINARY, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text)));
    RegCloseKey(key);
    m.UseCatalogue("[MESSAGE]\r\nTITLE=Mail port test\r\n");
    std::string mailer = m.installDir + "\\Sendmail.exe";
    ASSERT_TRUE(CopyFileA((ProgramDir() + "Sendmail.exe").c_str(), mailer.c_str(), FALSE));
    ASSERT_TRUE(m.Load(100)) << m.error;
    StandinAddPrinter("MailPrinter", port, 0);
    HANDLE handle = nullptr;
    char name[] = "MAILP";
    ASSERT_TRUE(m.table().pfnOpenPort(name, &handle));
    DWORD job = StandinAddJob("MailPrinter", "doc", "user", "RAW", 0);
    DOC_INFO_1A info = {const_cast<char*>("doc"), nullptr, const_cast<char*>("RAW")};
    char printer[] = "MailPrinter";
    ASSERT_TRUE(m.table().pfnStartDocPort(handle, printer, job, 1, reinterpret_cast<BYTE*>(&info)));
    // Lines that start with "." and bytes of every value.
    std::string data = ".\r\n..\r\n" + TestPattern(200000, 6) + "\r\n.";
    DWORD written = 0;
    ASSERT_TRUE(m.table().pfnWritePort(handle, reinterpret_cast<BYTE*>(&data[0]), static_cast<DWORD>(data.size()), &written));
    EXPECT_TRUE(m.table().pfnEndDocPort(handle));
    m.table().pfnClosePort(handle);

    ASSERT_TRUE(peer.WaitFiles("msg-", ".json", 1)) << peer.error;
    std::string json = peer.ReadAll("msg-1.json");
    EXPECT_TRUE(Contains(json, "\"auth_user\": \"sender\"")) << json;
    EXPECT_TRUE(Contains(json, "\"rcpt_tos\": [\"alice@example.test\", \"bob@example.test\"]")) << json;
    EXPECT_TRUE(Contains(json, "\"subject\": \"Monthly%%DWLPRINT%%\"")) << json;
    EXPECT_TRUE(Contains(json, "\"from\": \"Office Printer <printer@example.test>\"")) << json;
    char attachment[32];
    snprintf(attachment, sizeof attachment, "\"filename\": \"SMTP%03lu.prn\"", static_cast<unsigned long>(job % 1000));
    EXPECT_TRUE(Contains(json, attachment)) << json;
    EXPECT_EQ(peer.ReadAll("msg-1.txt"), ".Body line\r\n-- \r\nSignature");
    EXPECT_EQ(peer.Files("msg-", ".json").size(), 1u);
    EXPECT_EQ(FirstDifference(peer.ReadAll("msg-1.att"), data), std::string::npos);
    EXPECT_EQ(peer.ReadAll("msg-1.att").size(), data.size());
    // Once the mailer has ended, the spool file (named with the full job ID)
    // and the parameter file with the password are gone.
    WIN32_FIND_DATAA found;
    HANDLE left = FindFirstFileA((m.installDir + "\\Spool\\~DWL*").c_str(), &found);
    EXPECT_EQ(left, INVALID_HANDLE_VALUE) << found.cFileName;
    if (left != INVALID_HANDLE_VALUE)
        FindClose(left);
    DeleteFileA(mailer.c_str());
    DeleteDirectoryTree(m.installDir + "\\Spool");
}

} // namespace
