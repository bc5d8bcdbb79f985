// The spooler host's print and job commands: a job delivered through the
// monitor with progress on standard error, and the control of a job that
// another spooler host process prints.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "spoolhost.h"
#include "standin/job_control.h"
#include "standin/status_text.h"

namespace {

// The control file is looked at this often while a job prints.
const DWORD kControlPollMs = 50;
const DWORD kProgressIntervalMs = 250;
// A `job` command waits this long for the printing process to take it.
const DWORD kJobCommandTimeoutMs = 5000;
const DWORD kMaxBlockSize = 16 * 1024 * 1024;
const DWORD kMaxRepeat = 1000000;

// One option of the print command at c[*i] (and its value); false when unknown or malformed.
bool ParsePrintOption(const std::vector<std::string>& c, size_t* i, PrintRequest* request, bool* log)
{
    const std::string& arg = c[*i];
    if (arg == "--log") {
        *log = true;
        return true;
    }
    if (*i + 1 >= c.size())
        return false;
    const std::string& value = c[++*i];
    if (arg == "--user")
        request->user = value;
    else if (arg == "--document")
        request->document = value;
    else if (arg == "--datatype")
        request->dataType = value;
    else if (arg == "--printer")
        request->printer = value;
    else if (arg == "--output")
        request->outputFile = value;
    else {
        // The remaining options take a number.
        ULONGLONG number = 0;
        if (!ParseCount(value, &number))
            return false;
        if (arg == "--job" && number >= 1 && number <= MAXDWORD)
            request->jobId = static_cast<DWORD>(number);
        else if (arg == "--block" && number >= 1 && number <= kMaxBlockSize)
            request->blockSize = static_cast<DWORD>(number);
        else if (arg == "--pause-after")
            request->pauseAfter = number;
        else if (arg == "--delete-after")
            request->deleteAfter = number;
        else if (arg == "--repeat" && number >= 1 && number <= kMaxRepeat)
            request->repeat = static_cast<DWORD>(number);
        else
            return false;
    }
    return true;
}

// --repeat reads a file again for each job; its job IDs must all exist, and
// the scripted pause and deletion belong to one job.
bool CheckRepeat(const PrintRequest& request, std::string* error)
{
    if (request.repeat == 0)
        return true;
    if (request.input == "-")
        *error = "--repeat needs an input file";
    else if (request.pauseAfter != kNoByteLimit || request.deleteAfter != kNoByteLimit)
        *error = "--repeat takes no --pause-after or --delete-after";
    else if (request.jobId > MAXDWORD - (request.repeat - 1))
        *error = "--repeat goes past the last job ID";
    else
        return true;
    return false;
}

std::string CurrentUser()
{
    char name[257] = "";
    DWORD length = GetEnvironmentVariableA("USERNAME", name, sizeof name);
    return length > 0 && length < sizeof name ? std::string(name) : std::string("spoolhost");
}

std::string OtherSpelling(const std::string& name)
{
    if (!name.empty() && name.back() == ':')
        return name.substr(0, name.size() - 1);
    return name + ":";
}

bool IsRegisteredPortKey(const std::string& monitorKey, const std::string& name)
{
    HKEY key;
    if (name.find('\\') != std::string::npos ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, (monitorKey + "\\Ports\\" + name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A port of the registry or a connected network printer, in either spelling.
bool IsKnownPort(const std::string& monitorKey, const Options& options, const std::string& port)
{
    for (const std::string& name : {port, OtherSpelling(port)}) {
        if (IsRegisteredPortKey(monitorKey, name))
            return true;
        for (const StandinNetPrinter& printer : options.net)
            if (lstrcmpiA(printer.localName.c_str(), name.c_str()) == 0)
                return true;
    }
    return false;
}

// Progress on standard error: one line rewritten in place on a console or
// terminal, else one line per update.
class ProgressDisplay {
public:
    ProgressDisplay() : console_(GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR) {}

    // At once when the phase or a status changes, else at most every 250 ms;
    // a line equal to the one shown last is not repeated.
    void Update(const PrintSnapshot& snapshot)
    {
        std::string state = StateOf(snapshot);
        DWORD now = GetTickCount();
        if (state == lastState_ && now - lastTick_ < kProgressIntervalMs)
            return;
        std::string line = LineOf(snapshot);
        if (line == lastLine_)
            return;
        lastState_ = state;
        lastTick_ = now;
        Show(line);
    }

    void Finish(const PrintSnapshot& snapshot)
    {
        Show(LineOf(snapshot));
        if (console_)
            fputc('\n', stderr);
    }

private:
    static std::string StateOf(const PrintSnapshot& s)
    {
        return std::to_string(static_cast<int>(s.phase)) + "/" + std::to_string(s.jobStatus) + "/" + std::to_string(s.printerStatus);
    }

    static std::string LineOf(const PrintSnapshot& s)
    {
        char bytes[96];
        unsigned long long handed = s.handed;
        if (s.sizeKnown)
            snprintf(bytes, sizeof bytes, "%llu of %llu bytes (%u%%)", handed, static_cast<unsigned long long>(s.size),
                     static_cast<unsigned>(s.size ? handed * 100 / s.size : 100));
        else
            snprintf(bytes, sizeof bytes, "%llu bytes", handed);
        char printer[160];
        if (s.printerStatus)
            snprintf(printer, sizeof printer, "printer 0x%lx %s", static_cast<unsigned long>(s.printerStatus),
                     PrinterStatusText(s.printerStatus).c_str());
        else
            snprintf(printer, sizeof printer, "printer 0x0");
        std::string job = s.jobExists ? JobStatusText(s.jobStatus) : "?";
        return std::string(PrintPhaseText(s.phase)) + "  " + bytes + "  job " + job + "  " + printer;
    }

    void Show(const std::string& line)
    {
        lastLine_ = line;
        if (!console_) {
            fprintf(stderr, "%s\n", line.c_str());
            return;
        }
        // Blanks over what is left of a longer earlier line.
        size_t pad = width_ > line.size() ? width_ - line.size() : 0;
        fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
        width_ = line.size();
    }

    bool console_;
    std::string lastState_;
    std::string lastLine_;
    DWORD lastTick_ = 0;
    size_t width_ = 0;
};

void ApplyJobCommand(JobCommand command, DWORD jobId)
{
    switch (command) {
    case JobCommand::Pause: StandinPauseJob(jobId); break;
    case JobCommand::Resume: StandinResumeJob(jobId); break;
    case JobCommand::Delete: StandinDeleteJob(jobId); break;
    default: break;
    }
}

// The end of a --repeat run: its time, or the job that failed.
int ReportRepeat(const PrintJob& job, const PrintRequest& request)
{
    if (!job.Succeeded()) {
        printf("job failed: job %lu (%lu of %lu): %s\n", static_cast<unsigned long>(job.LastJobId()),
               static_cast<unsigned long>(job.JobsDone() + 1), static_cast<unsigned long>(request.repeat),
               job.Failure().c_str());
        return 1;
    }
    double total = job.ElapsedMs();
    printf("printed %lu jobs of %llu bytes to %s in %.3f ms, %.3f ms per job\n", static_cast<unsigned long>(job.JobsDone()),
           static_cast<unsigned long long>(job.Snapshot().size), request.port.c_str(), total, total / request.repeat);
    return 0;
}

} // namespace

void PrintCallLog()
{
    printf("spooler calls:\n");
    for (const std::string& line : StandinCallLog())
        printf("  %s\n", line.c_str());
}

// print PORT [FILE|-] [options]: the request, with the defaults filled in.
bool ParsePrintArguments(const std::vector<std::string>& c, PrintRequest* request, bool* log, std::string* error)
{
    if (c.size() < 2 || c[1].empty() || c[1][0] == '-') {
        *error = "print needs a port";
        return false;
    }
    request->port = c[1];
    for (size_t i = 2; i < c.size(); ++i) {
        if (c[i].size() > 2 && c[i].compare(0, 2, "--") == 0) {
            std::string option = c[i];
            if (!ParsePrintOption(c, &i, request, log)) {
                *error = "bad print option " + option;
                return false;
            }
        } else if (request->input.empty()) {
            request->input = c[i];
        } else {
            *error = "print takes one input";
            return false;
        }
    }
    if (request->input.empty())
        request->input = "-";
    if (!CheckRepeat(*request, error))
        return false;
    if (request->printer.empty())
        request->printer = request->port + " printer";
    if (request->document.empty())
        request->document = request->input == "-" ? "standard input" : BaseName(request->input);
    if (request->user.empty())
        request->user = CurrentUser();
    return true;
}

// The monitor lists only its registry ports and the connected network
// printers. A port it does not know is connected as a network printer (so
// that it is listed and can be opened) and named as the document's output
// file: the monitor writes the job to the file of that name.
void ConnectUnknownPort(const std::string& monitorKey, Options* options, PrintRequest* request)
{
    if (monitorKey.empty() || IsKnownPort(monitorKey, *options, request->port))
        return;
    options->net.push_back(StandinNetPrinter{request->port, "\\\\spoolhost\\file", false});
    if (request->outputFile.empty())
        request->outputFile = request->port;
    fprintf(stderr, "%s is not a port of the monitor: printing to it as a file\n", request->port.c_str());
}

int PrintThroughMonitor(const LoadedMonitor& monitor, const PrintRequest& request, bool log)
{
    JobControlListener control;
    std::string error;
    PrintJob job(monitor.table);
    if (!control.Open(request.jobId, &error) || !job.Prepare(request, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!job.Start(&error)) {
        printf("job failed: %s\n", error.c_str());
        return 1;
    }
    ProgressDisplay progress;
    while (!job.WaitDone(kControlPollMs)) {
        JobCommand command;
        if (control.Pending(&command)) {
            ApplyJobCommand(command, request.jobId);
            control.Acknowledge();
        }
        progress.Update(job.Snapshot());
    }
    PrintSnapshot last = job.Snapshot();
    progress.Finish(last);
    if (log)
        PrintCallLog();
    if (request.repeat > 0)
        return ReportRepeat(job, request);
    if (!job.Succeeded()) {
        printf("job failed: %s\n", job.Failure().c_str());
        return 1;
    }
    printf("printed %llu bytes to %s\n", static_cast<unsigned long long>(last.handed), request.port.c_str());
    return 0;
}

// job ID pause|resume|delete
int ControlJob(const std::vector<std::string>& c)
{
    ULONGLONG id = 0;
    JobCommand command = JobCommand::None;
    if (c.size() != 3 || !ParseCount(c[1], &id) || id == 0 || id > MAXDWORD || !ParseJobCommand(c[2], &command)) {
        Usage();
        return 2;
    }
    DWORD jobId = static_cast<DWORD>(id);
    switch (SendJobCommand(jobId, command, kJobCommandTimeoutMs)) {
    case JobSendResult::Taken:
        printf("job %lu: %s\n", static_cast<unsigned long>(jobId), JobCommandText(command));
        return 0;
    case JobSendResult::NotPrinting:
        printf("no spoolhost prints job %lu\n", static_cast<unsigned long>(jobId));
        return 1;
    case JobSendResult::NotTaken:
        printf("job %lu: the printing spoolhost did not take the command\n", static_cast<unsigned long>(jobId));
        return 1;
    default:
        printf("job %lu: cannot write the command\n", static_cast<unsigned long>(jobId));
        return 1;
    }
}
