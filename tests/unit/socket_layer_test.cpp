// The stream and datagram helpers against loopback peers made here with
// Winsock: a peer that reads slowly, one that never reads, one that closes,
// one that resets. Times are the production ones divided by 100 (a readiness
// slice of 150 ms, a graceful-close limit of 600 ms).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "monitor/error_reporter.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "net/socket_layer.h"
#include "standin/spooler_standin.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"

namespace {

const DWORD kDivisor = 100;
const DWORD kUntouched = 77;
// Generous upper bounds: they catch waits that never end, not slowness.
const DWORD kLateMs = 5000;

// A connected pair: `client` went through ConnectStream (non-blocking),
// `server` is the accepted, blocking end.
struct Link {
    SOCKET listener = INVALID_SOCKET;
    SOCKET client = INVALID_SOCKET;
    SOCKET server = INVALID_SOCKET;
    ~Link()
    {
        for (SOCKET s : {listener, client, server})
            if (s != INVALID_SOCKET)
                closesocket(s);
    }
};

void SetBuffer(SOCKET s, int option, int size)
{
    setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&size), sizeof size);
}

// Small buffers make a sender block after a few kilobytes.
bool Connect(Link* link, int clientSendBuffer = 0, int serverReceiveBuffer = 0)
{
    link->listener = socket(AF_INET, SOCK_STREAM, 0);
    if (serverReceiveBuffer)
        SetBuffer(link->listener, SO_RCVBUF, serverReceiveBuffer);
    sockaddr_in address = Loopback(0);
    int length = sizeof address;
    if (bind(link->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(link->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 || listen(link->listener, 4) != 0)
        return false;
    link->client = socket(AF_INET, SOCK_STREAM, 0);
    if (clientSendBuffer)
        SetBuffer(link->client, SO_SNDBUF, clientSendBuffer);
    if (!ConnectStream(link->client, nullptr, &address))
        return false;
    link->server = accept(link->listener, nullptr, nullptr);
    return link->server != INVALID_SOCKET;
}

// Reads until the peer closes (or fails); returns what arrived.
std::string ReadToEnd(SOCKET s, DWORD pauseMs = 0, int chunk = 65536)
{
    std::string data;
    std::string buffer(static_cast<size_t>(chunk), '\0');
    for (int rounds = 0; rounds < 1000000; ++rounds) {
        int got = recv(s, &buffer[0], chunk, 0);
        if (got <= 0)
            break;
        data.append(buffer.data(), static_cast<size_t>(got));
        if (pauseMs)
            Sleep(pauseMs);
    }
    return data;
}

// A reset shows on the peer's side as a send that fails with WSAECONNRESET
// (after an orderly close the first send still succeeds). Wine's recv reports
// a reset connection as closed, so the send is the portable check.
bool PeerWasReset(SOCKET peer)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (send(peer, "x", 1, 0) == SOCKET_ERROR)
            return WSAGetLastError() == WSAECONNRESET;
        Sleep(20);
    }
    return false;
}

// CPU time of the calling thread so far, in milliseconds.
DWORD ThreadCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    ULONGLONG total = (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                      (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
    return static_cast<DWORD>(total / 10000);
}

struct SocketLayer : PortFixture {
    SOCKET* connection = nullptr;

    void SetUp() override
    {
        PortFixture::SetUp();
        MakePort("RAW1", PROTOCOL_RAW);
        port->receiveTimeout = NO_TIMEOUT;
        port->sendTimeout = NO_TIMEOUT;
        port->errorCode = kUntouched;
        connection = &RawOf(port)->connection;
    }
    BOOL Send(SOCKET s, const std::string& data, DWORD* sent, BOOL watch = TRUE, DWORD length = 0)
    {
        return SendAll(port, s, reinterpret_cast<const BYTE*>(data.data()), length ? length : static_cast<DWORD>(data.size()),
                       sent, watch);
    }
    // Hands the client end of a link to the record.
    void Adopt(Link* link)
    {
        *connection = link->client;
        link->client = INVALID_SOCKET;
    }
};

TEST_F(SocketLayer, SendingNothingMakesNoSocketCall)
{
    DWORD sent = 0;
    WSASetLastError(0);
    EXPECT_TRUE(SendAll(port, INVALID_SOCKET, nullptr, 0, &sent, TRUE));
    EXPECT_EQ(WSAGetLastError(), 0) << "no call may have failed on the invalid socket";
    EXPECT_EQ(sent, 0u);
    EXPECT_EQ(port->errorCode, kUntouched);
}

TEST_F(SocketLayer, ASlowButSteadyReaderNeverTimesOut)
{
    Link link;
    ASSERT_TRUE(Connect(&link, 8192, 8192));
    // Each read comes 25 ms after the last; the whole takes about 2.5 s. The
    // time-out is 40 pauses long, so a loaded machine cannot fail the test.
    port->sendTimeout = 1000;
    std::string data = TestPattern(400 * 1024);
    std::string received;
    std::thread reader([&] { received = ReadToEnd(link.server, 25, 4096); });
    DWORD sent = 0;
    DWORD start = GetTickCount();
    BOOL ok = Send(link.client, data, &sent);
    DWORD took = GetTickCount() - start;
    shutdown(link.client, SD_SEND);
    reader.join();
    EXPECT_TRUE(ok) << "error code " << port->errorCode;
    EXPECT_EQ(sent, data.size());
    EXPECT_EQ(FirstDifference(received, data), std::string::npos);
    EXPECT_GT(took, port->sendTimeout) << "the reader was too fast to exercise the inactivity rule";
}

TEST_F(SocketLayer, AReceiveFromAClosedPeerWaitsOutItsTimeOutWithoutSpinning)
{
    Link link;
    ASSERT_TRUE(Connect(&link));
    send(link.server, "ok", 2, 0);
    closesocket(link.server);
    link.server = INVALID_SOCKET;
    port->receiveTimeout = 600;
    BYTE buffer[64];
    ASSERT_EQ(ReceiveWithTimeout(port, link.client, buffer, sizeof buffer, TRUE), 2u) << "data before the close comes first";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "ok");

    DWORD cpuBefore = ThreadCpuMs();
    DWORD start = GetTickCount();
    EXPECT_EQ(ReceiveWithTimeout(port, link.client, buffer, sizeof buffer, TRUE), 0u);
    DWORD took = GetTickCount() - start;
    DWORD cpu = ThreadCpuMs() - cpuBefore;
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_TIMEOUT));
    EXPECT_GE(took, 600u);
    EXPECT_LT(took, kLateMs);
    EXPECT_LT(cpu, 200u) << "the wait after the close must not spin";

    // Without a receive time-out the closed connection ends the receive at once.
    port->receiveTimeout = NO_TIMEOUT;
    port->errorCode = kUntouched;
    start = GetTickCount();
    EXPECT_EQ(ReceiveWithTimeout(port, link.client, buffer, sizeof buffer, TRUE), 0u);
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_CONNECTION_LOST));
    EXPECT_LT(GetTickCount() - start, 1000u);
}

TEST_F(SocketLayer, AResetFailsSendAndReceiveWithCode1)
{
    Link link;
    ASSERT_TRUE(Connect(&link));
    linger hard = {1, 0};
    setsockopt(link.server, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    closesocket(link.server);
    link.server = INVALID_SOCKET;
    // (Wine's recv reports a reset as an orderly close; either way a receive
    // without a time-out ends at once with code 1.)
    BYTE buffer[16];
    EXPECT_EQ(ReceiveWithTimeout(port, link.client, buffer, sizeof buffer, TRUE), 0u);
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_CONNECTION_LOST));

    port->errorCode = kUntouched;
    port->sendTimeout = 2000;
    std::string data = TestPattern(64 * 1024);
    DWORD sent = 0;
    EXPECT_FALSE(Send(link.client, data, &sent));
    EXPECT_EQ(port->errorCode, static_cast<DWORD>(ERR_CONNECTION_LOST));
}

TEST_F(SocketLayer, AnAbortCloseResetsAndAGracefulCloseSendsTheEnd)
{
    Link aborted;
    ASSERT_TRUE(Connect(&aborted));
    Adopt(&aborted);
    SetPortFlags(port, PORT_TRANSFER_STARTED);
    EXPECT_TRUE(CloseConnection(port, connection, CLOSE_ABORT));
    EXPECT_EQ(*connection, INVALID_SOCKET);
    EXPECT_FALSE(HasPortFlag(port, PORT_TRANSFER_STARTED));
    EXPECT_TRUE(PeerWasReset(aborted.server));

    // Graceful: the peer sees the end of data, answers with its own close,
    // and the close returns without waiting out its limit.
    Link graceful;
    ASSERT_TRUE(Connect(&graceful));
    Adopt(&graceful);
    port->receiveTimeout = 5000;
    SetPortFlags(port, PORT_TRANSFER_STARTED);
    std::string seen;
    int answered = 0;
    std::thread peer([&] {
        seen = ReadToEnd(graceful.server);
        answered = send(graceful.server, "bye", 3, 0); // drained and discarded by the close
        closesocket(graceful.server);
        graceful.server = INVALID_SOCKET;
    });
    DWORD start = GetTickCount();
    EXPECT_TRUE(CloseConnection(port, connection, CLOSE_GRACEFUL | CLOSE_KEEP_TRANSFER));
    EXPECT_LT(GetTickCount() - start, 2000u);
    peer.join();
    EXPECT_EQ(seen, "");
    EXPECT_EQ(*connection, INVALID_SOCKET);
    EXPECT_EQ(answered, 3) << "the peer may still send after our orderly end";
    EXPECT_TRUE(HasPortFlag(port, PORT_TRANSFER_STARTED)) << "the caller asked to keep it";

    // Closing what is closed already succeeds and changes nothing.
    EXPECT_TRUE(CloseConnection(port, connection, CLOSE_GRACEFUL));
    EXPECT_TRUE(HasPortFlag(port, PORT_TRANSFER_STARTED));
}

TEST_F(SocketLayer, AGracefulCloseOfAPeerThatNeverClosesIsBounded)
{
    // By the receive time-out when it is the smaller bound.
    Link link;
    ASSERT_TRUE(Connect(&link));
    Adopt(&link);
    port->receiveTimeout = 300;
    DWORD start = GetTickCount();
    EXPECT_TRUE(CloseConnection(port, connection, CLOSE_GRACEFUL));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 300u);
    EXPECT_LT(took, kLateMs);

    // By the close limit when there is no receive time-out.
    Link unlimited;
    ASSERT_TRUE(Connect(&unlimited));
    Adopt(&unlimited);
    port->receiveTimeout = NO_TIMEOUT;
    start = GetTickCount();
    EXPECT_TRUE(CloseConnection(port, connection, CLOSE_GRACEFUL));
    took = GetTickCount() - start;
    EXPECT_GE(took, g_timing.gracefulCloseLimit);
    EXPECT_LT(took, kLateMs);

    // At once when the spooler reports the job as being deleted.
    OpenJob();
    StandinSetJobStatus(job, JOB_STATUS_DELETING);
    Link deleted;
    ASSERT_TRUE(Connect(&deleted));
    Adopt(&deleted);
    start = GetTickCount();
    EXPECT_TRUE(CloseConnection(port, connection, CLOSE_GRACEFUL));
    EXPECT_LT(GetTickCount() - start, g_timing.gracefulCloseLimit / 2);
}

size_t GetJobCalls()
{
    size_t calls = 0;
    for (const std::string& line : StandinCallLog())
        calls += line.compare(0, 7, "GetJobA") == 0;
    return calls;
}

TEST_F(SocketLayer, AGracefulCloseAsksTheSpoolerOncePerSliceNotOncePerBuffer)
{
    OpenJob();
    Link link;
    ASSERT_TRUE(Connect(&link));
    Adopt(&link);
    port->receiveTimeout = 5000;
    // After our end of data the peer still sends a megabyte, then closes.
    std::thread peer([&] {
        ReadToEnd(link.server);
        std::string rest(1024 * 1024, 'r');
        send(link.server, rest.data(), static_cast<int>(rest.size()), 0);
        closesocket(link.server);
        link.server = INVALID_SOCKET;
    });
    size_t before = GetJobCalls();
    EXPECT_TRUE(CloseConnection(port, connection, CLOSE_GRACEFUL));
    peer.join();
    EXPECT_LT(GetJobCalls() - before, 40u) << "the job status was read for every kilobyte drained";
}

TEST_F(SocketLayer, ConnectFailuresAreLeftToTheCallerAndASuccessIsNonBlocking)
{
    WORD closedPort = FreeTcpPort();
    sockaddr_in nobody = Loopback(closedPort);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_FALSE(ConnectStream(s, nullptr, &nobody));
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
    closesocket(s);

    Link link;
    ASSERT_TRUE(Connect(&link));
    char byte;
    EXPECT_EQ(recv(link.client, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    in_addr address;
    ASSERT_TRUE(ResolveHost("127.0.0.1", &address));
    EXPECT_EQ(address.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_FALSE(ResolveHost("256.1.1.1", &address));
    EXPECT_FALSE(ResolveHost("no-such-host.invalid", &address));
}

// A closing byte sent right after the last data piece must not wait for the
// printer's delayed acknowledgement of that piece (about 40 ms per LPR job).
TEST_F(SocketLayer, StreamSocketsSendSmallPiecesWithoutDelay)
{
    SOCKET s = OpenStreamSocket();
    ASSERT_NE(s, INVALID_SOCKET);
    DWORD noDelay = 0;
    int length = sizeof noDelay;
    ASSERT_EQ(getsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&noDelay), &length), 0);
    EXPECT_NE(noDelay, 0u);
    closesocket(s);
}

TEST_F(SocketLayer, DatagramsArriveAndAnEmptyWaitEndsStrictlyAfterItsTime)
{
    SOCKET receiver = INVALID_SOCKET, sender = INVALID_SOCKET;
    ASSERT_TRUE(OpenDatagramSocket(&receiver, 0));
    ASSERT_TRUE(OpenDatagramSocket(&sender, 0));
    sockaddr_in bound = {};
    int length = sizeof bound;
    getsockname(receiver, reinterpret_cast<sockaddr*>(&bound), &length);
    sockaddr_in target = Loopback(ntohs(bound.sin_port));

    char buffer[64];
    sockaddr_in from = {};
    for (DWORD wait : {0u, 1u, 120u}) {
        DWORD start = GetTickCount();
        EXPECT_EQ(ReceiveDatagramWithTimeout(receiver, buffer, sizeof buffer, 0, &from, wait), -1);
        EXPECT_GT(GetTickCount() - start, wait);
    }

    EXPECT_EQ(SendDatagram(sender, "query", 5, 0, &target), 5);
    EXPECT_EQ(ReceiveDatagramWithTimeout(receiver, buffer, sizeof buffer, 0, &from, 2000), 5);
    EXPECT_EQ(std::string(buffer, 5), "query");
    EXPECT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_TRUE(CloseDatagramSocket(receiver));
    EXPECT_TRUE(CloseDatagramSocket(sender));
}

TEST_F(SocketLayer, DatagramSocketWhoseBindFailsIsClosedAndReset)
{
    SOCKET holder = INVALID_SOCKET;
    ASSERT_TRUE(OpenDatagramSocket(&holder, 0));
    sockaddr_in bound = {};
    int length = sizeof bound;
    getsockname(holder, reinterpret_cast<sockaddr*>(&bound), &length);
    // The handle the next socket gets; free again before the failing call.
    SOCKET probe = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_NE(INVALID_SOCKET, probe);
    closesocket(probe);

    SOCKET s = 12345;
    EXPECT_FALSE(OpenDatagramSocket(&s, ntohs(bound.sin_port))) << "the port is taken";
    EXPECT_EQ(INVALID_SOCKET, s);
    SOCKET next = socket(AF_INET, SOCK_DGRAM, 0);
    EXPECT_EQ(probe, next) << "the failed call's socket was closed: its handle is free again";
    closesocket(next);
    EXPECT_TRUE(CloseDatagramSocket(holder));
}

} // namespace
