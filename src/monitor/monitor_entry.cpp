// InitializeMonitorEx: identity, ports, the monitor table, network and Winsock start-up.
#include <cstdio>
#include <cstring>

#include "monitor/model.h"
#include "monitor/monitor.h"
#include "monitor/port_ops.h"
#include "resource.h"

static void FillMonitorTable(MONITOR95* table)
{
    table->pfnEnumPorts = EnumPorts;
    table->pfnOpenPort = OpenPort;
    table->pfnOpenPortEx = nullptr;
    table->pfnStartDocPort = StartDocPort;
    table->pfnWritePort = WritePort;
    table->pfnReadPort = ReadPort;
    table->pfnEndDocPort = EndDocPort;
    table->pfnClosePort = ClosePort;
    table->pfnAddPort = AddPort;
    table->pfnConfigurePort = ConfigurePort;
    table->pfnDeletePort = DeletePort;
    table->pfnGetPrinterDataFromPort = GetPrinterDataFromPort;
    table->pfnSetPortTimeOuts = SetPortTimeOuts;
}

// Without a network provider there is nothing to refresh.
static void ProbeNetwork()
{
    g_monitor.refreshEnabled = 1;
    HANDLE enumeration = nullptr;
    DWORD result = g_monitor.host.WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &enumeration);
    if (result == NO_ERROR)
        g_monitor.host.WNetCloseEnum(enumeration);
    else if (result == ERROR_NO_NETWORK)
        g_monitor.refreshEnabled = 0;
}

static HINSTANCE ResourceModule()
{
    return g_monitor.instance ? g_monitor.instance : GetModuleHandleA(nullptr);
}

// Starts Windows Sockets 1.1; on failure fills `message` and returns false.
static bool StartWinsock(char* message, int size)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        if (!LoadStringA(ResourceModule(), IDS_NO_TCPIP, message, size))
            lstrcpynA(message, "Check if TCP/IP is set correctly in the properties of the network.", size);
        return false;
    }
    if (data.wVersion == MAKEWORD(1, 1))
        return true;
    WSACleanup();
    char format[256];
    if (!LoadStringA(ResourceModule(), IDS_WINSOCK_VERSION, format, sizeof format))
        lstrcpynA(format, "%s is not operated correctly by this WinSock version.", sizeof format);
    // The string names the product where it holds "%s".
    const char* conversion = strstr(format, "%s");
    if (conversion)
        snprintf(message, size, "%.*s%s%s", static_cast<int>(conversion - format), format, PRODUCT_DESCRIPTOR, conversion + 2);
    else
        lstrcpynA(message, format, size);
    return false;
}

extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR, MONITOR95* table)
{
    char modulePath[MAX_PATH + 1] = "";
    GetModuleFileNameA(g_monitor.instance, modulePath, MAX_PATH);
    InitMonitorIdentity(modulePath);
    MonitorLock();
    LoadPortList();
    if (table)
        FillMonitorTable(table);
    ProbeNetwork();
    char message[512];
    bool ready = StartWinsock(message, sizeof message);
    if (!ready)
        MessageBoxA(nullptr, message, PRODUCT_ERROR_CAPTION, MB_ICONINFORMATION | MB_SETFOREGROUND);
    MonitorUnlock();
    return ready ? TRUE : FALSE;
}

extern "C" BOOL WINAPI SetMonitorHostServices(const MonitorHostServices* services)
{
    return InstallHostServices(services);
}
