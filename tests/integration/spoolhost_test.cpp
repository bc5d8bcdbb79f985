// The spooler host run as a program of its own on the test's copy of the
// monitor DLL (its own registry tree): printing, while other spoolhost
// processes pause, resume and delete the job; adding and deleting ports;
// installing and uninstalling the monitor.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#include "support/dll_monitor.h"
#include "support/fresh_monitor.h"
#include "support/peer_process.h"
#include "support/ui_driver.h"
#include "support/test_files.h"

namespace {

const DWORD kProcessWaitMs = 60000;
const DWORD kConditionWaitMs = 30000;
// How long a paused job is watched for data that should not come.
const DWORD kPausedWatchMs = 500;

std::string Quote(const std::string& argument)
{
    return "\"" + argument + "\"";
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(std::ofstream(path, std::ios::binary) << bytes) << path;
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool WaitFor(const std::function<bool()>& condition)
{
    return WaitUntil(condition, kConditionWaitMs);
}

// One spoolhost.exe process: standard output and error go to files, standard
// input is a pipe the test writes (or the null device).
class Host {
public:
    Host(const std::string& arguments, bool pipedInput)
    {
        static LONG counter = 0;
        std::string stem = TempDir() + "spoolhost-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(InterlockedIncrement(&counter));
        outPath_ = stem + ".out";
        errPath_ = stem + ".err";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = OutputFile(outPath_, &inherit);
        HANDLE err = OutputFile(errPath_, &inherit);
        HANDLE in = INVALID_HANDLE_VALUE;
        if (pipedInput) {
            CreatePipe(&in, &input_, &inherit, 0);
            SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
        } else {
            in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        }
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = err;
        std::string line = Quote(ProgramDir() + "spoolhost.exe") + " " + arguments;
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
            process_ = info.hProcess;
            CloseHandle(info.hThread);
        }
        CloseHandle(in);
        CloseHandle(out);
        CloseHandle(err);
    }

    ~Host()
    {
        // Ending the process first also ends a write the feeder is blocked in.
        if (process_) {
            if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0)
                TerminateProcess(process_, 99);
            WaitForSingleObject(process_, kConditionWaitMs);
            CloseHandle(process_);
        }
        if (feeder_.joinable())
            feeder_.join();
        if (input_)
            CloseHandle(input_);
        DeleteFileA(outPath_.c_str());
        DeleteFileA(errPath_.c_str());
    }

    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool Started() const { return process_ != nullptr; }

    // Writes to the input on a thread of its own, since a paused job reads
    // nothing and the write may block; the input is closed afterwards when
    // `last`. An earlier write has ended before this one starts.
    void Send(const std::string& bytes, bool last)
    {
        if (feeder_.joinable())
            feeder_.join();
        HANDLE input = input_;
        if (last)
            input_ = nullptr;
        feeder_ = std::thread([input, bytes, last] {
            DWORD written = 0;
            if (input && !bytes.empty())
                WriteFile(input, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            if (input && last)
                CloseHandle(input);
        });
    }

    bool Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

    // The exit code; -1 when the process had to be ended after the bound.
    int Wait()
    {
        if (!process_)
            return -1;
        if (WaitForSingleObject(process_, kProcessWaitMs) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, kConditionWaitMs);
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return static_cast<int>(code);
    }

    std::string Out() const { return ReadFileBytes(outPath_); }
    std::string Err() const { return ReadFileBytes(errPath_); }

private:
    static HANDLE OutputFile(const std::string& path, SECURITY_ATTRIBUTES* inherit)
    {
        return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;
    std::thread feeder_;
    std::string outPath_;
    std::string errPath_;
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class SpoolhostPrint : public ::testing::Test {
protected:
    SpoolhostPrint()
    {
        static DWORD counter = 0;
        // Job IDs name the control files in the shared temporary directory:
        // unique per test process.
        jobId = 100000 + (GetCurrentProcessId() & 0xFFFFF) * 16 + ++counter;
        dest = TempDir() + model() + "-dest.bin";
        source = TempDir() + model() + "-source.bin";
        DeleteFileA(dest.c_str());
    }

    ~SpoolhostPrint() override
    {
        DeleteFileA(dest.c_str());
        DeleteFileA(source.c_str());
    }

    const std::string& model() const { return m.model; }

    // "print DEST INPUT --job ID ..." through the test's copy of the DLL.
    std::string PrintArguments(const std::string& port, const std::string& input, const std::string& more = "") const
    {
        return "--dll " + Quote(m.path) + " --time-divisor 100 print " + Quote(port) + " " + input + " --job " +
               std::to_string(jobId) + " " + more;
    }

    int Control(const char* command)
    {
        Host host("job " + std::to_string(jobId) + " " + command, false);
        int code = host.Wait();
        lastControlOut = host.Out();
        return code;
    }

    // Feeds `bytes` and waits until the destination has `total` bytes.
    void FeedAndWait(Host& host, const std::string& bytes, long long total)
    {
        host.Send(bytes, false);
        ASSERT_TRUE(WaitFor([&] { return FileSize(dest) == total; })) << "destination size " << FileSize(dest);
    }

    DllMonitor m;
    DWORD jobId;
    std::string dest;
    std::string source;
    std::string lastControlOut;
};

TEST_F(SpoolhostPrint, FileReachesAnUnknownPortAsALocalFileByteForByte)
{
    std::string data = TestPattern(3 * 1024 * 1024 + 1234);
    WriteBytes(source, data);
    Host host(PrintArguments(dest, Quote(source), "--log"), false);
    ASSERT_TRUE(host.Started());
    ASSERT_EQ(host.Wait(), 0) << host.Out() << host.Err();
    EXPECT_TRUE(ReadFileBytes(dest) == data) << "destination differs; size " << FileSize(dest);

    std::string out = host.Out();
    EXPECT_TRUE(Contains(out, "printed " + std::to_string(data.size()) + " bytes to " + dest)) << out;
    // The monitor found the stand-in's printer and job.
    EXPECT_TRUE(Contains(out, "OpenPrinterA " + dest + " printer")) << out;
    EXPECT_TRUE(Contains(out, "GetJobA " + std::to_string(jobId) + " level=2")) << out;
    std::string err = host.Err();
    EXPECT_TRUE(Contains(err, "done  " + std::to_string(data.size()) + " of " + std::to_string(data.size()) + " bytes (100%)"))
        << err;
    EXPECT_TRUE(Contains(err, "job PRINTING  printer 0x0")) << err;
}

TEST_F(SpoolhostPrint, OutputFileOfARegisteredPortIsTheTargetInOddBlocks)
{
    m.SetPortDword("RAW1", "PrintMode", 3);
    m.SetPortText("RAW1", "HostName", "127.0.0.1");
    std::string data = TestPattern(200 * 1024 + 7);
    WriteBytes(source, data);
    Host host(PrintArguments("RAW1", Quote(source), "--block 1000 --output " + Quote(dest)), false);
    ASSERT_EQ(host.Wait(), 0) << host.Out() << host.Err();
    EXPECT_TRUE(ReadFileBytes(dest) == data) << "destination size " << FileSize(dest);
    EXPECT_TRUE(Contains(host.Out(), "printed " + std::to_string(data.size()) + " bytes to RAW1")) << host.Out();
}

// --repeat N: one spooler host prints the file as N complete jobs on the one
// opened port, with job IDs counting up from --job; each job reaches the
// printer whole, on a connection of its own.
TEST_F(SpoolhostPrint, RepeatedJobsEachArriveWholeUnderTheirOwnJobIds)
{
    PeerProcess sink("raw");
    WORD port = FreeTcpPort();
    ASSERT_TRUE(sink.Start(RawSinkCommand(port, sink.unixDir), port)) << sink.error;
    ASSERT_TRUE(sink.WaitReady()) << sink.error;
    m.SetPortDword("RAW1", "PrintMode", 3);
    m.SetPortText("RAW1", "HostName", "127.0.0.1");
    m.SetPortDword("RAW1", "PortNum", port);
    std::string data = TestPattern(300 * 1024 + 5, 3);
    WriteBytes(source, data);
    Host host(PrintArguments("RAW1", Quote(source), "--repeat 3 --log"), false);
    ASSERT_EQ(host.Wait(), 0) << host.Out() << host.Err();

    std::string out = host.Out();
    EXPECT_TRUE(Contains(out, "printed 3 jobs of " + std::to_string(data.size()) + " bytes to RAW1 in ")) << out;
    for (DWORD id = jobId; id < jobId + 3; ++id)
        EXPECT_TRUE(Contains(out, "GetJobA " + std::to_string(id) + " level=2")) << out;
    EXPECT_FALSE(Contains(out, "GetJobA " + std::to_string(jobId + 3) + " ")) << out;
    ASSERT_TRUE(sink.WaitFiles("conn-", ".bin", 3)) << sink.error;
    std::vector<std::string> files = sink.Files("conn-", ".bin");
    ASSERT_EQ(files.size(), 3u);
    for (const std::string& file : files)
        EXPECT_TRUE(sink.ReadAll(file) == data) << file << " differs; first at " << FirstDifference(sink.ReadAll(file), data);
}

// Pausing and deleting a job, from another spoolhost process or scripted by
// the printing one. A job from standard input is spooling until its input
// ends; paused, it sends nothing more until resumed.
TEST_F(SpoolhostPrint, PausedJobsWaitForResumeAndDeletedJobsFail)
{
    struct Row {
        bool fromStdin;
        const char* options;
        const char* control; // sent once `held` bytes have arrived
        bool paused;         // then held until resumed
        long long held;
        int exitCode;
        const char* result;
    } rows[] = {
        {true, "", "pause", true, 64 * 1024, 0, "printed 131171 bytes"},
        {true, "", "delete", false, 32 * 1024, 1, "job failed: job deleted after 32768 bytes"},
        // Paused (deleted) after the block that crossed the given count.
        {false, "--pause-after 40000 --block 4096", nullptr, true, 40960, 0, "printed 131171 bytes"},
        {false, "--delete-after 8192 --block 4096", nullptr, false, 8192, 1, "job failed: job deleted"},
    };
    std::string data = TestPattern(128 * 1024 + 99, 2);
    WriteBytes(source, data);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options[0] ? row.options : row.control);
        DeleteFileA(dest.c_str());
        Host host(PrintArguments(dest, row.fromStdin ? "-" : Quote(source), row.options), row.fromStdin);
        ASSERT_TRUE(host.Started());
        if (row.fromStdin) {
            FeedAndWait(host, data.substr(0, row.held), row.held);
            ASSERT_TRUE(WaitFor([&] { return Contains(host.Err(), "job SPOOLING,PRINTING"); })) << host.Err();
            ASSERT_EQ(Control(row.control), 0) << lastControlOut;
            EXPECT_TRUE(Contains(lastControlOut, "job " + std::to_string(jobId) + ": " + row.control)) << lastControlOut;
            host.Send(data.substr(row.held), true);
        }
        if (row.paused) {
            ASSERT_TRUE(WaitFor([&] { return Contains(host.Err(), "job PAUSED,"); })) << host.Err();
            for (DWORD start = GetTickCount(); GetTickCount() - start < kPausedWatchMs; Sleep(kUiPollMs)) {
                ASSERT_EQ(FileSize(dest), row.held) << "data went out while the job was paused";
                ASSERT_TRUE(host.Running());
            }
            ASSERT_EQ(Control("resume"), 0) << lastControlOut;
        }
        ASSERT_EQ(host.Wait(), row.exitCode) << host.Out() << host.Err();
        EXPECT_TRUE(Contains(host.Out(), row.result)) << host.Out();
        if (row.exitCode == 0)
            EXPECT_TRUE(ReadFileBytes(dest) == data) << "destination size " << FileSize(dest);
        else
            EXPECT_EQ(FileSize(dest), row.held);
        // The job has ended: nobody takes commands for it any more.
        EXPECT_EQ(Control("resume"), 1);
        EXPECT_TRUE(Contains(lastControlOut, "no spoolhost prints job")) << lastControlOut;
    }
}

TEST_F(SpoolhostPrint, UsageErrorsAndFailedStartsHaveTheirExitCodes)
{
    WriteBytes(source, TestPattern(1000));
    const char* usage[] = {"print", "print X --block 0", "print X --job 0", "print X a b", "job 5 explode", "job x pause",
                           "print X - --repeat 2", "print X a --repeat 0"};
    for (const char* arguments : usage) {
        Host host("--dll " + Quote(m.path) + " " + arguments, false);
        EXPECT_EQ(host.Wait(), 2) << arguments;
    }
    {
        Host missingInput(PrintArguments(dest, Quote(source + ".missing")), false);
        EXPECT_EQ(missingInput.Wait(), 2);
    }
    // --repeat reads a file again for each job (not standard input), without
    // the one job's scripted pause, and every job ID must exist.
    for (const char* options : {"--repeat 2 --pause-after 5", "--repeat 2 --job 4294967295"}) {
        Host host("--dll " + Quote(m.path) + " print " + Quote(dest) + " " + Quote(source) + " " + options, false);
        EXPECT_EQ(host.Wait(), 2) << options << host.Out();
    }
    // A destination that cannot be created: StartDocPort fails.
    std::string unreachable = TempDir() + model() + "-no-such-dir\\out.bin";
    Host host(PrintArguments(unreachable, Quote(source)), false);
    EXPECT_EQ(host.Wait(), 1);
    EXPECT_TRUE(Contains(host.Out(), "job failed: StartDocPort failed")) << host.Out();
    // A control command without a printing process ends at once.
    DWORD start = GetTickCount();
    EXPECT_EQ(Control("pause"), 1);
    EXPECT_LT(GetTickCount() - start, 4000u) << "waited for a job that nobody prints";
}

struct HostRun {
    int code; // -1 when it had to be ended after the bound
    std::string output;
};

// spoolhost.exe with `arguments`; standard output and error together.
HostRun Spoolhost(const std::string& arguments)
{
    Host host(arguments, false);
    int code = host.Wait();
    return HostRun{code, host.Out() + host.Err()};
}

// A value of HKLM\subkey: DWORDs as decimal text, texts as they are; "-" when absent.
std::string Value(const std::string& subkey, const char* name)
{
    char data[512] = "";
    DWORD size = sizeof data - 1, type = REG_NONE;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, subkey.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data, &size))
        return "-";
    return type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : std::string(data);
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
