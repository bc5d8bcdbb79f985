// The spooler host: loads the monitor DLL as a spooler does and drives its
// operations from the command line, with an in-process spooler stand-in.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "monitor/monitor_name.h"
#include "standin/monitor_loader.h"
#include "standin/spooler_standin.h"

namespace {

struct Options {
    std::string dll;
    std::vector<StandinNetPrinter> net;
    bool noNetwork = false;
    DWORD timeDivisor = 1;
    std::vector<std::string> command;
};

void Usage()
{
    fprintf(stderr,
            "usage: spoolhost [--dll PATH] [--net LOCAL=REMOTE]... [--no-network] [--time-divisor N] COMMAND\n"
            "commands:\n"
            "  ports [0|1|2|all]              list the monitor's ports (default: all levels)\n"
            "  open NAME                      open and close a port by name\n"
            "  setport NAME VALUE=TEXT ...    write values of a port key (VALUE#=NUMBER for a number)\n"
            "  install DIR                    store DIR as the monitor's installation directory\n");
}

bool ParseOptions(int argc, char** argv, Options* options)
{
    options->dll = DefaultMonitorPath();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--dll" && hasValue) {
            options->dll = argv[++i];
        } else if (arg == "--net" && hasValue) {
            std::string spec = argv[++i];
            size_t eq = spec.find('=');
            if (eq == std::string::npos)
                return false;
            options->net.push_back(StandinNetPrinter{spec.substr(0, eq), spec.substr(eq + 1), false});
        } else if (arg == "--no-network") {
            options->noNetwork = true;
        } else if (arg == "--time-divisor" && hasValue) {
            options->timeDivisor = static_cast<DWORD>(strtoul(argv[++i], nullptr, 10));
        } else if (arg.rfind("--", 0) == 0) {
            return false;
        } else {
            options->command.assign(argv + i, argv + argc);
            return true;
        }
    }
    return false;
}

// HKLM key of the monitor that the DLL at `dll` will use.
std::string MonitorKeyOf(const std::string& dll)
{
    std::string path = dll;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    if (path.find('\\') == std::string::npos)
        path = ".\\" + path;
    char name[320], key[400], ports[400];
    if (!BuildMonitorName(path.c_str(), name, sizeof name) || !BuildMonitorKeys(name, key, sizeof key, ports, sizeof ports))
        return "";
    return key;
}

bool WriteValue(HKEY key, const std::string& assignment)
{
    size_t eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    std::string name = assignment.substr(0, eq);
    std::string text = assignment.substr(eq + 1);
    if (name.back() == '#') {
        name.pop_back();
        DWORD number = static_cast<DWORD>(strtoul(text.c_str(), nullptr, 0));
        return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number) == ERROR_SUCCESS;
    }
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

int SetValues(const std::string& subkey, const std::vector<std::string>& assignments)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        fprintf(stderr, "cannot create HKLM\\%s\n", subkey.c_str());
        return 1;
    }
    int failures = 0;
    for (const std::string& assignment : assignments)
        if (!WriteValue(key, assignment)) {
            fprintf(stderr, "cannot write %s\n", assignment.c_str());
            ++failures;
        }
    RegCloseKey(key);
    return failures ? 1 : 0;
}

const char* TypeText(DWORD type)
{
    switch (type) {
    case PORT_TYPE_WRITE: return "write";
    case PORT_TYPE_WRITE | PORT_TYPE_NET_ATTACHED: return "write,net";
    default: return "other";
    }
}

bool Enumerate(const LoadedMonitor& monitor, DWORD level, std::vector<BYTE>* buffer, DWORD* count)
{
    DWORD needed = 0;
    *count = 0;
    char server[] = "";
    buffer->assign(1, 0);
    if (monitor.table.pfnEnumPorts(server, level, buffer->data(), 0, &needed, count))
        return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    buffer->assign(needed, 0);
    return monitor.table.pfnEnumPorts(server, level, buffer->data(), needed, &needed, count) != FALSE;
}

int ListPorts(const LoadedMonitor& monitor, DWORD level)
{
    std::vector<BYTE> buffer;
    DWORD count = 0;
    if (!Enumerate(monitor, level, &buffer, &count)) {
        fprintf(stderr, "EnumPorts level %lu failed: error %lu\n", static_cast<unsigned long>(level),
                static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    printf("EnumPorts level %lu: %lu port(s)\n", static_cast<unsigned long>(level), static_cast<unsigned long>(count));
    if (level == 1) {
        const PORT_INFO_1A* info = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            printf("  %s\n", info[i].pName);
    } else if (level == 2) {
        printf("  %-24s %-10s %-40s %s\n", "NAME", "TYPE", "DESCRIPTION", "MONITOR");
        const PORT_INFO_2A* info = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            printf("  %-24s %-10s %-40s %s\n", info[i].pPortName, TypeText(info[i].fPortType), info[i].pDescription,
                   info[i].pMonitorName);
    }
    return 0;
}

int OpenAndClose(const LoadedMonitor& monitor, const std::string& name)
{
    // A spooler lists the ports before it opens one; that also brings in the
    // connected network printers.
    std::vector<BYTE> buffer;
    DWORD count = 0;
    Enumerate(monitor, 1, &buffer, &count);
    HANDLE port = nullptr;
    std::string text = name;
    SetLastError(0);
    if (!monitor.table.pfnOpenPort(&text[0], &port)) {
        printf("OpenPort %s: no such port\n", name.c_str());
        return 1;
    }
    printf("OpenPort %s: opened\n", name.c_str());
    monitor.table.pfnClosePort(port);
    printf("ClosePort %s: closed\n", name.c_str());
    return 0;
}

int RunMonitorCommand(const Options& options)
{
    StandinSetNetPrinters(options.net);
    StandinSetNoNetwork(options.noNetwork);
    MonitorHostServices services = StandinServices(options.timeDivisor);
    LoadedMonitor monitor;
    std::string error;
    if (!LoadMonitor(options.dll, &services, &monitor, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!monitor.initialized)
        fprintf(stderr, "InitializeMonitorEx failed (error %lu); the port table is still filled\n",
                static_cast<unsigned long>(monitor.initError));
    const std::vector<std::string>& c = options.command;
    if (c[0] == "ports") {
        std::string which = c.size() > 1 ? c[1] : "all";
        if (which == "all")
            return ListPorts(monitor, 1) | ListPorts(monitor, 2);
        return ListPorts(monitor, static_cast<DWORD>(strtoul(which.c_str(), nullptr, 10)));
    }
    if (c[0] == "open" && c.size() == 2)
        return OpenAndClose(monitor, c[1]);
    Usage();
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Usage();
        return 2;
    }
    const std::vector<std::string>& c = options.command;
    std::string key = MonitorKeyOf(options.dll);
    if (c[0] == "setport" && c.size() >= 2 && !key.empty())
        return SetValues(key + "\\Ports\\" + c[1], std::vector<std::string>(c.begin() + 2, c.end()));
    if (c[0] == "install" && c.size() == 2 && !key.empty())
        return SetValues(key, {"InstallPath=" + c[1]});
    return RunMonitorCommand(options);
}
