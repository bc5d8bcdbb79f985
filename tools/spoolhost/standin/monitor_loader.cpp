#include "standin/monitor_loader.h"

#include <cstring>

std::string DefaultMonitorPath()
{
    char path[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = strrchr(path, '\\');
    std::string dir = slash ? std::string(path, slash - path + 1) : std::string();
    return dir + MONITOR_MODEL "mon.dll";
}

template <typename T>
static T Export(HMODULE module, const char* name)
{
    FARPROC proc = GetProcAddress(module, name);
    T typed;
    static_assert(sizeof typed == sizeof proc, "function pointers");
    memcpy(&typed, &proc, sizeof typed);
    return typed;
}

bool LoadMonitor(const std::string& path, const MonitorHostServices* services, LoadedMonitor* monitor, std::string* error)
{
    memset(monitor, 0, sizeof *monitor);
    monitor->module = LoadLibraryA(path.c_str());
    if (!monitor->module) {
        *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto setServices = Export<SetMonitorHostServicesFn>(monitor->module, SET_MONITOR_HOST_SERVICES_EXPORT);
    auto initialize = Export<InitializeMonitorExFn>(monitor->module, "InitializeMonitorEx");
    if (!setServices || !initialize || !GetProcAddress(monitor->module, "DllEntryPoint")) {
        *error = path + " lacks a monitor export";
        return false;
    }
    if (services && !setServices(services)) {
        *error = "the monitor refused the host services";
        return false;
    }
    char root[] = "";
    SetLastError(0);
    monitor->initialized = initialize(root, &monitor->table);
    monitor->initError = GetLastError();
    return true;
}
