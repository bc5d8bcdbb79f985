// The IPP status watcher: while a printer reports an error-severity reason,
// a low-priority thread asks it for its state every 30 s and keeps the
// spooler's printer status current. At most one per port.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "monitor/port_record.h"

// Starts the watcher unless one is requested already. FALSE when it could not
// be started (nothing is left behind then).
BOOL StartStatusWatcher(PortRecord* port);
// Wakes the watcher (its wait and any exchange under way) and waits until it
// has ended; FALSE when it did not end within the bound.
BOOL StopStatusWatcher(PortRecord* port);
// The thread body; `parameter` is the port record.
DWORD WINAPI StatusWatcherThread(void* parameter);
