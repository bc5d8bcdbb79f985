// The spooler host's commands, shared between its files: dispatch
// (spoolhost_main.cpp), printing and job control (print_command.cpp), port
// administration (admin_commands.cpp) and the installer (installer.cpp).
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "standin/monitor_loader.h"
#include "standin/print_job.h"
#include "standin/spooler_standin.h"

struct Options {
    std::string dll;
    std::vector<StandinNetPrinter> net;
    bool noNetwork = false;
    DWORD timeDivisor = 1;
    bool log = false;
    std::vector<std::string> command;
};

// One registry value of a new port.
struct PortValue {
    std::string name;
    DWORD type;
    std::string data; // the value's bytes
};

struct NewPortDefinition {
    std::string name;
    DWORD protocol;
    std::vector<PortValue> values; // the command line's choices
};

// Dispatch and shared helpers.
void Usage();
// HKLM key of the monitor that the DLL at `dll` will use.
std::string MonitorKeyOf(const std::string& dll);
// Decimal digits only, at most 19 of them (no overflow).
bool ParseCount(const std::string& text, ULONGLONG* value);
std::string BaseName(const std::string& path);

// Printing and job control.
bool ParsePrintArguments(const std::vector<std::string>& c, PrintRequest* request, bool* log, std::string* error);
void ConnectUnknownPort(const std::string& monitorKey, Options* options, PrintRequest* request);
int PrintThroughMonitor(const LoadedMonitor& monitor, const PrintRequest& request, bool log);
int ControlJob(const std::vector<std::string>& c);
void PrintCallLog();

// Port administration.
int SetValues(const std::string& subkey, const std::vector<std::string>& assignments);
int ListPorts(const LoadedMonitor& monitor, DWORD level);
int OpenAndClose(const LoadedMonitor& monitor, const std::string& name);
bool ParseAddArguments(const std::vector<std::string>& c, NewPortDefinition* definition);
int AddNewPort(const LoadedMonitor& monitor, const std::string& monitorKey, const NewPortDefinition& definition);
int DeleteNamedPort(const LoadedMonitor& monitor, const std::string& name);
int RunDialogCommand(const LoadedMonitor& monitor, const std::string& monitorKey, const std::vector<std::string>& c);
// The print-server search dialog on its own (search_command.cpp).
int SearchCommand(const LoadedMonitor& monitor, const std::vector<std::string>& c);

// Installer.
int InstallMonitor(const Options& options, const std::string& monitorKey);
int UninstallMonitor(const std::vector<std::string>& c);
