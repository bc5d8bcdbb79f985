// The LPR sender. One job is one connection: the receive-job command, the
// control file, the data-file command, the data, and, when the data file was
// announced with its exact size, a closing zero byte; a streamed job ends
// with the close. Every command is answered by one acknowledgement byte.
#include "net/lpr_client.h"

#include <cstring>

#include "monitor/error_reporter.h"
#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "net/lpr_format.h"
#include "net/socket_layer.h"

namespace {

const WORD kDefaultServerPort = 515;
const WORD kFirstLocalPort = 721;
const WORD kLastLocalPort = 731;
// One past the reserved range: stands for "any local port".
const WORD kAnyLocalPort = 732;
const DWORD kAckSize = 64;
const int kHostNameSize = 65;
const DWORD kMaxJobInfoSize = 64 * 1024;

// What every part of the job header names: the local host and the job number.
struct HeaderNames {
    char host[kHostNameSize];
    unsigned number;
};

void LocalHostName(char* host, int size)
{
    if (gethostname(host, size) != 0 || host[0] == '\0')
        lstrcpynA(host, "localhost", size);
    host[size - 1] = '\0';
}

// The job's user and document names (level 1); empty when unreadable.
void ReadJobNames(PortRecord* port, char* user, int userSize, char* document, int documentSize)
{
    user[0] = document[0] = '\0';
    DWORD needed = 0;
    if (!port->printer)
        return;
    g_monitor.host.GetJobA(port->printer, port->jobId, 1, nullptr, 0, &needed);
    if (needed < sizeof(JOB_INFO_1A) || needed > kMaxJobInfoSize)
        return;
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
    if (buffer && g_monitor.host.GetJobA(port->printer, port->jobId, 1, buffer, needed, &needed)) {
        const JOB_INFO_1A* job = reinterpret_cast<const JOB_INFO_1A*>(buffer);
        lstrcpynA(user, job->pUserName ? job->pUserName : "", userSize);
        lstrcpynA(document, job->pDocument ? job->pDocument : "", documentSize);
    }
    if (buffer)
        HeapFree(GetProcessHeap(), 0, buffer);
}

enum ConnectStep { CONNECT_DONE, CONNECT_PORT_BUSY, CONNECT_FAILED };

// One attempt from one local port (0: any). A busy local port lets the
// caller try the next one; any other failure ends the attempts.
ConnectStep ConnectFrom(PortRecord* port, LprSettings* lpr, const sockaddr_in& remote, WORD localPort)
{
    lpr->connection = OpenStreamSocket();
    if (lpr->connection == INVALID_SOCKET)
        return CONNECT_FAILED;
    sockaddr_in local = AnyLocalAddress(localPort);
    if (ConnectStream(lpr->connection, &local, &remote))
        return CONNECT_DONE;
    int error = WSAGetLastError();
    BOOL closed = CloseConnection(port, &lpr->connection, CLOSE_GRACEFUL);
    if (error != WSAEADDRINUSE) {
        port->errorCode = ERR_LPR_RECONNECT;
        return CONNECT_FAILED;
    }
    return closed ? CONNECT_PORT_BUSY : CONNECT_FAILED;
}

// The receive-job command; a negative answer means the server has no such queue.
BOOL SendReceiveJob(PortRecord* port, const char* command, size_t length)
{
    BOOL ok = LprCommand(port, reinterpret_cast<const BYTE*>(command), static_cast<DWORD>(length));
    if (!ok && port->errorCode == ERR_LPR_ACK)
        port->errorCode = ERR_LPR_QUEUE;
    return ok;
}

// Lead bytes of the system's ANSI code page, in which the spooler hands over
// the user and document names.
bool IsAnsiLeadByte(unsigned char c)
{
    return IsDBCSLeadByte(c) != FALSE;
}

// The control-file sub-command, then the file with its zero byte (the file
// buffer holds the terminating NUL right after the text).
BOOL SendControlFile(PortRecord* port, const HeaderNames& names)
{
    char user[kLprJobNameMax + 1];
    char document[kLprJobNameMax + 1];
    ReadJobNames(port, user, sizeof user, document, sizeof document);
    char file[kLprControlFileMax];
    size_t fileLength = LprBuildControlFile(names.host, user, document, names.number, file, sizeof file, IsAnsiLeadByte);
    char command[kLprCommandMax];
    size_t commandLength = fileLength == 0 ? 0
                               : LprControlFileCommand(static_cast<uint32_t>(fileLength), names.number, names.host,
                                                       command, sizeof command);
    return commandLength > 0 &&
           LprCommand(port, reinterpret_cast<const BYTE*>(command), static_cast<DWORD>(commandLength)) &&
           LprCommand(port, reinterpret_cast<const BYTE*>(file), static_cast<DWORD>(fileLength + 1));
}

// The data-file sub-command. A job replayed from its spool file has a known
// size, so it is announced exactly even on a port that streams.
BOOL SendDataFileCommand(PortRecord* port, LprSettings* lpr, const HeaderNames& names)
{
    bool exact = lpr->noByteCount == 0 || port->sendFromSpool == 1;
    char command[kLprCommandMax];
    size_t length = LprDataFileCommand(port->jobSize, !exact, names.number, names.host, command, sizeof command);
    if (length == 0 || !LprCommand(port, reinterpret_cast<const BYTE*>(command), static_cast<DWORD>(length)))
        return FALSE;
    lpr->byteCounted = exact ? 1 : 0;
    lpr->announcedSize = exact ? port->jobSize : 0;
    return TRUE;
}

// After a successful send: the job prints again and an error window goes.
void ClearErrorState(PortRecord* port)
{
    if (HasPortFlag(port, PORT_ERROR_SHOWN)) {
        ChangeJobStatus(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR, nullptr);
        MonitorLock();
        ClearPortFlags(port, PORT_ERROR_SHOWN);
        MonitorUnlock();
    }
    CloseErrorWindow(port);
}

// True when the server has the whole data file: every byte announced, or for
// a stream every byte the spooler handed over.
bool DataFileComplete(PortRecord* port, const LprSettings* lpr)
{
    if (HasPortFlag(port, PORT_WRITE_FAILED))
        return false;
    DWORD expected = lpr->byteCounted ? lpr->announcedSize : port->bytesSpooled;
    return port->bytesSent == expected;
}

// The closing zero byte of a job sent with its size, again for as long as
// the user asks to retry.
BOOL FinishCountedJob(PortRecord* port)
{
    return RetryClosingSend(port, LprSendEnd);
}

} // namespace

WORD LprServerPort()
{
    const servent* service = getservbyname("printer", "tcp");
    return service ? ntohs(static_cast<u_short>(service->s_port)) : kDefaultServerPort;
}

BOOL LprConnect(PortRecord* port)
{
    LprSettings* lpr = LprOf(port);
    sockaddr_in remote;
    memset(&remote, 0, sizeof remote);
    if (!lpr || !ResolveHost(lpr->host, &remote.sin_addr))
        return FALSE;
    remote.sin_family = AF_INET;
    remote.sin_port = htons(LprServerPort());
    WORD last = lpr->nonRfcPorts ? kAnyLocalPort : kLastLocalPort;
    ConnectStep step = CONNECT_PORT_BUSY;
    for (WORD local = kFirstLocalPort; step == CONNECT_PORT_BUSY && local <= last; ++local) {
        if (local != kFirstLocalPort)
            Sleep(g_timing.lprLocalPortPause);
        step = ConnectFrom(port, lpr, remote, local == kAnyLocalPort ? 0 : local);
    }
    return step == CONNECT_DONE;
}

BOOL LprCommand(PortRecord* port, const BYTE* bytes, DWORD length)
{
    LprSettings* lpr = LprOf(port);
    if (!lpr || lpr->connection == INVALID_SOCKET)
        return FALSE;
    if (!SendWithTimeout(port, lpr->connection, bytes, length, nullptr, TRUE))
        return FALSE;
    BYTE reply[kAckSize];
    DWORD got = ReceiveWithTimeout(port, lpr->connection, reply, sizeof reply, TRUE);
    if (got == 0)
        return FALSE;
    if (!LprAckPositive(reply, got)) {
        port->errorCode = ERR_LPR_ACK;
        return FALSE;
    }
    return TRUE;
}

BOOL LprSendEnd(PortRecord* port)
{
    const BYTE end = 0;
    return LprCommand(port, &end, 1);
}

namespace {

// Connects and asks the queue to receive a job; FALSE with the error code of
// the step that failed.
BOOL StartReceiveJob(PortRecord* port, LprSettings* lpr)
{
    // A connection of an earlier attempt is reset before the new one replaces it.
    CloseConnection(port, &lpr->connection, CLOSE_ABORT);
    lpr->byteCounted = 0;
    lpr->announcedSize = 0;
    // A queue name the command cannot carry is refused like an unknown queue.
    char command[kLprCommandMax];
    size_t length = LprReceiveJobCommand(lpr->queue, command, sizeof command);
    if (length == 0) {
        port->errorCode = ERR_LPR_QUEUE;
        return FALSE;
    }
    if (!LprConnect(port)) {
        CloseConnection(port, &lpr->connection, CLOSE_GRACEFUL);
        if (port->errorCode != ERR_LPR_RECONNECT)
            port->errorCode = ERR_LPR_NOT_OPENED;
        return FALSE;
    }
    if (SendReceiveJob(port, command, length))
        return TRUE;
    if (port->errorCode != ERR_LPR_QUEUE)
        port->errorCode = ERR_LPR_NOT_OPENED;
    return FALSE;
}

// A job without data: the queue is asked to receive a job and then told to
// abort it. A wrong host or queue shows as for any job, and no server is
// left holding a job of no data (LPRng reads a data file announced with
// length 0 until the connection closes).
BOOL CheckQueueForEmptyJob(PortRecord* port, LprSettings* lpr)
{
    if (!StartReceiveJob(port, lpr))
        return FALSE;
    DWORD sent = 0;
    BOOL ok = SendAll(port, lpr->connection, reinterpret_cast<const BYTE*>(kLprAbortJob), 2, &sent, TRUE);
    if (!ok)
        port->errorCode = ERR_LPR_NOT_OPENED;
    CloseConnection(port, &lpr->connection, ok ? CLOSE_GRACEFUL : CLOSE_ABORT);
    return ok;
}

} // namespace

BOOL LprOpenJob(PortRecord* port)
{
    LprSettings* lpr = LprOf(port);
    if (!lpr)
        return FALSE;
    HeaderNames names;
    LocalHostName(names.host, sizeof names.host);
    names.number = LprJobNumber(port->jobId);
    if (!StartReceiveJob(port, lpr))
        return FALSE;
    BOOL ok = SendControlFile(port, names) && SendDataFileCommand(port, lpr, names);
    if (ok) {
        MonitorLock();
        SetPortFlags(port, PORT_TRANSFER_STARTED);
        MonitorUnlock();
    } else if (port->errorCode != ERR_LPR_QUEUE) {
        port->errorCode = ERR_LPR_NOT_OPENED;
    }
    return ok;
}

BOOL LprWrite(PortRecord* port, const BYTE* data, DWORD length, DWORD*)
{
    LprSettings* lpr = LprOf(port);
    port->errorCode = 0;
    if (!lpr)
        return FALSE;
    // The job path hands an empty job over as one call without data.
    if (length == 0 && port->bytesSent == 0)
        return CheckQueueForEmptyJob(port, lpr);
    BOOL ok = port->bytesSent != 0 || LprOpenJob(port);
    if (ok && lpr->connection == INVALID_SOCKET)
        ok = FALSE; // the connection of this job is gone: restart from the top
    if (ok) {
        DWORD sent = 0;
        ok = SendAll(port, lpr->connection, data, length, &sent, TRUE);
        port->bytesSent += sent;
    }
    if (ok)
        ClearErrorState(port);
    if (port->errorCode == ERR_CONNECTION_LOST)
        port->errorCode = 0;
    // After a time-out the connection stays for the retry to continue on.
    if (!ok && port->errorCode != ERR_TIMEOUT)
        CloseConnection(port, &lpr->connection, CLOSE_ABORT);
    return ok;
}

BOOL LprEndJob(PortRecord* port)
{
    LprSettings* lpr = LprOf(port);
    if (!lpr || lpr->connection == INVALID_SOCKET)
        return TRUE;
    BOOL result = FALSE;
    // An incomplete data file is never closed as if it were whole: the
    // connection is reset and the server discards the job.
    if (!DataFileComplete(port, lpr))
        result = FALSE;
    else if (!lpr->byteCounted)
        result = !IsJobDeletingNow(port);
    else
        result = FinishCountedJob(port);
    CloseConnection(port, &lpr->connection, result ? CLOSE_GRACEFUL : CLOSE_ABORT);
    return result;
}
