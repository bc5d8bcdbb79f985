// Test fixtures: a monitor identity of the test's own (its own registry tree
// and installation directory), removed again when the test ends; and a port
// with a printer and a job on the spooler stand-in.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "monitor/port_record.h"

// A unique 16-character model text for this process and call.
std::string UniqueModel();

// Sets a value of HKLM\parent\child (creating both); the child is created
// below its opened parent, which also works for very long child names.
void SetRegistryValue(const std::string& parent, const std::string& child, const char* value, DWORD type, const void* data,
                      DWORD size);
// A DWORD or a text (REG_SZ with its terminator, other types without) of a port under a ports key.
void SetPortDwordIn(const std::string& portsKey, const std::string& port, const char* value, DWORD data);
void SetPortTextIn(const std::string& portsKey, const std::string& port, const char* value, const std::string& text,
                   DWORD type = REG_SZ);

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
    // Copies the built catalogues of `language` ("en", "ja") from beside the
    // test program into the installation directory.
    void InstallShippedCatalogues(const std::string& language);

    // HKLM\<ports key>\<port>: creates the key and sets values.
    void SetPortDword(const char* port, const char* value, DWORD data);
    void SetPortText(const char* port, const char* value, const std::string& text, DWORD type = REG_SZ);
    void SetMonitorDword(const char* value, DWORD data);
    std::string PortKey(const char* port) const;
};

// A port of the test's own monitor, printer "PR" on the spooler stand-in
// and, after OpenJob, a job on it with the printer opened on the record the
// way a job's start leaves them. Times are divided by 100 unless UseTiming
// says otherwise. TearDown closes the printer and, once no window or watcher
// thread holds the record any more, removes it.
struct PortFixture : ::testing::Test {
    FreshMonitor monitor;
    PortRecord* port = nullptr;
    DWORD job = 0;
    static const char kPrinter[];

    void SetUp() override;
    void TearDown() override;
    // Installs the stand-in's services with this time divisor.
    void UseTiming(DWORD divisor);
    // Stores PrintMode and creates the record; it becomes `port`.
    PortRecord* MakePort(const char* name, DWORD protocol);
    void OpenJob(DWORD size = 0);
    // The job's status bits in the stand-in.
    DWORD JobStatus(DWORD id = 0);
};

// Deletes a directory with everything below it (quietly where it cannot).
void DeleteDirectoryTree(const std::string& dir);

// Whether HKEY_LOCAL_MACHINE\subkey exists.
bool KeyExists(const std::string& subkey);

// Deletes a registry tree under HKEY_LOCAL_MACHINE (quietly if absent).
void DeleteRegistryTree(const std::string& subkey);
