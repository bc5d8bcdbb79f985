// The Raw sender against real peers on loopback: the socat sink and the
// fault server (stall, and a job deleted during the stall). The sender runs on a thread of its own, the
// error reporter shows its real window, and the test drives the peer.
// Timing is scaled by 100: the error window retries by itself after 100 ms.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "monitor/error_reporter.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "net/raw_sender.h"
#include "net/socket_layer.h"
#include "resource.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/ui_driver.h"
#include "text/catalogue.h"

namespace {

const char kWindowCaption[] = "Raw test error window";
const DWORD kDivisor = 100;
// Hiding a window under Wine without a window manager can take 2 s.
const DWORD kClosePollForWine = 500;
const DWORD kJobBoundMs = 20000;
// More than loopback buffers hold, so that a stalled peer blocks the sender.
const size_t kLargeJob = 8 * 1024 * 1024;

const char kMessages[] = "[MESSAGE]\r\nTITLE=Raw test box\r\nIDS_LPR_RETRY=Raw test printer offline\r\n"
                         "IDS_LPR_RETRY_TOP=Raw test restart\r\nIDS_WINSOCK_ERROR=Raw test no sockets\r\n";
const char kDialogs[] = "[TITLE]\r\nRETRY=Raw test error window\r\n";

struct RawSender : PortFixture {
    RawSettings* raw = nullptr;

    void SetUp() override
    {
        PortFixture::SetUp();
        monitor.WriteInstallFile(MESSAGE_CATALOGUE, kMessages);
        monitor.WriteInstallFile(DIALOG_CATALOGUE, kDialogs);
        g_timing.errorWindowClosePoll = std::max(g_timing.errorWindowClosePoll, kClosePollForWine);
        MakePort("RAW1", PROTOCOL_RAW);
        raw = RawOf(port);
        ASSERT_NE(raw, nullptr);
        lstrcpynA(raw->host, "127.0.0.1", sizeof raw->host);
        port->sendTimeout = port->receiveTimeout = 300;
        OpenJob();
    }

    void TearDown() override
    {
        if (raw->connection != INVALID_SOCKET)
            CloseConnection(port, &raw->connection, CLOSE_ABORT);
        CloseErrorWindow(port);
        if (HWND left = FindDialog(0, nullptr, 0)) {
            EXPECT_TRUE(WaitWindowGone(left)) << "a window stayed open: " << WindowText(left);
        }
        PortFixture::TearDown();
    }

    // RawWrite of the whole buffer on a thread of its own.
    UiThread* Write(const std::string& data, DWORD* count)
    {
        PortRecord* p = port;
        const std::string* bytes = &data;
        return StartUiThread([p, bytes, count] {
            return static_cast<INT_PTR>(RawWrite(p, reinterpret_cast<const BYTE*>(bytes->data()),
                                                 static_cast<DWORD>(bytes->size()), count));
        });
    }

    // A peer on a free port, ready to accept.
    WORD StartPeer(PeerProcess* peer, bool sink, const std::string& options = "")
    {
        WORD tcpPort = FreeTcpPort();
        std::string command = sink ? RawSinkCommand(tcpPort, peer->unixDir)
                                   : FaultServerCommand(tcpPort, peer->unixDir, options + " --lifetime 60");
        EXPECT_TRUE(peer->Start(command, sink ? tcpPort : 0, 70)) << peer->error;
        EXPECT_TRUE(peer->WaitReady()) << peer->error;
        raw->portNumber = tcpPort;
        return tcpPort;
    }
};

TEST_F(RawSender, AStalledPrinterThatResumesGetsExactlyTheRestAndTheCountCoversTheCall)
{
    PeerProcess peer("raw-stall");
    StartPeer(&peer, false, "--mode stall --after 50000 --rcvbuf 4096 --stall-seconds 30");
    std::string data = TestPattern(kLargeJob, 3);
    DWORD count = 0;
    UiThread* sender = Write(data, &count);

    // The send times out, the job is marked in error and the window shows;
    // it retries by itself while the printer still does not read.
    HWND window = WaitDialog(0, kWindowCaption, IDC_RETRY, kJobBoundMs);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return (JobStatus() & JOB_STATUS_ERROR) != 0; }));
    EXPECT_TRUE(HasPortFlag(port, PORT_ERROR_SHOWN));
    Sleep(400); // a few more time-outs and retries on the same connection
    peer.Touch("resume");

    INT_PTR result = 0;
    ASSERT_TRUE(JoinUiThread(sender, &result, kJobBoundMs));
    EXPECT_EQ(result, TRUE);
    EXPECT_EQ(count, data.size()) << "the count includes the bytes sent before the time-outs";
    EXPECT_EQ(port->bytesSent, data.size());
    EXPECT_FALSE(HasPortFlag(port, PORT_ERROR_SHOWN));
    EXPECT_EQ(JobStatus() & (JOB_STATUS_ERROR | JOB_STATUS_PRINTING), static_cast<DWORD>(JOB_STATUS_PRINTING));
    EXPECT_TRUE(WaitWindowGone(window)) << "a success closes the window";

    EXPECT_TRUE(RawEndJob(port));
    EXPECT_EQ(raw->connection, INVALID_SOCKET);
    ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", 1)) << peer.error;
    EXPECT_EQ(peer.Files("conn-", ".bin").size(), 1u) << "one connection throughout";
    std::string received = peer.ReadAll("conn-1.bin");
    EXPECT_EQ(received.size(), data.size());
    EXPECT_EQ(FirstDifference(received, data), std::string::npos) << "no block may be sent twice or skipped";
}

TEST_F(RawSender, ReopeningAJobResetsTheConnectionLeftOpenInsteadOfLosingIt)
{
    // The fault server, not socat: a reset connection still gets its file.
    PeerProcess peer("raw-reopen");
    StartPeer(&peer, false, "--mode sink");
    DWORD count = 0;
    ASSERT_TRUE(RawWrite(port, reinterpret_cast<const BYTE*>("first"), 5, &count));
    ASSERT_NE(raw->connection, INVALID_SOCKET);
    port->bytesSent = 0; // the job starts over while the connection is open
    ASSERT_TRUE(RawWrite(port, reinterpret_cast<const BYTE*>("second"), 6, &count));
    EXPECT_TRUE(HasPortFlag(port, PORT_TRANSFER_STARTED));
    EXPECT_TRUE(RawEndJob(port));
    ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", 2)) << "the first connection must end: " << peer.error;
    std::vector<std::string> contents;
    for (const std::string& name : peer.Files("conn-", ".bin"))
        contents.push_back(peer.ReadAll(name));
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"first", "second"}));
}

TEST_F(RawSender, ConnectFailuresEndTheWriteAtOnce)
{
    raw->portNumber = FreeTcpPort(); // nothing listens there
    DWORD count = 7;
    EXPECT_FALSE(RawWrite(port, reinterpret_cast<const BYTE*>("x"), 1, &count));
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_RAW_RECONNECT));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(port->sendFromSpool, 1u);
    EXPECT_EQ(raw->connection, INVALID_SOCKET);
    EXPECT_FALSE(HasPortFlag(port, PORT_TRANSFER_STARTED));

    // A host that cannot be resolved makes no socket and leaves no code.
    lstrcpynA(raw->host, "no-such-printer.invalid", sizeof raw->host);
    port->errorCode = 99;
    EXPECT_FALSE(RawWrite(port, reinterpret_cast<const BYTE*>("x"), 1, &count));
    EXPECT_EQ(port->errorCode, 0u);
    EXPECT_EQ(raw->connection, INVALID_SOCKET);
}

TEST_F(RawSender, DeletingTheJobWhileTheReporterWaitsEndsTheWriteWithAnAbort)
{
    PeerProcess peer("raw-delete");
    StartPeer(&peer, false, "--mode stall --after 0 --rcvbuf 4096 --stall-seconds 30");
    std::string data = TestPattern(kLargeJob, 5);
    DWORD count = 0;
    UiThread* sender = Write(data, &count);
    ASSERT_NE(WaitDialog(0, kWindowCaption, IDC_RETRY, kJobBoundMs), nullptr);

    // What the job watcher does when the spooler deletes the job.
    StandinDeleteJob(job);
    InterlockedOr(&port->jobStatus, JOB_STATUS_DELETING);
    INT_PTR result = TRUE;
    ASSERT_TRUE(JoinUiThread(sender, &result, kJobBoundMs));
    EXPECT_EQ(result, FALSE);
    EXPECT_EQ(raw->connection, INVALID_SOCKET) << "the connection is aborted";
    EXPECT_LT(count, data.size());
    EXPECT_EQ(port->sendFromSpool, 0u) << "a deleted job is not replayed";

    // The printer sees the connection end after a part of the job.
    peer.Touch("resume");
    ASSERT_TRUE(peer.WaitFiles("conn-", ".bin", 1)) << peer.error;
    std::string received = peer.ReadAll("conn-1.bin");
    EXPECT_LT(received.size(), data.size());
    EXPECT_EQ(received, data.substr(0, received.size()));
}

} // namespace
