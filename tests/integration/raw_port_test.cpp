// Raw ports of the real monitor DLL, loaded as a spooler loads it, printing
// to real peers on loopback: the socat sink (byte-exact delivery) and the
// fault server (a reset mid-job, a printer that stops reading). Timing of the
// DLL is scaled by 100; the port's own time-outs are set in milliseconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "support/dll_monitor.h"
#include "support/peer_process.h"
#include "support/ui_driver.h"

namespace {

const char kPortName[] = "RAWP";
const char kPrinter[] = "RawPortPrinter";
const char kBoxCaption[] = "Raw port test";
const char kMessages[] = "[MESSAGE]\r\nTITLE=Raw port test\r\nIDS_LPR_RETRY_TOP=Raw port restart\r\n";
const DWORD kBlock = 65536;
const DWORD kBoundMs = 20000;
const size_t kLargeJob = 8 * 1024 * 1024;

struct RawPort : ::testing::Test {
    DllMonitor m;
    HANDLE handle = nullptr;

    void SetUp() override { EnsureWinsock(); }
    void TearDown() override
    {
        if (handle)
            m.table().pfnClosePort(handle);
    }

    // Registers the port, loads the DLL and opens the port.
    void Open(WORD tcpPort, DWORD sendTimeout, DWORD receiveTimeout)
    {
        m.SetPortDword(kPortName, "PrintMode", 3);
        m.SetPortText(kPortName, "HostName", "127.0.0.1");
        m.SetPortDword(kPortName, "PortNum", tcpPort);
        m.SetPortDword(kPortName, "DatTmout", sendTimeout);
        m.SetPortDword(kPortName, "CmdTmout", receiveTimeout);
        m.UseCatalogue(kMessages);
        ASSERT_TRUE(m.Load(100)) << m.error;
        StandinAddPrinter(kPrinter, kPortName, 0);
        char name[sizeof kPortName];
        lstrcpynA(name, kPortName, sizeof name);
        ASSERT_TRUE(m.table().pfnOpenPort(name, &handle));
    }

    DWORD Start()
    {
        DWORD job = StandinAddJob(kPrinter, "doc", "user", "RAW", 0);
        DOC_INFO_1A info = {const_cast<char*>("doc"), nullptr, const_cast<char*>("RAW")};
        char printer[sizeof kPrinter];
        lstrcpynA(printer, kPrinter, sizeof printer);
        EXPECT_TRUE(m.table().pfnStartDocPort(handle, printer, job, 1, reinterpret_cast<BYTE*>(&info)));
        return job;
    }

    // WritePort in blocks; every block must be taken whole.
    bool Write(const std::string& data)
    {
        for (size_t at = 0; at == 0 || at < data.size(); at += kBlock) {
            DWORD size = static_cast<DWORD>(std::min<size_t>(kBlock, data.size() - at));
            DWORD written = 0;
            if (!m.table().pfnWritePort(handle, reinterpret_cast<BYTE*>(const_cast<char*>(data.data())) + at, size, &written) ||
                written != size)
                return false;
        }
        return true;
    }

    // Prints one job to the end; TRUE when EndDocPort succeeded.
    BOOL Print(const std::string& data)
    {
        Start();
        EXPECT_TRUE(Write(data));
        return m.table().pfnEndDocPort(handle);
    }

    WORD StartPeer(PeerProcess* peer, bool sink, const std::string& options = "")
    {
        WORD tcpPort = FreeTcpPort();
        std::string command = sink ? RawSinkCommand(tcpPort, peer->unixDir)
                                   : FaultServerCommand(tcpPort, peer->unixDir, options + " --lifetime 60");
        EXPECT_TRUE(peer->Start(command, sink ? tcpPort : 0, 70)) << peer->error;
        EXPECT_TRUE(peer->WaitReady()) << peer->error;
        return tcpPort;
    }
};

// The one capture file that is not in `seen`; empty when there is none.
std::string NewCapture(const PeerProcess& peer, std::set<std::string>* seen)
{
    for (const std::string& name : peer.Files("conn-", ".bin"))
        if (seen->insert(name).second)
            return name;
    return std::string();
}

TEST_F(RawPort, JobsOfEverySizeArriveByteExactOneConnectionEach)
{
    PeerProcess peer("rawport-sink");
    Open(StartPeer(&peer, true), 5000, 5000);
    std::set<std::string> seen;
    const std::string jobs[] = {TestPattern(3 * 1024 * 1024 + 17, 7), std::string("\x1b", 1), std::string()};
    for (const std::string& data : jobs) {
        ASSERT_TRUE(Print(data)) << data.size();
        ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", seen.size() + 1)) << peer.error;
        std::string received = peer.ReadAll(NewCapture(peer, &seen));
        EXPECT_EQ(received.size(), data.size());
        EXPECT_EQ(FirstDifference(received, data), std::string::npos) << "job of " << data.size() << " bytes";
    }

    // A job that writes nothing still connects once, so that a wrong address
    // shows, and sends nothing.
    Start();
    EXPECT_TRUE(m.table().pfnEndDocPort(handle));
    ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", seen.size() + 1)) << peer.error;
    EXPECT_EQ(peer.ReadAll(NewCapture(peer, &seen)), "");
    ASSERT_TRUE(Print("after"));
    ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", seen.size() + 1)) << peer.error;
    EXPECT_EQ(peer.ReadAll(NewCapture(peer, &seen)), "after");
    EXPECT_EQ(peer.Files("conn-", ".bin").size(), seen.size());
}

TEST_F(RawPort, AResetMidJobIsResentFromItsFirstByteWhenTheUserRetries)
{
    PeerProcess peer("rawport-reset");
    Open(StartPeer(&peer, false, "--mode reset --after 100000 --rcvbuf 4096"), 2000, 2000);
    std::string data = TestPattern(kLargeJob, 8);
    DWORD job = Start();
    ASSERT_TRUE(Write(data)) << "the spooler goes on writing; the port keeps a copy";

    const MONITOR95* table = &m.table();
    HANDLE port = handle;
    UiThread* ender = StartUiThread([table, port] { return static_cast<INT_PTR>(table->pfnEndDocPort(port)); });
    MessageBoxSeen box = AnswerMessageBox(0, IDRETRY, kBoundMs);
    EXPECT_TRUE(box.found);
    EXPECT_EQ(box.caption, kBoxCaption);
    EXPECT_EQ(box.text, "Raw port restart");
    INT_PTR ended = FALSE;
    ASSERT_TRUE(JoinUiThread(ender, &ended, kBoundMs));
    EXPECT_EQ(ended, TRUE);

    ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", 2)) << peer.error;
    EXPECT_EQ(peer.ReadAll("conn-1.bin"), data.substr(0, 100000));
    std::string resent = peer.ReadAll("conn-2.bin");
    EXPECT_EQ(resent.size(), data.size());
    EXPECT_EQ(FirstDifference(resent, data), std::string::npos);
    StandinJobView view{};
    ASSERT_TRUE(StandinJob(job, &view));
    EXPECT_EQ(view.status & JOB_STATUS_ERROR, 0u) << "printing again after the restart";
}

TEST_F(RawPort, DeletingTheJobEndsAWriteThatWouldOtherwiseWaitForever)
{
    PeerProcess peer("rawport-delete");
    Open(StartPeer(&peer, false, "--mode stall --after 0 --rcvbuf 4096 --stall-seconds 30"), 0xFFFFFFFF, 300);
    std::string data = TestPattern(kLargeJob, 9);
    DWORD job = Start();
    RawPort* self = this;
    const std::string* bytes = &data;
    UiThread* writer = StartUiThread([self, bytes] { return static_cast<INT_PTR>(self->Write(*bytes)); });
    ASSERT_TRUE(peer.WaitFile("events.log")) << peer.error;
    Sleep(300); // the sender is blocked now, with no send time-out
    EXPECT_FALSE(UiThreadEnded(writer));

    StandinDeleteJob(job); // the job watcher passes it on
    ASSERT_TRUE(JoinUiThread(writer, nullptr, kBoundMs)) << "the write must end once the job is deleted";
    m.table().pfnEndDocPort(handle);

    peer.Touch("resume");
    ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", 1)) << peer.error;
    std::string received = peer.ReadAll("conn-1.bin");
    EXPECT_LT(received.size(), data.size());
    EXPECT_EQ(FirstDifference(received, data.substr(0, received.size())), std::string::npos);
}

} // namespace
