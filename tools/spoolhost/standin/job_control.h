// Job control between processes: a spooler host that prints a job can be told
// by another process to pause, resume or delete it.
//
// The printing process holds %TEMP%\spoolhost-job-<ID>.run open for as long as
// it prints (the file goes when it is closed) and looks for a command file
// %TEMP%\spoolhost-job-<ID>.ctl about every 50 ms; it removes the command file
// once it has applied the command. A sender renames a finished file into
// place, so the printer never reads half a command, and waits a bounded time
// for it to be taken.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

enum class JobCommand { None, Pause, Resume, Delete };

// "pause", "resume", "delete" (case-insensitive); false for anything else.
bool ParseJobCommand(const std::string& text, JobCommand* command);
const char* JobCommandText(JobCommand command);

// The printing side.
class JobControlListener {
public:
    JobControlListener() = default;
    ~JobControlListener();
    JobControlListener(const JobControlListener&) = delete;
    JobControlListener& operator=(const JobControlListener&) = delete;

    // Announces that this process prints `jobId`; false (with a reason) when
    // another process already prints a job of that ID.
    bool Open(DWORD jobId, std::string* error);
    // True when a command waits; *command is None when it cannot be read.
    // The caller applies it and then acknowledges it, so that the sender
    // returns only once the command is in force.
    bool Pending(JobCommand* command);
    void Acknowledge();

private:
    HANDLE marker_ = INVALID_HANDLE_VALUE;
    std::string commandPath_;
};

enum class JobSendResult {
    Taken,       // the printing process took the command
    NotPrinting, // no process prints the job
    NotTaken,    // the command was not taken in time; it was withdrawn
    Failed,      // the command file could not be written
};

// Hands `command` to the process printing `jobId` and waits at most
// `timeoutMs` for it to be taken.
JobSendResult SendJobCommand(DWORD jobId, JobCommand command, DWORD timeoutMs);
