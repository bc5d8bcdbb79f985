// The spooler host's administration commands, each run as a program of its
// own on the test's copy of the monitor DLL: adding and deleting ports, and
// installing and uninstalling the monitor.
#include <gtest/gtest.h>

#include <string>

#include "support/dll_monitor.h"
#include "support/test_files.h"

namespace {

const DWORD kProcessWaitMs = 60000;

struct HostRun {
    int code; // -1 when it had to be ended after the bound
    std::string output;
};

// spoolhost.exe with `arguments`; standard output and error together.
HostRun Spoolhost(const std::string& arguments)
{
    static LONG counter = 0;
    std::string outPath = TempDir() + "spoolhost-admin-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(InterlockedIncrement(&counter)) + ".out";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::string line = "\"" + ProgramDir() + "spoolhost.exe\" " + arguments;
    PROCESS_INFORMATION info = {};
    HostRun run{-1, ""};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
        DWORD code = 0;
        if (WaitForSingleObject(info.hProcess, kProcessWaitMs) == WAIT_OBJECT_0 && GetExitCodeProcess(info.hProcess, &code))
            run.code = static_cast<int>(code);
        else
            TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(in);
    CloseHandle(out);
    run.output = ReadFileBytes(outPath);
    DeleteFileA(outPath.c_str());
    return run;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A value of HKLM\subkey: DWORDs as decimal text, texts as they are; "-" when absent.
std::string Value(const std::string& subkey, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "-";
    char data[512] = "";
    DWORD size = sizeof data - 1, type = REG_NONE;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return "-";
    if (type == REG_DWORD)
        return std::to_string(*reinterpret_cast<DWORD*>(data));
    return std::string(data, strnlen(data, size));
}

bool KeyExists(const std::string& subkey)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class SpoolhostAdmin : public ::testing::Test {
protected:
    DllMonitor m;
    std::string Dll() const { return "--dll \"" + m.path + "\" "; }
    std::string PortKey(const std::string& port) const { return m.monitorKey + "\\Ports\\" + port; }
};

TEST_F(SpoolhostAdmin, AddedPortsAreListedAtOnceAndAfterARestartUntilDeleted)
{
    struct Case {
        const char* name;
        const char* args;
        const char* printMode;
    } cases[] = {
        {"LPR1", "--lpr 127.0.0.1 lp1 --no-byte-count", "0"},
        {"IPP1", "--ipp http://127.0.0.1:631/printers/q", "1"},
        {"MAIL1", "--email smtp.local a@b.example x@y.example,z@y.example", "2"},
        {"RAW1", "--raw 127.0.0.1 9101", "3"},
    };
    for (const Case& c : cases) {
        HostRun run = Spoolhost(Dll() + "add " + c.name + " " + c.args);
        EXPECT_EQ(0, run.code) << run.output;
        // "added" is reported only once the same monitor lists the port.
        EXPECT_TRUE(Contains(run.output, std::string("added ") + c.name)) << run.output;
        EXPECT_EQ(c.printMode, Value(PortKey(c.name), "PrintMode")) << c.name;
    }
    EXPECT_EQ("900000", Value(PortKey("LPR1"), "DatTmout"));
    EXPECT_EQ("515", Value(PortKey("LPR1"), "PortNum"));
    EXPECT_EQ("1", Value(PortKey("LPR1"), "NonByteCount"));
    EXPECT_EQ("9101", Value(PortKey("RAW1"), "PortNum"));
    EXPECT_EQ("x@y.example,z@y.example", Value(PortKey("MAIL1"), "ToAddr"));
    EXPECT_EQ(1, Spoolhost(Dll() + "add LPR1 --raw 127.0.0.1").code) << "a name that exists";
    EXPECT_EQ(2, Spoolhost(Dll() + "add X --lpr 127.0.0.1").code) << "a queue is needed";

    HostRun listed = Spoolhost(Dll() + "ports 1");
    for (const Case& c : cases)
        EXPECT_TRUE(Contains(listed.output, std::string("  ") + c.name)) << listed.output;

    HostRun deleted = Spoolhost(Dll() + "delete RAW1");
    EXPECT_EQ(0, deleted.code) << deleted.output;
    EXPECT_FALSE(KeyExists(PortKey("RAW1")));
    listed = Spoolhost(Dll() + "ports 1");
    EXPECT_TRUE(Contains(listed.output, "3 port(s)")) << listed.output;
    EXPECT_FALSE(Contains(listed.output, "RAW1")) << listed.output;
    HostRun unknown = Spoolhost(Dll() + "delete RAW1");
    EXPECT_EQ(1, unknown.code);
    EXPECT_TRUE(Contains(unknown.output, "error 1796")) << unknown.output;
}

TEST_F(SpoolhostAdmin, InstallAndUninstallLeaveRegistryAndDirectoryAsFound)
{
    std::string dir = TempDir() + m.model + ".inst";
    std::string dllName = m.model + "mon.dll";
    struct Case {
        const char* earlierInstallPath; // NULL: no monitor key before
    } cases[] = {{nullptr}, {"C:\\before"}};
    for (const Case& c : cases) {
        if (c.earlierInstallPath) {
            HostRun set = Spoolhost(Dll() + "install " + c.earlierInstallPath);
            ASSERT_EQ(0, set.code) << set.output;
        }
        HostRun install = Spoolhost(Dll() + "install-monitor \"" + dir + "\" --lang ja");
        ASSERT_EQ(0, install.code) << install.output;
        EXPECT_EQ(dir, Value(m.monitorKey, "InstallPath"));
        EXPECT_EQ(dllName, Value(m.monitorKey, "Driver"));
        EXPECT_EQ(ReadFileBytes(m.path), ReadFileBytes(dir + "\\" + dllName));
        EXPECT_EQ(ReadFileBytes(ProgramDir() + "catalogues\\ja\\CRVDLG.INI"), ReadFileBytes(dir + "\\CRVDLG.INI"));
        EXPECT_FALSE(ReadFileBytes(dir + "\\CRVMES.INI").empty());
        EXPECT_EQ(1, Spoolhost(Dll() + "install-monitor \"" + dir + "\"").code) << "installed already";

        HostRun uninstall = Spoolhost(Dll() + "uninstall-monitor \"" + dir + "\"");
        EXPECT_EQ(0, uninstall.code) << uninstall.output;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.c_str())) << "the directory install made is gone";
        EXPECT_EQ("-", Value(m.monitorKey, "Driver"));
        if (c.earlierInstallPath) {
            EXPECT_EQ(c.earlierInstallPath, Value(m.monitorKey, "InstallPath")) << "the earlier value is back";
        } else {
            EXPECT_FALSE(KeyExists(m.monitorKey)) << "the key install made is gone";
        }
    }
}

} // namespace
