// The spooler host: loads the monitor DLL as a spooler does and drives its
// operations from the command line, with an in-process spooler stand-in.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/password_codec.h"
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
            "  add NAME --lpr HOST QUEUE [--port N] [--no-byte-count]\n"
            "  add NAME --raw HOST [PORT]\n"
            "  add NAME --ipp URL [--chunked] [--max-chunk N] [--language L] [--proxy HOST PORT]\n"
            "  add NAME --email SMTP FROM TO[,TO...] [--from-name TEXT] [--subject TEXT] [--auth ID PASSWORD]\n"
            "                                 write a new port's key and let the monitor take it over\n"
            "  delete NAME                    delete a port (memory and registry)\n"
            "  configure NAME                 open the port's configuration dialog (needs a display)\n"
            "  wizard                         open the add-port wizard (needs a display)\n"
            "  install-monitor DIR [--lang en|ja]\n"
            "                                 copy the monitor, its catalogues and the mailer into DIR\n"
            "                                 and register them (InstallPath, Driver)\n"
            "  uninstall-monitor DIR          remove exactly what install-monitor added\n"
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
            std::string definition = argv[++i];
            size_t eq = definition.find('=');
            if (eq == std::string::npos)
                return false;
            options->net.push_back(StandinNetPrinter{definition.substr(0, eq), definition.substr(eq + 1), false});
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

// ---------------------------------------------------------------------------
// Port administration: new ports, deletion, the dialogs.

// One registry value of a new port.
struct PortValue {
    std::string name;
    DWORD type;
    std::string data; // the value's bytes
};

struct NewPortDefinition {
    std::string name;
    std::vector<PortValue> values; // in the order a new port gets them
};

// Widest texts the monitor reads back (field size less the terminator).
const size_t kHostChars = 64;
const size_t kQueueChars = 32;
const size_t kUrlChars = 256;
const size_t kSmtpChars = 32;
const size_t kAddressChars = 64;
const size_t kFromNameChars = 255;
const size_t kRecipientsChars = 6499;
// The user's subject leaves room for the print markers; a password that
// scrambles to a zero byte is refused.
const size_t kSubjectChars = 42;
const size_t kAuthChars = 256;
const size_t kLanguageChars = 16;
const size_t kPortNameChars = 255;

PortValue Dword(const char* name, DWORD value)
{
    return PortValue{name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)};
}

// Texts are stored with their length, without a terminator, as the monitor
// stores them for a new port.
PortValue Text(const char* name, const std::string& text, DWORD type = REG_SZ)
{
    return PortValue{name, type, text};
}

bool ParsePortNumber(const std::string& text, DWORD* number)
{
    ULONGLONG value = 0;
    if (!ParseCount(text, &value) || value == 0 || value > 65535)
        return false;
    *number = static_cast<DWORD>(value);
    return true;
}

// --lpr HOST QUEUE [--port N] [--no-byte-count]
bool LprValues(const std::vector<std::string>& a, NewPortDefinition* definition)
{
    DWORD port = 515, noByteCount = 0;
    if (a.size() < 2 || a[0].empty() || a[0].size() > kHostChars || a[1].empty() || a[1].size() > kQueueChars)
        return false;
    for (size_t i = 2; i < a.size(); ++i) {
        if (a[i] == "--no-byte-count")
            noByteCount = 1;
        else if (!(a[i] == "--port" && i + 1 < a.size() && ParsePortNumber(a[++i], &port)))
            return false;
    }
    definition->values.insert(definition->values.end(), {Dword("CmdTmout", 900000), Dword("DatTmout", 900000), Text("HostName", a[0]),
                                             Text("PortName", a[1]), Dword("PortNum", port), Dword("NonRFCPorts", 1)});
    if (noByteCount)
        definition->values.push_back(Dword("NonByteCount", 1));
    return true;
}

// --raw HOST [PORT]
bool RawValues(const std::vector<std::string>& a, NewPortDefinition* definition)
{
    DWORD port = 9100;
    if (a.empty() || a.size() > 2 || a[0].empty() || a[0].size() > kHostChars || (a.size() == 2 && !ParsePortNumber(a[1], &port)))
        return false;
    definition->values.insert(definition->values.end(),
                        {Dword("CmdTmout", 900000), Dword("DatTmout", 900000), Text("HostName", a[0]), Dword("PortNum", port)});
    return true;
}

// --ipp URL [--chunked] [--max-chunk N] [--language L] [--proxy HOST PORT]
bool IppValues(const std::vector<std::string>& a, NewPortDefinition* definition)
{
    DWORD chunked = 0, maxChunk = 4096, useProxy = 0, proxyPort = 0;
    ULONGLONG number = 0;
    std::string language = "en-us", proxy;
    if (a.empty() || a[0].empty() || a[0].size() > kUrlChars)
        return false;
    for (size_t i = 1; i < a.size(); ++i) {
        bool hasValue = i + 1 < a.size();
        if (a[i] == "--chunked")
            chunked = 1;
        else if (a[i] == "--language" && hasValue && a[i + 1].size() <= kLanguageChars)
            language = a[++i];
        else if (a[i] == "--max-chunk" && hasValue && ParseCount(a[i + 1], &number) && number >= 1024 && number <= 16384) {
            maxChunk = static_cast<DWORD>(number);
            ++i;
        } else if (a[i] == "--proxy" && i + 2 < a.size() && !a[i + 1].empty() && a[i + 1].size() <= kUrlChars &&
                   ParsePortNumber(a[i + 2], &proxyPort)) {
            proxy = a[i + 1];
            useProxy = 1;
            i += 2;
        } else {
            return false;
        }
    }
    definition->values.insert(definition->values.end(),
                        {Dword("CmdTmout", 180000), Dword("DatTmout", 180000), Text("URL", a[0]), Dword("UseProxy", useProxy),
                         Text("ProxyName", proxy), Dword("ProxyNum", proxyPort), Dword("Chunked", chunked), Dword("MaxChunk", maxChunk),
                         Text("Language", language), Dword("Base64", 0), Text("UserName", ""),
                         Text("PassWord", std::string(1, '\0'), REG_BINARY), Dword("JobSheets", 0)});
    return true;
}

// --email SMTP FROM TO[,TO...] [--from-name TEXT] [--subject TEXT] [--auth ID PASSWORD]
bool EmailValues(const std::vector<std::string>& a, NewPortDefinition* definition)
{
    if (a.size() < 3 || a[0].empty() || a[0].size() > kSmtpChars || a[1].empty() || a[1].size() > kAddressChars ||
        a[2].empty() || a[2].size() > kRecipientsChars)
        return false;
    std::string fromName = a[1], subject, authId, authPass;
    for (size_t i = 3; i < a.size(); ++i) {
        if (a[i] == "--from-name" && i + 1 < a.size() && a[i + 1].size() <= kFromNameChars)
            fromName = a[++i];
        else if (a[i] == "--subject" && i + 1 < a.size() && a[i + 1].size() <= kSubjectChars)
            subject = a[++i];
        else if (a[i] == "--auth" && i + 2 < a.size() && a[i + 1].size() <= kAuthChars && a[i + 2].size() <= kAuthChars &&
                 CanScramblePassword(a[i + 2].c_str())) {
            authId = a[++i];
            authPass = a[++i];
            ScramblePassword(&authPass[0]);
        } else {
            return false;
        }
    }
    definition->values.insert(definition->values.end(),
                        {Text("SmtpServer", a[0]), Text("FromName", fromName), Text("FromAddr", a[1]), Text("ToAddr", a[2]),
                         Text("Subject", subject, REG_BINARY), Text("Body", "", REG_BINARY), Text("Signature", "", REG_BINARY),
                         Dword("NoPrint", 0), Dword("EditBody", 0), Dword("DivideFile", 0), Dword("DivideSize", 50),
                         Dword("CharCode", 0), Text("AuthID", authId), Text("AuthPass", authPass, REG_BINARY),
                         Dword("AuthType", authId.empty() ? 0 : 1)});
    return true;
}

// add NAME --lpr|--raw|--ipp|--email ...: the values of the new port, after
// the ones every port has (Reconnection is filled in when written).
bool ParseAddArguments(const std::vector<std::string>& c, NewPortDefinition* definition)
{
    if (c.size() < 3 || c[1].empty() || c[1].size() > kPortNameChars || c[1].find('\\') != std::string::npos || c[1][0] == '-')
        return false;
    definition->name = c[1];
    const std::string& kind = c[2];
    std::vector<std::string> rest(c.begin() + 3, c.end());
    DWORD protocol = kind == "--lpr" ? 0 : kind == "--ipp" ? 1 : kind == "--email" ? 2 : kind == "--raw" ? 3 : 4;
    definition->values = {Dword("PrintMode", protocol), Dword("NonSpool", 0), Dword("Reconnection", 0)};
    switch (protocol) {
    case 0: return LprValues(rest, definition);
    case 1: return IppValues(rest, definition);
    case 2: return EmailValues(rest, definition);
    case 3: return RawValues(rest, definition);
    default: return false;
    }
}

// The monitor-wide Reconnection that a new port takes over; 0 when absent.
DWORD MonitorReconnection(const std::string& monitorKey)
{
    DWORD value = 0, size = sizeof value, type = REG_NONE;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, monitorKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, "Reconnection", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        value = 0;
    RegCloseKey(key);
    return value;
}

// Creates the port key with the values of the new port; false (nothing changed) when
// the key exists already or cannot be created.
bool WriteNewPortKey(const std::string& monitorKey, NewPortDefinition definition, std::string* error)
{
    std::string subkey = monitorKey + "\\Ports\\" + definition.name;
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        *error = "cannot create the key of port " + definition.name;
        return false;
    }
    if (disposition == REG_OPENED_EXISTING_KEY) {
        RegCloseKey(key);
        *error = "port " + definition.name + " is registered already";
        return false;
    }
    definition.values[2] = Dword("Reconnection", MonitorReconnection(monitorKey));
    for (const PortValue& value : definition.values)
        RegSetValueExA(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
    return true;
}

bool IsListed(const LoadedMonitor& monitor, const std::string& name)
{
    std::vector<BYTE> buffer;
    DWORD count = 0;
    if (!Enumerate(monitor, 1, &buffer, &count))
        return false;
    const PORT_INFO_1A* info = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (lstrcmpiA(info[i].pName, name.c_str()) == 0)
            return true;
    return false;
}

std::string MonitorNameOf(const std::string& monitorKey)
{
    size_t slash = monitorKey.find_last_of('\\');
    return slash == std::string::npos ? monitorKey : monitorKey.substr(slash + 1);
}

// The port key is written while the monitor runs, then AddPort without a
// window has the monitor take it over at once, as a spooler would.
int AddNewPort(const LoadedMonitor& monitor, const std::string& monitorKey, const NewPortDefinition& definition)
{
    std::string error;
    if (IsListed(monitor, definition.name)) {
        printf("port %s exists already\n", definition.name.c_str());
        return 1;
    }
    if (!WriteNewPortKey(monitorKey, definition, &error)) {
        printf("%s\n", error.c_str());
        return 1;
    }
    char server[] = "";
    std::string monitorName = MonitorNameOf(monitorKey);
    if (!monitor.table.pfnAddPort(server, nullptr, &monitorName[0]) || !IsListed(monitor, definition.name)) {
        printf("AddPort did not take port %s over (error %lu); its key is removed again\n", definition.name.c_str(),
               static_cast<unsigned long>(GetLastError()));
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (monitorKey + "\\Ports\\" + definition.name).c_str());
        return 1;
    }
    printf("added %s\n", definition.name.c_str());
    return 0;
}

int DeleteNamedPort(const LoadedMonitor& monitor, const std::string& name)
{
    char server[] = "";
    std::string text = name;
    if (!monitor.table.pfnDeletePort(server, nullptr, &text[0])) {
        printf("DeletePort %s failed: error %lu\n", name.c_str(), static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    printf("deleted %s\n", name.c_str());
    return 0;
}

// An invisible top-level window to own the monitor's dialogs, as the
// spooler's caller window would.
HWND OwnerWindow()
{
    return CreateWindowExA(0, "STATIC", "spoolhost", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

int RunDialogCommand(const LoadedMonitor& monitor, const std::string& monitorKey, const std::vector<std::string>& c)
{
    char server[] = "";
    HWND owner = OwnerWindow();
    BOOL result = FALSE;
    std::string text = c[0] == "configure" ? c[1] : MonitorNameOf(monitorKey);
    SetLastError(0);
    if (c[0] == "configure")
        result = monitor.table.pfnConfigurePort(server, owner, &text[0]);
    else
        result = monitor.table.pfnAddPort(server, owner, &text[0]);
    DWORD error = GetLastError();
    if (owner)
        DestroyWindow(owner);
    const char* operation = c[0] == "configure" ? "ConfigurePort" : "AddPort";
    if (!result) {
        printf("%s: FALSE (error %lu)\n", operation, static_cast<unsigned long>(error));
        return 1;
    }
    printf("%s: TRUE\n", operation);
    return 0;
}

// ---------------------------------------------------------------------------
// Installer: install-monitor copies the monitor, its catalogues and the
// mailer into a directory and registers them; it records what it did in a
// list in that directory, from which uninstall-monitor undoes exactly that.

const char kInstallRecord[] = "INSTALL.LST";
const char kMailer[] = "Sendmail.exe";

std::string ProgramDir()
{
    char path[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One line of the record: what was done, and its object.
struct InstallStep {
    std::string action; // "directory", "key", "file", "value", "restore"
    std::string name;
    std::string text; // the earlier value of a restored value
};

struct InstallRecord {
    std::string dir;
    std::string monitorKey;
    std::vector<InstallStep> steps;
};

bool WriteRecord(const InstallRecord& record)
{
    std::string text = "monitor-key\t" + record.monitorKey + "\r\n";
    for (const InstallStep& step : record.steps)
        text += step.action + "\t" + step.name + "\t" + step.text + "\r\n";
    HANDLE file = CreateFileA((record.dir + "\\" + kInstallRecord).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

bool ReadRecord(const std::string& dir, InstallRecord* record)
{
    HANDLE file = CreateFileA((dir + "\\" + kInstallRecord).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char block[8192];
    DWORD got = 0;
    BOOL ok = ReadFile(file, block, sizeof block, &got, nullptr);
    CloseHandle(file);
    if (!ok || got == sizeof block)
        return false;
    record->dir = dir;
    std::string text(block, got);
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        if (end == std::string::npos)
            return false;
        std::string line = text.substr(start, end - start);
        size_t tab1 = line.find('\t'), tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab1 == std::string::npos)
            return false;
        if (line.compare(0, tab1, "monitor-key") == 0)
            record->monitorKey = line.substr(tab1 + 1);
        else if (tab2 != std::string::npos)
            record->steps.push_back(InstallStep{line.substr(0, tab1), line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
    }
    return !record->monitorKey.empty();
}

bool KeyIsEmpty(const std::string& subkey)
{
    HKEY key;
    DWORD subkeys = 1, values = 1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return subkeys == 0 && values == 0;
}

void SetTextValue(const std::string& subkey, const std::string& name, const std::string& text)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

// Undoes the steps in reverse order. The monitor key and the directory go
// only when nothing else is left in them.
void UndoInstall(const InstallRecord& record)
{
    DeleteFileA((record.dir + "\\" + kInstallRecord).c_str());
    for (auto step = record.steps.rbegin(); step != record.steps.rend(); ++step) {
        if (step->action == "file") {
            DeleteFileA((record.dir + "\\" + step->name).c_str());
        } else if (step->action == "value") {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, record.monitorKey.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, step->name.c_str());
                RegCloseKey(key);
            }
        } else if (step->action == "restore") {
            SetTextValue(record.monitorKey, step->name, step->text);
        } else if (step->action == "key") {
            if (KeyIsEmpty(record.monitorKey))
                RegDeleteKeyA(HKEY_LOCAL_MACHINE, record.monitorKey.c_str());
        } else if (step->action == "directory") {
            RemoveDirectoryA(record.dir.c_str());
        }
    }
}

// Sets a REG_SZ value of the monitor key, recording how to undo it: an
// earlier text value is restored, a new value removed.
bool RegisterValue(InstallRecord* record, const char* name, const std::string& text)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, record->monitorKey.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char old[MAX_PATH + 1] = "";
    DWORD size = sizeof old - 1, type = REG_NONE;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(old), &size);
    bool restorable = status == ERROR_SUCCESS && type == REG_SZ && !strpbrk(old, "\r\n");
    if (status == ERROR_SUCCESS && !restorable) {
        RegCloseKey(key);
        return false; // an earlier value this list cannot hold
    }
    record->steps.push_back(InstallStep{restorable ? "restore" : "value", name, restorable ? std::string(old) : ""});
    bool ok = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// The files to install: source path and name in the directory.
std::vector<std::pair<std::string, std::string>> InstallFiles(const std::string& dll, const std::string& language)
{
    std::string catalogues = ProgramDir() + "catalogues\\" + language + "\\";
    std::vector<std::pair<std::string, std::string>> files = {
        {dll, BaseName(dll)}, {catalogues + "CRVMES.INI", "CRVMES.INI"}, {catalogues + "CRVDLG.INI", "CRVDLG.INI"}};
    if (FileExists(ProgramDir() + kMailer))
        files.push_back({ProgramDir() + kMailer, kMailer});
    return files;
}

bool CopyInstallFiles(InstallRecord* record, const std::vector<std::pair<std::string, std::string>>& files, std::string* error)
{
    for (const auto& file : files) {
        if (!CopyFileA(file.first.c_str(), (record->dir + "\\" + file.second).c_str(), TRUE)) {
            *error = "cannot copy " + file.first + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        record->steps.push_back(InstallStep{"file", file.second, ""});
    }
    return true;
}

bool RegisterMonitor(InstallRecord* record, const std::string& dll, std::string* error)
{
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, record->monitorKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS) {
        *error = "cannot create HKLM\\" + record->monitorKey;
        return false;
    }
    RegCloseKey(key);
    if (disposition == REG_CREATED_NEW_KEY)
        record->steps.push_back(InstallStep{"key", "", ""});
    if (!RegisterValue(record, "InstallPath", record->dir) || !RegisterValue(record, "Driver", BaseName(dll))) {
        *error = "cannot set InstallPath and Driver";
        return false;
    }
    return true;
}

// install-monitor DIR [--lang en|ja]
int InstallMonitor(const Options& options, const std::string& monitorKey)
{
    const std::vector<std::string>& c = options.command;
    std::string language = c.size() == 4 && c[2] == "--lang" ? c[3] : "en";
    if ((c.size() != 2 && c.size() != 4) || (language != "en" && language != "ja") || monitorKey.empty()) {
        Usage();
        return 2;
    }
    InstallRecord record{c[1], monitorKey, {}};
    std::vector<std::pair<std::string, std::string>> files = InstallFiles(options.dll, language);
    std::vector<std::string> names = {kInstallRecord};
    for (const auto& file : files)
        names.push_back(file.second);
    for (const std::string& name : names)
        if (FileExists(record.dir + "\\" + name)) {
            printf("%s already holds %s; run uninstall-monitor first\n", record.dir.c_str(), name.c_str());
            return 1;
        }
    if (!FileExists(record.dir)) {
        if (!CreateDirectoryA(record.dir.c_str(), nullptr)) {
            printf("cannot create %s\n", record.dir.c_str());
            return 1;
        }
        record.steps.push_back(InstallStep{"directory", "", ""});
    }
    std::string error;
    if (!CopyInstallFiles(&record, files, &error) || !RegisterMonitor(&record, options.dll, &error) || !WriteRecord(record)) {
        printf("install failed: %s\n", error.empty() ? "cannot write the install list" : error.c_str());
        UndoInstall(record);
        return 1;
    }
    printf("installed %zu file(s) into %s; HKLM\\%s: InstallPath, Driver\n", files.size(), record.dir.c_str(), monitorKey.c_str());
    return 0;
}

// uninstall-monitor DIR
int UninstallMonitor(const std::vector<std::string>& c)
{
    InstallRecord record;
    if (c.size() != 2) {
        Usage();
        return 2;
    }
    if (!ReadRecord(c[1], &record)) {
        printf("%s holds no readable install list\n", c[1].c_str());
        return 1;
    }
    UndoInstall(record);
    printf("uninstalled from %s\n", record.dir.c_str());
    return 0;
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
    NewPortDefinition definition;
    if (c[0] == "add" && ParseAddArguments(c, &definition))
        return AddNewPort(monitor, MonitorKeyOf(options.dll), definition);
    if (c[0] == "delete" && c.size() == 2)
        return DeleteNamedPort(monitor, c[1]);
    if ((c[0] == "configure" && c.size() == 2) || (c[0] == "wizard" && c.size() == 1))
        return RunDialogCommand(monitor, MonitorKeyOf(options.dll), c);
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
    if (c[0] == "install-monitor")
        return InstallMonitor(options, key);
    if (c[0] == "uninstall-monitor")
        return UninstallMonitor(c);
    NewPortDefinition definition;
    if (c[0] == "add" && (key.empty() || !ParseAddArguments(c, &definition))) {
        Usage();
        return 2;
    }
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
