// The Raw sender. Data goes out as the spooler delivers it; the job path keeps
// a spool-file copy, so a lost connection restarts the job from its top while
// a time-out resumes on the open connection where it stopped.
#include "net/raw_sender.h"

#include <cstring>

#include "monitor/error_reporter.h"
#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "net/socket_layer.h"

namespace {

const int kConnectAttempts = 10;

void ChangePortFlags(PortRecord* port, DWORD set, DWORD clear)
{
    MonitorLock();
    SetPortFlags(port, set);
    ClearPortFlags(port, clear);
    MonitorUnlock();
}

void AbortConnection(PortRecord* port)
{
    if (RawSettings* raw = RawOf(port))
        CloseConnection(port, &raw->connection, CLOSE_ABORT);
}

// After a failed piece: FALSE ends the write, TRUE resumes on the connection.
BOOL RecoverFromFailure(PortRecord* port)
{
    if (IsJobDeletingNow(port)) {
        AbortConnection(port);
        return FALSE;
    }
    ChangeJobStatus(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, nullptr);
    ChangePortFlags(port, PORT_ERROR_SHOWN, 0);
    if (port->errorCode == ERR_CONNECTION_LOST)
        port->errorCode = 0;
    if (port->errorCode != ERR_TIMEOUT) {
        // The job path replays the spool file after asking the user.
        AbortConnection(port);
        port->sendFromSpool = 1;
        return FALSE;
    }
    if (!ReportTransmissionError(port)) {
        CancelSpoolerJob(port);
        return FALSE;
    }
    return TRUE;
}

} // namespace

BOOL RawConnect(PortRecord* port)
{
    RawSettings* raw = RawOf(port);
    sockaddr_in remote;
    memset(&remote, 0, sizeof remote);
    remote.sin_family = AF_INET;
    if (!raw) {
        port->errorCode = ERR_RAW_RECONNECT;
        return FALSE;
    }
    remote.sin_port = htons(raw->portNumber);
    if (!ResolveHost(raw->host, &remote.sin_addr))
        return FALSE;
    sockaddr_in local = AnyLocalAddress(0);
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (attempt > 0)
            Sleep(g_timing.rawConnectPause);
        raw->connection = OpenStreamSocket();
        if (raw->connection == INVALID_SOCKET)
            return FALSE;
        if (ConnectStream(raw->connection, &local, &remote))
            return TRUE;
        int error = WSAGetLastError();
        BOOL closed = CloseConnection(port, &raw->connection, CLOSE_GRACEFUL);
        if (error != WSAEADDRINUSE)
            port->errorCode = ERR_RAW_RECONNECT;
        if (!closed || error != WSAEADDRINUSE)
            return FALSE;
    }
    return FALSE;
}

BOOL RawSendPiece(PortRecord* port, const BYTE* data, DWORD length, DWORD* sent)
{
    RawSettings* raw = RawOf(port);
    *sent = 0;
    port->errorCode = 0;
    if (port->bytesSent == 0) {
        // A connection left open by an earlier attempt of this job carries a
        // partial copy: reset it rather than lose track of it.
        AbortConnection(port);
        if (!RawConnect(port)) {
            AbortConnection(port);
            return FALSE;
        }
        ChangePortFlags(port, PORT_TRANSFER_STARTED, 0);
    }
    if (!raw || raw->connection == INVALID_SOCKET) {
        port->errorCode = ERR_CONNECTION_LOST;
        return FALSE;
    }
    DWORD count = 0;
    BOOL ok = SendAll(port, raw->connection, data, length, &count, TRUE);
    port->bytesSent += count;
    *sent = count;
    return ok;
}

BOOL RawWrite(PortRecord* port, const BYTE* data, DWORD length, DWORD* count)
{
    DWORD delivered = 0;
    BOOL ok = FALSE;
    // Each round either delivers the rest, ends the write, or (after a
    // time-out the user retries) resumes with exactly the undelivered bytes.
    for (;;) {
        DWORD sent = 0;
        ok = RawSendPiece(port, data + delivered, length - delivered, &sent);
        delivered += sent;
        if (ok || !RecoverFromFailure(port))
            break;
    }
    if (ok && HasPortFlag(port, PORT_ERROR_SHOWN)) {
        ChangeJobStatus(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR, nullptr);
        ChangePortFlags(port, 0, PORT_ERROR_SHOWN);
    }
    if (ok)
        CloseErrorWindow(port);
    if (count)
        *count = delivered;
    return ok;
}

BOOL RawEndJob(PortRecord* port)
{
    RawSettings* raw = RawOf(port);
    if (raw && raw->connection != INVALID_SOCKET)
        CloseConnection(port, &raw->connection, IsJobDeletingNow(port) ? CLOSE_ABORT : CLOSE_GRACEFUL);
    return TRUE;
}
