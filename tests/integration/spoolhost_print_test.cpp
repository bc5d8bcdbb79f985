// The spooler host run as a program of its own: it prints through a copy of
// the monitor DLL (its own registry tree), while other spoolhost processes
// pause, resume and delete the job.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

#include "support/dll_monitor.h"
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

// A job from standard input is spooling until its input ends; paused from
// another process, it sends nothing more until resumed.
TEST_F(SpoolhostPrint, StandardInputJobPausedFromAnotherProcessNothingMoreUntilResumed)
{
    std::string first = TestPattern(64 * 1024);
    std::string second = TestPattern(64 * 1024 + 99, 2);
    Host host(PrintArguments(dest, "-"), true);
    ASSERT_TRUE(host.Started());
    FeedAndWait(host, first, 64 * 1024);
    ASSERT_TRUE(WaitFor([&] { return Contains(host.Err(), "job SPOOLING,PRINTING"); })) << host.Err();

    ASSERT_EQ(Control("pause"), 0) << lastControlOut;
    EXPECT_TRUE(Contains(lastControlOut, "job " + std::to_string(jobId) + ": pause")) << lastControlOut;
    host.Send(second, true);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kPausedWatchMs) {
        ASSERT_EQ(FileSize(dest), 64 * 1024) << "data went out while the job was paused";
        ASSERT_TRUE(host.Running());
        Sleep(kUiPollMs);
    }
    ASSERT_TRUE(WaitFor([&] { return Contains(host.Err(), "job PAUSED,"); })) << host.Err();

    ASSERT_EQ(Control("resume"), 0) << lastControlOut;
    ASSERT_EQ(host.Wait(), 0) << host.Out() << host.Err();
    EXPECT_TRUE(ReadFileBytes(dest) == first + second) << "destination size " << FileSize(dest);
    EXPECT_TRUE(Contains(host.Out(), "printed " + std::to_string(first.size() + second.size()) + " bytes")) << host.Out();
}

TEST_F(SpoolhostPrint, DeletedFromAnotherProcessTheJobFails)
{
    Host host(PrintArguments(dest, "-"), true);
    FeedAndWait(host, TestPattern(32 * 1024), 32 * 1024);
    ASSERT_EQ(Control("delete"), 0) << lastControlOut;
    host.Send(TestPattern(64 * 1024), true);
    EXPECT_EQ(host.Wait(), 1);
    EXPECT_EQ(FileSize(dest), 32 * 1024);
    EXPECT_TRUE(Contains(host.Out(), "job failed: job deleted after 32768 bytes")) << host.Out();
    // The job has ended: nobody takes commands for it any more.
    EXPECT_EQ(Control("resume"), 1);
    EXPECT_TRUE(Contains(lastControlOut, "no spoolhost prints job")) << lastControlOut;
}

TEST_F(SpoolhostPrint, ScriptedPauseHoldsTheJobAndScriptedDeleteEndsIt)
{
    std::string data = TestPattern(100 * 1024);
    WriteBytes(source, data);
    {
        Host host(PrintArguments(dest, Quote(source), "--pause-after 40000 --block 4096"), false);
        // Paused after the block that crossed 40000 bytes.
        ASSERT_TRUE(WaitFor([&] { return Contains(host.Err(), "job PAUSED,PRINTING"); })) << host.Err();
        EXPECT_EQ(FileSize(dest), 40960);
        ASSERT_EQ(Control("resume"), 0) << lastControlOut;
        ASSERT_EQ(host.Wait(), 0) << host.Out() << host.Err();
        EXPECT_TRUE(ReadFileBytes(dest) == data);
    }
    DeleteFileA(dest.c_str());
    Host host(PrintArguments(dest, Quote(source), "--delete-after 8192 --block 4096"), false);
    EXPECT_EQ(host.Wait(), 1);
    EXPECT_EQ(FileSize(dest), 8192);
    EXPECT_TRUE(Contains(host.Out(), "job failed: job deleted")) << host.Out();
}

TEST_F(SpoolhostPrint, UsageErrorsAndFailedStartsHaveTheirExitCodes)
{
    WriteBytes(source, TestPattern(1000));
    const char* usage[] = {"print", "print X --block 0", "print X --job 0", "print X a b", "job 5 explode", "job x pause"};
    for (const char* arguments : usage) {
        Host host("--dll " + Quote(m.path) + " " + arguments, false);
        EXPECT_EQ(host.Wait(), 2) << arguments;
    }
    {
        Host missingInput(PrintArguments(dest, Quote(source + ".missing")), false);
        EXPECT_EQ(missingInput.Wait(), 2);
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

} // namespace
