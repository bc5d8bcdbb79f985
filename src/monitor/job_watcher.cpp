#include "monitor/job_watcher.h"

#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "monitor/worker_thread.h"

struct WatcherStart {
    PortRecord* port;
    HANDLE event;     // the watcher's own event; the port's field may change
    LONG generation;  // the job it watches
};

static bool IsCurrent(const WatcherStart* w)
{
    return SharedRead(&w->port->jobGeneration) == w->generation;
}

// Reads the job status into the cache; a failed read keeps the previous value.
static void RefreshJobStatus(PortRecord* port)
{
    DWORD status = 0;
    if (port->printer && ReadJobStatus(port, &status))
        SharedWrite(&port->jobStatus, static_cast<LONG>(status));
}

static void WatchJob(WatcherStart* w)
{
    PortRecord* port = w->port;
    for (;;) {
        WaitForSingleObject(w->event, g_timing.jobWatcherPoll);
        MonitorLock();
        bool go = IsCurrent(w) && HasPortFlag(port, PORT_WATCHER_REQUESTED) && HasPortFlag(port, PORT_DOC_OPEN);
        if (go)
            RefreshJobStatus(port);
        MonitorUnlock();
        if (!go)
            return;
    }
}

static DWORD WINAPI JobWatcherThread(LPVOID parameter)
{
    WatcherStart* w = static_cast<WatcherStart*>(parameter);
    PortRecord* port = w->port;
    MonitorLock();
    bool go = IsCurrent(w) && HasPortFlag(port, PORT_WATCHER_REQUESTED);
    if (go)
        SetPortFlags(port, PORT_WATCHER_RUNNING);
    MonitorUnlock();
    if (go)
        WatchJob(w);
    MonitorLock();
    if (port->watcherEvent == w->event)
        port->watcherEvent = nullptr;
    CloseHandle(w->event);
    if (IsCurrent(w))
        ClearPortFlags(port, PORT_WATCHER_REQUESTED | PORT_WATCHER_RUNNING);
    MonitorUnlock();
    ReleasePort(port);
    HeapFree(GetProcessHeap(), 0, w);
    return 0;
}

void StartJobWatcher(PortRecord* port)
{
    WatcherStart* w = static_cast<WatcherStart*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WatcherStart)));
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!w || !event) {
        if (event)
            CloseHandle(event);
        HeapFree(GetProcessHeap(), 0, w);
        return;
    }
    MonitorLock();
    SetPortFlags(port, PORT_WATCHER_REQUESTED);
    port->watcherEvent = event;
    *w = WatcherStart{port, event, SharedRead(&port->jobGeneration)};
    AcquirePort(port);
    MonitorUnlock();
    HANDLE thread = StartWorkerThread(JobWatcherThread, w, WORKER_LOWEST_PRIORITY);
    if (!thread) {
        MonitorLock();
        ClearPortFlags(port, PORT_WATCHER_REQUESTED);
        port->watcherEvent = nullptr;
        MonitorUnlock();
        CloseHandle(event);
        ReleasePort(port);
        HeapFree(GetProcessHeap(), 0, w);
        return;
    }
    MonitorLock();
    HANDLE earlier = port->watcherThread;
    port->watcherThread = thread;
    MonitorUnlock();
    if (earlier)
        CloseHandle(earlier); // a watcher no stop waited for; it ends on its own
}

BOOL StopJobWatcher(PortRecord* port)
{
    MonitorLock();
    ClearPortFlags(port, PORT_WATCHER_REQUESTED);
    if (port->watcherEvent)
        SetEvent(port->watcherEvent);
    HANDLE thread = port->watcherThread;
    port->watcherThread = nullptr;
    MonitorUnlock();
    if (!thread)
        return TRUE;
    // The watcher ends as soon as it has run once after the signal; it gets
    // at most ten stop polls for that.
    DWORD wait = WaitForSingleObject(thread, g_timing.jobWatcherStopPoll * 10);
    CloseHandle(thread);
    return wait == WAIT_OBJECT_0;
}
