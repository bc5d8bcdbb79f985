// Ports that stand for the connected printers of the network provider.
#include <cstring>

#include "monitor/monitor.h"
#include "monitor/network_refresh.h"
#include "monitor/timing.h"
#include "monitor/worker_thread.h"

// Largest enumeration buffer the refresh offers a provider that asks for more.
static const DWORD kMaxEnumBuffer = 256 * 1024;
// Upper bound of enumeration calls in one refresh.
static const int kMaxEnumCalls = 4096;

// Records one connected printer: finds or makes its port and marks it seen.
static void RecordConnectedPrinter(const NETRESOURCEA* resource)
{
    const char* local = resource->lpLocalName;
    size_t length = local ? strlen(local) : 0;
    if (length == 0 || length > 1000)
        return;
    MonitorLock();
    PortRecord* port = FindPort(local);
    if (!port) {
        char name[1002];
        memcpy(name, local, length);
        name[length] = ':';
        name[length + 1] = '\0';
        port = CreatePortRecord(nullptr, name, nullptr, PROTOCOL_LPR);
        if (port)
            port->madeByRefresh = 1;
    }
    if (port) {
        char* remote = CopyText(resource->lpRemoteName);
        if (remote) {
            FreeText(&port->remoteName);
            port->remoteName = remote;
        }
        SetPortFlags(port, PORT_NET_RESOURCE | PORT_SEEN_IN_REFRESH);
    }
    MonitorUnlock();
}

// Walks the provider's enumeration of connected printers.
static void EnumerateConnectedPrinters(HANDLE enumeration)
{
    DWORD capacity = 4096;
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, capacity));
    for (int call = 0; buffer && call < kMaxEnumCalls; ++call) {
        DWORD count = 0xFFFFFFFF;
        DWORD size = capacity;
        DWORD result = g_monitor.host.WNetEnumResourceA(enumeration, &count, buffer, &size);
        if (result != NO_ERROR && result != ERROR_MORE_DATA)
            break;
        if (count > capacity / sizeof(NETRESOURCEA))
            break; // a provider that claims more entries than the buffer holds
        const NETRESOURCEA* resources = reinterpret_cast<const NETRESOURCEA*>(buffer);
        for (DWORD i = 0; i < count; ++i)
            RecordConnectedPrinter(&resources[i]);
        if (count == 0) {
            // Not even one entry fitted (or nothing came back): grow to the size
            // asked for, within bounds, or give up.
            if (result != ERROR_MORE_DATA || size <= capacity || size > kMaxEnumBuffer)
                break;
            BYTE* larger = static_cast<BYTE*>(HeapReAlloc(GetProcessHeap(), 0, buffer, size));
            if (!larger)
                break;
            buffer = larger;
            capacity = size;
        }
    }
    if (buffer)
        HeapFree(GetProcessHeap(), 0, buffer);
}

// Drops printers no longer connected. A record in use stays until a later
// refresh; a registered port that matched a printer only loses the mark.
static void SweepNetworkPorts()
{
    PortRecord* port = g_monitor.ports;
    while (port) {
        PortRecord* next = port->next;
        if (HasPortFlag(port, PORT_NET_RESOURCE)) {
            if (HasPortFlag(port, PORT_SEEN_IN_REFRESH)) {
                ClearPortFlags(port, PORT_SEEN_IN_REFRESH);
            } else if (port->useCount == 0 && !HasPortFlag(port, PORT_DOC_OPEN)) {
                if (port->madeByRefresh) {
                    RemovePortRecord(port);
                } else {
                    ClearPortFlags(port, PORT_NET_RESOURCE);
                    FreeText(&port->remoteName);
                }
            }
        }
        port = next;
    }
}

void RefreshNetworkPorts()
{
    HANDLE enumeration = nullptr;
    if (g_monitor.host.WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_PRINT, 0, nullptr, &enumeration) == NO_ERROR) {
        EnumerateConnectedPrinters(enumeration);
        g_monitor.host.WNetCloseEnum(enumeration);
    }
    MonitorLock();
    SweepNetworkPorts();
    g_monitor.refreshRunning = 0;
    if (g_monitor.refreshDone)
        SetEvent(g_monitor.refreshDone);
    MonitorUnlock();
}

static DWORD WINAPI RefreshThread(LPVOID)
{
    RefreshNetworkPorts();
    return 0;
}

void RefreshIfDue()
{
    DWORD now = GetTickCount();
    bool due = now - g_monitor.lastRefreshTick > g_timing.networkRefreshInterval;
    if (!g_monitor.refreshEnabled) {
        if (due)
            g_monitor.lastRefreshTick = now;
        return;
    }
    if (!due || g_monitor.refreshRunning)
        return;
    g_monitor.refreshDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!g_monitor.refreshDone)
        return;
    g_monitor.lastRefreshTick = now;
    HANDLE thread = StartWorkerThread(RefreshThread, nullptr, WORKER_NORMAL_PRIORITY);
    if (thread) {
        g_monitor.refreshRunning = 1;
        HANDLE done = g_monitor.refreshDone;
        MonitorUnlock();
        WaitForSingleObject(done, g_timing.networkRefreshWait);
        MonitorLock();
        CloseHandle(done);
        g_monitor.refreshDone = nullptr;
        CloseHandle(thread);
    } else {
        CloseHandle(g_monitor.refreshDone);
        g_monitor.refreshDone = nullptr;
        g_monitor.refreshRunning = 1;
        RefreshNetworkPorts();
    }
}
