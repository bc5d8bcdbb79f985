// An in-process stand-in for the print spooler and the network provider:
// printers, jobs with status bits (pause, resume, delete), the printer status
// the monitor pushes, and a scriptable list of connected network printers.
// Every call the monitor makes is counted and logged.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "monitor/host_services.h"

struct StandinNetPrinter {
    std::string localName;
    std::string remoteName;
    bool nullRemote; // the provider hands out no remote name
};

struct StandinJobView {
    DWORD id;
    std::string printer;
    std::string document;
    std::string user;
    std::string dataType;
    DWORD status;
    DWORD size;
};

// Empties every list and counter.
void StandinReset();

// The next `count` OpenPrinterA calls fail (a spooler that is not ready yet).
void StandinSetOpenFailures(DWORD count);
void StandinAddPrinter(const std::string& name, const std::string& port, DWORD attributes);
DWORD StandinPrinterStatus(const std::string& name);
// Adds a job to a printer; returns its ID (0 when the printer is unknown).
DWORD StandinAddJob(const std::string& printer, const std::string& document, const std::string& user, const std::string& dataType,
                    DWORD size);
bool StandinJob(DWORD id, StandinJobView* view);
void StandinSetJobStatus(DWORD id, DWORD status);
void StandinPauseJob(DWORD id);
void StandinResumeJob(DWORD id);
void StandinDeleteJob(DWORD id);
// The ID the next StandinAddJob hands out (a spooler's job IDs are its own).
void StandinSetNextJobId(DWORD id);
// What the spooler changes while it still receives a job: its size, and
// status bits to set and to clear.
void StandinSetJobSize(DWORD id, DWORD size);
void StandinChangeJobStatus(DWORD id, DWORD set, DWORD clear);

// Network provider script.
void StandinSetNetPrinters(const std::vector<StandinNetPrinter>& printers);
void StandinSetNoNetwork(bool noNetwork);            // WNetOpenEnumA answers ERROR_NO_NETWORK
void StandinSetEnumDelay(DWORD milliseconds);        // each connected-printer enumeration takes this long
void StandinSetEndlessMoreData(bool endless);        // WNetEnumResourceA: ERROR_MORE_DATA, zero entries, forever
DWORD StandinConnectedEnumerations();                // RESOURCE_CONNECTED enumerations opened so far
DWORD StandinOpenEnumerations();                     // enumerations not closed yet

// Ports the spooler knows (EnumPortsA level 1).
void StandinSetSpoolerPorts(const std::vector<std::string>& ports);

// The services table to hand the monitor, with the given time divisor.
MonitorHostServices StandinServices(DWORD timeDivisor);

// The calls made so far ("OpenPrinterA lp1", "SetJobA 3 cmd=1", ...).
std::vector<std::string> StandinCallLog();
