// The HTTP transport of the IPP client: connections, request bodies (whole or
// chunked) with the retry dialogue, the closing chunk, and one response read
// through the incremental parser.
#include "ipp/ipp_transport.h"

#include <cstring>

#include "codec/oem_codec.h"
#include "ipp/http_message.h"
#include "ipp/http_parser.h"
#include "ipp/ipp_job.h"
#include "ipp/ipp_policy.h"
#include "ipp/ipp_request.h"
#include "monitor/error_reporter.h"
#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "net/socket_layer.h"

namespace {

const int kConnectAttempts = 10;
// A counted body goes out in the socket layer's largest pieces: under Wine
// every send is a round trip to the server, and the pieces only bound what
// one send with its time-out hands over.
const DWORD kPieceSize = kSendPieceMax;
const DWORD kHighestPort = 65535;

// The document bytes of the chunks that went out whole when `framedSent`
// bytes of a block framed in chunks of `chunk` bytes were accepted.
DWORD DocumentBytesOfWholeChunks(DWORD framedSent, DWORD length, uint32_t chunk)
{
    DWORD document = 0;
    size_t framed = 0;
    while (document < length) {
        DWORD n = length - document < chunk ? length - document : chunk;
        framed += ChunkFraming(n) + n;
        if (framed > framedSent)
            break;
        document += n;
    }
    return document;
}

BOOL PlainSend(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* counter, BOOL watchCancel)
{
    return SendWithTimeout(port, s, data, length, counter, watchCancel);
}

bool Cancelled(PortRecord* port)
{
    return IsJobDeleting(port) != FALSE;
}

// The proxy or the printer, resolved. FALSE with error code 100 for an empty
// host or a port no TCP port can be, FALSE without a code when the name does
// not resolve.
BOOL ConnectTarget(PortRecord* port, const IppSettings* ipp, sockaddr_in* remote)
{
    const char* host = ipp->useProxy ? ipp->proxy : ipp->host;
    DWORD number = ipp->useProxy ? ipp->proxyPort : ipp->port;
    memset(remote, 0, sizeof *remote);
    remote->sin_family = AF_INET;
    remote->sin_port = htons(static_cast<u_short>(number));
    if (!host[0] || number == 0 || number > kHighestPort) {
        port->errorCode = ERR_UNREACHABLE;
        return FALSE;
    }
    return ResolveHost(host, &remote->sin_addr) ? TRUE : FALSE;
}

} // namespace

IppTransport g_ippTransports[1] = {
    {SendAll, PlainSend, ReceiveUntilClosed},
};

const IppTransport& TransportOf(const IppSettings* ipp)
{
    DWORD index = ipp ? ipp->transportIndex : 0;
    return g_ippTransports[index < sizeof g_ippTransports / sizeof g_ippTransports[0] ? index : 0];
}

void IppClose(PortRecord* port, SOCKET* connection, DWORD mode)
{
    MonitorLock();
    SOCKET s = *connection;
    *connection = INVALID_SOCKET;
    MonitorUnlock();
    if (!(mode & CLOSE_ABORT))
        mode |= CLOSE_SHORT_DRAIN;
    CloseConnection(port, &s, mode);
}

BOOL IppConnect(PortRecord* port, SOCKET* connection, DWORD closeMode)
{
    IppSettings* ipp = IppOf(port);
    sockaddr_in remote;
    if (!ipp || !ConnectTarget(port, ipp, &remote))
        return FALSE;
    sockaddr_in local = AnyLocalAddress(0);
    for (int attempt = 0; attempt < kConnectAttempts && !Cancelled(port); ++attempt) {
        if (attempt > 0)
            Sleep(g_timing.ippConnectPause);
        SOCKET s = OpenStreamSocket();
        if (s == INVALID_SOCKET)
            return FALSE;
        // Published under the lock: a cancellation may wake it from another thread.
        MonitorLock();
        *connection = s;
        MonitorUnlock();
        if (ConnectStream(s, &local, &remote))
            return TRUE;
        int error = WSAGetLastError();
        IppClose(port, connection, closeMode);
        if (error != WSAEADDRINUSE) {
            port->errorCode = ERR_IPP_CONNECT_FAILED;
            return FALSE;
        }
    }
    return FALSE;
}

// The printer may answer before the upload ends (asking for credentials,
// refusing the job) and close the connection: that answer, when it arrived
// whole, says more than the broken send and decides instead of it. False
// (the lost connection kept as the cause) when none is there.
static bool AnswerArrivedEarly(PortRecord* port, SOCKET s)
{
    IppReply reply;
    ReadHttpResponse(port, s, TRUE, &reply);
    if (reply.decoded || port->errorCode == ERR_IPP_NOT_AUTHENTICATED)
        return true;
    port->errorCode = ERR_CONNECTION_LOST;
    return false;
}

BOOL SendWithRetry(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* counter, BOOL watchCancel)
{
    const IppTransport& transport = TransportOf(IppOf(port));
    DWORD done = 0;
    for (;;) {
        DWORD attempt = 0;
        BOOL ok = transport.send(port, s, data + done, length - done, &attempt, watchCancel);
        done += attempt;
        if (counter)
            *counter += attempt;
        if (ok)
            return TRUE;
        if (IsJobDeletingNow(port))
            return FALSE;
        if (port->errorCode == ERR_CONNECTION_LOST && AnswerArrivedEarly(port, s))
            return FALSE; // the caller reports the printer's answer
        SetJobStatusBits(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, PORT_ERROR_SHOWN, TRUE);
        if (port->errorCode == ERR_TIMEOUT) {
            // What the printer says replaces the bare time-out; a printer that
            // answers as idle leaves the time-out, whose retry resumes here.
            IppPrinterCheck(port, IPP_QUERY_STATUS);
            if (port->errorCode == 0)
                port->errorCode = ERR_TIMEOUT;
        }
        if (!ReportTransmissionError(port)) {
            CancelSpoolerJob(port);
            return FALSE;
        }
    }
}

BOOL SendBody(PortRecord* port, SOCKET s, const BYTE* data, DWORD length, DWORD* counter, BOOL watchCancel)
{
    IppSettings* ipp = IppOf(port);
    BOOL ok = TRUE;
    if (!ipp || !ipp->chunked) {
        for (DWORD offset = 0; ok && offset < length; offset += kPieceSize) {
            DWORD piece = length - offset < kPieceSize ? length - offset : kPieceSize;
            ok = SendWithRetry(port, s, data + offset, piece, counter, watchCancel);
        }
        return ok;
    }
    if (length == 0)
        return TRUE;
    // All chunks of the block are framed into one buffer and go out in one
    // send: under Wine every socket call is a round trip to the server.
    uint32_t chunk = EffectiveMaxChunk(ipp->maxChunk);
    size_t chunks = (static_cast<size_t>(length) + chunk - 1) / chunk;
    size_t size = static_cast<size_t>(length) + chunks * kChunkFramingMax;
    BYTE* buffer = size <= MAXDWORD ? static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size)) : nullptr;
    if (!buffer) {
        port->errorCode = ERR_IPP_SEND;
        return FALSE;
    }
    size_t framed = 0;
    for (DWORD offset = 0; offset < length;) {
        DWORD n = length - offset < chunk ? length - offset : chunk;
        framed += FrameChunk(buffer + framed, size - framed, data + offset, n);
        offset += n;
    }
    DWORD sent = 0;
    ok = SendWithRetry(port, s, buffer, static_cast<DWORD>(framed), &sent, watchCancel);
    // The counter counts document bytes: a chunk counts once it went out whole.
    if (counter)
        *counter += ok ? length : DocumentBytesOfWholeChunks(sent, length, chunk);
    HeapFree(GetProcessHeap(), 0, buffer);
    return ok;
}

// One try of the closing chunk: resumes with its first byte not yet accepted.
static BOOL SendRestOfLastChunk(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    DWORD offset = ipp->lastChunkSent < kLastChunkLength ? ipp->lastChunkSent : kLastChunkLength;
    DWORD sent = 0;
    BOOL ok = TransportOf(ipp).send(port, ipp->connection, reinterpret_cast<const BYTE*>(kLastChunk) + offset,
                                    static_cast<DWORD>(kLastChunkLength) - offset, &sent, TRUE);
    ipp->lastChunkSent = offset + sent;
    return ok;
}

BOOL SendLastChunk(PortRecord* port)
{
    return IppOf(port) ? RetryClosingSend(port, SendRestOfLastChunk) : FALSE;
}

namespace {

// Receives until the parser has a complete response or an error; the
// outcome, with the parser's error code or the receive's in the port.
HttpOutcome ReceiveResponse(PortRecord* port, SOCKET s, BOOL watchCancel, HttpResponseParser* parser)
{
    const IppTransport& transport = TransportOf(IppOf(port));
    HttpOutcome outcome = HTTP_NEED_MORE;
    while (outcome == HTTP_NEED_MORE) {
        size_t room = 0;
        uint8_t* space = HttpReceiveSpace(parser, &room);
        if (room == 0) { // the whole buffer holds an incomplete response
            port->errorCode = ERR_IPP_SEND;
            return HTTP_ERROR;
        }
        // The room is at most the parser's buffer.
        DWORD got = transport.receive(port, s, space, static_cast<DWORD>(room), watchCancel);
        if (got > 0) {
            outcome = HttpReceived(parser, got);
        } else if (port->errorCode == ERR_PEER_CLOSED) {
            port->errorCode = 0;
            outcome = HttpEndOfStream(parser); // a clean close may end the body
        } else {
            // A reset never ends a body: what came of the response is unusable.
            if (port->errorCode == ERR_CONNECTION_LOST && parser->anyByte)
                port->errorCode = ERR_IPP_SEND;
            return HTTP_ERROR; // time-out or cancellation: the code stays
        }
        if (outcome == HTTP_ERROR)
            port->errorCode = parser->error;
    }
    return outcome;
}

} // namespace

BOOL ReadHttpResponse(PortRecord* port, SOCKET s, BOOL watchCancel, IppReply* reply)
{
    memset(reply, 0, sizeof *reply);
    IppSettings* ipp = IppOf(port);
    HttpResponseParser* parser =
        static_cast<HttpResponseParser*>(HeapAlloc(GetProcessHeap(), 0, sizeof(HttpResponseParser)));
    if (!ipp || !parser) {
        if (parser)
            HeapFree(GetProcessHeap(), 0, parser);
        return FALSE;
    }
    HttpParserReset(parser);
    port->errorCode = 0;
    BOOL ok = FALSE;
    if (ReceiveResponse(port, s, watchCancel, parser) == HTTP_COMPLETE) {
        port->errorCode = HttpStatusError(parser->status);
        if (port->errorCode == 0) {
            size_t length = 0;
            const uint8_t* body = HttpBody(parser, &length);
            char* model = ipp->modelTextDestination;
            ParseIppResponse(body, length, SystemOemCodec(), model, model ? kIppModelSize : 0, &reply->ipp);
            reply->decoded = true;
            port->errorCode = reply->ipp.errorCode;
            ok = port->errorCode == 0;
        }
    }
    if (!ok)
        port->errorCode = FailedResponseError(port->errorCode);
    HeapFree(GetProcessHeap(), 0, parser);
    return ok;
}
