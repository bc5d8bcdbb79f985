// The monitor's worker threads (job and status watchers, error windows, the
// wizard's connection test, the network refresh): each on a small stack.
#pragma once

#include <windows.h>

// The stack every worker thread of the monitor gets.
const DWORD kWorkerStackSize = 16384;

enum WorkerPriority {
    WORKER_NORMAL_PRIORITY,
    WORKER_LOWEST_PRIORITY, // lowered before the thread runs its first instruction
};

// Starts `body(parameter)` on a new thread with the worker stack. The
// thread's handle (the caller closes it), or NULL when it could not be made.
HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE body, void* parameter, WorkerPriority priority);
