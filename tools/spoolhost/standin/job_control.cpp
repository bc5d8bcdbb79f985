#include "standin/job_control.h"

#include <cstdio>
#include <cstring>

namespace {

const DWORD kSendPoll = 20;

std::string JobFile(DWORD jobId, const char* suffix)
{
    char temp[MAX_PATH + 1] = "";
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp)
        strcpy(temp, ".\\");
    char name[64];
    snprintf(name, sizeof name, "spoolhost-job-%lu%s", static_cast<unsigned long>(jobId), suffix);
    return std::string(temp) + name;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The marker is held open without write sharing by the printing process; a
// marker that can be opened for writing is left over from a process that is gone.
bool IsPrinting(DWORD jobId)
{
    std::string marker = JobFile(jobId, ".run");
    if (!FileExists(marker))
        return false;
    HANDLE probe = CreateFileA(marker.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(probe);
    DeleteFileA(marker.c_str());
    return false;
}

bool WriteWholeFile(const std::string& path, const char* text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD length = static_cast<DWORD>(strlen(text));
    DWORD written = 0;
    BOOL ok = WriteFile(file, text, length, &written, nullptr) && written == length;
    CloseHandle(file);
    return ok != FALSE;
}

// Renames `from` to `to`; waits while an earlier command still occupies `to`.
bool PlaceCommand(const std::string& from, const std::string& to, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!MoveFileA(from.c_str(), to.c_str())) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(kSendPoll);
    }
    return true;
}

bool WaitUntilGone(const std::string& path, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (FileExists(path)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(kSendPoll);
    }
    return true;
}

} // namespace

bool ParseJobCommand(const std::string& text, JobCommand* command)
{
    const JobCommand all[] = {JobCommand::Pause, JobCommand::Resume, JobCommand::Delete};
    for (JobCommand candidate : all)
        if (lstrcmpiA(text.c_str(), JobCommandText(candidate)) == 0) {
            *command = candidate;
            return true;
        }
    return false;
}

const char* JobCommandText(JobCommand command)
{
    switch (command) {
    case JobCommand::Pause: return "pause";
    case JobCommand::Resume: return "resume";
    case JobCommand::Delete: return "delete";
    default: return "none";
    }
}

JobControlListener::~JobControlListener()
{
    if (marker_ != INVALID_HANDLE_VALUE)
        CloseHandle(marker_);
}

bool JobControlListener::Open(DWORD jobId, std::string* error)
{
    std::string marker = JobFile(jobId, ".run");
    marker_ = CreateFileA(marker.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (marker_ == INVALID_HANDLE_VALUE) {
        *error = GetLastError() == ERROR_SHARING_VIOLATION ? "another spoolhost prints job " + std::to_string(jobId)
                                                           : "cannot create " + marker;
        return false;
    }
    commandPath_ = JobFile(jobId, ".ctl");
    DeleteFileA(commandPath_.c_str()); // a command left for an earlier print of this ID
    return true;
}

bool JobControlListener::Pending(JobCommand* command)
{
    *command = JobCommand::None;
    if (commandPath_.empty())
        return false;
    HANDLE file = CreateFileA(commandPath_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char text[16] = "";
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    text[got] = '\0';
    ParseJobCommand(text, command);
    return true;
}

void JobControlListener::Acknowledge()
{
    if (!commandPath_.empty())
        DeleteFileA(commandPath_.c_str());
}

JobSendResult SendJobCommand(DWORD jobId, JobCommand command, DWORD timeoutMs)
{
    if (!IsPrinting(jobId))
        return JobSendResult::NotPrinting;
    std::string staging = JobFile(jobId, ("." + std::to_string(GetCurrentProcessId()) + ".tmp").c_str());
    std::string target = JobFile(jobId, ".ctl");
    if (!WriteWholeFile(staging, JobCommandText(command))) {
        DeleteFileA(staging.c_str());
        return JobSendResult::Failed;
    }
    if (!PlaceCommand(staging, target, timeoutMs)) {
        DeleteFileA(staging.c_str());
        return JobSendResult::NotTaken;
    }
    if (WaitUntilGone(target, timeoutMs))
        return JobSendResult::Taken;
    // Withdraw it; if it went meanwhile, it was taken after all.
    if (DeleteFileA(target.c_str()) || GetLastError() != ERROR_FILE_NOT_FOUND)
        return JobSendResult::NotTaken;
    return JobSendResult::Taken;
}
