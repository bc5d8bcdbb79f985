// Stream and datagram helpers over Windows Sockets. Every wait is a readiness
// wait of at most one slice (the timing table's readiness wait), so that a
// deleted job or a time-out is noticed within one slice; nothing spins.
#include "net/socket_layer.h"

#include <climits>
#include <cstring>

#include "monitor/error_reporter.h"
#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"

namespace {

const int kDrainBufferSize = 1024;
const int kAddressLength = 16; // an IPv4 socket address

DWORD Elapsed(DWORD since)
{
    return GetTickCount() - since;
}

// What is left of `limit` ms counted from `since`; NO_TIMEOUT when unlimited.
DWORD Remaining(DWORD limit, DWORD since)
{
    if (limit == NO_TIMEOUT)
        return NO_TIMEOUT;
    DWORD elapsed = Elapsed(since);
    return elapsed >= limit ? 0 : limit - elapsed;
}

// One readiness slice, never longer than the time left.
DWORD Slice(DWORD remaining)
{
    return remaining < g_timing.readinessWait ? remaining : g_timing.readinessWait;
}

bool TimedOut(DWORD limit, DWORD since)
{
    return limit != NO_TIMEOUT && Elapsed(since) >= limit;
}

bool Cancelled(PortRecord* port, BOOL watchCancel)
{
    return watchCancel && IsJobDeleting(port);
}

// The socket's pending error after a readiness wait that found it not ready;
// read from the socket itself, as the thread's last error may be stale.
int PendingSocketError(SOCKET s)
{
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = WSAGetLastError();
    return error;
}

bool IsHardError(int error)
{
    return error != 0 && error != WSAEWOULDBLOCK;
}

int ClampLength(DWORD length)
{
    return length > static_cast<DWORD>(INT_MAX) ? INT_MAX : static_cast<int>(length);
}

// The select result for the one socket: 1 ready, 0 not in time, -1 failed.
int SelectOne(SOCKET s, DWORD milliseconds, bool write)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait;
    wait.tv_sec = static_cast<long>(milliseconds / 1000);
    wait.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
    return select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &wait);
}

enum SendStep { SEND_PARTIAL, SEND_BLOCKED, SEND_DONE, SEND_FAILED };

// One non-blocking send: advances the data and the moment of
// last progress by what was accepted.
SendStep SendOnce(PortRecord* port, SOCKET s, const BYTE** data, DWORD* left, DWORD* sent, DWORD* progressTick)
{
    int result = send(s, reinterpret_cast<const char*>(*data), ClampLength(*left), 0);
    if (result == SOCKET_ERROR) {
        if (WSAGetLastError() == WSAEWOULDBLOCK)
            return SEND_BLOCKED;
        port->errorCode = ERR_CONNECTION_LOST;
        return SEND_FAILED;
    }
    DWORD accepted = static_cast<DWORD>(result);
    if (sent)
        *sent += accepted;
    if (accepted >= *left)
        return SEND_DONE;
    if (accepted == 0)
        return SEND_BLOCKED;
    *data += accepted;
    *left -= accepted;
    *progressTick = GetTickCount();
    return SEND_PARTIAL;
}

enum ReceiveStep { RECEIVE_AGAIN, RECEIVE_GOT, RECEIVE_CLOSED, RECEIVE_FAILED };

ReceiveStep ReceiveOnce(SOCKET s, BYTE* buffer, DWORD capacity, DWORD* received)
{
    int result = recv(s, reinterpret_cast<char*>(buffer), ClampLength(capacity), 0);
    if (result == SOCKET_ERROR)
        return WSAGetLastError() == WSAEWOULDBLOCK ? RECEIVE_AGAIN : RECEIVE_FAILED;
    if (result == 0)
        return RECEIVE_CLOSED;
    *received = static_cast<DWORD>(result);
    return RECEIVE_GOT;
}

// Reads and discards what the peer still sends after our side was shut down,
// until it closes, fails, the job is deleted, or the bound has passed.
void DrainPeer(PortRecord* port, SOCKET s, DWORD limit)
{
    if (port && port->receiveTimeout < limit)
        limit = port->receiveTimeout;
    DWORD start = GetTickCount();
    char scratch[kDrainBufferSize];
    bool done = false;
    // The job's status cache is looked at every round, the spooler asked at
    // most once per readiness slice (not once per buffer drained).
    DWORD asked = start;
    bool deleting = port && IsJobDeletingNow(port);
    while (!done && !deleting) {
        if (port && Elapsed(asked) >= g_timing.readinessWait) {
            asked = GetTickCount();
            deleting = IsJobDeletingNow(port);
        } else if (port) {
            deleting = IsJobDeleting(port) != FALSE;
        }
        if (deleting)
            break;
        DWORD left = Remaining(limit, start);
        if (left == 0)
            break;
        if (!WaitReadable(s, Slice(left))) {
            done = IsHardError(PendingSocketError(s));
            continue;
        }
        int result = recv(s, scratch, sizeof scratch, 0);
        done = result == 0 || (result == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK);
    }
}

void SetAbortiveClose(SOCKET s)
{
    linger hard;
    hard.l_onoff = 1;
    hard.l_linger = 0;
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
}

} // namespace

bool ResolveHost(const char* host, in_addr* address)
{
    if (!host || !address)
        return false;
    unsigned long dotted = inet_addr(host);
    if (dotted != INADDR_NONE) {
        address->s_addr = dotted;
        return true;
    }
    const hostent* entry = gethostbyname(host);
    if (!entry || !entry->h_addr_list || !entry->h_addr_list[0] || entry->h_length <= 0)
        return false;
    size_t length = static_cast<size_t>(entry->h_length);
    if (length > sizeof *address)
        length = sizeof *address;
    memset(address, 0, sizeof *address);
    memcpy(address, entry->h_addr_list[0], length);
    return true;
}

sockaddr_in AnyLocalAddress(WORD localPort)
{
    sockaddr_in local;
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(localPort);
    return local;
}

// Small sends go out at once (no Nagle delay): every protocol here sends a
// command, a last data piece or a closing byte and then waits for the
// printer's answer, which a delayed acknowledgement at the printer would
// otherwise hold back for tens of milliseconds per job. A socket that
// refuses the option still works, only slower.
SOCKET OpenStreamSocket()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        ShowWarningMessage("IDS_WINSOCK_ERROR");
        return s;
    }
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    return s;
}

BOOL ConnectStream(SOCKET s, const sockaddr_in* local, const sockaddr_in* remote)
{
    if (local && bind(s, reinterpret_cast<const sockaddr*>(local), kAddressLength) != 0)
        return FALSE;
    if (connect(s, reinterpret_cast<const sockaddr*>(remote), kAddressLength) != 0)
        return FALSE;
    u_long nonBlocking = 1;
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

BOOL WaitWritable(SOCKET s, DWORD milliseconds)
{
    return SelectOne(s, milliseconds, true) == 1;
}

BOOL WaitReadable(SOCKET s, DWORD milliseconds)
{
    return SelectOne(s, milliseconds, false) == 1;
}

// The send time-out counts from the last progress, not from the call. A send
// is tried before any readiness wait, and a wait follows only a send that
// would have blocked: a socket is mostly writable, and under Wine each wait
// costs as much as the send itself.
BOOL SendWithTimeout(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* sent, BOOL watchCancel)
{
    DWORD progressTick = GetTickCount();
    bool blocked = false;
    for (;;) {
        if (Cancelled(port, watchCancel))
            return FALSE;
        SendStep step = SEND_BLOCKED;
        if (!blocked || WaitWritable(s, Slice(Remaining(port->sendTimeout, progressTick)))) {
            step = SendOnce(port, s, &data, &length, sent, &progressTick);
        } else if (IsHardError(PendingSocketError(s))) {
            port->errorCode = ERR_CONNECTION_LOST;
            return FALSE;
        }
        if (step == SEND_DONE || step == SEND_FAILED)
            return step == SEND_DONE;
        blocked = step == SEND_BLOCKED;
        if (TimedOut(port->sendTimeout, progressTick)) {
            port->errorCode = ERR_TIMEOUT;
            return FALSE;
        }
    }
}

// The receive time-out counts from the call. Once the peer has closed, the
// socket stays readable: the rest of the time is waited out in plain slices
// (each with its cancellation check) instead of receiving again and again;
// without a receive time-out, or when `closeEnds`, a closed peer ends the
// receive at once.
static DWORD Receive(PortRecord* port, SOCKET s, BYTE* buffer, DWORD capacity, BOOL watchCancel, bool closeEnds)
{
    DWORD start = GetTickCount();
    bool peerClosed = false;
    for (;;) {
        if (Cancelled(port, watchCancel))
            return 0;
        DWORD slice = Slice(Remaining(port->receiveTimeout, start));
        if (peerClosed) {
            Sleep(slice);
        } else if (WaitReadable(s, slice)) {
            DWORD received = 0;
            ReceiveStep step = ReceiveOnce(s, buffer, capacity, &received);
            if (step == RECEIVE_GOT)
                return received;
            peerClosed = step == RECEIVE_CLOSED;
            if (peerClosed && closeEnds) {
                port->errorCode = ERR_PEER_CLOSED;
                return 0;
            }
            if (step == RECEIVE_FAILED || (peerClosed && port->receiveTimeout == NO_TIMEOUT)) {
                port->errorCode = ERR_CONNECTION_LOST;
                return 0;
            }
        } else if (IsHardError(PendingSocketError(s))) {
            port->errorCode = ERR_CONNECTION_LOST;
            return 0;
        }
        if (TimedOut(port->receiveTimeout, start)) {
            port->errorCode = ERR_TIMEOUT;
            return 0;
        }
    }
}

DWORD ReceiveWithTimeout(PortRecord* port, SOCKET s, BYTE* buffer, DWORD capacity, BOOL watchCancel)
{
    return Receive(port, s, buffer, capacity, watchCancel, false);
}

DWORD ReceiveUntilClosed(PortRecord* port, SOCKET s, BYTE* buffer, DWORD capacity, BOOL watchCancel)
{
    return Receive(port, s, buffer, capacity, watchCancel, true);
}

BOOL SendAll(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* sent, BOOL watchCancel)
{
    BOOL ok = TRUE;
    for (DWORD offset = 0; ok && offset < length; offset += kSendPieceMax) {
        DWORD piece = length - offset < kSendPieceMax ? length - offset : kSendPieceMax;
        ok = SendWithTimeout(port, s, data + offset, piece, sent, watchCancel);
    }
    return ok;
}

// A graceful close shuts our side, drains the peer (bounded by the smaller of
// the receive time-out and the close limit, and by job deletion), then closes.
// An abort close resets the connection at once.
BOOL CloseConnection(PortRecord* port, SOCKET* connection, DWORD mode)
{
    if (*connection == INVALID_SOCKET)
        return TRUE;
    if (port && !(mode & CLOSE_KEEP_TRANSFER)) {
        MonitorLock();
        ClearPortFlags(port, PORT_TRANSFER_STARTED);
        MonitorUnlock();
    }
    SOCKET s = *connection;
    if (mode & CLOSE_ABORT) {
        SetAbortiveClose(s);
    } else if (shutdown(s, SD_SEND) == 0) {
        // A socket that never connected has nothing to drain.
        DrainPeer(port, s, (mode & CLOSE_SHORT_DRAIN) ? g_timing.shortCloseLimit : g_timing.gracefulCloseLimit);
        shutdown(s, SD_BOTH);
    }
    BOOL closed = closesocket(s) == 0;
    *connection = INVALID_SOCKET;
    return closed;
}

// A socket whose bind or option failed is closed again: the caller gets
// INVALID_SOCKET and has nothing to close.
BOOL OpenDatagramSocket(SOCKET* s, WORD localPort)
{
    *s = socket(AF_INET, SOCK_DGRAM, 0);
    if (*s == INVALID_SOCKET)
        return FALSE;
    sockaddr_in local = AnyLocalAddress(localPort);
    BOOL broadcast = TRUE;
    if (bind(*s, reinterpret_cast<const sockaddr*>(&local), kAddressLength) == 0 &&
        setsockopt(*s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast) == 0)
        return TRUE;
    closesocket(*s);
    *s = INVALID_SOCKET;
    return FALSE;
}

BOOL CloseDatagramSocket(SOCKET s)
{
    return closesocket(s) == 0;
}

int SendDatagram(SOCKET s, const char* data, int length, int flags, const sockaddr_in* address)
{
    return sendto(s, data, length, flags, reinterpret_cast<const sockaddr*>(address), kAddressLength);
}

int ReceiveDatagram(SOCKET s, char* buffer, int capacity, int flags, sockaddr_in* from)
{
    int length = from ? kAddressLength : 0;
    return recvfrom(s, buffer, capacity, flags, reinterpret_cast<sockaddr*>(from), from ? &length : nullptr);
}

// Ends with -1 only once strictly more than `milliseconds` have passed.
int ReceiveDatagramWithTimeout(SOCKET s, char* buffer, int capacity, int flags, sockaddr_in* from, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = Elapsed(start);
        if (elapsed > milliseconds)
            return -1;
        // One millisecond more than what is left reaches the strict end.
        DWORD left = milliseconds - elapsed;
        // A failed select is not waited out: the receive reports the failure.
        if (SelectOne(s, left < NO_TIMEOUT ? left + 1 : left, false) != 0)
            return ReceiveDatagram(s, buffer, capacity, flags, from);
    }
}
