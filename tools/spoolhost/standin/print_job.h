// The spooler's delivery of one job through a monitor: OpenPort, StartDocPort,
// WritePort block by block, EndDocPort, ClosePort, all on one thread of its
// own as a spooler does. A repeated request prints the same file as several
// complete jobs (StartDocPort to EndDocPort, IDs counting up) on the one
// opened port, and times them. The printer and the job live in the spooler
// stand-in; while the job is paused no block is written, and a job being
// deleted gets no further data and ends in failure.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "monitor/monitor_table.h"

const ULONGLONG kNoByteLimit = ~0ull;

struct PrintRequest {
    std::string port;
    std::string printer;    // stand-in printer the job belongs to, bound to the port
    std::string input;      // a file, or "-" for standard input
    std::string document;
    std::string user;
    std::string dataType = "RAW";
    std::string outputFile; // the document's output file; empty for none
    DWORD jobId = 1;
    DWORD blockSize = 65536;
    ULONGLONG pauseAfter = kNoByteLimit;  // the job pauses once this many bytes went out
    ULONGLONG deleteAfter = kNoByteLimit; // the job is deleted once this many bytes went out
    DWORD repeat = 0;                     // --repeat N: N jobs, IDs jobId to jobId + N - 1; 0: one job
};

enum class PrintPhase { Open, Start, Write, End, Done };

const char* PrintPhaseText(PrintPhase phase);

struct PrintSnapshot {
    PrintPhase phase;
    ULONGLONG handed;    // bytes the monitor accepted
    ULONGLONG size;      // of the whole job, when known
    bool sizeKnown;
    bool jobExists;
    DWORD jobStatus;
    DWORD printerStatus; // the status the monitor pushed
};

class PrintJob {
public:
    explicit PrintJob(const MONITOR95& table);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // Opens the input and enters the printer and the job in the stand-in.
    bool Prepare(const PrintRequest& request, std::string* error);
    bool Start(std::string* error);
    // True once the job has ended (waits at most `milliseconds`).
    bool WaitDone(DWORD milliseconds);
    PrintSnapshot Snapshot() const;
    // After the end: the job's result, and why it failed.
    bool Succeeded() const { return failure_.empty(); }
    const std::string& Failure() const { return failure_; }
    // After the end: the jobs that ended well, the ID of the last one begun,
    // and the milliseconds from the first StartDocPort until the last
    // EndDocPort returned.
    DWORD JobsDone() const { return jobsDone_; }
    DWORD LastJobId() const { return jobId_.load(); }
    double ElapsedMs() const { return elapsedMs_; }

private:
    enum class Outcome { Sent, WriteFailed, Stalled, ReadFailed, Deleted };

    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void PrintJobs(HANDLE port);
    void PrintOne(HANDLE port);
    bool EnterJob(DWORD id, std::string* error);
    bool EnterNextJob();
    bool OpenPortWithin(HANDLE* port);
    bool StartDocument(HANDLE port);
    Outcome Transfer(HANDLE port);
    bool ReadBlock(BYTE* buffer, DWORD* got);
    void NoteSpooled(DWORD got, bool ended);
    bool HoldWhilePaused();
    Outcome SendBlock(HANDLE port, const BYTE* data, DWORD size);
    void ApplyScriptedControls();
    void Conclude(Outcome outcome, BOOL ended, DWORD endError);
    DWORD JobStatus() const;

    const MONITOR95& table_;
    PrintRequest request_;
    HANDLE input_ = INVALID_HANDLE_VALUE;
    bool ownsInput_ = false;
    bool sizeKnown_ = false;
    ULONGLONG size_ = 0;
    ULONGLONG spooled_ = 0;
    HANDLE thread_ = nullptr;
    std::atomic<DWORD> jobId_{0}; // the job being printed
    DWORD jobsDone_ = 0;
    double elapsedMs_ = 0;
    std::atomic<int> phase_{static_cast<int>(PrintPhase::Open)};
    std::atomic<unsigned long long> handed_{0};
    bool pausedByScript_ = false;
    bool deletedByScript_ = false;
    DWORD failedError_ = 0;
    std::string failure_;
};
