// Reading and changing the spooler status of a port's current job.
#pragma once

#include "monitor/port_record.h"

// GetJobA level 2, up to 120 immediate attempts. A size query (size 0 or no
// buffer) succeeds when the spooler reports the size it needs.
BOOL GetJobWithRetry(HANDLE printer, DWORD jobId, BYTE* buffer, DWORD* size);

// The job's JOB_INFO_2 in a buffer of the size the spooler asks for (the
// caller frees it with HeapFree); NULL when the job cannot be read.
BYTE* ReadJobInfo(HANDLE printer, DWORD jobId);

// Under the monitor lock: reads the job (level 2); when `set` or `clear` is
// not 0, writes Status = (Status | set) & ~clear back. *status (optional)
// receives the status; it is 0 when the job cannot be read. FALSE without a
// printer handle or when the job cannot be read or written.
BOOL ChangeJobStatus(PortRecord* port, DWORD set, DWORD clear, DWORD* status);
// Under the monitor lock: the job's status (level 2) into *status, 0 when it
// cannot be read. FALSE without a printer handle or when the job cannot be read.
BOOL ReadJobStatus(PortRecord* port, DWORD* status);

// Under the monitor lock: cancels the port's current job in the spooler
// (JOB_CONTROL_CANCEL); nothing without a printer handle.
void CancelSpoolerJob(PortRecord* port);

// 0 when the job is being deleted; 1 once it is not paused. While paused it
// sleeps (job retry pause) and reads the status again.
BOOL WaitWhilePaused(PortRecord* port, DWORD status);

// JOB_STATUS_DELETING in the job status cache / in a fresh read.
BOOL IsJobDeleting(PortRecord* port);
BOOL IsJobDeletingNow(PortRecord* port);
