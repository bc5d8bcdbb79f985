// The IPP status watcher. Its exchanges run on a record of their own that
// shares only the settings with the port: the job's error code is never
// written here; the printer status and severity are published under the
// monitor lock. That record and the socket of an exchange under way are
// published in the settings, so that a stop can wake the exchange.
#include "ipp/status_watcher.h"

#include <cstring>

#include "ipp/ipp_job.h"
#include "ipp/ipp_request.h"
#include "ipp/ipp_response.h"
#include "monitor/error_reporter.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "monitor/worker_thread.h"

namespace {

const int kStopPolls = 30;
const int kUserNameSize = 260;

// What a query of the watcher reads from the port, and room for what it writes.
struct WatcherRecord {
    PortRecord scratch;
    char user[kUserNameSize];
};

void MakeScratch(PortRecord* port, WatcherRecord* record)
{
    memset(record, 0, sizeof *record);
    MonitorLock();
    record->scratch.protocol = PROTOCOL_IPP;
    record->scratch.settings = port->settings;
    record->scratch.receiveTimeout = port->receiveTimeout;
    record->scratch.sendTimeout = port->sendTimeout;
    if (port->userName) {
        lstrcpynA(record->user, port->userName, sizeof record->user);
        record->scratch.userName = record->user;
    }
    MonitorUnlock();
}

// Polls until the printer is fine again, the watcher is stopped, or the
// document ends. Publishes each answer while the port is still on its job.
void WatchPrinter(PortRecord* port, IppSettings* ipp, HANDLE event, LONG generation)
{
    WatcherRecord* record = static_cast<WatcherRecord*>(HeapAlloc(GetProcessHeap(), 0, sizeof(WatcherRecord)));
    if (!record)
        return;
    MakeScratch(port, record);
    MonitorLock();
    ipp->watcherRecord = &record->scratch;
    MonitorUnlock();
    for (;;) {
        WaitForSingleObject(event, g_timing.ippWatcherPoll);
        if (!HasPortFlag(port, PORT_IPP_WATCHER_REQUESTED) || !HasPortFlag(port, PORT_DOC_OPEN))
            break;
        record->scratch.printerStatus = port->printerStatus;
        BOOL fine = IppQueryOn(&record->scratch, IPP_QUERY_STATUS, &ipp->statusConnection);
        MonitorLock();
        bool current = SharedRead(&port->jobGeneration) == generation && HasPortFlag(port, PORT_IPP_WATCHER_REQUESTED);
        if (current)
            port->printerStatus = record->scratch.printerStatus;
        WORD severity = ipp->severityBits;
        MonitorUnlock();
        if (current)
            ReportPrinterStatus(port);
        if (fine || !(severity & IPP_SEVERITY_ERROR))
            break;
    }
    MonitorLock();
    ipp->watcherRecord = nullptr;
    MonitorUnlock();
    HeapFree(GetProcessHeap(), 0, record);
}

} // namespace

DWORD WINAPI StatusWatcherThread(void* parameter)
{
    PortRecord* port = static_cast<PortRecord*>(parameter);
    IppSettings* ipp = IppOf(port);
    LONG generation = SharedRead(&port->jobGeneration);
    MonitorLock();
    HANDLE event = ipp ? ipp->statusWatcherEvent : nullptr;
    bool run = event && HasPortFlag(port, PORT_IPP_WATCHER_REQUESTED);
    if (run)
        SetPortFlags(port, PORT_IPP_WATCHER_RUNNING);
    MonitorUnlock();
    if (run)
        WatchPrinter(port, ipp, event, generation);
    // The event field is cleared last: a watcher counts as ended only then.
    MonitorLock();
    ClearPortFlags(port, PORT_IPP_WATCHER_REQUESTED | PORT_IPP_WATCHER_RUNNING);
    if (event)
        CloseHandle(event);
    if (ipp)
        ipp->statusWatcherEvent = nullptr;
    MonitorUnlock();
    ReleasePort(port);
    return 0;
}

BOOL StartStatusWatcher(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    if (!ipp)
        return FALSE;
    MonitorLock();
    // A watcher still ending holds the event: no second one meanwhile.
    BOOL started = !HasPortFlag(port, PORT_IPP_WATCHER_REQUESTED) && !ipp->statusWatcherEvent;
    HANDLE thread = nullptr;
    if (started) {
        ipp->statusWatcherEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        SetPortFlags(port, PORT_IPP_WATCHER_REQUESTED);
        ++port->useCount;
        if (ipp->statusWatcherEvent)
            thread = StartWorkerThread(StatusWatcherThread, port, WORKER_LOWEST_PRIORITY);
        if (!thread) {
            if (ipp->statusWatcherEvent)
                CloseHandle(ipp->statusWatcherEvent);
            ipp->statusWatcherEvent = nullptr;
            ClearPortFlags(port, PORT_IPP_WATCHER_REQUESTED);
            --port->useCount;
            started = FALSE;
        }
    }
    MonitorUnlock();
    if (thread)
        CloseHandle(thread);
    return started;
}

BOOL StopStatusWatcher(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    if (!ipp)
        return TRUE;
    MonitorLock();
    ClearPortFlags(port, PORT_IPP_WATCHER_REQUESTED);
    if (ipp->statusWatcherEvent)
        SetEvent(ipp->statusWatcherEvent);
    // An exchange under way ends: the mark is seen within one readiness
    // slice, the shutdown at once where the socket layer notices it. Its
    // owner closes the socket.
    if (ipp->watcherRecord)
        SharedWrite(&ipp->watcherRecord->jobStatus, JOB_STATUS_DELETING);
    if (ipp->statusConnection != INVALID_SOCKET)
        shutdown(ipp->statusConnection, SD_BOTH);
    MonitorUnlock();
    for (int poll = 0;; ++poll) {
        MonitorLock();
        bool ended = ipp->statusWatcherEvent == nullptr;
        MonitorUnlock();
        if (ended)
            return TRUE;
        if (poll == kStopPolls)
            return FALSE;
        Sleep(g_timing.ippWatcherStopPoll);
    }
}
