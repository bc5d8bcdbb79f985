// The job path: StartDocPort, WritePort, EndDocPort, the spool file and the
// replay loop that resends it after failures.
#include <cstdio>
#include <cstring>

#include "ipp/status_watcher.h"
#include "monitor/config_store.h"
#include "monitor/email_job.h"
#include "monitor/error_reporter.h"
#include "monitor/job_status.h"
#include "monitor/job_watcher.h"
#include "monitor/monitor.h"
#include "monitor/port_ops.h"
#include "monitor/sender.h"
#include "monitor/spool_file.h"
#include "monitor/timing.h"
#include "net/socket_layer.h"

static const int kPrinterOpenAttempts = 120;
// The spool file is read back in large blocks: each block is one read and a
// few sends, and every call under Wine costs a round trip to its server.
static const DWORD kSpoolBlock = 1048576;
static const DWORD kErrorMultipleDocuments = 1012;
// DOC_INFO_2 mode of a document written through a channel, which this monitor does not offer.
static const DWORD kDocModeChannel = 1;

// Claims the port for a new document: fails with ERROR_BUSY when one is open.
static bool ClaimDocument(PortRecord* port)
{
    MonitorLock();
    bool free = !HasPortFlag(port, PORT_DOC_OPEN);
    if (free) {
        SetPortFlags(port, PORT_DOC_OPEN);
        InterlockedIncrement(&port->jobGeneration);
        ++port->useCount;
    }
    MonitorUnlock();
    if (!free)
        SetLastError(ERROR_BUSY);
    return free;
}

static void ReleaseDocument(PortRecord* port)
{
    MonitorLock();
    ClearPortFlags(port, PORT_DOC_OPEN | PORT_WRITE_FAILED | PORT_ERROR_SHOWN);
    if (port->useCount > 0)
        --port->useCount;
    MonitorUnlock();
}

// The printer's attributes (PRINTER_INFO_5), 0 when unreadable.
static DWORD PrinterAttributes(HANDLE printer)
{
    DWORD needed = 0;
    g_monitor.host.GetPrinterA(printer, 5, nullptr, 0, &needed);
    if (needed < sizeof(PRINTER_INFO_5A) || needed > 64 * 1024)
        return 0;
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
    DWORD attributes = 0;
    if (buffer && g_monitor.host.GetPrinterA(printer, 5, buffer, needed, &needed))
        attributes = reinterpret_cast<PRINTER_INFO_5A*>(buffer)->Attributes;
    if (buffer)
        HeapFree(GetProcessHeap(), 0, buffer);
    return attributes;
}

static HANDLE OpenJobPrinter(const char* printerName)
{
    HANDLE printer = nullptr;
    char name[MAX_PATH + 64];
    lstrcpynA(name, printerName ? printerName : "", sizeof name);
    if (!g_monitor.host.OpenPrinterA(name, &printer, nullptr))
        printer = nullptr;
    return printer;
}

// Opens the job's printer, retrying while the spooler is not ready yet.
static bool OpenPrinterWithRetry(PortRecord* port, const char* printerName)
{
    port->printer = OpenJobPrinter(printerName);
    for (int attempt = 0; !port->printer && attempt < kPrinterOpenAttempts; ++attempt) {
        Sleep(g_timing.printerReopenPause);
        MonitorLock();
        port->printer = OpenJobPrinter(printerName);
        MonitorUnlock();
    }
    if (port->printer)
        port->printerAttributes = PrinterAttributes(port->printer);
    return port->printer != nullptr;
}

static bool IsSameName(const char* key, void* name)
{
    return lstrcmpA(key, static_cast<const char*>(name)) == 0;
}

// True when `name` is a subkey of the ports key (compared case-sensitively).
static bool IsRegisteredPort(const char* name)
{
    HKEY ports = OpenPortsKey(KEY_READ);
    if (!ports)
        return false;
    char key[kPortKeyNameSize];
    bool found = FindPortSubkey(ports, IsSameName, const_cast<char*>(name), key, sizeof key);
    RegCloseKey(ports);
    return found;
}

// A connection left open by an earlier job is reset, never forgotten; an
// earlier IPP job's status watcher is stopped first, so that the settings
// record it uses can be replaced. False (ERROR_BUSY) when that watcher does
// not end: the record then stays as it is.
static bool ResetConnections(PortRecord* port)
{
    if (LprSettings* lpr = LprOf(port))
        CloseConnection(port, &lpr->connection, CLOSE_ABORT);
    if (RawSettings* raw = RawOf(port))
        CloseConnection(port, &raw->connection, CLOSE_ABORT);
    if (IppSettings* ipp = IppOf(port)) {
        if (!StopStatusWatcher(port)) {
            SetLastError(ERROR_BUSY);
            return false;
        }
        CloseConnection(port, &ipp->connection, CLOSE_ABORT);
        CloseConnection(port, &ipp->statusConnection, CLOSE_ABORT);
        ipp->jobIdentifier = 0;
        ipp->accepting = 0;
    }
    return true;
}

static void ResetJobFields(PortRecord* port, DWORD jobId)
{
    SharedWrite(&port->jobStatus, 0);
    port->bytesSent = 0;
    port->replayDropped = 0;
    port->jobHadData = 0;
    port->bytesSpooled = 0;
    port->jobSize = 0;
    port->errorCode = 0;
    port->printerStatus = 0;
    FreeText(&port->userName);
    FreeText(&port->documentName);
    SharedWrite(&port->errorWindowState, 0);
    SharedWrite(&port->errorWindowOpen, 0);
    SharedWrite(&port->errorWindowMessage, 0);
    port->spoolFile = INVALID_HANDLE_VALUE;
    port->jobId = jobId;
}

// Reads the job: the fully-spooled exception and the user and document names.
static void ReadJobDetails(PortRecord* port)
{
    BYTE* buffer = ReadJobInfo(port->printer, port->jobId);
    if (!buffer)
        return;
    const JOB_INFO_2A* job = reinterpret_cast<const JOB_INFO_2A*>(buffer);
    // The spooler already holds the whole job: stream it with its size.
    if (job->pDatatype && lstrcmpiA(job->pDatatype, "RAW") == 0 && job->Status == JOB_STATUS_PRINTING &&
        !(port->printerAttributes & PRINTER_ATTRIBUTE_ENABLE_BIDI) && port->noSpool != 0) {
        port->sendFromSpool = 0;
        port->jobSize = job->Size;
    }
    port->userName = CopyText(job->pUserName);
    port->documentName = CopyText(job->pDocument);
    HeapFree(GetProcessHeap(), 0, buffer);
}

static void ChooseSendMode(PortRecord* port)
{
    port->sendFromSpool = 0;
    port->jobSize = 0;
    if (LprSettings* lpr = LprOf(port))
        port->sendFromSpool = lpr->noByteCount == 0 ? 1 : 0;
    if (IppSettings* ipp = IppOf(port))
        port->sendFromSpool = ipp->chunked == 0 ? 1 : 0;
    ReadJobDetails(port);
    if (port->protocol == PROTOCOL_EMAIL)
        port->sendFromSpool = 1;
    else if (port->protocol == PROTOCOL_RAW || port->protocol == PROTOCOL_FILE)
        port->sendFromSpool = 0;
}

// Opens the destination of a local-file port; a disk file starts empty.
static bool OpenDestination(PortRecord* port, const char* target)
{
    HANDLE file = CreateFileA(target, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    if (GetFileType(file) == FILE_TYPE_DISK)
        SetEndOfFile(file);
    port->spoolFile = file;
    return true;
}

static const char* TargetName(PortRecord* port, DWORD level, const BYTE* docInfo)
{
    const char* output = nullptr;
    if (docInfo && (level == 1 || level == 2))
        output = reinterpret_cast<const DOC_INFO_1A*>(docInfo)->pOutputFile;
    return output && output[0] ? output : port->name;
}

// Settings, sender and job fields of the new job. False (last error set) on failure.
static bool PrepareJob(PortRecord* port, const char* target, DWORD jobId)
{
    if (!ResetConnections(port))
        return false;
    if (IsRegisteredPort(target)) {
        LONG error = ReadPortSettings(port, target);
        if (error == ERROR_NOT_ENOUGH_MEMORY) {
            SetLastError(static_cast<DWORD>(error));
            return false;
        }
        // A port written to a file before and now without a stored type
        // prints with the protocol of its settings record.
        if (port->protocol > PROTOCOL_RAW && port->settings && port->settings->protocol <= PROTOCOL_RAW)
            port->protocol = port->settings->protocol;
    } else {
        port->protocol = PROTOCOL_FILE;
    }
    DWORD protocol = port->protocol <= PROTOCOL_FILE ? port->protocol : PROTOCOL_FILE;
    port->send = g_senders[protocol].send;
    ResetJobFields(port, jobId);
    if (EmailSettings* mail = protocol == PROTOCOL_EMAIL ? EmailOf(port) : nullptr)
        PrepareEmailJob(mail, jobId);
    return true;
}

static bool OpenSpoolFile(PortRecord* port)
{
    // An e-mail job's file outlives its handle until the mailer has read it:
    // it is named with the full job ID, so that no later job with the same
    // last three digits can take the name meanwhile.
    bool keep = port->protocol == PROTOCOL_EMAIL;
    char path[MAX_PATH];
    if (!SpoolFilePath(port->jobId, keep, path, sizeof path))
        return false;
    HANDLE file = CreateSpoolFile(path, keep);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
        // Another live job has the same three-digit name: use the full job ID.
        if (!SpoolFilePath(port->jobId, true, path, sizeof path))
            return false;
        file = CreateSpoolFile(path, keep);
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;
    if (EmailSettings* mail = keep ? EmailOf(port) : nullptr)
        lstrcpynA(mail->spoolPath, path, sizeof mail->spoolPath);
    port->spoolFile = file;
    return true;
}

static void ReleaseJobResources(PortRecord* port)
{
    if (port->printer) {
        port->printerStatus = 0;
        ReportPrinterStatus(port);
        g_monitor.host.ClosePrinter(port->printer);
        port->printer = nullptr;
    }
    CloseSpoolFile(port);
    FreeText(&port->userName);
    FreeText(&port->documentName);
}

BOOL WINAPI StartDocPort(HANDLE handle, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo)
{
    PortRecord* port = ListedPort(handle);
    if (!port) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (level == 2 && docInfo && reinterpret_cast<DOC_INFO_2A*>(docInfo)->dwMode == kDocModeChannel) {
        SetLastError(kErrorMultipleDocuments);
        return FALSE;
    }
    if (!ClaimDocument(port))
        return FALSE;
    port->printer = nullptr;
    port->printerAttributes = 0;
    const char* target = TargetName(port, level, docInfo);
    bool ok = PrepareJob(port, target, jobId) && OpenPrinterWithRetry(port, printerName);
    if (ok) {
        ChooseSendMode(port);
        if (port->protocol == PROTOCOL_FILE)
            ok = OpenDestination(port, target);
        else if (port->sendFromSpool == 1 || port->protocol != PROTOCOL_IPP)
            ok = OpenSpoolFile(port);
    }
    if (!ok) {
        DWORD error = GetLastError();
        ReleaseJobResources(port);
        ReleaseDocument(port);
        SetLastError(error ? error : ERROR_GEN_FAILURE);
        return FALSE;
    }
    StartJobWatcher(port);
    return TRUE;
}

// Appends a block to the spool file. A partial write is cut back so that the
// file holds exactly the bytes counted as spooled.
static bool SpoolBlock(PortRecord* port, const BYTE* data, DWORD size, DWORD* written)
{
    *written = 0;
    if (size > 0xFFFFFFFFu - port->bytesSpooled) {
        if (port->sendFromSpool == 0) {
            // A streamed job longer than the copy can count goes on without
            // it: it can no longer be replayed, but it can be sent.
            CloseSpoolFile(port);
            port->replayDropped = 1;
            *written = size;
            return true;
        }
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return false;
    }
    if (WriteFile(port->spoolFile, data, size, written, nullptr) && *written == size) {
        port->bytesSpooled += size;
        return true;
    }
    DWORD error = GetLastError();
    LARGE_INTEGER offset;
    offset.QuadPart = port->bytesSpooled;
    if (SetFilePointerEx(port->spoolFile, offset, nullptr, FILE_BEGIN))
        SetEndOfFile(port->spoolFile);
    *written = 0;
    SetLastError(error ? error : ERROR_WRITE_FAULT);
    return false;
}

// A streamed block that the sender could not deliver.
static bool StreamFailed(PortRecord* port)
{
    if (port->replayDropped) {
        // The replay copy was given up (a job past 4 GiB): the job fails.
        SetPortFlags(port, PORT_WRITE_FAILED);
        return false;
    }
    if (port->protocol == PROTOCOL_LPR) {
        ChangeJobStatus(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, nullptr);
        port->sendFromSpool = 1;
        SetPortFlags(port, PORT_ERROR_SHOWN);
    } else if (port->protocol == PROTOCOL_FILE) {
        SetPortFlags(port, PORT_WRITE_FAILED);
        return false;
    }
    return true;
}

BOOL WINAPI WritePort(HANDLE handle, LPBYTE data, DWORD size, LPDWORD written)
{
    PortRecord* port = ListedPort(handle);
    if (!port || !written || !HasPortFlag(port, PORT_DOC_OPEN)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *written = 0;
    if (size == 0) {
        // Nothing to spool or send: a sender called with no bytes would open
        // the job's connection without any data to follow.
        SetLastError(0);
        return TRUE;
    }
    port->jobHadData = 1;
    DWORD length = size;
    bool spooled = port->protocol != PROTOCOL_FILE && port->spoolFile != INVALID_HANDLE_VALUE;
    if (spooled) {
        if (!SpoolBlock(port, data, size, written)) {
            SetPortFlags(port, PORT_WRITE_FAILED);
            return FALSE;
        }
        length = *written;
    }
    if (port->sendFromSpool == 0) {
        DWORD count = 0;
        BOOL sent = port->send(port, data, length, &count);
        if (!spooled)
            *written = count;
        if (!sent && !StreamFailed(port)) {
            DWORD error = GetLastError();
            SetLastError(error ? error : ERROR_WRITE_FAULT);
            return FALSE;
        }
    }
    SetLastError(0);
    return TRUE;
}

// Sends the spool file from the offset reached (bytes sent), or from the top.
static BOOL SendSpoolFile(PortRecord* port, BYTE* buffer, DWORD size)
{
    LARGE_INTEGER offset;
    offset.QuadPart = port->bytesSent;
    if (!SetFilePointerEx(port->spoolFile, offset, nullptr, FILE_BEGIN))
        return FALSE;
    port->jobSize = port->bytesSpooled;
    if (port->bytesSpooled == 0) {
        DWORD count = 0; // an empty job: one call without data
        return port->send(port, buffer, 0, &count);
    }
    for (;;) {
        DWORD read = 0;
        BOOL ok = ReadFile(port->spoolFile, buffer, size, &read, nullptr);
        if (!ok || read == 0)
            return ok;
        DWORD count = 0;
        ULONGLONG before = port->bytesSent;
        if (!port->send(port, buffer, read, &count))
            return FALSE;
        // A sender that took less than the block continues where it stopped.
        if (port->bytesSent - before != read) {
            offset.QuadPart = port->bytesSent;
            if (!SetFilePointerEx(port->spoolFile, offset, nullptr, FILE_BEGIN))
                return FALSE;
        }
    }
}

// A network job that got no bytes at all: its sender was never called.
static bool IsEmptyNetworkJob(PortRecord* port)
{
    return (port->protocol == PROTOCOL_LPR || port->protocol == PROTOCOL_IPP || port->protocol == PROTOCOL_RAW) &&
           !port->jobHadData && !HasPortFlag(port, PORT_WRITE_FAILED);
}

// An empty job still goes to its server: the sender is called once without
// data, so that a wrong host or queue shows. A spooled job takes the replay
// loop (with its retries); a job without spool file calls the sender here.
static BOOL SendEmptyJob(PortRecord* port)
{
    if (port->spoolFile != INVALID_HANDLE_VALUE) {
        port->sendFromSpool = 1;
        return TRUE;
    }
    BYTE none = 0;
    DWORD count = 0;
    return port->send(port, &none, 0, &count);
}

// The replay loop: sends the spool file until it is delivered, the user
// gives up, or the job is deleted. *error names a cause other than those.
static BOOL SendFromSpool(PortRecord* port, DWORD* error)
{
    if (port->protocol == PROTOCOL_EMAIL)
    {
        DWORD count = 0;
        return port->send(port, nullptr, 0, &count);
    }
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kSpoolBlock));
    BOOL result = FALSE;
    while (buffer) {
        DWORD status = 0;
        ReadJobStatus(port, &status);
        if (!WaitWhilePaused(port, status))
            break;
        if (HasPortFlag(port, PORT_ERROR_SHOWN) && !ReportTransmissionError(port))
            break;
        ChangeJobStatus(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR, nullptr);
        if (SendSpoolFile(port, buffer, kSpoolBlock)) {
            result = TRUE;
            break;
        }
        SetPortFlags(port, PORT_ERROR_SHOWN);
        status = 0;
        ChangeJobStatus(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, &status);
        if (!WaitWhilePaused(port, status))
            break;
        Sleep(g_timing.jobRetryPause);
    }
    if (buffer)
        HeapFree(GetProcessHeap(), 0, buffer);
    else
        *error = ERROR_NOT_ENOUGH_MEMORY;
    return result;
}

BOOL WINAPI EndDocPort(HANDLE handle)
{
    PortRecord* port = ListedPort(handle);
    if (!port || !HasPortFlag(port, PORT_DOC_OPEN))
        return TRUE;
    // A failure keeps the cause its step gave; ERROR_CANCELLED stands for a
    // job given up (by the user, or deleted) or a step that gave none.
    DWORD error = 0;
    BOOL result = IsEmptyNetworkJob(port) ? SendEmptyJob(port) : TRUE;
    if (result && HasPortFlag(port, PORT_WRITE_FAILED))
        result = FALSE; // the spooler was told; the job is incomplete
    else if (result && port->sendFromSpool == 1)
        result = SendFromSpool(port, &error);
    DWORD protocol = port->protocol <= PROTOCOL_FILE ? port->protocol : PROTOCOL_FILE;
    SetLastError(0);
    if (g_senders[protocol].endJob && !g_senders[protocol].endJob(port)) {
        if (result)
            error = GetLastError();
        result = FALSE;
    }
    CloseErrorWindow(port);
    StopJobWatcher(port);
    ReleaseJobResources(port);
    ReleaseDocument(port);
    if (!result)
        SetLastError(error ? error : ERROR_CANCELLED);
    return result;
}
