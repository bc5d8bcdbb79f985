// Stream and datagram helpers over Windows Sockets with time-outs and
// cancellation when the job is deleted.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "monitor/port_record.h"

// The largest piece SendAll hands to one SendWithTimeout: under Wine every
// socket call is a round trip to the server.
const DWORD kSendPieceMax = 262144;

// Modes of CloseConnection.
enum CloseMode : DWORD {
    CLOSE_GRACEFUL = 0,
    CLOSE_ABORT = 1,         // reset at once (linger 0), no draining
    CLOSE_KEEP_TRANSFER = 2, // leave the transfer-started flag set
    CLOSE_SHORT_DRAIN = 4,   // graceful, but drain only briefly (a keep-alive peer may never close)
};

// Resolves a dotted IPv4 address or a host name; false when it cannot.
bool ResolveHost(const char* host, in_addr* address);

// The address "any local interface, port `localPort`" (0: any port).
sockaddr_in AnyLocalAddress(WORD localPort);

// A new TCP socket; INVALID_SOCKET, after the Winsock warning box
// (IDS_WINSOCK_ERROR), when none can be made.
SOCKET OpenStreamSocket();

// Binds to `local` when given, connects (blocking) to `remote`, then makes the
// socket non-blocking. FALSE on failure; the caller reads WSAGetLastError.
BOOL ConnectStream(SOCKET s, const sockaddr_in* local, const sockaddr_in* remote);

// One readiness wait; TRUE only when the socket became writable / readable.
BOOL WaitWritable(SOCKET s, DWORD milliseconds);
BOOL WaitReadable(SOCKET s, DWORD milliseconds);

// Sends all `length` bytes or fails (error code 1 lost, 2 no progress within
// the port's send time-out; unchanged when the job is deleted and
// `watchCancel`). Adds every accepted byte to *sent when given.
BOOL SendWithTimeout(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* sent, BOOL watchCancel);

// Returns after the first receive of at least one byte (its count), or 0 on
// failure (error code 1 or 2 as above; unchanged on cancellation).
DWORD ReceiveWithTimeout(PortRecord* port, SOCKET s, BYTE* buffer, DWORD capacity, BOOL watchCancel);

// As ReceiveWithTimeout, but a peer that has closed cleanly ends the receive
// at once with ERR_PEER_CLOSED (an HTTP response without a length ends that
// way); a reset is code 1 as above.
DWORD ReceiveUntilClosed(PortRecord* port, SOCKET s, BYTE* buffer, DWORD capacity, BOOL watchCancel);

// SendWithTimeout in pieces of up to 256 KiB (kSendPieceMax bytes); length 0
// succeeds at once.
BOOL SendAll(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* sent, BOOL watchCancel);

// Closes *connection (graceful or abort, see CloseMode) and sets it to
// INVALID_SOCKET. 1 when it was closed already or closesocket succeeded.
BOOL CloseConnection(PortRecord* port, SOCKET* connection, DWORD mode);

// Datagram helpers.
// A UDP socket bound to any local address and `localPort` (0: any) with
// broadcasts allowed. FALSE when a step fails; *s is then INVALID_SOCKET and
// the socket made on the way is closed.
BOOL OpenDatagramSocket(SOCKET* s, WORD localPort);
BOOL CloseDatagramSocket(SOCKET s);
int SendDatagram(SOCKET s, const char* data, int length, int flags, const sockaddr_in* address);
int ReceiveDatagram(SOCKET s, char* buffer, int capacity, int flags, sockaddr_in* from);
// -1 when nothing arrived within strictly more than `milliseconds`.
int ReceiveDatagramWithTimeout(SOCKET s, char* buffer, int capacity, int flags, sockaddr_in* from, DWORD milliseconds);
