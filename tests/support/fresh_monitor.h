// Test fixtures: a monitor identity of the test's own (its own registry tree
// and installation directory), removed again when the test ends.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

// A unique 16-character model text for this process and call.
std::string UniqueModel();

// Sets the monitor's identity as if the module were "<dir>\<model>mon.dll"
// and deletes that monitor's registry tree and installation directory when
// destroyed. Resets the port list to empty.
struct FreshMonitor {
    FreshMonitor();
    ~FreshMonitor();
    FreshMonitor(const FreshMonitor&) = delete;
    FreshMonitor& operator=(const FreshMonitor&) = delete;

    std::string model;
    std::string installDir; // created on demand by UseInstallDir()

    // Creates the installation directory and stores it as InstallPath.
    const std::string& UseInstallDir(bool trailingBackslash = false);
    // Writes a file into the installation directory (bytes as given).
    void WriteInstallFile(const char* name, const std::string& bytes);

    // HKLM\<ports key>\<port>: creates the key and sets values.
    void SetPortDword(const char* port, const char* value, DWORD data);
    void SetPortText(const char* port, const char* value, const std::string& text, DWORD type = REG_SZ);
    void SetMonitorDword(const char* value, DWORD data);
    std::string PortKey(const char* port) const;
};

// Deletes a directory with everything below it (quietly where it cannot).
void DeleteDirectoryTree(const std::string& dir);

// Deletes a registry tree under HKEY_LOCAL_MACHINE (quietly if absent).
void DeleteRegistryTree(const std::string& subkey);
