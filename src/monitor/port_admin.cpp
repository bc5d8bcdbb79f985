// Port administration: the add-port wizard and the configuration dialogs
// behind their one-at-a-time guards and named mutexes, taking over ports that
// exist only in the registry, registering the wizard's new ports, and
// deleting ports from registry and memory.
#include "monitor/port_admin.h"

#include <cstdio>

#include "monitor/config_store.h"
#include "monitor/dialog_box.h"
#include "monitor/error_dialogs.h"
#include "monitor/model.h"
#include "monitor/monitor.h"
#include "monitor/port_defaults.h"
#include "monitor/port_ops.h"
#include "text/catalogue.h"
#include "ui/config/ipp_sheet.h"
#include "ui/config/lpr_raw_dialog.h"
#include "ui/config/mail_sheet.h"
#include "ui/wizard/wizard_state.h"

volatile LONG g_addDialogOpen = 0;
volatile LONG g_configureDialogOpen = 0;

namespace {

const char kAddMutexFormat[] = "Add %s";
const char kConfigureMutexFormat[] = "Configure %s";
const DWORD kTypeNameSize = 512;

struct AdminMutex {
    HANDLE handle;
    bool owned; // this call created the mutex and so holds it
};

AdminMutex CreateAdminMutex(const char* format)
{
    char name[128];
    snprintf(name, sizeof name, format, PRODUCT_PORT_TEXT);
    SetLastError(ERROR_SUCCESS);
    AdminMutex mutex{CreateMutexA(nullptr, TRUE, name), false};
    // Initial ownership is granted only when the mutex did not exist yet.
    mutex.owned = mutex.handle && GetLastError() != ERROR_ALREADY_EXISTS;
    return mutex;
}

// A mutex this thread holds is released first, so that it is never left
// abandoned by a closed handle.
void CloseAdminMutex(AdminMutex* mutex)
{
    if (mutex->owned)
        ReleaseMutex(mutex->handle);
    if (mutex->handle)
        CloseHandle(mutex->handle);
    mutex->handle = nullptr;
    mutex->owned = false;
}

void ShowLimitMessage(HWND owner, const char* key)
{
    CatalogueMessageBox(owner, MESSAGE_CATALOGUE, MESSAGE_SECTION, key, "TITLE", MB_ICONWARNING | MB_OK, ArgNone());
}

// Open handles, a running document, watchers or an error window keep a
// record alive. Callers hold the monitor lock.
bool PortInUse(const PortRecord* port)
{
    const DWORD busyFlags = PORT_DOC_OPEN | PORT_WATCHER_RUNNING | PORT_IPP_WATCHER_RUNNING;
    return port->useCount > 0 || (PortFlags(port) & busyFlags) != 0 || SharedRead(&port->errorWindowOpen) != 0;
}

// Removes `port` when it is still listed and nobody holds it.
void RemoveUnusedRecord(PortRecord* port)
{
    MonitorLock();
    if (ListedPort(port) && !PortInUse(port))
        RemovePortRecord(port);
    MonitorUnlock();
}

// The stored PrintMode of a port key when it names a network protocol.
bool AdoptableProtocol(HKEY ports, const char* name, DWORD* protocol)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(ports, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool read = QueryDwordValue(key, kValuePrintMode, protocol) != FALSE;
    RegCloseKey(key);
    return read && *protocol <= PROTOCOL_RAW;
}

// A port key without a record whose stored type can be adopted (its type
// goes to the context); keys that cannot (no PrintMode, or not a network
// protocol) are passed over, so that they do not block the ones after them.
bool IsAdoptablePort(HKEY ports, const char* name, void* context, PortRecord**)
{
    return AdoptableProtocol(ports, name, static_cast<DWORD*>(context));
}

// Makes the record of a registry port from its stored settings.
BOOL AdoptPort(const char* name, DWORD protocol)
{
    BOOL adopted = FALSE;
    PortRecord* stored = NewDetachedPort(name, protocol);
    if (stored) {
        char typeName[kTypeNameSize];
        PortTypeName(protocol, typeName, sizeof typeName);
        ReadPortSettings(stored, stored->name);
        MonitorLock();
        // Another caller may have taken the port over meanwhile.
        if (!FindPort(name))
            adopted = CreatePortRecord(stored->settings, name, typeName, protocol) != nullptr;
        MonitorUnlock();
    }
    FreeDetachedPort(stored);
    return adopted;
}

// Opens the configuration dialog of the port's protocol on its own copy of
// the port name; its result is not used. A dialog whose working copy cannot
// be made does not open, and the caller still answers TRUE.
void RunConfigDialog(HWND owner, const char* name, DWORD protocol)
{
    switch (protocol) {
    case PROTOCOL_LPR:
    case PROTOCOL_RAW:
        RunLprRawConfigDialog(owner, name, protocol);
        break;
    case PROTOCOL_IPP:
        RunIppConfigSheet(owner, name);
        break;
    case PROTOCOL_EMAIL:
        RunMailConfigSheet(owner, name);
        break;
    default:
        break; // local-file ports have no settings to change
    }
}

// FALSE when no port has exactly this name. The record is looked up under the
// lock and only its name and protocol are taken: the dialog never touches a
// record that may be deleted while it is open.
BOOL ConfigureListedPort(HWND owner, const char* portName)
{
    DWORD protocol = PROTOCOL_FILE;
    char* name = nullptr;
    MonitorLock();
    PortRecord* port = FindExactPort(portName);
    if (port) {
        protocol = port->protocol;
        name = CopyText(port->name);
    }
    MonitorUnlock();
    if (!port)
        return FALSE;
    if (name)
        RunConfigDialog(owner, name, protocol);
    FreeText(&name);
    return TRUE;
}

} // namespace

PortRecord* NewDetachedPort(const char* name, DWORD protocol)
{
    return NewPortRecord(name, nullptr, protocol);
}

void FreeDetachedPort(PortRecord* port)
{
    FreePortRecord(port);
}

BOOL AdoptRegistryPort()
{
    HKEY ports = OpenPortsKey(KEY_READ);
    if (!ports) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char name[kPortKeyNameSize];
    DWORD protocol = PROTOCOL_FILE;
    bool found = FindUnknownPortKey(ports, IsAdoptablePort, &protocol, name, sizeof name);
    RegCloseKey(ports);
    return found && AdoptPort(name, protocol);
}

BOOL RegisterNewPort(const SettingsHeader* templ, const char* name, DWORD protocol)
{
    if (!name || !name[0] || protocol > PROTOCOL_RAW)
        return FALSE;
    char typeName[kTypeNameSize];
    PortTypeName(protocol, typeName, sizeof typeName);
    bool made = false;
    MonitorLock();
    PortRecord* port = FindExactPort(name);
    if (!port) {
        port = CreatePortRecord(templ, name, typeName, protocol);
        made = port != nullptr;
    }
    MonitorUnlock();
    if (!port)
        return FALSE;
    if (WriteNewPortSettings(templ, name, protocol)) {
        // A record the network refresh made is a registry port now: the
        // refresh must no longer remove it when its printer goes.
        MonitorLock();
        port->madeByRefresh = 0;
        MonitorUnlock();
        return TRUE;
    }
    // Only the record made by this call goes again; one that was already
    // listed belongs to others.
    if (made)
        RemoveUnusedRecord(port);
    return FALSE;
}

BOOL WINAPI AddPort(LPSTR, HWND window, LPSTR)
{
    if (!window && AdoptRegistryPort())
        return TRUE;
    AdminMutex mutex = CreateAdminMutex(kAddMutexFormat);
    BOOL result = TRUE;
    if (InterlockedCompareExchange(&g_addDialogOpen, 1, 0) != 0) {
        ShowLimitMessage(window, "IDS_ADD_PORT_LIMIT");
    } else {
        // The wizard registers the new port itself (RegisterNewPort).
        result = RunAddPortWizard(window) == 1;
        InterlockedExchange(&g_addDialogOpen, 0);
    }
    CloseAdminMutex(&mutex);
    if (!result)
        SetLastError(ERROR_CANCELLED);
    return result;
}

BOOL WINAPI ConfigurePort(LPSTR, HWND window, LPSTR portName)
{
    // A port that is not found leaves the caller's last error as it was.
    DWORD callerError = GetLastError();
    AdminMutex mutex = CreateAdminMutex(kConfigureMutexFormat);
    BOOL result = TRUE;
    if (InterlockedCompareExchange(&g_configureDialogOpen, 1, 0) != 0) {
        ShowLimitMessage(window, "IDS_CONF_PORT_LIMIT");
    } else {
        result = ConfigureListedPort(window, portName);
        InterlockedExchange(&g_configureDialogOpen, 0);
    }
    CloseAdminMutex(&mutex);
    if (!result)
        SetLastError(callerError);
    return result;
}

BOOL WINAPI DeletePort(LPSTR, HWND, LPSTR portName)
{
    LONG status = ERROR_SUCCESS;
    MonitorLock();
    PortRecord* port = FindExactPort(portName);
    if (!port) {
        status = ERROR_UNKNOWN_PORT;
    } else if (PortInUse(port)) {
        status = ERROR_BUSY;
    } else {
        // The key goes first, so that a port whose key stays keeps its record.
        // Ports of connected network printers have no key.
        status = DeletePortKey(port->name);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
        if (status == ERROR_SUCCESS)
            RemovePortRecord(port);
    }
    MonitorUnlock();
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return FALSE;
    }
    return TRUE;
}
