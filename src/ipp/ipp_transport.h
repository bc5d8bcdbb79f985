// Everything between an IPP body and the socket: the connection to the printer
// (directly or through the proxy), sending a request body whole or in chunks
// with the retry dialogue around every send, the closing chunk, and reading
// one HTTP response whose IPP body is decoded into a result record.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "ipp/ipp_response.h"
#include "monitor/port_record.h"

// One row of the IPP transport table: how bytes reach the printer.
struct IppTransport {
    // Sends all bytes (pieces of up to 256 KiB, as SendAll); *counter gets what
    // was accepted.
    BOOL (*sendAll)(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* counter, BOOL watchCancel);
    // Sends all bytes in one go, failing on the first time-out or loss.
    BOOL (*send)(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* counter, BOOL watchCancel);
    // Receives at least one byte (the count), or 0 with the error code set;
    // a peer that closed gives 0 with error code 1 at once.
    DWORD (*receive)(PortRecord* port, SOCKET s, BYTE* buffer, DWORD capacity, BOOL watchCancel);
};

// Row 0: plain TCP. The transport index of the settings selects the row.
// Not const: a test puts a send of its own in a slot.
extern IppTransport g_ippTransports[1];
const IppTransport& TransportOf(const IppSettings* ipp);

// The printer's answer to the current job (IppSettings::jobResponse).
enum IppJobResponse : DWORD {
    IPP_RESPONSE_NONE = 0,     // not read yet
    IPP_RESPONSE_ACCEPTED = 1, // a 2xx with a successful IPP status
    IPP_RESPONSE_FAILED = 2,   // anything else; the error code says what
};

// Connects a fresh socket, stored in *connection under the monitor lock, to
// the proxy or the printer: up to 10 attempts while the local address is in
// use. FALSE with error code 101 after a refused or failed connect, 0 when
// the host cannot be resolved or the attempts ran out on a busy address.
BOOL IppConnect(PortRecord* port, SOCKET* connection, DWORD closeMode);
// Takes the socket out of *connection under the monitor lock, then closes it
// (CloseMode bits; a graceful close drains only briefly).
void IppClose(PortRecord* port, SOCKET* connection, DWORD mode);

// Sends `length` bytes as (part of) the current request's body: in chunks of
// at most MaxChunk when the port is chunked, else in pieces of at most 16384.
// *counter (optional) grows by the body bytes delivered, framing excluded.
BOOL SendBody(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* counter, BOOL watchCancel);
// One logical send with the retry dialogue: after a failure the user decides;
// a retry continues with the first byte not yet accepted.
BOOL SendWithRetry(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* counter, BOOL watchCancel);
// Sends the closing chunk on the print connection; a retry resumes at the
// first byte of it not yet accepted.
BOOL SendLastChunk(PortRecord* port);

// What one response said: `decoded` once an IPP body was decoded into `ipp`.
struct IppReply {
    bool decoded;
    IppResponseResult ipp;
};

// Reads one response from `s` and decodes its IPP body (the make-and-model
// into the settings' model text destination when there is one). The port's
// error code is cleared first, so only this exchange decides it. 1 when a
// 2xx response arrived and its IPP body was accepted; otherwise the error
// code says why (102 unusable, 105 no answer in time, 1026 credentials
// needed, 1 connection lost, or what the IPP body said).
BOOL ReadHttpResponse(PortRecord* port, SOCKET s, BOOL watchCancel, IppReply* reply);
