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

// Port table. Callers of FindPort and FindExactPort hold the monitor lock.
// FindPort also finds the name's other spelling (with or without its
// trailing colon); FindExactPort takes the name as it is (case-insensitive).
PortRecord* FindPort(const char* name);
PortRecord* FindExactPort(const char* name);
// `handle` as a record when it is still on the port list, else NULL. Takes
// the (re-entrant) monitor lock for the look-up; a caller that uses the
// record afterwards holds the lock itself or keeps the record in use.
PortRecord* ListedPort(const void* handle);
SettingsHeader* NewSettingsRecord(DWORD protocol);
// Frees a record made by NewSettingsRecord, wiped first: it may hold the
// SMTP or IPP password.
void FreeSettingsRecord(SettingsHeader* settings);
// The settings record a new port of `protocol` takes its chosen values from:
// `templ` when it was made for that protocol, else (missing, or made for
// another protocol) a zeroed record of the protocol; NULL for a protocol
// above 3.
const SettingsHeader* UsableTemplate(const SettingsHeader* templ, DWORD protocol);
// A record outside the port list: its own copy of `name` (NULL: empty) at
// the end of its block, a zero-filled settings record of `protocol`, no
// spool file, and with a `typeName` a description (the port name for an
// empty one). NULL when an allocation fails. FreePortRecord frees it (NULL
// is ignored).
PortRecord* NewPortRecord(const char* name, const char* typeName, DWORD protocol);
void FreePortRecord(PortRecord* port);
// A new record (NewPortRecord) with the initial values of a new port taken
// from `templ` (see UsableTemplate), linked into the port list.
PortRecord* CreatePortRecord(const SettingsHeader* templ, const char* name, const char* typeName, DWORD protocol);
// Makes a record for every port key that has none yet (and whose stored
// PrintMode, LPR when it cannot be read, is a network protocol).
void LoadPortList();
// What a walk over the port keys does with a key name no record answers to:
// true stops the walk there. A record it links into the list goes into
// *made, so that it counts for the keys after it.
typedef bool (*UnknownPortKeyFn)(HKEY ports, const char* name, void* context, PortRecord** made);
// Walks the subkeys of the open ports key in registry order, under the
// monitor lock, and hands each name that no record answers to (as FindPort
// finds them) to `unknown` until it returns true: that name is then in
// `name` (of `size` bytes) and the result is true. False at the end.
bool FindUnknownPortKey(HKEY ports, UnknownPortKeyFn unknown, void* context, char* name, DWORD size);
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
