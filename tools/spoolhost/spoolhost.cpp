// The spooler host: loads the monitor DLL as a spooler does and drives its
// operations from the command line, with an in-process spooler stand-in.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "monitor/monitor_name.h"
#include "standin/job_control.h"
#include "standin/monitor_loader.h"
#include "standin/print_job.h"
#include "standin/spooler_standin.h"
#include "standin/status_text.h"

namespace {

struct Options {
    std::string dll;
    std::vector<StandinNetPrinter> net;
    bool noNetwork = false;
    DWORD timeDivisor = 1;
    bool log = false;
    std::vector<std::string> command;
};

// The control file is looked at this often while a job prints.
const DWORD kControlPollMs = 50;
const DWORD kProgressIntervalMs = 250;
// A `job` command waits this long for the printing process to take it.
const DWORD kJobCommandTimeoutMs = 5000;
const DWORD kMaxBlockSize = 16 * 1024 * 1024;

void Usage()
{
    fprintf(stderr,
            "usage: spoolhost [--dll PATH] [--net LOCAL=REMOTE]... [--no-network] [--time-divisor N] [--log] COMMAND\n"
            "commands:\n"
            "  ports [0|1|2|all]              list the monitor's ports (default: all levels)\n"
            "  open NAME                      open and close a port by name\n"
            "  setport NAME VALUE=TEXT ...    write values of a port key (VALUE#=NUMBER for a number)\n"
            "  install DIR                    store DIR as the monitor's installation directory\n"
            "  print PORT [FILE|-] [--user U] [--document D] [--datatype T] [--job ID] [--printer NAME]\n"
            "        [--output FILE] [--block N] [--pause-after N] [--delete-after N] [--log]\n"
            "                                 print FILE (standard input for - or none) through PORT;\n"
            "                                 a PORT the monitor does not know is printed to as a file\n"
            "  job ID pause|resume|delete     control a job that another spoolhost prints\n"
            "--log prints the spooler calls the monitor made.\n");
}

bool ParseOptions(int argc, char** argv, Options* options)
{
    options->dll = DefaultMonitorPath();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--dll" && hasValue) {
            options->dll = argv[++i];
        } else if (arg == "--net" && hasValue) {
            std::string spec = argv[++i];
            size_t eq = spec.find('=');
            if (eq == std::string::npos)
                return false;
            options->net.push_back(StandinNetPrinter{spec.substr(0, eq), spec.substr(eq + 1), false});
        } else if (arg == "--no-network") {
            options->noNetwork = true;
        } else if (arg == "--log") {
            options->log = true;
        } else if (arg == "--time-divisor" && hasValue) {
            options->timeDivisor = static_cast<DWORD>(strtoul(argv[++i], nullptr, 10));
        } else if (arg.rfind("--", 0) == 0) {
            return false;
        } else {
            options->command.assign(argv + i, argv + argc);
            return true;
        }
    }
    return false;
}

// HKLM key of the monitor that the DLL at `dll` will use.
std::string MonitorKeyOf(const std::string& dll)
{
    std::string path = dll;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    if (path.find('\\') == std::string::npos)
        path = ".\\" + path;
    char name[320], key[400], ports[400];
    if (!BuildMonitorName(path.c_str(), name, sizeof name) || !BuildMonitorKeys(name, key, sizeof key, ports, sizeof ports))
        return "";
    return key;
}

bool WriteValue(HKEY key, const std::string& assignment)
{
    size_t eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    std::string name = assignment.substr(0, eq);
    std::string text = assignment.substr(eq + 1);
    if (name.back() == '#') {
        name.pop_back();
        DWORD number = static_cast<DWORD>(strtoul(text.c_str(), nullptr, 0));
        return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number) == ERROR_SUCCESS;
    }
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

int SetValues(const std::string& subkey, const std::vector<std::string>& assignments)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        fprintf(stderr, "cannot create HKLM\\%s\n", subkey.c_str());
        return 1;
    }
    int failures = 0;
    for (const std::string& assignment : assignments)
        if (!WriteValue(key, assignment)) {
            fprintf(stderr, "cannot write %s\n", assignment.c_str());
            ++failures;
        }
    RegCloseKey(key);
    return failures ? 1 : 0;
}

const char* TypeText(DWORD type)
{
    switch (type) {
    case PORT_TYPE_WRITE: return "write";
    case PORT_TYPE_WRITE | PORT_TYPE_NET_ATTACHED: return "write,net";
    default: return "other";
    }
}

bool Enumerate(const LoadedMonitor& monitor, DWORD level, std::vector<BYTE>* buffer, DWORD* count)
{
    DWORD needed = 0;
    *count = 0;
    char server[] = "";
    buffer->assign(1, 0);
    if (monitor.table.pfnEnumPorts(server, level, buffer->data(), 0, &needed, count))
        return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    buffer->assign(needed, 0);
    return monitor.table.pfnEnumPorts(server, level, buffer->data(), needed, &needed, count) != FALSE;
}

int ListPorts(const LoadedMonitor& monitor, DWORD level)
{
    std::vector<BYTE> buffer;
    DWORD count = 0;
    if (!Enumerate(monitor, level, &buffer, &count)) {
        fprintf(stderr, "EnumPorts level %lu failed: error %lu\n", static_cast<unsigned long>(level),
                static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    printf("EnumPorts level %lu: %lu port(s)\n", static_cast<unsigned long>(level), static_cast<unsigned long>(count));
    if (level == 1) {
        const PORT_INFO_1A* info = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            printf("  %s\n", info[i].pName);
    } else if (level == 2) {
        printf("  %-24s %-10s %-40s %s\n", "NAME", "TYPE", "DESCRIPTION", "MONITOR");
        const PORT_INFO_2A* info = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            printf("  %-24s %-10s %-40s %s\n", info[i].pPortName, TypeText(info[i].fPortType), info[i].pDescription,
                   info[i].pMonitorName);
    }
    return 0;
}

int OpenAndClose(const LoadedMonitor& monitor, const std::string& name)
{
    // A spooler lists the ports before it opens one; that also brings in the
    // connected network printers.
    std::vector<BYTE> buffer;
    DWORD count = 0;
    Enumerate(monitor, 1, &buffer, &count);
    HANDLE port = nullptr;
    std::string text = name;
    SetLastError(0);
    if (!monitor.table.pfnOpenPort(&text[0], &port)) {
        printf("OpenPort %s: no such port\n", name.c_str());
        return 1;
    }
    printf("OpenPort %s: opened\n", name.c_str());
    monitor.table.pfnClosePort(port);
    printf("ClosePort %s: closed\n", name.c_str());
    return 0;
}

void PrintCallLog()
{
    printf("spooler calls:\n");
    for (const std::string& line : StandinCallLog())
        printf("  %s\n", line.c_str());
}

// Decimal digits only, at most 19 of them (no overflow).
bool ParseCount(const std::string& text, ULONGLONG* value)
{
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = strtoull(text.c_str(), nullptr, 10);
    return true;
}

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
        else
            return false;
    }
    return true;
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CurrentUser()
{
    char name[257] = "";
    DWORD length = GetEnvironmentVariableA("USERNAME", name, sizeof name);
    return length > 0 && length < sizeof name ? std::string(name) : std::string("spoolhost");
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
    if (request->printer.empty())
        request->printer = request->port + " printer";
    if (request->document.empty())
        request->document = request->input == "-" ? "standard input" : BaseName(request->input);
    if (request->user.empty())
        request->user = CurrentUser();
    return true;
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

int RunCommand(const LoadedMonitor& monitor, const Options& options, const PrintRequest& request)
{
    const std::vector<std::string>& c = options.command;
    if (c[0] == "print")
        return PrintThroughMonitor(monitor, request, options.log);
    if (c[0] == "ports") {
        std::string which = c.size() > 1 ? c[1] : "all";
        if (which == "all")
            return ListPorts(monitor, 1) | ListPorts(monitor, 2);
        return ListPorts(monitor, static_cast<DWORD>(strtoul(which.c_str(), nullptr, 10)));
    }
    if (c[0] == "open" && c.size() == 2)
        return OpenAndClose(monitor, c[1]);
    Usage();
    return 2;
}

int RunMonitorCommand(const Options& options, const PrintRequest& request)
{
    StandinSetNetPrinters(options.net);
    StandinSetNoNetwork(options.noNetwork);
    MonitorHostServices services = StandinServices(options.timeDivisor);
    LoadedMonitor monitor;
    std::string error;
    if (!LoadMonitor(options.dll, &services, &monitor, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (!monitor.initialized)
        fprintf(stderr, "InitializeMonitorEx failed (error %lu); the port table is still filled\n",
                static_cast<unsigned long>(monitor.initError));
    int result = RunCommand(monitor, options, request);
    if (options.log && options.command[0] != "print")
        PrintCallLog();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Usage();
        return 2;
    }
    const std::vector<std::string>& c = options.command;
    std::string key = MonitorKeyOf(options.dll);
    if (c[0] == "setport" && c.size() >= 2 && !key.empty())
        return SetValues(key + "\\Ports\\" + c[1], std::vector<std::string>(c.begin() + 2, c.end()));
    if (c[0] == "install" && c.size() == 2 && !key.empty())
        return SetValues(key, {"InstallPath=" + c[1]});
    if (c[0] == "job")
        return ControlJob(c);
    PrintRequest request;
    if (c[0] == "print") {
        std::string error;
        if (!ParsePrintArguments(c, &request, &options.log, &error)) {
            fprintf(stderr, "%s\n", error.c_str());
            Usage();
            return 2;
        }
        ConnectUnknownPort(key, &options, &request);
    }
    return RunMonitorCommand(options, request);
}
