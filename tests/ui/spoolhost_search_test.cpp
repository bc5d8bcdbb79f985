// `spoolhost search`: the spooler host opens the monitor DLL's search dialog
// on its own (its SearchPrintServers export) and prints what it lists and
// the server chosen, here against the fake print server on 0.0.0.0:19541
// inside the test run's loopback-only namespace.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/discovery_peer.h"
#include "support/dll_monitor.h"
#include "support/test_files.h"
#include "support/ui_driver.h"

namespace {

const DWORD kProcessWaitMs = 60000;

struct HostRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs spoolhost.exe with `arguments`, its output in files, up to the bound.
HostRun RunSpoolhost(const std::string& arguments)
{
    static LONG counter = 0;
    std::string stem = TempDir() + "spoolhost-search-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(InterlockedIncrement(&counter));
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    auto output = [&](const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE out = output(stem + ".out"), err = output(stem + ".err");
    HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string line = "\"" + ProgramDir() + "spoolhost.exe\" " + arguments;
    PROCESS_INFORMATION info = {};
    HostRun run;
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
        if (WaitForSingleObject(info.hProcess, kProcessWaitMs) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(info.hProcess, &code);
            run.exitCode = static_cast<int>(code);
        } else {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, kProcessWaitMs);
        }
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    run.out = ReadFileBytes(stem + ".out");
    run.out.erase(std::remove(run.out.begin(), run.out.end(), '\r'), run.out.end()); // text-mode line ends
    run.err = ReadFileBytes(stem + ".err");
    DeleteFileA((stem + ".out").c_str());
    DeleteFileA((stem + ".err").c_str());
    return run;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(SpoolhostSearch, ListsTheServersThatAnsweredAndPrintsTheChosenOne)
{
    REQUIRE_LOOPBACK_ONLY();
    DllMonitor m;
    m.UseCatalogue("[MESSAGE]\r\n");
    const std::string list = m.installDir + "\\Dwlmon.ini";
    HANDLE file = CreateFileA(list.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char kList[] = "[UserDefined]\r\nUDPCount=1\r\nUDP00=7f000001\r\n";
    DWORD written = 0;
    WriteFile(file, kList, sizeof kList - 1, &written, nullptr);
    CloseHandle(file);

    PeerProcess peer("spoolhost-search");
    ASSERT_TRUE(peer.Start(FakePrintServerCommand(peer.unixDir, "normal,mixed,wrong-id", 19541, 9))) << peer.error;
    ASSERT_TRUE(peer.WaitReady()) << peer.error << "\n" << peer.ReadAll("peer.log");

    HostRun run = RunSpoolhost("--dll \"" + m.path + "\" search --close-after 2000");
    DeleteFileA(list.c_str());
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "found 127.0.0.1        00:80:92:00:00:01  NP-5300\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "found 192.168.1.2      00:80:92:00:00:41  Bravo\n")) << run.out;
    EXPECT_FALSE(Contains(run.out, "WRONG-ID")) << run.out;
    size_t found = 0;
    for (size_t at = run.out.find("found "); at != std::string::npos; at = run.out.find("found ", at + 1))
        ++found;
    EXPECT_EQ(5u, found) << "each server once, though both requests were answered:\n" << run.out;
    // OK took the first row: the lowest address as text.
    EXPECT_TRUE(Contains(run.out, "chosen 10.0.0.10 00:80:92:00:00:21 alpha query port 19541\n")) << run.out;

    std::vector<std::string> to;
    for (const DatagramSeen& datagram : DatagramsOfKind(peer, "search"))
        to.push_back(datagram.to);
    EXPECT_EQ((std::vector<std::string>{"255.255.255.255", "127.0.0.1"}), to);
}

TEST(SpoolhostSearch, NothingChosenAndBadArguments)
{
    REQUIRE_LOOPBACK_ONLY();
    DllMonitor m;
    HostRun run = RunSpoolhost("--dll \"" + m.path + "\" search --close-after 300");
    EXPECT_EQ(1, run.exitCode) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "no print server chosen")) << run.out;
    run = RunSpoolhost("--dll \"" + m.path + "\" search --close-after soon");
    EXPECT_EQ(2, run.exitCode) << run.out << run.err;
}

} // namespace
