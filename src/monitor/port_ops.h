// The monitor-table operations of the port table.
#pragma once

#include "monitor/monitor_table.h"

BOOL WINAPI EnumPorts(LPSTR serverName, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned);
BOOL WINAPI OpenPort(LPSTR name, PHANDLE handle);
BOOL WINAPI ClosePort(HANDLE handle);
BOOL WINAPI ReadPort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD read);
BOOL WINAPI GetPrinterDataFromPort(HANDLE handle, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize,
                                   LPSTR outBuffer, DWORD outSize, LPDWORD returned);
BOOL WINAPI SetPortTimeOuts(HANDLE handle, LPCOMMTIMEOUTS timeouts, DWORD reserved);

// Job and administration operations.
BOOL WINAPI StartDocPort(HANDLE port, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo);
BOOL WINAPI WritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
BOOL WINAPI EndDocPort(HANDLE port);
BOOL WINAPI AddPort(LPSTR serverName, HWND window, LPSTR monitorName);
BOOL WINAPI ConfigurePort(LPSTR serverName, HWND window, LPSTR portName);
BOOL WINAPI DeletePort(LPSTR serverName, HWND window, LPSTR portName);
