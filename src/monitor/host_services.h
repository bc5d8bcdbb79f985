// The one seam between the monitor and its host: a host (a spooler stand-in,
// a test) may replace the spooler and network-provider functions and scale
// every fixed pause and time-out before it calls InitializeMonitorEx.
#pragma once

#include <windows.h>
#include <winnetwk.h>
#include <winspool.h>

struct MonitorHostServices {
    DWORD size; // sizeof(MonitorHostServices)
    BOOL(WINAPI* OpenPrinterA)(LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
    BOOL(WINAPI* ClosePrinter)(HANDLE printer);
    BOOL(WINAPI* GetPrinterA)(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);
    BOOL(WINAPI* SetPrinterA)(HANDLE printer, DWORD level, LPBYTE buffer, DWORD command);
    BOOL(WINAPI* GetJobA)(HANDLE printer, DWORD jobId, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);
    BOOL(WINAPI* SetJobA)(HANDLE printer, DWORD jobId, DWORD level, LPBYTE buffer, DWORD command);
    BOOL(WINAPI* EnumPortsA)(LPSTR serverName, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed, LPDWORD returned);
    DWORD(WINAPI* WNetOpenEnumA)(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEA resource, LPHANDLE enumeration);
    DWORD(WINAPI* WNetEnumResourceA)(HANDLE enumeration, LPDWORD count, LPVOID buffer, LPDWORD size);
    DWORD(WINAPI* WNetCloseEnum)(HANDLE enumeration);
    // Every fixed pause, poll and time-out of the monitor is divided by this
    // (at least 1 ms remains). 0 or 1: the production times.
    DWORD timeDivisor;
};

// Exported by the monitor DLL. Members left NULL keep the real functions.
// Returns FALSE with ERROR_INVALID_PARAMETER for a table of unknown size.
typedef BOOL(WINAPI* SetMonitorHostServicesFn)(const MonitorHostServices* services);

#define SET_MONITOR_HOST_SERVICES_EXPORT "SetMonitorHostServices"
