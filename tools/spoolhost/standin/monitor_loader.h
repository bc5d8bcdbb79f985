// Loads the monitor DLL the way a spooler does: LoadLibraryA, install the
// host services, InitializeMonitorEx, keep the thirteen-slot table.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

#include "monitor/host_services.h"
#include "monitor/monitor_table.h"

struct LoadedMonitor {
    HMODULE module;
    MONITOR95 table;
    BOOL initialized; // result of InitializeMonitorEx
    DWORD initError;  // last error after InitializeMonitorEx
};

// The monitor DLL beside the running program.
std::string DefaultMonitorPath();

// Loads `path`, installs `services` (may be NULL), initialises. False when the
// DLL or one of its exports is missing (details in `error`).
bool LoadMonitor(const std::string& path, const MonitorHostServices* services, LoadedMonitor* monitor, std::string* error);
