// Integration fixture: the real monitor DLL, copied under a name of the test's
// own (so it has its own monitor name and registry tree), loaded the way a
// spooler loads it, with the spooler stand-in as its host.
#pragma once

#include <string>

#include "standin/monitor_loader.h"
#include "standin/spooler_standin.h"

struct DllMonitor {
    DllMonitor();
    ~DllMonitor();
    DllMonitor(const DllMonitor&) = delete;
    DllMonitor& operator=(const DllMonitor&) = delete;

    std::string model;       // the copy's model part
    std::string path;        // the copy
    std::string monitorName; // "<model> Network Printer Port"
    std::string monitorKey;  // under HKLM
    std::string installDir;
    LoadedMonitor monitor;
    std::string error;

    // Registry and files before Load().
    void SetPortDword(const std::string& port, const char* value, DWORD data);
    void SetPortText(const std::string& port, const char* value, const std::string& text);
    void UseCatalogue(const std::string& messages); // CRVMES.INI content, InstallPath set

    // Loads and initialises the copy with the stand-in (time divisor 100).
    bool Load(DWORD timeDivisor = 100);
    const MONITOR95& table() const { return monitor.table; }

    struct Port {
        std::string name, monitor, description;
        DWORD type;
    };
    // EnumPorts at `level` with a buffer of the exact size; empty on failure.
    std::vector<Port> Enumerate(DWORD level);
};
