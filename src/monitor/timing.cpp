#include "monitor/timing.h"

const TimingTable kProductionTiming = {
    15000, // jobRetryPause
    500,   // printerReopenPause
    10000, // errorWindowRetry
    1000,  // errorWindowFlash
    15000, // jobWatcherPoll
    10000, // networkRefreshInterval
    3000,  // networkRefreshWait
    1000,  // discoveryWait
    1000,  // ippConnectPause
    500,   // rawConnectPause
    100,   // lprLocalPortPause
    50,    // ippRequestPause
    100,   // errorWindowDecisionPoll
    1000,  // errorWindowClosePoll
    1000,  // jobWatcherStopPoll
    15000, // readinessWait
    60000, // gracefulCloseLimit
    3000,  // shortCloseLimit
    15000, // ippNotAcceptingPause
    30000, // ippWatcherPoll
    1000,  // ippWatcherStopPoll
    20000, // connectionTestStopLimit (one readiness wait and a margin)
};

TimingTable g_timing = kProductionTiming;

static DWORD Scaled(DWORD value, DWORD divisor)
{
    DWORD scaled = value / divisor;
    return scaled ? scaled : 1;
}

void ScaleTiming(DWORD divisor)
{
    if (divisor <= 1) {
        g_timing = kProductionTiming;
        return;
    }
    const DWORD* from = &kProductionTiming.jobRetryPause;
    DWORD* to = &g_timing.jobRetryPause;
    for (size_t i = 0; i < sizeof(TimingTable) / sizeof(DWORD); ++i)
        to[i] = Scaled(from[i], divisor);
}
