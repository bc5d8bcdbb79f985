#include "support/fresh_monitor.h"

#include <cstdio>

#include "monitor/monitor.h"
#include "standin/spooler_standin.h"
#include "support/peer_process.h"
#include "support/test_files.h"
#include "text/catalogue.h"

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

void SetRegistryValue(const std::string& parent, const std::string& child, const char* value, DWORD type, const void* data,
                      DWORD size)
{
    HKEY top, key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &top, nullptr) != ERROR_SUCCESS)
        return;
    if (child.empty() || RegCreateKeyExA(top, child.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(child.empty() ? top : key, value, 0, type, static_cast<const BYTE*>(data), size);
        if (!child.empty())
            RegCloseKey(key);
    }
    RegCloseKey(top);
}

void SetPortDwordIn(const std::string& portsKey, const std::string& port, const char* value, DWORD data)
{
    SetRegistryValue(portsKey, port, value, REG_DWORD, &data, sizeof data);
}

void SetPortTextIn(const std::string& portsKey, const std::string& port, const char* value, const std::string& text, DWORD type)
{
    DWORD size = static_cast<DWORD>(type == REG_SZ ? text.size() + 1 : text.size());
    SetRegistryValue(portsKey, port, value, type, text.c_str(), size);
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
    SetRegistryValue(g_monitor.monitorKey, "", "InstallPath", REG_SZ, stored.c_str(), static_cast<DWORD>(stored.size() + 1));
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

void FreshMonitor::InstallShippedCatalogues(const std::string& language)
{
    std::string catalogues = ProgramDir() + "catalogues\\" + language + "\\";
    WriteInstallFile(MESSAGE_CATALOGUE, ReadFileBytes(catalogues + MESSAGE_CATALOGUE));
    WriteInstallFile(DIALOG_CATALOGUE, ReadFileBytes(catalogues + DIALOG_CATALOGUE));
}

std::string FreshMonitor::PortKey(const char* port) const
{
    return std::string(g_monitor.portsKey) + "\\" + port;
}

void FreshMonitor::SetPortDword(const char* port, const char* value, DWORD data)
{
    SetPortDwordIn(g_monitor.portsKey, port, value, data);
}

void FreshMonitor::SetPortText(const char* port, const char* value, const std::string& text, DWORD type)
{
    SetPortTextIn(g_monitor.portsKey, port, value, text, type);
}

void FreshMonitor::SetMonitorDword(const char* value, DWORD data)
{
    SetRegistryValue(g_monitor.monitorKey, "", value, REG_DWORD, &data, sizeof data);
}

const char PortFixture::kPrinter[] = "PR";

void PortFixture::SetUp()
{
    EnsureWinsock();
    StandinReset();
    UseTiming(100);
    StandinAddPrinter(kPrinter, "P1", 0);
}

void PortFixture::UseTiming(DWORD divisor)
{
    MonitorHostServices services = StandinServices(divisor);
    InstallHostServices(&services);
}

PortRecord* PortFixture::MakePort(const char* name, DWORD protocol)
{
    monitor.SetPortDword(name, "PrintMode", protocol);
    port = CreatePortRecord(nullptr, name, "t", protocol);
    return port;
}

void PortFixture::OpenJob(DWORD size)
{
    job = StandinAddJob(kPrinter, "doc", "user", "RAW", size);
    ASSERT_TRUE(g_monitor.host.OpenPrinterA(const_cast<char*>(kPrinter), &port->printer, nullptr));
    port->jobId = job;
    InterlockedIncrement(&port->jobGeneration);
}

DWORD PortFixture::JobStatus(DWORD id)
{
    StandinJobView view{};
    return StandinJob(id ? id : job, &view) ? view.status : 0;
}

void PortFixture::TearDown()
{
    if (!port)
        return;
    // Bounded: a window or watcher thread that never lets go fails the test.
    bool released = false;
    for (int i = 0; i < 500 && !(released = SharedRead(&port->useCount) == 0); ++i)
        Sleep(10);
    EXPECT_TRUE(released) << "a window or watcher thread still holds the port";
    if (port->printer && !HasPortFlag(port, PORT_DOC_OPEN)) {
        g_monitor.host.ClosePrinter(port->printer);
        port->printer = nullptr;
    }
    if (released) {
        MonitorLock();
        RemovePortRecord(port);
        MonitorUnlock();
    }
}

bool KeyExists(const std::string& subkey)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
