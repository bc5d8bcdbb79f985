// Sending the IPP requests. Each request lives in one buffer for its send;
// the buffer held the Basic credentials and is wiped before it is freed.
#include "ipp/request_sender.h"

#include <cstring>

#include "codec/base64.h"
#include "codec/oem_codec.h"
#include "ipp/http_message.h"
#include "ipp/ipp_request.h"
#include "ipp/ipp_transport.h"
#include "monitor/error_reporter.h"
#include "monitor/timing.h"

namespace {

// Head and body of one request.
const size_t kMessageSize = kHttpHeadMax + kIppRequestMax;

struct Message {
    BYTE* data;
    size_t headLength;
    size_t bodyLength;
};

HttpHeadFields HeadFields(const IppSettings* ipp, bool chunked)
{
    HttpHeadFields fields;
    fields.host = ipp->host;
    fields.port = ipp->port;
    fields.path = ipp->path;
    fields.useProxy = ipp->useProxy != 0;
    fields.chunked = chunked;
    fields.authenticate = ipp->authenticate != 0;
    fields.userName = ipp->userName;
    fields.password = ipp->password;
    return fields;
}

IppRequestFields RequestFields(PortRecord* port, IppSettings* ipp)
{
    IppRequestFields fields;
    fields.requestId = TakeRequestId(ipp);
    fields.language = ipp->language;
    fields.url = ipp->url;
    fields.userName = port->userName;
    fields.documentName = port->documentName;
    fields.jobSheets = ipp->jobSheets != 0;
    fields.codec = SystemOemCodec();
    fields.minorVersion = static_cast<uint8_t>(ipp->minorVersion);
    return fields;
}

// The body at data + kHttpHeadMax, then the head moved in front of it so
// that head and body are contiguous. FALSE (error code 102) when either
// cannot be built.
BOOL BuildMessage(PortRecord* port, int kind, Message* message)
{
    IppSettings* ipp = IppOf(port);
    message->headLength = message->bodyLength = 0;
    message->data = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kMessageSize));
    if (!ipp || !message->data) {
        port->errorCode = ERR_IPP_SEND;
        return FALSE;
    }
    IppRequestFields fields = RequestFields(port, ipp);
    BYTE* body = message->data + kHttpHeadMax;
    bool printJob = kind < 0;
    bool chunked = printJob && ipp->chunked;
    message->bodyLength = printJob ? EncodePrintJob(body, kIppRequestMax, fields)
                                   : EncodeGetPrinterAttributes(body, kIppRequestMax, fields, kind);
    // Content-Length counts the document behind the Print-Job body; 64 bits,
    // so that a size beyond 32 bits is refused rather than wrapped.
    uint64_t length = message->bodyLength + (printJob && !chunked ? static_cast<uint64_t>(port->jobSize) : 0);
    char head[kHttpHeadMax];
    message->headLength = message->bodyLength ? BuildHttpHead(head, sizeof head, HeadFields(ipp, chunked), length) : 0;
    if (message->headLength == 0) {
        WipeBytes(head, sizeof head);
        port->errorCode = ERR_IPP_SEND;
        return FALSE;
    }
    memmove(message->data + kHttpHeadMax - message->headLength, head, message->headLength);
    WipeBytes(head, sizeof head);
    return TRUE;
}

void FreeMessage(Message* message)
{
    if (!message->data)
        return;
    WipeBytes(message->data, kMessageSize);
    HeapFree(GetProcessHeap(), 0, message->data);
    message->data = nullptr;
}

const BYTE* HeadOf(const Message& message)
{
    return message.data + kHttpHeadMax - message.headLength;
}

} // namespace

DWORD TakeRequestId(IppSettings* ipp)
{
    volatile LONG* counter = reinterpret_cast<volatile LONG*>(&ipp->requestCounter);
    for (;;) {
        LONG old = InterlockedCompareExchange(counter, 0, 0);
        uint32_t id = ValidRequestId(static_cast<uint32_t>(old));
        if (InterlockedCompareExchange(counter, static_cast<LONG>(NextRequestId(id)), old) == old)
            return id;
    }
}

BOOL BuildGetPrinterAttributes(PortRecord* port, SOCKET s, int kind)
{
    Message message = {};
    BOOL ok = BuildMessage(port, kind, &message);
    if (ok) {
        DWORD sent = 0;
        ok = TransportOf(IppOf(port))
                 .sendAll(port, s, HeadOf(message), static_cast<DWORD>(message.headLength + message.bodyLength), &sent,
                          TRUE);
    }
    FreeMessage(&message);
    return ok;
}

BOOL SendPrintJob(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    Message message = {};
    BOOL ok = BuildMessage(port, -1, &message);
    if (ok) {
        const IppTransport& transport = TransportOf(ipp);
        DWORD sent = 0;
        ipp->lastChunkSent = 0;
        ipp->jobResponse = IPP_RESPONSE_NONE;
        if (ipp->chunked) {
            ok = transport.sendAll(port, ipp->connection, HeadOf(message), static_cast<DWORD>(message.headLength), &sent,
                                   TRUE);
            if (ok) {
                Sleep(g_timing.ippRequestPause);
                ok = SendBody(port, ipp->connection, message.data + kHttpHeadMax, static_cast<DWORD>(message.bodyLength),
                              nullptr, TRUE);
            }
        } else {
            ok = transport.sendAll(port, ipp->connection, HeadOf(message),
                                   static_cast<DWORD>(message.headLength + message.bodyLength), &sent, TRUE);
        }
        Sleep(g_timing.ippRequestPause);
    }
    FreeMessage(&message);
    return ok;
}
