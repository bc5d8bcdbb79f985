#include "support/fresh_monitor.h"

#include <cstdio>

#include "monitor/monitor.h"

std::string UniqueModel()
{
    static LONG counter = 0;
    LONG n = InterlockedIncrement(&counter);
    char text[32];
    snprintf(text, sizeof text, "T%08lX%07lX", GetCurrentProcessId() & 0xFFFFFFFFul, static_cast<unsigned long>(n) & 0xFFFFFFFul);
    return std::string(text, 16);
}

void DeleteRegistryTree(const std::string& subkey)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, subkey.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, subkey.c_str());
}

void DeleteDirectoryTree(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteDirectoryTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

FreshMonitor::FreshMonitor() : model(UniqueModel())
{
    std::string path = "C:\\windows\\system32\\" + model + "mon.dll";
    InitMonitorIdentity(path.c_str());
    MonitorLock();
    g_monitor.ports = nullptr;
    MonitorUnlock();
}

FreshMonitor::~FreshMonitor()
{
    DeleteRegistryTree(g_monitor.monitorKey);
    if (!installDir.empty())
        DeleteDirectoryTree(installDir);
}

const std::string& FreshMonitor::UseInstallDir(bool trailingBackslash)
{
    if (installDir.empty()) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        installDir = std::string(temp) + model;
        CreateDirectoryA(installDir.c_str(), nullptr);
    }
    std::string stored = installDir + (trailingBackslash ? "\\" : "");
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExA(key, "InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                       static_cast<DWORD>(stored.size() + 1));
        RegCloseKey(key);
    }
    return installDir;
}

void FreshMonitor::WriteInstallFile(const char* name, const std::string& bytes)
{
    UseInstallDir();
    std::string path = installDir + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string FreshMonitor::PortKey(const char* port) const
{
    return std::string(g_monitor.portsKey) + "\\" + port;
}

static void SetValue(const std::string& subkey, const char* value, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, value, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void FreshMonitor::SetPortDword(const char* port, const char* value, DWORD data)
{
    SetValue(PortKey(port), value, REG_DWORD, &data, sizeof data);
}

void FreshMonitor::SetPortText(const char* port, const char* value, const std::string& text, DWORD type)
{
    DWORD size = static_cast<DWORD>(type == REG_SZ ? text.size() + 1 : text.size());
    SetValue(PortKey(port), value, type, text.c_str(), size);
}

void FreshMonitor::SetMonitorDword(const char* value, DWORD data)
{
    SetValue(g_monitor.monitorKey, value, REG_DWORD, &data, sizeof data);
}
