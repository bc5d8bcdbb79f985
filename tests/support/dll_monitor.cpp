#include "support/dll_monitor.h"

#include <cstring>

#include "monitor/monitor_name.h"
#include "support/fresh_monitor.h"

DllMonitor::DllMonitor() : model(UniqueModel())
{
    memset(&monitor, 0, sizeof monitor);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path = std::string(temp) + model + "mon.dll";
    CopyFileA(DefaultMonitorPath().c_str(), path.c_str(), FALSE);
    monitorName = model + MONITOR_NAME_SUFFIX;
    monitorKey = std::string(MONITORS_KEY) + "\\" + monitorName;
    StandinReset();
}

DllMonitor::~DllMonitor()
{
    // The monitor is never unloaded (its threads may still run); only its
    // registry tree and catalogue go.
    DeleteRegistryTree(monitorKey);
    if (!installDir.empty()) {
        DeleteFileA((installDir + "\\CRVMES.INI").c_str());
        RemoveDirectoryA(installDir.c_str());
    }
}

void DllMonitor::SetPortDword(const std::string& port, const char* value, DWORD data)
{
    SetPortDwordIn(monitorKey + "\\Ports", port, value, data);
}

void DllMonitor::SetPortText(const std::string& port, const char* value, const std::string& text)
{
    SetPortTextIn(monitorKey + "\\Ports", port, value, text);
}

void DllMonitor::UseCatalogue(const std::string& messages)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    installDir = std::string(temp) + model + ".cat";
    CreateDirectoryA(installDir.c_str(), nullptr);
    HANDLE file = CreateFileA((installDir + "\\CRVMES.INI").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, messages.data(), static_cast<DWORD>(messages.size()), &written, nullptr);
    CloseHandle(file);
    SetRegistryValue(monitorKey, "", "InstallPath", REG_SZ, installDir.c_str(), static_cast<DWORD>(installDir.size() + 1));
}

bool DllMonitor::Load(DWORD timeDivisor)
{
    MonitorHostServices services = StandinServices(timeDivisor);
    return LoadMonitor(path, &services, &monitor, &error);
}

std::vector<DllMonitor::Port> DllMonitor::Enumerate(DWORD level)
{
    std::vector<Port> ports;
    DWORD needed = 0, count = 0;
    char server[] = "";
    BYTE probe = 0;
    if (monitor.table.pfnEnumPorts(server, level, &probe, 0, &needed, &count) && needed == 0)
        return ports;
    std::vector<BYTE> buffer(needed + 1);
    if (!monitor.table.pfnEnumPorts(server, level, buffer.data(), needed, &needed, &count))
        return ports;
    for (DWORD i = 0; i < count; ++i) {
        if (level == 1) {
            const PORT_INFO_1A* info = reinterpret_cast<const PORT_INFO_1A*>(buffer.data()) + i;
            ports.push_back(Port{info->pName, "", "", 0});
        } else {
            const PORT_INFO_2A* info = reinterpret_cast<const PORT_INFO_2A*>(buffer.data()) + i;
            ports.push_back(Port{info->pPortName, info->pMonitorName, info->pDescription, info->fPortType});
        }
    }
    return ports;
}
