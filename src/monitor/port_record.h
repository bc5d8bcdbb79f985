// The port record, the protocol settings records and the sender contract.
#pragma once

#include <winsock2.h>
#include <windows.h>

enum ProtocolType : DWORD {
    PROTOCOL_LPR = 0,
    PROTOCOL_IPP = 1,
    PROTOCOL_EMAIL = 2,
    PROTOCOL_RAW = 3,
    PROTOCOL_FILE = 4,
};

// State flags of a port record.
enum PortFlag : DWORD {
    PORT_DOC_OPEN = 0x01,
    PORT_NET_RESOURCE = 0x08,
    PORT_SEEN_IN_REFRESH = 0x10,
    PORT_TRANSFER_STARTED = 0x20,
    PORT_WRITE_FAILED = 0x40,
    PORT_ERROR_SHOWN = 0x80,
    PORT_WATCHER_REQUESTED = 0x100,
    PORT_WATCHER_RUNNING = 0x200,
    PORT_IPP_WATCHER_REQUESTED = 0x400,
    PORT_IPP_WATCHER_RUNNING = 0x800,
};

const DWORD NO_TIMEOUT = 0xFFFFFFFF;

// Every settings record starts with the protocol it was made for, so that a
// record is never read as the layout of another protocol.
struct SettingsHeader {
    DWORD protocol;
};

struct LprSettings {
    SettingsHeader header;
    SOCKET connection;
    char host[65];
    char queue[33];
    WORD portNumber;
    DWORD nonRfcPorts;
    DWORD noByteCount;
    // What the data-file command of the open job announced: the exact size
    // (byteCounted 1, announcedSize bytes), or a stream ended by the close.
    DWORD byteCounted;
    DWORD announcedSize;
};

struct RawSettings {
    SettingsHeader header;
    SOCKET connection;
    char host[65];
    WORD portNumber;
};

struct IppSettings {
    SettingsHeader header;
    SOCKET connection;
    SOCKET statusConnection;
    HANDLE statusWatcherEvent;
    char url[257];
    char host[65];
    char path[257];
    char proxy[257];
    DWORD port;
    DWORD proxyPort;
    DWORD requestCounter;
    DWORD jobIdentifier;
    DWORD maxChunk;
    DWORD chunked;
    DWORD useProxy;
    DWORD jobSheets;
    DWORD authenticate;
    DWORD accepting;
    WORD severityBits;
    char userName[65];
    char password[65];
    char language[17];
    char* modelTextDestination;
    DWORD transportIndex;
    // The current job's end: bytes of the closing chunk already accepted, and
    // the printer's answer to the job (IPP_RESPONSE_*).
    DWORD lastChunkSent;
    DWORD jobResponse;
    // The IPP minor version the port's requests carry: 0, or 1 once the
    // printer answered a 1.0 request with version-not-supported.
    DWORD minorVersion;
    // The record the status watcher's exchanges run on, while it runs
    // (changed under the monitor lock): a stop marks it cancelled.
    struct PortRecord* watcherRecord;
};

struct EmailSettings {
    SettingsHeader header;
    char smtpServer[33];
    char fromAddr[65];
    char fromName[256];
    char toAddr[6500];
    char subject[66];
    char body[1028];
    char signature[514];
    char authId[257];
    BYTE authPass[257];
    DWORD authType;
    WORD charCode;
    DWORD divideSize;
    DWORD divideFile;
    char jobTag[9];
    DWORD noPrint;
    DWORD editBody;
    char spoolPath[260];
};

struct PortRecord;

// Sender contract: send `length` bytes of `data` (or, with no data, open the
// connection and send the job header); the bytes delivered go to *count.
// Returns 1 on success, 0 on failure with the error code left in the record.
typedef BOOL (*SendFunction)(PortRecord* port, const BYTE* data, DWORD length, DWORD* count);

struct PortRecord {
    PortRecord* next;
    char* name;
    char* description;
    // State flags; changed only through SetPortFlags / ClearPortFlags.
    volatile LONG flags;
    char* remoteName;
    HANDLE printer;
    DWORD jobId;
    HANDLE spoolFile;
    DWORD bytesSpooled;
    DWORD jobSize;
    ULONGLONG bytesSent; // a streamed job may pass 4 GiB
    DWORD replayDropped; // the streamed job passed what its spool copy can hold
    DWORD jobHadData;    // WritePort was given at least one byte for this job
    DWORD sendFromSpool;
    DWORD printerAttributes;
    DWORD receiveTimeout;
    DWORD sendTimeout;
    DWORD errorCode;
    volatile LONG jobStatus; // job status cache, written by the job watcher
    DWORD printerStatus;
    DWORD protocol;
    DWORD noSpool;
    char* userName;
    char* documentName;
    HANDLE watcherEvent;
    HANDLE watcherThread; // the job watcher's thread, until StopJobWatcher has waited for it
    SettingsHeader* settings;
    // Shared between the sender's thread and the error window's thread.
    volatile LONG errorWindowState;
    volatile LONG errorWindowOpen;
    volatile LONG errorWindowMessage;
    DWORD reconnect;
    SendFunction send;
    // Holders that keep the record alive: open handles, a running document,
    // watchers, error windows. Changed under the monitor lock.
    LONG useCount;
    // 1 when the network refresh made this record (it alone may remove it).
    DWORD madeByRefresh;
    // Counts the jobs started on this port; a watcher or an error window
    // writes the record only while its job is the current one.
    volatile LONG jobGeneration;
    char nameText[1];
};

inline LprSettings* LprOf(PortRecord* port)
{
    return port->settings && port->settings->protocol == PROTOCOL_LPR ? reinterpret_cast<LprSettings*>(port->settings) : nullptr;
}
inline RawSettings* RawOf(PortRecord* port)
{
    return port->settings && port->settings->protocol == PROTOCOL_RAW ? reinterpret_cast<RawSettings*>(port->settings) : nullptr;
}
inline IppSettings* IppOf(PortRecord* port)
{
    return port->settings && port->settings->protocol == PROTOCOL_IPP ? reinterpret_cast<IppSettings*>(port->settings) : nullptr;
}
inline EmailSettings* EmailOf(PortRecord* port)
{
    return port->settings && port->settings->protocol == PROTOCOL_EMAIL ? reinterpret_cast<EmailSettings*>(port->settings) : nullptr;
}

// Atomic access to the fields that several threads share.
inline LONG SharedRead(const volatile LONG* field)
{
    return InterlockedCompareExchange(const_cast<volatile LONG*>(field), 0, 0);
}
inline void SharedWrite(volatile LONG* field, LONG value)
{
    InterlockedExchange(field, value);
}
inline void SetPortFlags(PortRecord* port, DWORD bits)
{
    InterlockedOr(&port->flags, static_cast<LONG>(bits));
}
inline void ClearPortFlags(PortRecord* port, DWORD bits)
{
    InterlockedAnd(&port->flags, ~static_cast<LONG>(bits));
}
inline DWORD PortFlags(const PortRecord* port)
{
    return static_cast<DWORD>(SharedRead(&port->flags));
}
inline bool HasPortFlag(const PortRecord* port, DWORD bit)
{
    return (PortFlags(port) & bit) != 0;
}
