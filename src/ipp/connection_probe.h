// The add-port wizard's background test of a printer URL: one
// Get-Printer-Attributes exchange for the printer's make and model.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "monitor/port_record.h"

// Starts ConnectionTestThread on the wizard's temporary port record (its IPP
// settings hold the parsed URL, the proxy and the language). *thread gets the
// handle; FALSE when the thread could not be started.
BOOL StartConnectionTest(PortRecord* port, HANDLE* thread);
// Exit code 1 when the printer answered (a request for credentials counts),
// 0 when not. The make and model are in the settings' model text destination.
DWORD WINAPI ConnectionTestThread(void* parameter);
// Wakes the test's exchange and waits for its thread to end, at most
// `limitMs`; closes the handle and clears *thread either way. Shows the wait
// cursor meanwhile. FALSE when the thread still runs: it may still use
// `port`, which the caller must then leave allocated.
BOOL CancelConnectionTest(HWND window, PortRecord* port, HANDLE* thread, DWORD limitMs);
