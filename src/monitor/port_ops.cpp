// Port operations that need no protocol knowledge.
#include <cstring>

#include "monitor/monitor.h"
#include "monitor/network_refresh.h"
#include "monitor/port_ops.h"

static size_t TextSize(const char* text)
{
    return (text ? strlen(text) : 0) + 1;
}

static const char* PortDescription(const PortRecord* port)
{
    const char* text = HasPortFlag(port, PORT_NET_RESOURCE) ? port->remoteName : port->description;
    return text ? text : "";
}

// Bytes one record takes in the caller's buffer at `level`.
static size_t EntrySize(const PortRecord* port, DWORD level)
{
    if (level == 1)
        return sizeof(PORT_INFO_1A) + TextSize(port->name);
    if (level == 2)
        return sizeof(PORT_INFO_2A) + TextSize(port->name) + TextSize(g_monitor.monitorName) +
               TextSize(PortDescription(port));
    return 0;
}

// Copies `text` to the end of the free area and returns where it went.
static char* PackText(BYTE** end, const char* text)
{
    size_t size = TextSize(text);
    *end -= size;
    memcpy(*end, text ? text : "", size);
    return reinterpret_cast<char*>(*end);
}

static void FillEntries(DWORD level, BYTE* buffer, DWORD size, DWORD* returned)
{
    BYTE* end = buffer + size;
    PORT_INFO_1A* info1 = reinterpret_cast<PORT_INFO_1A*>(buffer);
    PORT_INFO_2A* info2 = reinterpret_cast<PORT_INFO_2A*>(buffer);
    for (PortRecord* port = g_monitor.ports; port; port = port->next) {
        if (level == 1) {
            info1->pName = PackText(&end, port->name);
            ++info1;
        } else if (level == 2) {
            info2->pPortName = PackText(&end, port->name);
            info2->pMonitorName = PackText(&end, g_monitor.monitorName);
            info2->pDescription = PackText(&end, PortDescription(port));
            info2->fPortType = HasPortFlag(port, PORT_NET_RESOURCE) ? PORT_TYPE_WRITE | PORT_TYPE_NET_ATTACHED : PORT_TYPE_WRITE;
            info2->Reserved = 0;
            ++info2;
        }
        ++*returned;
    }
}

BOOL WINAPI EnumPorts(LPSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned)
{
    if (level > 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (!needed || !returned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MonitorLock();
    RefreshIfDue();
    size_t total = 0;
    for (PortRecord* port = g_monitor.ports; port; port = port->next)
        total += EntrySize(port, level);
    BOOL ok = FALSE;
    if (total > 0xFFFFFFFFu) {
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
    } else if ((*needed = static_cast<DWORD>(total)) > size || (total > 0 && !buffer)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    } else {
        *returned = 0;
        FillEntries(level, buffer, size, returned);
        ok = TRUE;
    }
    MonitorUnlock();
    return ok;
}

BOOL WINAPI OpenPort(LPSTR name, PHANDLE handle)
{
    if (!handle)
        return FALSE;
    MonitorLock();
    PortRecord* port = FindPort(name);
    if (port) {
        ++port->useCount;
        *handle = port;
    }
    MonitorUnlock();
    return port != nullptr;
}

BOOL WINAPI ClosePort(HANDLE handle)
{
    MonitorLock();
    if (PortRecord* port = ListedPort(handle)) {
        if (port->useCount > 0)
            --port->useCount;
    }
    MonitorUnlock();
    return TRUE;
}

BOOL WINAPI ReadPort(HANDLE, LPBYTE, DWORD, LPDWORD read)
{
    if (read)
        *read = 0;
    return TRUE;
}

BOOL WINAPI GetPrinterDataFromPort(HANDLE handle, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize,
                                   LPSTR outBuffer, DWORD outSize, LPDWORD returned)
{
    // The query works on a duplicate taken under the lock: the job may close
    // its spool file meanwhile.
    MonitorLock();
    PortRecord* port = ListedPort(handle);
    bool open = port && HasPortFlag(port, PORT_DOC_OPEN) && !(valueName && valueName[0]);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (open && port->spoolFile != INVALID_HANDLE_VALUE &&
        !DuplicateHandle(GetCurrentProcess(), port->spoolFile, GetCurrentProcess(), &file, 0, FALSE, DUPLICATE_SAME_ACCESS))
        file = INVALID_HANDLE_VALUE;
    MonitorUnlock();
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL result = DeviceIoControl(file, controlId, inBuffer, inSize, outBuffer, outSize, returned, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return result;
}

BOOL WINAPI SetPortTimeOuts(HANDLE, LPCOMMTIMEOUTS, DWORD)
{
    return FALSE;
}
