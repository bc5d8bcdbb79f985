// The job path with the spooler stand-in and a sender that fails on demand.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ipp/status_watcher.h"
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

// After windows.h, which the headers above bring in.
#include <winioctl.h>

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

// A block of `size` readable bytes followed by a page that cannot be read:
// a file write of more than `size` bytes from it fails.
struct UnreadableTail {
    BYTE* block = nullptr;
    explicit UnreadableTail(DWORD size)
    {
        DWORD page = 4096, pages = (size + page - 1) / page + 1;
        BYTE* base = static_cast<BYTE*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base + (pages - 1) * page, page, PAGE_NOACCESS, &old);
        block = base + (pages - 1) * page - size;
        memset(block, 'u', size);
    }
};

struct JobTest : PortFixture {
    FakePrinter fake;
    SenderOps saved[PROTOCOL_FILE + 1];
    char printer[8] = "PR";

    void SetUp() override
    {
        PortFixture::SetUp();
        memcpy(saved, g_senders, sizeof saved);
        for (DWORD p = PROTOCOL_LPR; p <= PROTOCOL_RAW; ++p)
            g_senders[p] = SenderOps{FakeSend, nullptr};
        g_fake = &fake;
    }
    void TearDown() override
    {
        memcpy(g_senders, saved, sizeof saved);
        g_fake = nullptr;
        PortFixture::TearDown();
    }

    DWORD AddJob(DWORD size = 0, const char* dataType = "RAW")
    {
        return StandinAddJob("PR", "Report", "alice", dataType, size);
    }
    BOOL Start(PortRecord* record, DWORD jobId, const char* output = nullptr, DWORD level = 1, DWORD mode = 0)
    {
        DOC_INFO_2A info = {const_cast<char*>("Report"), const_cast<char*>(output), const_cast<char*>("RAW"), mode, 0};
        return StartDocPort(record, printer, jobId, level, reinterpret_cast<BYTE*>(&info));
    }
    void Write(PortRecord* record, const std::string& data, DWORD block = 5000)
    {
        for (size_t at = 0; at < data.size(); at += block) {
            DWORD size = static_cast<DWORD>(std::min<size_t>(block, data.size() - at));
            DWORD written = 0;
            ASSERT_TRUE(WritePort(record, (BYTE*)data.data() + at, size, &written));
            ASSERT_EQ(written, size) << "the spooler must never resend bytes that were spooled";
        }
    }
    std::string SpoolDir() { return monitor.UseInstallDir() + "\\Spool"; }
};

TEST_F(JobTest, ByteCountedLprJobIsSpooledThenSentInBlocksAndTheFileGoes)
{
    MakePort("LPR1", PROTOCOL_LPR);
    std::string spoolFile = SpoolDir() + "\\~DWL007.DWL";
    const DWORD block = 1048576; // the spool file is read back in 1 MiB blocks
    std::string data = TestPattern(2 * block + 7232);
    ASSERT_TRUE(Start(port, 7));
    EXPECT_TRUE(FileExists(spoolFile));
    Write(port, data);
    EXPECT_TRUE(fake.connections.empty()) << "WritePort only spools";
    ASSERT_TRUE(EndDocPort(port));
    ASSERT_EQ(fake.connections.size(), 1u);
    EXPECT_EQ(fake.connections[0], data);
    EXPECT_EQ(fake.announcedSizes[0], data.size());
    EXPECT_EQ(fake.blocks, (std::vector<DWORD>{block, block, 7232}));
    EXPECT_FALSE(FileExists(spoolFile));
    EXPECT_FALSE(HasPortFlag(port, PORT_DOC_OPEN));
}

TEST_F(JobTest, AFullySpooledRawJobIsStreamedWithTheSpoolersSize)
{
    MakePort("LPR2", PROTOCOL_LPR);
    monitor.SetPortDword("LPR2", "NonSpool", 1);
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
    monitor.SetPortDword("IPP1", "Chunked", 1);
    std::string spool = SpoolDir();
    ASSERT_TRUE(Start(ipp, 3));
    EXPECT_FALSE(FileExists(spool + "\\~DWL003.DWL"));
    Write(ipp, "chunked data");
    EXPECT_EQ(fake.connections[0], "chunked data");
    ASSERT_TRUE(EndDocPort(ipp));

    PortRecord* mail = MakePort("MAIL1", PROTOCOL_EMAIL);
    monitor.SetPortText("MAIL1", "Subject", "Monthly report", REG_BINARY);
    DWORD job = 1042;
    ASSERT_TRUE(Start(mail, job));
    Write(mail, "mail body");
    ASSERT_TRUE(EndDocPort(mail));
    // Named with the full job ID: the file outlives its handle until the mailer has read it.
    std::string path = spool + "\\~DWL1042.DWL";
    EXPECT_STREQ(EmailOf(mail)->spoolPath, path.c_str());
    EXPECT_EQ(ReadFileBytes(path), "mail body") << "the mailer reads the kept spool file";
    EXPECT_STREQ(EmailOf(mail)->subject, "Monthly report%%DWLPRINT%%");
    EXPECT_STREQ(EmailOf(mail)->jobTag, "SMTP042");
    DeleteFileA(path.c_str());
}

TEST_F(JobTest, SpoolFileGoesToTheTemporaryDirectoryWithoutInstallPath)
{
    MakePort("RAW1", PROTOCOL_RAW);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string path = std::string(temp) + "DWLSpool\\~DWL611.DWL"; // a private folder of its own there
    ASSERT_TRUE(Start(port, 1611));
    EXPECT_TRUE(FileExists(path));
    Write(port, "raw");
    EXPECT_EQ(fake.connections[0], "raw") << "Raw streams while spooling";
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(FileExists(path));
}

TEST_F(JobTest, StartRefusesChannelDocumentsASecondDocumentAndTooLongSpoolNames)
{
    MakePort("LPR3", PROTOCOL_LPR);
    SetLastError(0);
    EXPECT_FALSE(Start(port, 1, nullptr, 2, 1)) << "DOC_INFO_2 mode 1 (a channel document) is refused";
    EXPECT_EQ(GetLastError(), 1012u);
    EXPECT_FALSE(HasPortFlag(port, PORT_DOC_OPEN));
    ASSERT_TRUE(Start(port, 1, nullptr, 2, 0));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Start(port, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    ASSERT_TRUE(EndDocPort(port));

    // An installation directory whose spool path cannot be formed.
    std::string value = "C:\\" + std::string(250, 'd');
    SetRegistryValue(g_monitor.monitorKey, "", "InstallPath", REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(Start(port, 3));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(HasPortFlag(port, PORT_DOC_OPEN)) << "a failed start leaves the port idle";
    EXPECT_EQ(port->printer, nullptr);
}

TEST_F(JobTest, ThePrinterIsOpenedAgainUntilTheSpoolerIsReady)
{
    MakePort("LPR4", PROTOCOL_LPR);
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
    MakePort("LPR5", PROTOCOL_LPR);
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
    MakePort("LPR6", PROTOCOL_LPR);
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
    DWORD status = 0;
    EXPECT_FALSE(ChangeJobStatus(port, 0, 0, &status)) << "no printer outside a job";
}

TEST_F(JobTest, LocalFilePortsWriteTheDestinationFromItsStart)
{
    monitor.WriteInstallFile("old.out", "an older and much longer file");
    std::string target = monitor.installDir + "\\old.out";
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

    // A write to the file that fails is the job's failure: no retry, no replay.
    ASSERT_TRUE(Start(lpr, 11, other.c_str()));
    UnreadableTail bad(100);
    DWORD written = 0;
    EXPECT_FALSE(WritePort(lpr, bad.block, 4196, &written));
    EXPECT_LT(written, 4196u);
    EXPECT_FALSE(EndDocPort(lpr));
    EXPECT_FALSE(HasPortFlag(lpr, PORT_DOC_OPEN | PORT_WRITE_FAILED));
    EXPECT_TRUE(fake.connections.empty());
}

TEST_F(JobTest, AFailedSpoolWriteCountsNothingAndFailsTheJob)
{
    MakePort("LPR10", PROTOCOL_LPR);
    ASSERT_TRUE(Start(port, 12));
    Write(port, TestPattern(5000));
    // 100 readable bytes, then an unreadable page: Wine's WriteFile refuses
    // the block (a short write, which the job path cuts back, cannot be made here).
    UnreadableTail bad(100);
    DWORD written = 77;
    EXPECT_FALSE(WritePort(port, bad.block, 4196, &written));
    EXPECT_EQ(written, 0u) << "nothing of a failed block counts as spooled";
    EXPECT_EQ(port->bytesSpooled, 5000u);
    LARGE_INTEGER size = {};
    ASSERT_TRUE(GetFileSizeEx(port->spoolFile, &size));
    EXPECT_EQ(size.QuadPart, 5000) << "the file holds exactly the spooled bytes";
    EXPECT_FALSE(EndDocPort(port)) << "the job is incomplete";
    EXPECT_TRUE(fake.connections.empty()) << "an incomplete spool file is never sent";
    EXPECT_FALSE(HasPortFlag(port, PORT_DOC_OPEN | PORT_WRITE_FAILED));
}

TEST_F(JobTest, ASpoolNameInUseByAnotherJobFallsBackToTheFullJobId)
{
    MakePort("LPR11", PROTOCOL_LPR);
    std::string dir = SpoolDir();
    CreateDirectoryA(dir.c_str(), nullptr);
    HANDLE other = CreateFileA((dir + "\\~DWL007.DWL").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Start(port, 1007));
    EXPECT_TRUE(FileExists(dir + "\\~DWL1007.DWL"));
    Write(port, "fallback");
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_EQ(fake.connections[0], "fallback");
    EXPECT_FALSE(FileExists(dir + "\\~DWL1007.DWL"));
    CloseHandle(other);
}

TEST_F(JobTest, PrinterDataGoesToTheOpenDocumentOnly)
{
    monitor.WriteInstallFile("dest.out", "");
    std::string target = monitor.installDir + "\\dest.out";
    port = CreatePortRecord(nullptr, target.c_str(), nullptr, PROTOCOL_LPR);
    char info[128]; // a FILE_OBJECTID_BUFFER
    DWORD returned = 0;
    char none[] = "";
    EXPECT_FALSE(GetPrinterDataFromPort(port, FSCTL_GET_OBJECT_ID, none, nullptr, 0, info, sizeof info, &returned));
    ASSERT_TRUE(Start(port, 13));
    EXPECT_TRUE(GetPrinterDataFromPort(port, FSCTL_GET_OBJECT_ID, none, nullptr, 0, info, sizeof info, &returned))
        << GetLastError();
    char named[] = "Value";
    EXPECT_FALSE(GetPrinterDataFromPort(port, FSCTL_GET_OBJECT_ID, named, nullptr, 0, info, sizeof info, &returned));
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(GetPrinterDataFromPort(port, FSCTL_GET_OBJECT_ID, none, nullptr, 0, info, sizeof info, &returned));
}

TEST_F(JobTest, TheWatcherSeesADeletionWhileTheDocumentIsOpen)
{
    MakePort("LPR8", PROTOCOL_LPR);
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

TEST_F(JobTest, AWatcherThatOutlivesItsJobLeavesTheNextJobAlone)
{
    MakePort("LPR12", PROTOCOL_LPR);
    DWORD first = AddJob();
    ASSERT_TRUE(Start(port, first));
    ASSERT_TRUE(WaitUntil([&] { return HasPortFlag(port, PORT_WATCHER_RUNNING); }, 2000));
    // The next job takes the port while the first one's watcher still runs.
    DWORD next = AddJob();
    MonitorLock();
    InterlockedIncrement(&port->jobGeneration);
    port->jobId = next;
    MonitorUnlock();
    StandinDeleteJob(next);
    Sleep(3 * g_timing.jobWatcherPoll);
    EXPECT_FALSE(IsJobDeleting(port)) << "the old watcher read the next job";
    EXPECT_TRUE(HasPortFlag(port, PORT_WATCHER_REQUESTED)) << "the old watcher cleared the next job's flags";
    MonitorLock();
    port->jobId = first;
    MonitorUnlock();
    EndDocPort(port);
}

TEST_F(JobTest, AHostTableOfAnotherSizeIsRefusedAndEmptyMembersKeepTheFunctions)
{
    MonitorHostServices services = StandinServices(100);
    DWORD poll = g_timing.jobWatcherPoll;
    const DWORD sizes[] = {0, sizeof services - 1, sizeof services + 4};
    for (DWORD size : sizes) {
        services.size = size;
        services.timeDivisor = 1;
        SetLastError(0);
        EXPECT_FALSE(InstallHostServices(&services)) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_FALSE(InstallHostServices(nullptr));
    EXPECT_EQ(g_timing.jobWatcherPoll, poll) << "a refused table changes no time";

    MonitorHostServices empty = {};
    empty.size = sizeof empty;
    empty.timeDivisor = 100;
    ASSERT_TRUE(InstallHostServices(&empty));
    EXPECT_EQ(g_monitor.host.OpenPrinterA, StandinServices(100).OpenPrinterA);
    EXPECT_EQ(g_monitor.host.SetJobA, StandinServices(100).SetJobA);
    EXPECT_EQ(g_monitor.host.WNetCloseEnum, StandinServices(100).WNetCloseEnum);
}

TEST_F(JobTest, AZeroLengthWriteIsNoCallOfTheSender)
{
    MakePort("RAW2", PROTOCOL_RAW);
    ASSERT_TRUE(Start(port, AddJob()));
    BYTE none = 0;
    DWORD written = 77;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(WritePort(port, &none, 0, &written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(fake.blocks.empty()) << "a sender called without bytes opens the job's connection";
    Write(port, "data");
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_EQ(fake.connections, (std::vector<std::string>{"data"})) << "one connection for the job";
}

TEST_F(JobTest, AnEmptyNetworkJobStillReachesItsSender)
{
    // Spooled (LPR with its size, IPP counted), streamed (Raw) and without
    // spool file (IPP chunked): the sender is called once without data, so
    // that a wrong host shows.
    const struct {
        const char* name;
        DWORD protocol;
        DWORD chunked;
    } ports[] = {{"LPR15", PROTOCOL_LPR, 0}, {"RAW3", PROTOCOL_RAW, 0}, {"IPP2", PROTOCOL_IPP, 0}, {"IPP3", PROTOCOL_IPP, 1}};
    for (const auto& p : ports) {
        FakePrinter empty;
        g_fake = &empty;
        MakePort(p.name, p.protocol);
        monitor.SetPortDword(p.name, "Chunked", p.chunked);
        ASSERT_TRUE(Start(port, AddJob()));
        ASSERT_TRUE(EndDocPort(port)) << p.name;
        EXPECT_EQ(empty.blocks, (std::vector<DWORD>{0})) << p.name;
        EXPECT_EQ(empty.connections.size(), 1u) << p.name;
    }
}

TEST_F(JobTest, EndDocPortWaitsForTheWatcherToEndNotForAStopPoll)
{
    MakePort("LPR13", PROTOCOL_LPR);
    ASSERT_TRUE(Start(port, AddJob()));
    ASSERT_TRUE(WaitUntil([&] { return HasPortFlag(port, PORT_WATCHER_RUNNING); }, 2000));
    Write(port, "x");
    // A stop that sleeps one poll after signalling would take 20 s here.
    g_timing.jobWatcherStopPoll = 20000;
    DWORD start = GetTickCount();
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_FALSE(HasPortFlag(port, PORT_WATCHER_RUNNING | PORT_WATCHER_REQUESTED));
    UseTiming(100);
}

BOOL FailingEndWithCause(PortRecord*)
{
    SetLastError(ERROR_NOT_READY);
    return FALSE;
}

BOOL FailingEndWithoutCause(PortRecord*)
{
    return FALSE;
}

TEST_F(JobTest, AFailedJobEndKeepsItsCauseAndIsCancelledOnlyWithoutOne)
{
    MakePort("LPR14", PROTOCOL_LPR);
    const struct {
        EndJobFunction end;
        DWORD error;
    } cases[] = {{FailingEndWithCause, ERROR_NOT_READY}, {FailingEndWithoutCause, ERROR_CANCELLED}};
    for (const auto& c : cases) {
        g_senders[PROTOCOL_LPR].endJob = c.end;
        ASSERT_TRUE(Start(port, AddJob()));
        Write(port, "x");
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(EndDocPort(port));
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(JobTest, AStreamedJobPastFourGigabytesGoesOnWithoutItsReplayCopy)
{
    MakePort("RAW4", PROTOCOL_RAW);
    ASSERT_TRUE(Start(port, AddJob()));
    Write(port, "head");
    // As if 4 GiB less 100 bytes had been spooled and sent already.
    port->bytesSpooled = 0xFFFFFFFFu - 100;
    port->bytesSent = 0xFFFFFFFFu - 100;
    std::string tail = TestPattern(4000);
    Write(port, tail, 4000);
    EXPECT_EQ(port->spoolFile, INVALID_HANDLE_VALUE) << "the replay copy is given up";
    EXPECT_EQ(port->bytesSent, 0xFFFFFFFFull - 100 + 4000) << "the count goes past 4 GiB";
    ASSERT_EQ(fake.connections.size(), 1u) << "no second connection when the count passes 4 GiB";
    EXPECT_EQ(fake.connections[0], "head" + tail);
    // A failure then cannot be replayed: the job fails.
    fake.failAt = fake.delivered + 10;
    DWORD written = 0;
    EXPECT_FALSE(WritePort(port, reinterpret_cast<BYTE*>(&tail[0]), 100, &written));
    EXPECT_FALSE(EndDocPort(port));
}

TEST_F(JobTest, AFileLeftUnderASpoolNameIsReplacedNeverWrittenThrough)
{
    // A link planted under the next job's spool name, to a file of someone else's.
    MakePort("LPR16", PROTOCOL_LPR);
    monitor.WriteInstallFile("victim.txt", "keep me");
    std::string dir = SpoolDir(), victim = monitor.installDir + "\\victim.txt";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string path = dir + "\\~DWL021.DWL";
    ASSERT_TRUE(CreateHardLinkA(path.c_str(), victim.c_str(), nullptr)) << GetLastError();
    ASSERT_TRUE(Start(port, 21));
    Write(port, "the job's own bytes");
    EXPECT_EQ(ReadFileBytes(victim), "keep me") << "the job wrote through the planted link";
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_EQ(fake.connections[0], "the job's own bytes");
    EXPECT_FALSE(FileExists(path));
}

TEST_F(JobTest, AJobStartStopsAnEarlierIppWatcherBeforeItsSettingsGo)
{
    // A printer that takes the connection and never answers.
    SOCKET silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    int length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    MakePort("IPP4", PROTOCOL_IPP);
    monitor.SetPortText("IPP4", "URL", "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/ipp");
    ASSERT_TRUE(Start(port, AddJob()));
    // The earlier job's watcher is inside an exchange when its job ends.
    ASSERT_TRUE(StartStatusWatcher(port));
    Sleep(3 * g_timing.ippWatcherPoll);
    ASSERT_TRUE(EndDocPort(port));
    ASSERT_TRUE(HasPortFlag(port, PORT_IPP_WATCHER_RUNNING));
    monitor.SetPortDword("IPP4", "PrintMode", PROTOCOL_RAW);
    ASSERT_TRUE(Start(port, AddJob()));
    EXPECT_EQ(port->protocol, static_cast<DWORD>(PROTOCOL_RAW));
    EXPECT_FALSE(HasPortFlag(port, PORT_IPP_WATCHER_REQUESTED | PORT_IPP_WATCHER_RUNNING))
        << "the IPP settings it works on were replaced under it";
    ASSERT_TRUE(EndDocPort(port));
    closesocket(silent);
}

} // namespace
