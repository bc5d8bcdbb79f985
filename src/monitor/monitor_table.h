// The thirteen-slot monitor table in the Windows 95 layout, with ANSI texts.
// (The NT layout of the system headers has wide texts and an extra slot.)
#pragma once

#include <windows.h>

struct MONITOR95;

typedef BOOL(WINAPI* EnumPortsFn)(LPSTR serverName, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed, LPDWORD returned);
typedef BOOL(WINAPI* OpenPortFn)(LPSTR portName, PHANDLE handle);
typedef BOOL(WINAPI* OpenPortExFn)(LPSTR portName, LPSTR printerName, PHANDLE handle, MONITOR95* monitor);
typedef BOOL(WINAPI* StartDocPortFn)(HANDLE port, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo);
typedef BOOL(WINAPI* WritePortFn)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
typedef BOOL(WINAPI* ReadPortFn)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
typedef BOOL(WINAPI* EndDocPortFn)(HANDLE port);
typedef BOOL(WINAPI* ClosePortFn)(HANDLE port);
typedef BOOL(WINAPI* AddPortFn)(LPSTR serverName, HWND window, LPSTR monitorName);
typedef BOOL(WINAPI* ConfigurePortFn)(LPSTR serverName, HWND window, LPSTR portName);
typedef BOOL(WINAPI* DeletePortFn)(LPSTR serverName, HWND window, LPSTR portName);
typedef BOOL(WINAPI* GetPrinterDataFromPortFn)(HANDLE port, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize,
                                               LPSTR outBuffer, DWORD outSize, LPDWORD returned);
typedef BOOL(WINAPI* SetPortTimeOutsFn)(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved);

struct MONITOR95 {
    EnumPortsFn pfnEnumPorts;                          // 0
    OpenPortFn pfnOpenPort;                            // 1
    OpenPortExFn pfnOpenPortEx;                        // 2, left empty
    StartDocPortFn pfnStartDocPort;                    // 3
    WritePortFn pfnWritePort;                          // 4
    ReadPortFn pfnReadPort;                            // 5
    EndDocPortFn pfnEndDocPort;                        // 6
    ClosePortFn pfnClosePort;                          // 7
    AddPortFn pfnAddPort;                              // 8
    ConfigurePortFn pfnConfigurePort;                  // 9
    DeletePortFn pfnDeletePort;                        // 10
    GetPrinterDataFromPortFn pfnGetPrinterDataFromPort; // 11
    SetPortTimeOutsFn pfnSetPortTimeOuts;              // 12
};

static_assert(sizeof(MONITOR95) == 13 * sizeof(void*), "thirteen slots");

typedef BOOL(WINAPI* InitializeMonitorExFn)(LPSTR registryRoot, MONITOR95* monitor);
