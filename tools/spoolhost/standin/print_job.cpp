#include "standin/print_job.h"

#include <winspool.h>

#include <vector>

#include "standin/spooler_standin.h"

namespace {

// A port that stands for a connected network printer appears once the
// monitor's network refresh has run; the refresh may still be under way.
const DWORD kPortWaitMs = 3000;
const DWORD kPortPollMs = 50;
const DWORD kPausePollMs = 20;
// A monitor that keeps accepting nothing: retried this often, this far apart.
const int kMaxIdleWrites = 1000;
const DWORD kIdleWritePauseMs = 10;

std::string ErrorText(const char* what, DWORD error)
{
    return std::string(what) + " (error " + std::to_string(error) + ")";
}

// The first EnumPorts of a monitor brings in its connected network printers.
void ListPorts(const MONITOR95& table)
{
    char server[] = "";
    DWORD needed = 0, count = 0;
    BYTE probe = 0;
    if (table.pfnEnumPorts(server, 1, &probe, 0, &needed, &count) || needed == 0)
        return;
    std::vector<BYTE> buffer(needed);
    table.pfnEnumPorts(server, 1, buffer.data(), needed, &needed, &count);
}

} // namespace

const char* PrintPhaseText(PrintPhase phase)
{
    switch (phase) {
    case PrintPhase::Open: return "open";
    case PrintPhase::Start: return "start";
    case PrintPhase::Write: return "write";
    case PrintPhase::End: return "end";
    default: return "done";
    }
}

PrintJob::PrintJob(const MONITOR95& table) : table_(table) {}

PrintJob::~PrintJob()
{
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (ownsInput_)
        CloseHandle(input_);
}

bool PrintJob::Prepare(const PrintRequest& request, std::string* error)
{
    request_ = request;
    if (request.input == "-") {
        input_ = GetStdHandle(STD_INPUT_HANDLE);
    } else {
        input_ = CreateFileA(request.input.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        ownsInput_ = input_ != INVALID_HANDLE_VALUE;
    }
    if (input_ == INVALID_HANDLE_VALUE || input_ == nullptr) {
        *error = ErrorText(("cannot open " + request.input).c_str(), GetLastError());
        return false;
    }
    LARGE_INTEGER size;
    sizeKnown_ = GetFileType(input_) == FILE_TYPE_DISK && GetFileSizeEx(input_, &size);
    size_ = sizeKnown_ ? static_cast<ULONGLONG>(size.QuadPart) : 0;
    StandinAddPrinter(request.printer, request.port, 0);
    return EnterJob(request.jobId, error);
}

// Enters job `id` of the request's printer in the stand-in; it becomes the job printed.
bool PrintJob::EnterJob(DWORD id, std::string* error)
{
    StandinSetNextJobId(id);
    // A spooler that holds the whole job knows its size and only prints it;
    // one that still receives it is spooling as well.
    DWORD spoolerSize = sizeKnown_ && size_ <= MAXDWORD ? static_cast<DWORD>(size_) : 0;
    if (StandinAddJob(request_.printer, request_.document, request_.user, request_.dataType, spoolerSize) != id) {
        *error = "cannot enter job " + std::to_string(id);
        return false;
    }
    StandinChangeJobStatus(id, JOB_STATUS_PRINTING | (sizeKnown_ ? 0 : JOB_STATUS_SPOOLING), 0);
    jobId_ = id;
    handed_ = 0;
    return true;
}

// A repeated job: the input from its start again, as the next job ID.
bool PrintJob::EnterNextJob()
{
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(input_, start, nullptr, FILE_BEGIN)) {
        failure_ = ErrorText("cannot read the input again", GetLastError());
        return false;
    }
    return EnterJob(jobId_.load() + 1, &failure_);
}

bool PrintJob::Start(std::string* error)
{
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (!thread_)
        *error = ErrorText("cannot start the print thread", GetLastError());
    return thread_ != nullptr;
}

bool PrintJob::WaitDone(DWORD milliseconds)
{
    return !thread_ || WaitForSingleObject(thread_, milliseconds) == WAIT_OBJECT_0;
}

PrintSnapshot PrintJob::Snapshot() const
{
    PrintSnapshot snapshot = {};
    snapshot.phase = static_cast<PrintPhase>(phase_.load());
    snapshot.handed = handed_.load();
    snapshot.size = size_;
    snapshot.sizeKnown = sizeKnown_;
    StandinJobView view;
    snapshot.jobExists = StandinJob(jobId_.load(), &view);
    snapshot.jobStatus = snapshot.jobExists ? view.status : 0;
    snapshot.printerStatus = StandinPrinterStatus(request_.printer);
    return snapshot;
}

DWORD WINAPI PrintJob::ThreadMain(void* self)
{
    static_cast<PrintJob*>(self)->Run();
    return 0;
}

void PrintJob::Run()
{
    HANDLE port = nullptr;
    if (!OpenPortWithin(&port)) {
        failure_ = "the monitor has no port " + request_.port;
    } else {
        PrintJobs(port);
        table_.pfnClosePort(port);
    }
    phase_ = static_cast<int>(PrintPhase::Done);
}

// One job, or the request's repeated jobs one after the other until one fails.
void PrintJob::PrintJobs(HANDLE port)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD jobs = request_.repeat > 0 ? request_.repeat : 1;
    for (DWORD n = 0; n < jobs && failure_.empty(); ++n) {
        if (n > 0 && !EnterNextJob())
            break;
        PrintOne(port);
    }
    QueryPerformanceCounter(&end);
    elapsedMs_ = static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void PrintJob::PrintOne(HANDLE port)
{
    phase_ = static_cast<int>(PrintPhase::Start);
    if (!StartDocument(port))
        return;
    phase_ = static_cast<int>(PrintPhase::Write);
    Outcome outcome = Transfer(port);
    phase_ = static_cast<int>(PrintPhase::End);
    SetLastError(0);
    BOOL ended = table_.pfnEndDocPort(port);
    Conclude(outcome, ended, GetLastError());
    if (failure_.empty())
        ++jobsDone_;
}

bool PrintJob::OpenPortWithin(HANDLE* port)
{
    ListPorts(table_);
    std::string name = request_.port;
    DWORD start = GetTickCount();
    while (!table_.pfnOpenPort(&name[0], port)) {
        if (GetTickCount() - start >= kPortWaitMs)
            return false;
        Sleep(kPortPollMs);
    }
    return true;
}

bool PrintJob::StartDocument(HANDLE port)
{
    std::string document = request_.document;
    std::string output = request_.outputFile;
    std::string dataType = request_.dataType;
    std::string printer = request_.printer;
    DOC_INFO_1A info = {};
    info.pDocName = &document[0];
    info.pOutputFile = output.empty() ? nullptr : &output[0];
    info.pDatatype = &dataType[0];
    SetLastError(0);
    if (table_.pfnStartDocPort(port, &printer[0], jobId_.load(), 1, reinterpret_cast<BYTE*>(&info)))
        return true;
    failure_ = ErrorText("StartDocPort failed", GetLastError());
    return false;
}

PrintJob::Outcome PrintJob::Transfer(HANDLE port)
{
    std::vector<BYTE> block(request_.blockSize);
    for (;;) {
        DWORD got = 0;
        if (!ReadBlock(block.data(), &got))
            return Outcome::ReadFailed;
        NoteSpooled(got, got == 0);
        // A paused job gets no data until it resumes; a deleted one gets none.
        if (!HoldWhilePaused())
            return Outcome::Deleted;
        if (got == 0)
            return Outcome::Sent;
        Outcome outcome = SendBlock(port, block.data(), got);
        if (outcome != Outcome::Sent)
            return outcome;
        ApplyScriptedControls();
    }
}

bool PrintJob::ReadBlock(BYTE* buffer, DWORD* got)
{
    *got = 0;
    if (ReadFile(input_, buffer, request_.blockSize, got, nullptr))
        return true;
    DWORD error = GetLastError();
    // The writer of a pipe has closed it: the end of the job.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
        return true;
    failedError_ = error;
    return false;
}

// While the job still arrives, the spooler's idea of its size grows with it.
void PrintJob::NoteSpooled(DWORD got, bool ended)
{
    if (sizeKnown_)
        return;
    spooled_ += got;
    StandinSetJobSize(jobId_.load(), spooled_ <= MAXDWORD ? static_cast<DWORD>(spooled_) : MAXDWORD);
    if (ended)
        StandinChangeJobStatus(jobId_.load(), 0, JOB_STATUS_SPOOLING);
}

DWORD PrintJob::JobStatus() const
{
    StandinJobView view;
    return StandinJob(jobId_.load(), &view) ? view.status : 0;
}

// False once the job is being deleted. A paused job waits for as long as it
// stays paused, as it does in a spooler.
bool PrintJob::HoldWhilePaused()
{
    for (;;) {
        DWORD status = JobStatus();
        if (status & JOB_STATUS_DELETING)
            return false;
        if (!(status & JOB_STATUS_PAUSED))
            return true;
        Sleep(kPausePollMs);
    }
}

// Hands the block over; what the monitor did not take is offered again.
PrintJob::Outcome PrintJob::SendBlock(HANDLE port, const BYTE* data, DWORD size)
{
    DWORD offset = 0;
    int idle = 0;
    while (offset < size) {
        DWORD written = 0;
        SetLastError(0);
        if (!table_.pfnWritePort(port, const_cast<BYTE*>(data + offset), size - offset, &written)) {
            failedError_ = GetLastError();
            return Outcome::WriteFailed;
        }
        if (written == 0) {
            if (++idle >= kMaxIdleWrites)
                return Outcome::Stalled;
            Sleep(kIdleWritePauseMs);
            if (JobStatus() & JOB_STATUS_DELETING)
                return Outcome::Deleted;
            continue;
        }
        idle = 0;
        written = written < size - offset ? written : size - offset;
        offset += written;
        handed_ += written;
    }
    return Outcome::Sent;
}

void PrintJob::ApplyScriptedControls()
{
    ULONGLONG handed = handed_.load();
    if (!pausedByScript_ && handed >= request_.pauseAfter) {
        pausedByScript_ = true;
        StandinPauseJob(jobId_.load());
    }
    if (!deletedByScript_ && handed >= request_.deleteAfter) {
        deletedByScript_ = true;
        StandinDeleteJob(jobId_.load());
    }
}

void PrintJob::Conclude(Outcome outcome, BOOL ended, DWORD endError)
{
    std::string after = " after " + std::to_string(handed_.load()) + " bytes";
    if (outcome == Outcome::Deleted || (JobStatus() & JOB_STATUS_DELETING))
        failure_ = "job deleted" + after;
    else if (outcome == Outcome::WriteFailed)
        failure_ = ErrorText(("WritePort failed" + after).c_str(), failedError_);
    else if (outcome == Outcome::Stalled)
        failure_ = "the monitor accepted no data" + after;
    else if (outcome == Outcome::ReadFailed)
        failure_ = ErrorText(("cannot read the input" + after).c_str(), failedError_);
    else if (!ended)
        failure_ = ErrorText("EndDocPort failed", endError);
}
