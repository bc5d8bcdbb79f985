// Global state of the monitor, its lock, and the port table.
#pragma once

#include "monitor/host_services.h"
#include "monitor/port_record.h"

const size_t kMonitorNameSize = 320;
const size_t kMonitorKeySize = 400;

struct MonitorState {
    HINSTANCE instance;
    CRITICAL_SECTION lock;
    char monitorName[kMonitorNameSize];
    char monitorKey[kMonitorKeySize];
    char portsKey[kMonitorKeySize];
    PortRecord* ports;
    DWORD refreshEnabled;
    DWORD lastRefreshTick;
    HANDLE refreshDone;
    DWORD refreshRunning;
    MonitorHostServices host; // every member filled (real functions by default)
};

extern MonitorState g_monitor;

// The monitor lock: re-entrant, held only for short steps.
void MonitorLock();
void MonitorUnlock();

// Sets up the lock and the identity (name and keys) from the module's path.
// Called once by InitializeMonitorEx; tests of internal code call it directly.
void InitMonitorIdentity(const char* modulePath);

// Installs a host's services over the real ones (NULL members keep them).
BOOL InstallHostServices(const MonitorHostServices* services);

// Port table. Callers of FindPort hold the monitor lock.
PortRecord* FindPort(const char* name);
SettingsHeader* NewSettingsRecord(DWORD protocol);
PortRecord* CreatePortRecord(const SettingsHeader* templ, const char* name, const char* typeName, DWORD protocol);
void LoadPortList();
BOOL AddPortFromRegistry(const char* name);
// The port-type name of a protocol (0 to 3): the catalogue's, else the built-in one.
void PortTypeName(DWORD protocol, char* text, DWORD size);
// Unlinks a record from the list and frees it (caller holds the lock).
void RemovePortRecord(PortRecord* port);

// Own, zero-filled copies of texts (NULL copies as empty); FreeText frees
// and forgets one.
char* CopyText(const char* text);
void FreeText(char** text);

// Use count of a record; a record in use is never freed.
void AcquirePort(PortRecord* port);
void ReleasePort(PortRecord* port);
