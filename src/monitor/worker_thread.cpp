// The monitor's worker threads.
#include "monitor/worker_thread.h"

HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE body, void* parameter, WorkerPriority priority)
{
    // A thread that runs at the lowest priority is made suspended, so that it
    // never runs a step at the caller's priority.
    const bool lowest = priority == WORKER_LOWEST_PRIORITY;
    HANDLE thread = CreateThread(nullptr, kWorkerStackSize, body, parameter, lowest ? CREATE_SUSPENDED : 0, nullptr);
    if (thread && lowest) {
        SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
        ResumeThread(thread);
    }
    return thread;
}
