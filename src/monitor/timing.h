// Every fixed pause, poll interval and time-out of the monitor, in ms.
#pragma once

#include <windows.h>

struct TimingTable {
    DWORD jobRetryPause;        // between attempts of a failed job
    DWORD printerReopenPause;   // between attempts to reopen the spooler printer
    DWORD errorWindowRetry;     // transmission-error window retries by itself
    DWORD errorWindowFlash;     // transmission-error window flashes
    DWORD jobWatcherPoll;       // job watcher refreshes the job status
    DWORD networkRefreshInterval; // EnumPorts refreshes network printers at most this often
    DWORD networkRefreshWait;   // EnumPorts waits this long for the refresh
    DWORD discoveryWait;        // print-server search answer wait
    DWORD ippConnectPause;      // between IPP connect attempts
    DWORD rawConnectPause;      // between Raw connect attempts
    DWORD lprLocalPortPause;    // between LPR reserved local ports
    DWORD ippRequestPause;      // after each IPP request
    DWORD errorWindowDecisionPoll; // the sender looks at the error window this often
    DWORD errorWindowClosePoll; // a close request looks for the window's end this often (10 times)
    DWORD jobWatcherStopPoll;   // EndDocPort waits ten of these at most for the watcher to end
    DWORD readinessWait;        // one readiness wait of a stream send or receive
    DWORD gracefulCloseLimit;   // a graceful close drains the peer at most this long
    DWORD shortCloseLimit;      // a graceful close of an IPP connection drains at most this long
    DWORD ippNotAcceptingPause; // a printer not accepting jobs is asked again after this
    DWORD ippWatcherPoll;       // the IPP status watcher asks the printer this often
    DWORD ippWatcherStopPoll;   // stopping the IPP status watcher looks for its end this often
    DWORD connectionTestStopLimit; // a cancelled connection test is waited for at most this long
};

// The production values.
extern const TimingTable kProductionTiming;
// The values in force (production values divided by the host's divisor).
extern TimingTable g_timing;

// Divides every production value by `divisor` (0 and 1 restore them); at least 1 ms remains.
void ScaleTiming(DWORD divisor);
