// Reading and changing the spooler status of a port's current job.
#include "monitor/job_status.h"

#include "monitor/monitor.h"
#include "monitor/timing.h"

static const int kJobReadAttempts = 120;
// A JOB_INFO_2 with its texts and device mode; anything larger is refused.
static const DWORD kMaxJobInfoSize = 1024 * 1024;

BOOL GetJobWithRetry(HANDLE printer, DWORD jobId, BYTE* buffer, DWORD* size)
{
    bool query = !buffer || *size == 0;
    for (int attempt = 0; attempt < kJobReadAttempts; ++attempt) {
        DWORD needed = 0;
        if (g_monitor.host.GetJobA(printer, jobId, 2, query ? nullptr : buffer, query ? 0 : *size, &needed))
            return TRUE;
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            *size = needed;
            return query ? TRUE : FALSE;
        }
    }
    return FALSE;
}

BYTE* ReadJobInfo(HANDLE printer, DWORD jobId)
{
    DWORD size = 0;
    if (!GetJobWithRetry(printer, jobId, nullptr, &size) || size < sizeof(JOB_INFO_2A) || size > kMaxJobInfoSize)
        return nullptr;
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (buffer && !GetJobWithRetry(printer, jobId, buffer, &size)) {
        HeapFree(GetProcessHeap(), 0, buffer);
        buffer = nullptr;
    }
    return buffer;
}

BOOL ChangeJobStatus(PortRecord* port, DWORD set, DWORD clear, DWORD* status)
{
    // A status step leaves the caller's last error as it found it: its size
    // query always ends in ERROR_INSUFFICIENT_BUFFER, which is no failure of
    // the caller's.
    const DWORD callerError = GetLastError();
    BOOL ok = FALSE;
    DWORD current = 0;
    MonitorLock();
    BYTE* buffer = port->printer ? ReadJobInfo(port->printer, port->jobId) : nullptr;
    if (buffer) {
        JOB_INFO_2A* job = reinterpret_cast<JOB_INFO_2A*>(buffer);
        ok = TRUE;
        if (set || clear) {
            job->Status = (job->Status | set) & ~clear;
            ok = g_monitor.host.SetJobA(port->printer, port->jobId, 2, buffer, 0);
        }
        current = job->Status;
        HeapFree(GetProcessHeap(), 0, buffer);
    }
    MonitorUnlock();
    if (status)
        *status = current;
    SetLastError(callerError);
    return ok;
}

BOOL ReadJobStatus(PortRecord* port, DWORD* status)
{
    return ChangeJobStatus(port, 0, 0, status);
}

void CancelSpoolerJob(PortRecord* port)
{
    MonitorLock();
    if (port->printer)
        g_monitor.host.SetJobA(port->printer, port->jobId, 0, nullptr, JOB_CONTROL_CANCEL);
    MonitorUnlock();
}

BOOL WaitWhilePaused(PortRecord* port, DWORD status)
{
    for (;;) {
        if (status & JOB_STATUS_DELETING)
            return FALSE;
        if (!(status & JOB_STATUS_PAUSED))
            return TRUE;
        Sleep(g_timing.jobRetryPause);
        // A failed read leaves 0: neither paused nor deleting.
        status = 0;
        ReadJobStatus(port, &status);
    }
}

BOOL IsJobDeleting(PortRecord* port)
{
    return (SharedRead(&port->jobStatus) & JOB_STATUS_DELETING) != 0;
}

BOOL IsJobDeletingNow(PortRecord* port)
{
    DWORD status = 0;
    ReadJobStatus(port, &status);
    return (status & JOB_STATUS_DELETING) != 0;
}
