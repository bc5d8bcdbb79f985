// IPP job transmission. Every exchange owns its socket: a printer query runs
// on a connection of its own, the job on the print connection, so that the
// status watcher never touches a socket of the job thread.
#include "ipp/ipp_job.h"

#include "ipp/ipp_policy.h"
#include "ipp/ipp_request.h"
#include "ipp/ipp_transport.h"
#include "ipp/request_sender.h"
#include "ipp/status_watcher.h"
#include "monitor/error_reporter.h"
#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "net/socket_layer.h"

namespace {

bool IsCredentialsCode(DWORD code)
{
    return code == ERR_IPP_NOT_AUTHENTICATED || code == ERR_IPP_NOT_AUTHORIZED;
}

// The answer to a job the printer did not take: an IPP status shows its own
// code, anything else (5xx, 426, malformed, no answer) the send error.
void ShowJobRefused(DWORD code)
{
    if (IsIppStatusError(code))
        ShowIppStatusMessage(code);
    else
        ShowStopMessage("IDS_IPP_SEND_ERROR");
}

// The error code the reporter sees for a job whose connection is gone after
// document bytes went out: credentials can be given and the job sent again
// only when it can be replayed from its spool file; every other failure is
// shown and the job given up (an IPP status with its own code).
DWORD RestartCode(DWORD code, bool replayable)
{
    if (IsCredentialsCode(code))
        return replayable ? code : ERR_IPP_SEND;
    return IsIppStatusError(code) ? code : ERR_IPP_SEND;
}

// Failures after which the print connection stays open and a retry resumes.
bool KeepsConnection(DWORD code)
{
    return code == ERR_TIMEOUT || (code >= ERR_IPP_PRINTER_NOT_READY && code <= ERR_IPP_NOT_ACCEPTING);
}

bool IsSilentRetry(const PortRecord* port, DWORD code)
{
    return code == ERR_UNREACHABLE || (code == ERR_IPP_CONNECT_FAILED && port->reconnect);
}

void ApplyReply(PortRecord* port, int kind, const IppReply& reply)
{
    IppSettings* ipp = IppOf(port);
    if (!reply.decoded || !ipp)
        return;
    MonitorLock();
    port->printerStatus = reply.ipp.printerStatus;
    ipp->severityBits = reply.ipp.severityBits;
    if (kind == IPP_QUERY_CHECK)
        ipp->accepting = reply.ipp.accepting;
    MonitorUnlock();
}

// Reads the printer's answer to the Print-Job and closes the print
// connection (gracefully only after an accepted job).
BOOL FinishJob(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    IppReply reply;
    BOOL ok = ReadHttpResponse(port, ipp->connection, TRUE, &reply);
    if (reply.decoded && reply.ipp.hasJobId)
        ipp->jobIdentifier = reply.ipp.jobId;
    ipp->jobResponse = ok ? IPP_RESPONSE_ACCEPTED : IPP_RESPONSE_FAILED;
    IppClose(port, &ipp->connection, ok && !IsJobDeletingNow(port) ? CLOSE_GRACEFUL : CLOSE_ABORT);
    return ok;
}

// A counted body is complete once the announced bytes went out: the answer
// is read at once, while a refused job can still be sent again.
bool CountedBodyComplete(const PortRecord* port, const IppSettings* ipp)
{
    return !ipp->chunked && ipp->connection != INVALID_SOCKET && ipp->jobResponse == IPP_RESPONSE_NONE &&
           port->bytesSent == port->jobSize;
}

// One Get-Printer-Attributes exchange on *connection (see IppQueryOn).
BOOL QueryOnce(PortRecord* port, int kind, SOCKET* connection)
{
    IppReply reply = {};
    BOOL ok = IppConnect(port, connection, CLOSE_KEEP_TRANSFER);
    if (ok)
        ok = BuildGetPrinterAttributes(port, *connection, kind);
    if (ok)
        ok = ReadHttpResponse(port, *connection, TRUE, &reply);
    ApplyReply(port, kind, reply);
    uint32_t code = port->errorCode;
    ok = QueryPrinterOutcome(kind, ok != FALSE, reply.decoded ? reply.ipp.accepting : 1, &code);
    port->errorCode = code;
    // An exchange that broke off is reset; one that was answered ends gracefully.
    bool answered = reply.decoded || code == ERR_IPP_NOT_AUTHENTICATED;
    IppClose(port, connection, answered ? CLOSE_KEEP_TRANSFER : CLOSE_KEEP_TRANSFER | CLOSE_ABORT);
    Sleep(g_timing.ippRequestPause);
    return ok;
}

} // namespace

BOOL IppQueryOn(PortRecord* port, int kind, SOCKET* connection)
{
    BOOL ok = QueryOnce(port, kind, connection);
    // A printer that refuses IPP/1.0 is asked again in 1.1, as is every later
    // request of the port (they are encoded alike in both versions).
    IppSettings* ipp = IppOf(port);
    if (!ok && ipp && ipp->minorVersion == 0 && port->errorCode == ERR_IPP_VERSION_NOT_SUPPORTED) {
        ipp->minorVersion = 1;
        ok = QueryOnce(port, kind, connection);
    }
    return ok;
}

BOOL IppQueryPrinter(PortRecord* port, int kind)
{
    SOCKET connection = INVALID_SOCKET;
    return IppQueryOn(port, kind, &connection);
}

BOOL IppPrinterCheck(PortRecord* port, int kind)
{
    IppSettings* ipp = IppOf(port);
    if (!ipp)
        return FALSE;
    if (HasPortFlag(port, PORT_IPP_WATCHER_REQUESTED))
        StopStatusWatcher(port);
    BOOL ok = IppQueryPrinter(port, kind);
    PrinterCheckDecision decision = DecidePrinterCheck(ok != FALSE, port->errorCode, ipp->severityBits, port->printerStatus);
    port->errorCode = decision.errorCode;
    MonitorLock();
    port->printerStatus = decision.printerStatus;
    MonitorUnlock();
    if (decision.startWatcher)
        StartStatusWatcher(port);
    if (decision.pauseNotAccepting)
        Sleep(g_timing.ippNotAcceptingPause);
    return decision.go ? TRUE : FALSE;
}

void SetJobStatusBits(PortRecord* port, DWORD set, DWORD clear, DWORD flag, BOOL on)
{
    ChangeJobStatus(port, set, clear, nullptr);
    MonitorLock();
    if (on)
        SetPortFlags(port, flag);
    else
        ClearPortFlags(port, flag);
    MonitorUnlock();
}

BOOL IppOpenJob(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    if (!ipp || !IppPrinterCheck(port, IPP_QUERY_CHECK))
        return FALSE;
    if (port->printerStatus) {
        if (!HasPortFlag(port, PORT_IPP_WATCHER_REQUESTED) && (ipp->severityBits & IPP_SEVERITY_ERROR))
            StartStatusWatcher(port);
        ReportPrinterStatus(port);
    }
    if (HasPortFlag(port, PORT_TRANSFER_STARTED) && ipp->connection != INVALID_SOCKET)
        return TRUE;
    // A connection left from an earlier attempt carries a partial request.
    IppClose(port, &ipp->connection, CLOSE_ABORT);
    if (!IppConnect(port, &ipp->connection, CLOSE_GRACEFUL)) {
        IppClose(port, &ipp->connection, CLOSE_ABORT);
        if (port->errorCode == 0)
            port->errorCode = ERR_UNREACHABLE;
        return FALSE;
    }
    if (!SendPrintJob(port)) {
        IppClose(port, &ipp->connection, CLOSE_ABORT);
        if (port->errorCode == ERR_TIMEOUT)
            port->errorCode = ERR_IPP_NO_ANSWER;
        return FALSE;
    }
    MonitorLock();
    SetPortFlags(port, PORT_TRANSFER_STARTED);
    MonitorUnlock();
    return TRUE;
}

BOOL IppSendData(PortRecord* port, const BYTE* data, DWORD length, DWORD* sent)
{
    IppSettings* ipp = IppOf(port);
    *sent = 0;
    port->errorCode = 0;
    // An empty job (one call without data from the job path): the printer is
    // asked whether it takes jobs, but no Print-Job goes, which printers
    // refuse without document data.
    if (ipp && length == 0 && port->bytesSent == 0)
        return IppPrinterCheck(port, IPP_QUERY_CHECK);
    if (!ipp || (port->bytesSent == 0 && !IppOpenJob(port)))
        return FALSE;
    if (ipp->connection == INVALID_SOCKET) {
        port->errorCode = ERR_CONNECTION_LOST;
        return FALSE;
    }
    // A counted body never carries more than its Content-Length announced.
    if (!ipp->chunked && static_cast<ULONGLONG>(port->bytesSent) + length > port->jobSize) {
        port->errorCode = ERR_IPP_SEND;
        return FALSE;
    }
    DWORD count = 0;
    BOOL ok = SendBody(port, ipp->connection, data, length, &count, TRUE);
    port->bytesSent += count;
    *sent = count;
    return ok;
}

// Only a success after a failure on show asks the printer again: while the
// printer merely reports trouble, the status watcher keeps its status current
// (asking after every block would restart the watcher before it ever polls).
void IppAfterSuccess(PortRecord* port)
{
    if (HasPortFlag(port, PORT_ERROR_SHOWN)) {
        IppPrinterCheck(port, IPP_QUERY_STATUS);
        MonitorLock();
        port->printerStatus &= ~static_cast<DWORD>(PRINTER_STATUS_PROCESSING);
        MonitorUnlock();
        ReportPrinterStatus(port);
        SetJobStatusBits(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR, PORT_ERROR_SHOWN, FALSE);
    }
    CloseErrorWindow(port);
}

BOOL IppWrite(PortRecord* port, const BYTE* data, DWORD length, DWORD* count)
{
    IppSettings* ipp = IppOf(port);
    if (count)
        *count = 0;
    if (!ipp) {
        port->errorCode = ERR_CONNECTION_LOST;
        return FALSE;
    }
    bool replayable = port->sendFromSpool == 1 && port->spoolFile != INVALID_HANDLE_VALUE;
    DWORD done = 0;
    for (;;) {
        DWORD sent = 0;
        BOOL ok = IppSendData(port, data + done, length - done, &sent);
        done += sent;
        if (ok && CountedBodyComplete(port, ipp))
            ok = FinishJob(port);
        if (ok) {
            IppAfterSuccess(port);
            if (count)
                *count = length;
            return TRUE;
        }
        if (IsJobDeletingNow(port)) {
            IppClose(port, &ipp->connection, CLOSE_ABORT);
            return FALSE;
        }
        if (!KeepsConnection(port->errorCode))
            IppClose(port, &ipp->connection, CLOSE_ABORT);
        // Document bytes went into a connection that is gone: never resume
        // there; the job goes again from its first byte with a new Print-Job.
        bool restart = port->bytesSent > 0 && ipp->connection == INVALID_SOCKET;
        if (restart)
            port->errorCode = RestartCode(port->errorCode, replayable);
        SetJobStatusBits(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, PORT_ERROR_SHOWN, TRUE);
        DWORD code = port->errorCode;
        if (!ReportTransmissionError(port)) {
            CancelSpoolerJob(port);
            return FALSE;
        }
        if (restart) {
            // The replay loop reads its spool file again from the offset now 0.
            port->bytesSent = 0;
            return replayable ? TRUE : FALSE;
        }
        if (IsSilentRetry(port, code))
            Sleep(g_timing.jobRetryPause);
    }
}

namespace {

// The end of the document on the wire: the closing chunk, or nothing for a
// counted body. FALSE (the connection reset) when the bytes sent differ from
// a known job size or the closing chunk could not go out.
BOOL EndBody(PortRecord* port, IppSettings* ipp)
{
    bool sizeKnown = !ipp->chunked || port->jobSize != 0;
    if (sizeKnown && port->bytesSent != port->jobSize) {
        IppClose(port, &ipp->connection, CLOSE_ABORT);
        ShowStopMessage("IDS_IPP_SEND_ERROR");
        return FALSE;
    }
    if (ipp->chunked && !SendLastChunk(port)) {
        IppClose(port, &ipp->connection, CLOSE_ABORT);
        return FALSE;
    }
    return TRUE;
}

} // namespace

namespace {

BOOL EndJob(PortRecord* port, IppSettings* ipp)
{
    if (HasPortFlag(port, PORT_IPP_WATCHER_REQUESTED))
        StopStatusWatcher(port);
    if (IsJobDeletingNow(port)) {
        IppClose(port, &ipp->connection, CLOSE_ABORT);
        return FALSE;
    }
    if (ipp->connection == INVALID_SOCKET) {
        if (ipp->jobResponse != IPP_RESPONSE_NONE)
            return ipp->jobResponse == IPP_RESPONSE_ACCEPTED;
        // Nothing went out: fine unless a failure is still on show.
        return !HasPortFlag(port, PORT_ERROR_SHOWN);
    }
    if (!EndBody(port, ipp))
        return FALSE;
    BOOL ok = FinishJob(port);
    if (!ok && !IsJobDeletingNow(port))
        ShowJobRefused(port->errorCode);
    return ok;
}

} // namespace

BOOL IppEndJob(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    if (!ipp)
        return TRUE;
    BOOL ok = EndJob(port, ipp);
    // The answer belongs to this job only.
    ipp->jobResponse = IPP_RESPONSE_NONE;
    ipp->lastChunkSent = 0;
    return ok;
}
