// The job path with the spooler stand-in and a sender that fails on demand.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/port_ops.h"
#include "monitor/sender.h"
#include "monitor/timing.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/ui_driver.h"
#include "support/test_files.h"

namespace {

const DWORD kNever = 0xFFFFFFFF;

// A printer stand-in behind the sender contract: every call with bytes sent
// at 0 opens a new connection; it can fail once after a given byte.
struct FakePrinter {
    std::vector<std::string> connections;
    std::vector<DWORD> announcedSizes; // job size when each connection opened
    std::vector<DWORD> blocks;
    DWORD failAt = kNever;             // total delivered bytes at which to fail
    DWORD failCode = 100;
    bool restartOnFailure = false;     // the failure asks for a restart from the top
    std::function<void()> onFailure;
    DWORD delivered = 0;
};

FakePrinter* g_fake = nullptr;

BOOL FakeSend(PortRecord* port, const BYTE* data, DWORD length, DWORD* count)
{
    FakePrinter& fake = *g_fake;
    if (port->bytesSent == 0) {
        fake.connections.emplace_back();
        fake.announcedSizes.push_back(port->jobSize);
    }
    fake.blocks.push_back(length);
    DWORD take = length;
    bool fail = fake.failAt != kNever && fake.delivered + length > fake.failAt;
    if (fail)
        take = fake.failAt - fake.delivered;
    fake.connections.back().append(reinterpret_cast<const char*>(data), take);
    fake.delivered += take;
    port->bytesSent += take;
    *count = take;
    if (!fail)
        return TRUE;
    fake.failAt = kNever;
    port->errorCode = fake.failCode;
    if (fake.restartOnFailure)
        port->bytesSent = 0;
    if (fake.onFailure)
        fake.onFailure();
    return FALSE;
}

DWORD WINAPI EndDocThread(LPVOID port)
{
    return EndDocPort(static_cast<PortRecord*>(port));
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct JobTest : ::testing::Test {
    FreshMonitor fresh;
    FakePrinter fake;
    SenderOps saved[PROTOCOL_FILE + 1];
    char printer[8] = "PR";

    void SetUp() override
    {
        StandinReset();
        MonitorHostServices services = StandinServices(100);
        InstallHostServices(&services);
        StandinAddPrinter("PR", "P1", 0);
        memcpy(saved, g_senders, sizeof saved);
        for (DWORD p = PROTOCOL_LPR; p <= PROTOCOL_RAW; ++p)
            g_senders[p] = SenderOps{FakeSend, nullptr};
        g_fake = &fake;
    }
    void TearDown() override
    {
        memcpy(g_senders, saved, sizeof saved);
        g_fake = nullptr;
    }

    PortRecord* MakePort(const char* name, DWORD protocol)
    {
        fresh.SetPortDword(name, "PrintMode", protocol);
        return CreatePortRecord(nullptr, name, "t", protocol);
    }
    DWORD AddJob(DWORD size = 0, const char* dataType = "RAW")
    {
        return StandinAddJob("PR", "Report", "alice", dataType, size);
    }
    BOOL Start(PortRecord* port, DWORD jobId, const char* output = nullptr)
    {
        DOC_INFO_1A info = {const_cast<char*>("Report"), const_cast<char*>(output), const_cast<char*>("RAW")};
        return StartDocPort(port, printer, jobId, 1, reinterpret_cast<BYTE*>(&info));
    }
    void Write(PortRecord* port, const std::string& data, DWORD block = 5000)
    {
        for (size_t at = 0; at < data.size(); at += block) {
            DWORD size = static_cast<DWORD>(std::min<size_t>(block, data.size() - at));
            DWORD written = 0;
            ASSERT_TRUE(WritePort(port, (BYTE*)data.data() + at, size, &written));
            ASSERT_EQ(written, size) << "the spooler must never resend bytes that were spooled";
        }
    }
    std::string SpoolDir() { return fresh.UseInstallDir() + "\\Spool"; }
};

TEST_F(JobTest, ByteCountedLprJobIsSpooledThenSentInBlocksAndTheFileGoes)
{
    PortRecord* port = MakePort("LPR1", PROTOCOL_LPR);
    std::string spoolFile = SpoolDir() + "\\~DWL007.DWL";
    std::string data = TestPattern(40000);
    ASSERT_TRUE(Start(port, 7));
    EXPECT_TRUE(FileExists(spoolFile));
    Write(port, data);
    EXPECT_TRUE(fake.connections.empty()) << "WritePort only spools";
    ASSERT_TRUE(EndDocPort(port));
    ASSERT_EQ(fake.connections.size(), 1u);
    EXPECT_EQ(fake.connections[0], data);
    EXPECT_EQ(fake.announcedSizes[0], data.size());
    EXPECT_EQ(fake.blocks, (std::vector<DWORD>{16384, 16384, 7232}));
    EXPECT_FALSE(FileExists(spoolFile));
    EXPECT_FALSE(HasPortFlag(port, PORT_DOC_OPEN));
}

TEST_F(JobTest, AFullySpooledRawJobIsStreamedWithTheSpoolersSize)
{
    PortRecord* port = MakePort("LPR2", PROTOCOL_LPR);
    fresh.SetPortDword("LPR2", "NonSpool", 1);
    std::string data = TestPattern(12000);
    DWORD job = AddJob(static_cast<DWORD>(data.size()));
    StandinSetJobStatus(job, JOB_STATUS_PRINTING);
    ASSERT_TRUE(Start(port, job));
    Write(port, data, 4096);
    EXPECT_EQ(fake.blocks, (std::vector<DWORD>{4096, 4096, 3808})) << "streamed by WritePort";
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_EQ(fake.announcedSizes, (std::vector<DWORD>{12000}));
    EXPECT_EQ(fake.connections[0], data);

    // The same job while the spooler still receives it (status not only PRINTING) is spooled.
    FakePrinter second;
    g_fake = &second;
    StandinSetJobStatus(job, JOB_STATUS_PRINTING | JOB_STATUS_SPOOLING);
    ASSERT_TRUE(Start(port, job));
    Write(port, data, 4096);
    EXPECT_TRUE(second.blocks.empty());
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_EQ(second.connections[0], data);
}

TEST_F(JobTest, ChunkedIppJobMakesNoSpoolFileAndEmailKeepsItsFile)
{
    PortRecord* ipp = MakePort("IPP1", PROTOCOL_IPP);
    fresh.SetPortDword("IPP1", "Chunked", 1);
    std::string spool = SpoolDir();
    ASSERT_TRUE(Start(ipp, 3));
    EXPECT_FALSE(FileExists(spool + "\\~DWL003.DWL"));
    Write(ipp, "chunked data");
    EXPECT_EQ(fake.connections[0], "chunked data");
    ASSERT_TRUE(EndDocPort(ipp));

    PortRecord* mail = MakePort("MAIL1", PROTOCOL_EMAIL);
    fresh.SetPortText("MAIL1", "Subject", "Monthly report", REG_BINARY);
    DWORD job = 1042;
    ASSERT_TRUE(Start(mail, job));
    Write(mail, "mail body");
    ASSERT_TRUE(EndDocPort(mail));
    std::string path = spool + "\\~DWL042.DWL";
    EXPECT_STREQ(EmailOf(mail)->spoolPath, path.c_str());
    EXPECT_EQ(ReadFileBytes(path), "mail body") << "the mailer reads the kept spool file";
    EXPECT_STREQ(EmailOf(mail)->subject, "Monthly report%%DWLPRINT%%");
    EXPECT_STREQ(EmailOf(mail)->jobTag, "SMTP042");
    DeleteFileA(path.c_str());
}

TEST_F(JobTest, SpoolFileGoesToTheTemporaryDirectoryWithoutInstallPath)
{
    PortRecord* port = MakePort("RAW1", PROTOCOL_RAW);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string path = std::string(temp) + "~DWL611.DWL";
    ASSERT_TRUE(Start(port, 1611));
    EXPECT_TRUE(FileExists(path));
    Write(port, "raw");
    EXPECT_EQ(fake.connections[0], "raw") << "Raw streams while spooling";
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(FileExists(path));
}

TEST_F(JobTest, StartRefusesASecondDocumentAndTooLongSpoolNames)
{
    PortRecord* port = MakePort("LPR3", PROTOCOL_LPR);
    ASSERT_TRUE(Start(port, 1));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Start(port, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    ASSERT_TRUE(EndDocPort(port));

    // An installation directory whose spool path cannot be formed.
    fresh.UseInstallDir();
    std::string longDir(250, 'd');
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    std::string value = "C:\\" + longDir;
    RegSetValueExA(key, "InstallPath", 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    RegCloseKey(key);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Start(port, 3));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(HasPortFlag(port, PORT_DOC_OPEN)) << "a failed start leaves the port idle";
    EXPECT_EQ(port->printer, nullptr);
}

TEST_F(JobTest, ThePrinterIsOpenedAgainUntilTheSpoolerIsReady)
{
    PortRecord* port = MakePort("LPR4", PROTOCOL_LPR);
    StandinSetOpenFailures(3);
    ASSERT_TRUE(Start(port, 1));
    EXPECT_NE(port->printer, nullptr);
    ASSERT_TRUE(EndDocPort(port));

    StandinSetOpenFailures(1000);
    SetLastError(0);
    EXPECT_FALSE(Start(port, 2)) << "gives up after 120 attempts";
    EXPECT_FALSE(HasPortFlag(port, PORT_DOC_OPEN));
    StandinSetOpenFailures(0);
}

TEST_F(JobTest, AReplayResumesAtTheByteReachedOrRestartsFromTheTop)
{
    PortRecord* port = MakePort("LPR5", PROTOCOL_LPR);
    std::string data = TestPattern(50000);
    fake.failAt = 20000; // silent retry, resume
    ASSERT_TRUE(Start(port, 5));
    Write(port, data);
    ASSERT_TRUE(EndDocPort(port));
    ASSERT_EQ(fake.connections.size(), 1u) << "resumed on the same connection";
    EXPECT_EQ(fake.connections[0], data) << "every byte exactly once";

    FakePrinter restart;
    restart.failAt = 30000;
    restart.restartOnFailure = true;
    g_fake = &restart;
    ASSERT_TRUE(Start(port, 6));
    Write(port, data);
    ASSERT_TRUE(EndDocPort(port));
    ASSERT_EQ(restart.connections.size(), 2u);
    EXPECT_EQ(restart.connections[1], data) << "the second connection carries the whole job";
}

TEST_F(JobTest, AJobDeletedWhileTheReplayWaitsPausedEndsWithoutFurtherSends)
{
    PortRecord* port = MakePort("LPR6", PROTOCOL_LPR);
    DWORD job = AddJob();
    fake.failAt = 1000;
    fake.onFailure = [job] { StandinPauseJob(job); };
    ASSERT_TRUE(Start(port, job));
    Write(port, TestPattern(30000));
    HANDLE thread = CreateThread(nullptr, 0, EndDocThread, port, 0, nullptr);
    WaitUntil([&] { return fake.failAt == kNever; }, 1000);
    size_t callsAtFailure = fake.blocks.size();
    Sleep(400); // a few pause polls
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "waits while paused";
    StandinDeleteJob(job);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD result = 1;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(fake.blocks.size(), callsAtFailure);
    StandinJobView view;
    ASSERT_TRUE(StandinJob(job, &view));
    EXPECT_TRUE(view.status & JOB_STATUS_ERROR) << "the spooler saw the failed attempt";
}

TEST_F(JobTest, LocalFilePortsWriteTheDestinationFromItsStart)
{
    fresh.WriteInstallFile("old.out", "an older and much longer file");
    std::string target = fresh.installDir + "\\old.out";
    PortRecord* port = CreatePortRecord(nullptr, target.c_str(), nullptr, PROTOCOL_LPR);
    std::string data = TestPattern(70000);
    ASSERT_TRUE(Start(port, 9));
    EXPECT_EQ(port->protocol, static_cast<DWORD>(PROTOCOL_FILE));
    Write(port, data, 6000);
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_EQ(ReadFileBytes(target), data);
    EXPECT_TRUE(fake.connections.empty());

    // A job may also name its output file.
    std::string other = target + "2";
    PortRecord* lpr = MakePort("LPR7", PROTOCOL_LPR);
    ASSERT_TRUE(Start(lpr, 10, other.c_str()));
    Write(lpr, "to a file");
    ASSERT_TRUE(EndDocPort(lpr));
    EXPECT_EQ(ReadFileBytes(other), "to a file");
}

TEST_F(JobTest, TheWatcherSeesADeletionWhileTheDocumentIsOpen)
{
    PortRecord* port = MakePort("LPR8", PROTOCOL_LPR);
    DWORD job = AddJob();
    ASSERT_TRUE(Start(port, job));
    EXPECT_TRUE(HasPortFlag(port, PORT_WATCHER_REQUESTED));
    EXPECT_FALSE(IsJobDeleting(port));
    StandinDeleteJob(job);
    EXPECT_TRUE(WaitUntil([&] { return IsJobDeleting(port) != FALSE; }, 2000));
    EXPECT_TRUE(IsJobDeletingNow(port));
    EndDocPort(port);
    EXPECT_FALSE(HasPortFlag(port, PORT_WATCHER_REQUESTED | PORT_WATCHER_RUNNING));
}

TEST_F(JobTest, JobStatusChangesAreWrittenBackToTheSpooler)
{
    PortRecord* port = MakePort("LPR9", PROTOCOL_LPR);
    DWORD job = AddJob();
    ASSERT_TRUE(Start(port, job));
    DWORD status = 0;
    ASSERT_TRUE(ChangeJobStatus(port, JOB_STATUS_ERROR | JOB_STATUS_PRINTING, 0, &status));
    ASSERT_TRUE(ChangeJobStatus(port, 0, JOB_STATUS_PRINTING, &status));
    EXPECT_EQ(status, static_cast<DWORD>(JOB_STATUS_ERROR));
    StandinJobView view;
    ASSERT_TRUE(StandinJob(job, &view));
    EXPECT_EQ(view.status, static_cast<DWORD>(JOB_STATUS_ERROR));
    EXPECT_TRUE(WaitWhilePaused(port, 0));
    EXPECT_FALSE(WaitWhilePaused(port, JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
    EndDocPort(port);
    EXPECT_FALSE(ChangeJobStatus(port, 0, 0, &status)) << "no printer outside a job";
}

} // namespace
