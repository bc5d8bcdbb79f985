// Global state, the monitor lock, the identity and the host services.
#include "monitor/monitor.h"

#include <cstring>

#include "monitor/monitor_name.h"
#include "monitor/timing.h"

MonitorState g_monitor;

static INIT_ONCE s_lockOnce = INIT_ONCE_STATIC_INIT;

static BOOL CALLBACK InitLockOnce(PINIT_ONCE, PVOID, PVOID*)
{
    InitializeCriticalSection(&g_monitor.lock);
    return TRUE;
}

static void EnsureLock()
{
    InitOnceExecuteOnce(&s_lockOnce, InitLockOnce, nullptr, nullptr);
}

void MonitorLock()
{
    EnsureLock();
    EnterCriticalSection(&g_monitor.lock);
}

void MonitorUnlock()
{
    LeaveCriticalSection(&g_monitor.lock);
}

static void InstallRealServices()
{
    MonitorHostServices& host = g_monitor.host;
    host.size = sizeof(MonitorHostServices);
    host.OpenPrinterA = ::OpenPrinterA;
    host.ClosePrinter = ::ClosePrinter;
    host.GetPrinterA = ::GetPrinterA;
    host.SetPrinterA = ::SetPrinterA;
    host.GetJobA = ::GetJobA;
    host.SetJobA = ::SetJobA;
    host.EnumPortsA = ::EnumPortsA;
    host.WNetOpenEnumA = ::WNetOpenEnumA;
    host.WNetEnumResourceA = ::WNetEnumResourceA;
    host.WNetCloseEnum = ::WNetCloseEnum;
    host.timeDivisor = 1;
}

static void EnsureServices()
{
    if (g_monitor.host.size == 0)
        InstallRealServices();
}

template <typename T>
static void Take(T& to, T from)
{
    if (from)
        to = from;
}

BOOL InstallHostServices(const MonitorHostServices* services)
{
    if (!services || services->size != sizeof(MonitorHostServices)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    EnsureServices();
    MonitorHostServices& host = g_monitor.host;
    Take(host.OpenPrinterA, services->OpenPrinterA);
    Take(host.ClosePrinter, services->ClosePrinter);
    Take(host.GetPrinterA, services->GetPrinterA);
    Take(host.SetPrinterA, services->SetPrinterA);
    Take(host.GetJobA, services->GetJobA);
    Take(host.SetJobA, services->SetJobA);
    Take(host.EnumPortsA, services->EnumPortsA);
    Take(host.WNetOpenEnumA, services->WNetOpenEnumA);
    Take(host.WNetEnumResourceA, services->WNetEnumResourceA);
    Take(host.WNetCloseEnum, services->WNetCloseEnum);
    host.timeDivisor = services->timeDivisor ? services->timeDivisor : 1;
    ScaleTiming(host.timeDivisor);
    return TRUE;
}

void InitMonitorIdentity(const char* modulePath)
{
    EnsureLock();
    EnsureServices();
    if (!BuildMonitorName(modulePath, g_monitor.monitorName, sizeof g_monitor.monitorName) ||
        !BuildMonitorKeys(g_monitor.monitorName, g_monitor.monitorKey, sizeof g_monitor.monitorKey, g_monitor.portsKey,
                          sizeof g_monitor.portsKey)) {
        g_monitor.monitorName[0] = '\0';
        g_monitor.monitorKey[0] = '\0';
        g_monitor.portsKey[0] = '\0';
    }
}
