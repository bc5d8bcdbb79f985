// The LPR sender's steps against fake_lpd.py: local ports, connect failures,
// the error code of each refused step, and what happens to a connection that
// is still open when a job starts again or ends incomplete.
#include "integration/lpr_peers.h"

#include "monitor/error_reporter.h"
#include "monitor/monitor.h"
#include "monitor/port_ops.h"
#include "monitor/timing.h"
#include "net/lpr_client.h"
#include "net/socket_layer.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"

namespace {

const WORD kFirstReservedPort = 721;
const WORD kLastReservedPort = 731;

struct LprClientTest : PortFixture {
    std::vector<SOCKET> held;

    void TearDown() override
    {
        if (port)
            CloseConnection(port, &LprOf(port)->connection, CLOSE_ABORT);
        for (SOCKET s : held)
            closesocket(s);
        PortFixture::TearDown();
    }
    // A registered LPR port to 127.0.0.1 lp1 and a job of `jobSize` bytes being replayed.
    PortRecord* MakeLprPort(DWORD jobSize, DWORD noByteCount = 0, DWORD nonRfcPorts = 1)
    {
        monitor.SetPortText("LPRU", "HostName", "127.0.0.1");
        monitor.SetPortText("LPRU", "PortName", kLprQueue);
        MakePort("LPRU", PROTOCOL_LPR);
        LprSettings* lpr = LprOf(port);
        lstrcpynA(lpr->host, "127.0.0.1", sizeof lpr->host);
        lstrcpynA(lpr->queue, kLprQueue, sizeof lpr->queue);
        lpr->noByteCount = noByteCount;
        lpr->nonRfcPorts = nonRfcPorts;
        port->jobId = 7;
        port->jobSize = jobSize;
        port->bytesSpooled = jobSize;
        port->sendFromSpool = noByteCount ? 0 : 1;
        port->receiveTimeout = port->sendTimeout = 10000;
        return port;
    }
    BOOL Write(const std::string& data)
    {
        DWORD count = 0;
        return LprWrite(port, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()), &count);
    }
    // Binds every reserved local port (one still in TIME_WAIT is busy anyway).
    void HoldReservedPorts()
    {
        for (WORD p = kFirstReservedPort; p <= kLastReservedPort; ++p) {
            SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in local = {};
            local.sin_family = AF_INET;
            local.sin_port = htons(p);
            bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
            held.push_back(s);
        }
    }
};

TEST_F(LprClientTest, BusyReservedPortsFailWithoutNonRfcPortsAndFallBackWithThem)
{
    PeerProcess server("fake-lpd");
    ASSERT_TRUE(StartFakeLpd(&server)) << server.error;
    UseTiming(10); // 10 ms between local ports
    HoldReservedPorts();
    MakeLprPort(3, 0, 0);
    DWORD start = GetTickCount();
    EXPECT_FALSE(LprOpenJob(port));
    EXPECT_GE(GetTickCount() - start, 10 * g_timing.lprLocalPortPause) << "eleven attempts, spaced";
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_LPR_NOT_OPENED));
    EXPECT_EQ(LprOf(port)->connection, INVALID_SOCKET);

    LprOf(port)->nonRfcPorts = 1;
    port->errorCode = 0;
    ASSERT_TRUE(Write("abc")) << port->errorCode;
    EXPECT_TRUE(HasPortFlag(port, PORT_TRANSFER_STARTED));
    ASSERT_TRUE(LprEndJob(port));
    std::string record = Record(server, 1);
    EXPECT_GT(std::stoi(JsonField(record, "source_port")), 1023) << record;
    EXPECT_EQ(JsonField(record, "complete"), "true");
    EXPECT_EQ(Connections(server), 1u) << "the reserved attempts reached nobody";
}

TEST_F(LprClientTest, RefusedConnectionStopsAtOnceWith203)
{
    UseTiming(1); // 100 ms between local ports: eleven attempts would take seconds
    ASSERT_FALSE(WaitAccepting(kLpdPort, 50)) << "something listens on the printer port";
    MakeLprPort(3);
    DWORD start = GetTickCount();
    EXPECT_FALSE(Write("abc"));
    EXPECT_LT(GetTickCount() - start, 4000u);
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_LPR_RECONNECT));
    EXPECT_EQ(LprOf(port)->connection, INVALID_SOCKET);
}

TEST_F(LprClientTest, EachRefusedStepHasItsErrorCode)
{
    const struct {
        const char* step;
        DWORD code;
    } cases[] = {{"receive-job", ERR_LPR_QUEUE}, {"control-command", ERR_LPR_NOT_OPENED},
                 {"control-file", ERR_LPR_NOT_OPENED}, {"data-command", ERR_LPR_NOT_OPENED}};
    MakeLprPort(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        PeerProcess server("fake-lpd");
        ASSERT_TRUE(StartFakeLpd(&server, std::string("--nack ") + c.step)) << server.error;
        port->bytesSent = 0;
        EXPECT_FALSE(Write("abc"));
        EXPECT_EQ(port->errorCode, c.code);
        EXPECT_EQ(LprOf(port)->connection, INVALID_SOCKET) << "a refused header is aborted";
        EXPECT_FALSE(HasPortFlag(port, PORT_TRANSFER_STARTED));
    }
    // The closing zero byte refused: 200.
    PeerProcess server("fake-lpd");
    ASSERT_TRUE(StartFakeLpd(&server, "--nack end")) << server.error;
    port->bytesSent = 0;
    ASSERT_TRUE(Write("abc"));
    EXPECT_FALSE(LprSendEnd(port));
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_LPR_ACK));
}

TEST_F(LprClientTest, QueueNameWithALineBreakIsRefusedBeforeConnecting)
{
    // No server listens: a connect attempt would end with 203.
    MakeLprPort(3);
    lstrcpynA(LprOf(port)->queue, "lp1\nx", sizeof LprOf(port)->queue);
    EXPECT_FALSE(Write("abc"));
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_LPR_QUEUE));
    EXPECT_EQ(LprOf(port)->connection, INVALID_SOCKET);
}

TEST_F(LprClientTest, LiveConnectionIsResetWhenTheJobOpensAgainOrANewJobStarts)
{
    PeerProcess server("fake-lpd");
    ASSERT_TRUE(StartFakeLpd(&server)) << server.error;
    MakeLprPort(1000);
    ASSERT_TRUE(LprOpenJob(port));
    ASSERT_TRUE(LprOpenJob(port)); // a restart from the top while the first is open
    EXPECT_EQ(JsonField(Record(server, 1), "ended"), "reset by client");

    job = StandinAddJob(kPrinter, "Report", "alice", "RAW", 0);
    char printer[] = "PR";
    DOC_INFO_1A info = {const_cast<char*>("Report"), nullptr, const_cast<char*>("RAW")};
    ASSERT_TRUE(StartDocPort(port, printer, job, 1, reinterpret_cast<BYTE*>(&info)));
    EXPECT_EQ(LprOf(port)->connection, INVALID_SOCKET);
    EXPECT_EQ(JsonField(Record(server, 2), "ended"), "reset by client");
    // An empty job asks the queue to receive a job and aborts it at once.
    EXPECT_TRUE(EndDocPort(port));
    ASSERT_EQ(Connections(server), 3u);
    std::string empty = Record(server, 3);
    EXPECT_EQ(JsonField(empty, "aborted"), "true") << empty;
    EXPECT_EQ(JsonField(empty, "control_name"), "") << empty;
    EXPECT_EQ(JsonField(empty, "ended"), "closed by client") << empty;
}

TEST_F(LprClientTest, IncompleteDataFileIsResetWithoutTheClosingByte)
{
    PeerProcess server("fake-lpd");
    ASSERT_TRUE(StartFakeLpd(&server)) << server.error;
    // Announced 100 bytes, 10 sent (the replay gave up): no zero byte, no question.
    MakeLprPort(100);
    ASSERT_TRUE(Write(std::string(10, 'a')));
    EXPECT_FALSE(LprEndJob(port));
    std::string record = Record(server, 1);
    EXPECT_EQ(JsonField(record, "ended"), "reset by client");
    EXPECT_EQ(JsonField(record, "end_byte"), "");

    // The same job complete: the zero byte, acknowledged, then a graceful close.
    port->bytesSent = 0;
    ASSERT_TRUE(Write(std::string(100, 'b')));
    EXPECT_TRUE(LprEndJob(port));
    record = Record(server, 2);
    EXPECT_EQ(JsonField(record, "end_byte"), "0");
    EXPECT_EQ(JsonField(record, "complete"), "true");
    EXPECT_EQ(JsonField(record, "ended"), "closed by client");

    // A stream that lacks spooled bytes is not ended by a close either.
    LprOf(port)->noByteCount = 1;
    port->sendFromSpool = 0;
    port->bytesSent = 0;
    ASSERT_TRUE(Write(std::string(10, 'c')));
    EXPECT_FALSE(LprEndJob(port));
    record = Record(server, 3);
    EXPECT_EQ(JsonField(record, "data_length"), "125899906843000");
    EXPECT_EQ(JsonField(record, "ended"), "reset by client");
    EXPECT_EQ(JsonField(record, "complete"), "false");
}

} // namespace
