// The scale measurements of the monitor, run by bench/scale_bench.sh: the
// monitor DLL loaded as the spooler host loads it (spooler stand-in, host
// services, InitializeMonitorEx), with many ports in the registry.
//
//   scale_bench [--ports N] [--init-runs R] [--enum-calls C] [--enum-pause-ms P]
//               [--block B] [--timeout-s T] [--keep-ports] [--job PORT ID FILE]...
//   scale_bench --remove-ports
//
//   --ports N        the ports key holds N port keys while the monitor is
//                    measured: filler ports (SCALEnnnn, of the four protocols
//                    in turn) are written up to N and removed at the end
//                    (unless --keep-ports); 0 writes none (default 1000)
//   --init-runs R    the DLL is loaded R times, each time in a new process of
//                    this program (--init-child), and InitializeMonitorEx
//                    timed (default 5); before, a registry read is timed
//                    2000 times: the cost of one wineserver request
//   --enum-calls C   EnumPorts level 2 calls timed on an idle monitor (default 2000)
//   --job PORT ID FILE  a job printed through PORT as job ID; every job is
//                    printed at the same time, each on its own thread, while
//                    another thread calls EnumPorts level 2 in a loop (with
//                    P ms between calls, default 0)
//   --block B        WritePort block size of the jobs (default 65536)
//   --timeout-s T    the jobs' bound: a job not done by then counts as failed
//                    and the program ends (default 600)
//   --remove-ports   only remove the filler ports (after a run that ended early)
//
// Figures go to standard output as lines "name value..." (times in ms, from
// QueryPerformanceCounter), one job a line: "job PORT ID BYTES MS ok" or
// "job PORT ID BYTES MS failed REASON". Exit code 0 when every step and every
// job succeeded, 1 otherwise, 2 for usage errors.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "monitor/monitor_name.h"
#include "monitor/port_defaults.h"
#include "monitor/port_record.h"
#include "standin/monitor_loader.h"
#include "standin/print_job.h"
#include "standin/spooler_standin.h"

namespace {

const char kFillerPrefix[] = "SCALE";
const DWORD kJobPollMs = 5;

struct JobSpec {
    std::string port;
    DWORD id;
    std::string file;
};

struct Options {
    DWORD ports = 1000;
    DWORD initRuns = 5;
    DWORD enumCalls = 2000;
    DWORD enumPauseMs = 0;
    DWORD block = 65536;
    DWORD timeoutS = 600;
    bool keepPorts = false;
    bool removeOnly = false;
    bool initChild = false;
    std::vector<JobSpec> jobs;
};

double g_ticksPerMs = 0;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double MsSince(LONGLONG start, LONGLONG end)
{
    return static_cast<double>(end - start) / g_ticksPerMs;
}

bool ParseNumber(const char* text, DWORD low, DWORD high, DWORD* value)
{
    char* end = nullptr;
    unsigned long number = strtoul(text, &end, 10);
    if (!text[0] || *end || number < low || number > high)
        return false;
    *value = static_cast<DWORD>(number);
    return true;
}

bool ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool value = i + 1 < argc;
        if (arg == "--ports" && value) {
            if (!ParseNumber(argv[++i], 0, 100000, &options->ports))
                return false;
        } else if (arg == "--init-runs" && value) {
            if (!ParseNumber(argv[++i], 0, 1000, &options->initRuns))
                return false;
        } else if (arg == "--enum-calls" && value) {
            if (!ParseNumber(argv[++i], 0, 10000000, &options->enumCalls))
                return false;
        } else if (arg == "--enum-pause-ms" && value) {
            if (!ParseNumber(argv[++i], 0, 10000, &options->enumPauseMs))
                return false;
        } else if (arg == "--block" && value) {
            if (!ParseNumber(argv[++i], 1, 16 * 1024 * 1024, &options->block))
                return false;
        } else if (arg == "--timeout-s" && value) {
            if (!ParseNumber(argv[++i], 1, 86400, &options->timeoutS))
                return false;
        } else if (arg == "--keep-ports") {
            options->keepPorts = true;
        } else if (arg == "--remove-ports") {
            options->removeOnly = true;
        } else if (arg == "--init-child") {
            options->initChild = true;
        } else if (arg == "--job" && i + 3 < argc) {
            JobSpec job;
            job.port = argv[i + 1];
            job.file = argv[i + 3];
            if (job.port.empty() || !ParseNumber(argv[i + 2], 1, MAXDWORD, &job.id))
                return false;
            options->jobs.push_back(job);
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

// ---- statistics -----------------------------------------------------------

// "NAME_median X", "NAME_mean", "NAME_p99", "NAME_max" (ms) of the samples.
void PrintStatistics(const char* name, std::vector<double> samples)
{
    if (samples.empty()) {
        printf("%s_count 0\n", name);
        return;
    }
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (double sample : samples)
        sum += sample;
    size_t n = samples.size();
    double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    size_t p99 = (n * 99 + 99) / 100;
    printf("%s_count %zu\n", name, n);
    printf("%s_min_ms %.4f\n", name, samples.front());
    printf("%s_median_ms %.4f\n", name, median);
    printf("%s_mean_ms %.4f\n", name, sum / static_cast<double>(n));
    printf("%s_p99_ms %.4f\n", name, samples[(p99 > n ? n : p99) - 1]);
    printf("%s_max_ms %.4f\n", name, samples.back());
}

// ---- the ports key ---------------------------------------------------------

// The monitor's ports key, from the DLL's path as the monitor makes it.
std::string PortsKeyOf(const std::string& dll)
{
    char name[320], key[400], ports[400];
    if (!BuildMonitorName(dll.c_str(), name, sizeof name) || !BuildMonitorKeys(name, key, sizeof key, ports, sizeof ports))
        return "";
    return ports;
}

bool IsFillerName(const char* name)
{
    size_t prefix = sizeof kFillerPrefix - 1;
    if (strncmp(name, kFillerPrefix, prefix) != 0 || strlen(name) != prefix + 4)
        return false;
    for (const char* c = name + prefix; *c; ++c)
        if (*c < '0' || *c > '9')
            return false;
    return true;
}

DWORD SubkeyCount(HKEY key)
{
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return 0;
    return subkeys;
}

// Removes the filler keys an earlier run may have left; returns how many.
DWORD RemoveFillers(HKEY ports)
{
    std::vector<std::string> fillers;
    char name[256];
    for (DWORD index = 0; index < 200000; ++index) {
        LONG result = RegEnumKeyA(ports, index, name, sizeof name);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && IsFillerName(name))
            fillers.push_back(name);
    }
    for (const std::string& filler : fillers)
        RegDeleteKeyA(ports, filler.c_str());
    return static_cast<DWORD>(fillers.size());
}

void SetText(HKEY key, const char* name, DWORD type, const std::string& text)
{
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()));
}

// A filler's own values over the new-port defaults: a destination on
// loopback that no job is ever sent to.
bool ChosenText(DWORD protocol, const char* name, std::string* text)
{
    struct Choice {
        DWORD protocol;
        const char* name;
        const char* text;
    };
    static const Choice kChoices[] = {
        {PROTOCOL_LPR, kValueHostName, "127.0.0.1"},
        {PROTOCOL_LPR, kValuePortName, "lp1"},
        {PROTOCOL_RAW, kValueHostName, "127.0.0.1"},
        {PROTOCOL_IPP, kValueUrl, "http://127.0.0.1:631/printers/raw"},
        {PROTOCOL_EMAIL, kValueSmtpServer, "127.0.0.1"},
        {PROTOCOL_EMAIL, kValueFromAddr, "scale@example.invalid"},
        {PROTOCOL_EMAIL, kValueToAddr, "scale@example.invalid"},
    };
    for (const Choice& choice : kChoices)
        if (choice.protocol == protocol && strcmp(choice.name, name) == 0) {
            *text = choice.text;
            return true;
        }
    return false;
}

// One filler port key with every value a new port of `protocol` gets.
bool WriteFiller(HKEY ports, const std::string& monitorKey, const char* name, DWORD protocol)
{
    HKEY key;
    if (RegCreateKeyExA(ports, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    PortValueDefault value;
    for (size_t index = 0; NewPortValue(protocol, index, &value); ++index) {
        std::string text;
        if (value.type == REG_DWORD) {
            DWORD number = value.source == PORT_VALUE_MONITOR ? MonitorKeyNumber(monitorKey.c_str(), value) : value.number;
            RegSetValueExA(key, value.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        } else if (ChosenText(protocol, value.name, &text)) {
            SetText(key, value.name, value.type, text);
        } else {
            SetText(key, value.name, value.type, std::string(value.text ? value.text : "", value.size));
        }
    }
    RegCloseKey(key);
    return true;
}

// Fills the ports key up to `total` keys with fillers; prints what it holds.
bool WritePorts(const std::string& dll, DWORD total)
{
    std::string portsKey = PortsKeyOf(dll);
    std::string monitorKey = portsKey.substr(0, portsKey.rfind('\\'));
    HKEY ports;
    if (portsKey.empty() || RegCreateKeyExA(HKEY_LOCAL_MACHINE, portsKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &ports, nullptr) != ERROR_SUCCESS) {
        fprintf(stderr, "cannot open HKLM\\%s\n", portsKey.c_str());
        return false;
    }
    RemoveFillers(ports);
    DWORD others = SubkeyCount(ports);
    DWORD wanted = total > others ? total - others : 0;
    LONGLONG start = Now();
    DWORD written = 0;
    char name[32];
    for (DWORD i = 1; i <= wanted && i <= 9999; ++i) {
        snprintf(name, sizeof name, "%s%04lu", kFillerPrefix, static_cast<unsigned long>(i));
        static const DWORD kProtocols[] = {PROTOCOL_LPR, PROTOCOL_RAW, PROTOCOL_IPP, PROTOCOL_EMAIL};
        if (WriteFiller(ports, monitorKey, name, kProtocols[i % 4]))
            ++written;
    }
    printf("ports_other %lu\n", static_cast<unsigned long>(others));
    printf("ports_written %lu\n", static_cast<unsigned long>(written));
    printf("ports_write_ms %.1f\n", MsSince(start, Now()));
    printf("port_keys %lu\n", static_cast<unsigned long>(SubkeyCount(ports)));
    RegCloseKey(ports);
    return written == wanted;
}

void RemovePorts(const std::string& dll)
{
    HKEY ports;
    std::string portsKey = PortsKeyOf(dll);
    if (portsKey.empty() || RegOpenKeyExA(HKEY_LOCAL_MACHINE, portsKey.c_str(), 0, KEY_ALL_ACCESS, &ports) != ERROR_SUCCESS)
        return;
    printf("ports_removed %lu\n", static_cast<unsigned long>(RemoveFillers(ports)));
    RegCloseKey(ports);
}

// ---- EnumPorts --------------------------------------------------------------

// One EnumPorts call at `level` into `buffer` (grown when too small, then
// called again); its time in ms, and the count in *count. False when it fails.
bool TimedEnumPorts(const MONITOR95& table, DWORD level, std::vector<BYTE>* buffer, DWORD* count, double* ms)
{
    char server[] = "";
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD needed = 0;
        *count = 0;
        if (buffer->empty())
            buffer->resize(1);
        LONGLONG start = Now();
        BOOL ok = table.pfnEnumPorts(server, level, buffer->data(), static_cast<DWORD>(buffer->size()), &needed, count);
        LONGLONG end = Now();
        if (ok) {
            *ms = MsSince(start, end);
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer->size())
            return false;
        buffer->resize(needed + 4096);
    }
    return false;
}

// ---- InitializeMonitorEx ------------------------------------------------------

template <typename T>
T Export(HMODULE module, const char* name)
{
    FARPROC proc = GetProcAddress(module, name);
    T typed;
    static_assert(sizeof typed == sizeof proc, "function pointers");
    memcpy(&typed, &proc, sizeof typed);
    return typed;
}

// One run in a process of its own (--init-child), as a spooler starts: the
// steps of LoadMonitor with InitializeMonitorEx timed on its own, then the
// ports it made counted with EnumPorts level 1. Prints "init_child MS PORTS".
int InitChild(const std::string& dll)
{
    HMODULE module = LoadLibraryA(dll.c_str());
    if (!module)
        return 1;
    auto setServices = Export<SetMonitorHostServicesFn>(module, SET_MONITOR_HOST_SERVICES_EXPORT);
    auto initialize = Export<InitializeMonitorExFn>(module, "InitializeMonitorEx");
    MonitorHostServices services = StandinServices(1);
    if (!setServices || !initialize || !setServices(&services))
        return 1;
    MONITOR95 table = {};
    char root[] = "";
    LONGLONG start = Now();
    BOOL initialized = initialize(root, &table);
    LONGLONG end = Now();
    std::vector<BYTE> buffer;
    DWORD ports = 0;
    double enumMs = 0;
    if (!initialized || !TimedEnumPorts(table, 1, &buffer, &ports, &enumMs))
        return 1;
    printf("init_child %.3f %lu\n", MsSince(start, end), static_cast<unsigned long>(ports));
    fflush(stdout);
    // The monitor's threads need not end: the process does.
    ExitProcess(0);
}

// Runs this program with --init-child and reads its line.
bool RunInitChild(double* ms, DWORD* ports)
{
    char path[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string command = std::string("\"") + path + "\" --init-child";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    char block[256];
    DWORD got = 0;
    while (started && output.size() < 4096 && ReadFile(readEnd, block, sizeof block, &got, nullptr) && got > 0)
        output.append(block, got);
    CloseHandle(readEnd);
    if (!started)
        return false;
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    unsigned long count = 0;
    if (sscanf(output.c_str(), "init_child %lf %lu", ms, &count) != 2)
        return false;
    *ports = static_cast<DWORD>(count);
    return true;
}

bool MeasureInitialize(DWORD runs)
{
    std::vector<double> samples;
    DWORD ports = 0;
    for (DWORD run = 0; run < runs; ++run) {
        double ms = 0;
        if (!RunInitChild(&ms, &ports)) {
            fprintf(stderr, "InitializeMonitorEx run %lu failed\n", static_cast<unsigned long>(run + 1));
            return false;
        }
        printf("init_run %lu %.3f\n", static_cast<unsigned long>(run + 1), ms);
        samples.push_back(ms);
    }
    printf("init_ports %lu\n", static_cast<unsigned long>(ports));
    PrintStatistics("init", samples);
    return true;
}

// The cost of one call through the wineserver: a REG_DWORD read from an open
// key, which is one request (the floor under every registry step).
void MeasureServerCall(const std::string& dll, DWORD calls)
{
    std::string portsKey = PortsKeyOf(dll);
    std::string monitorKey = portsKey.substr(0, portsKey.rfind('\\'));
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, monitorKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    std::vector<double> samples;
    for (DWORD call = 0; call < calls; ++call) {
        DWORD value = 0, size = sizeof value;
        LONGLONG start = Now();
        RegQueryValueExA(key, kValueReconnection, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        samples.push_back(MsSince(start, Now()));
    }
    RegCloseKey(key);
    PrintStatistics("server_call", samples);
}

// ---- idle EnumPorts -----------------------------------------------------------

bool MeasureEnumPorts(const MONITOR95& table, DWORD calls)
{
    std::vector<BYTE> buffer;
    std::vector<double> samples;
    DWORD count = 0;
    double ms = 0;
    // The first call of a monitor starts its network refresh and waits for it.
    if (!TimedEnumPorts(table, 2, &buffer, &count, &ms))
        return false;
    printf("enum_first_ms %.3f\n", ms);
    samples.reserve(calls);
    for (DWORD call = 0; call < calls; ++call) {
        if (!TimedEnumPorts(table, 2, &buffer, &count, &ms))
            return false;
        samples.push_back(ms);
    }
    printf("enum_ports %lu\n", static_cast<unsigned long>(count));
    PrintStatistics("enum", samples);
    return true;
}

// ---- concurrent printing -----------------------------------------------------

struct EnumLoop {
    const MONITOR95* table;
    DWORD pauseMs;
    std::atomic<bool> stop{false};
    std::vector<double> samples;
    DWORD failures = 0;
    DWORD lastCount = 0;
};

DWORD WINAPI EnumLoopMain(void* context)
{
    EnumLoop* loop = static_cast<EnumLoop*>(context);
    std::vector<BYTE> buffer;
    loop->samples.reserve(1 << 20);
    while (!loop->stop.load()) {
        double ms = 0;
        DWORD count = 0;
        if (TimedEnumPorts(*loop->table, 2, &buffer, &count, &ms)) {
            if (loop->samples.size() < loop->samples.capacity())
                loop->samples.push_back(ms);
            loop->lastCount = count;
        } else {
            ++loop->failures;
        }
        if (loop->pauseMs)
            Sleep(loop->pauseMs);
    }
    return 0;
}

struct RunningJob {
    JobSpec spec;
    std::unique_ptr<PrintJob> job;
    double ms = 0;
    bool done = false;
    std::string startError; // the job did not start
};

// Prepares every job (one after another: the stand-in hands out job IDs in
// order), starts them together with the EnumPorts loop, and waits for all.
bool PrintConcurrently(const MONITOR95& table, const Options& options)
{
    std::vector<RunningJob> jobs(options.jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        PrintRequest request;
        request.port = options.jobs[i].port;
        request.printer = request.port + " printer";
        request.input = options.jobs[i].file;
        request.document = "scale " + request.port;
        request.user = "bench";
        request.jobId = options.jobs[i].id;
        request.blockSize = options.block;
        jobs[i].spec = options.jobs[i];
        jobs[i].job.reset(new PrintJob(table));
        std::string error;
        if (!jobs[i].job->Prepare(request, &error)) {
            fprintf(stderr, "job %s: %s\n", request.port.c_str(), error.c_str());
            return false;
        }
    }
    EnumLoop loop;
    loop.table = &table;
    loop.pauseMs = options.enumPauseMs;
    HANDLE enumerator = CreateThread(nullptr, 0, EnumLoopMain, &loop, 0, nullptr);
    if (!enumerator)
        return false;
    LONGLONG start = Now();
    size_t pending = jobs.size();
    for (RunningJob& job : jobs) {
        if (!job.job->Start(&job.startError)) {
            job.done = true;
            --pending;
        }
    }
    DWORD began = GetTickCount();
    while (pending > 0 && GetTickCount() - began < options.timeoutS * 1000) {
        Sleep(kJobPollMs);
        for (RunningJob& job : jobs)
            if (!job.done && job.job->WaitDone(0)) {
                job.done = true;
                job.ms = MsSince(start, Now());
                --pending;
            }
    }
    double wall = MsSince(start, Now());
    loop.stop = true;
    WaitForSingleObject(enumerator, INFINITE);
    CloseHandle(enumerator);

    bool allOk = pending == 0;
    ULONGLONG total = 0;
    for (RunningJob& job : jobs) {
        PrintSnapshot snapshot = job.job->Snapshot();
        total += snapshot.handed;
        bool succeeded = job.done && job.startError.empty() && job.job->Succeeded();
        std::string reason = !job.done ? "not done within the bound" : !job.startError.empty() ? job.startError : job.job->Failure();
        printf("job %s %lu %llu %.1f %s%s%s\n", job.spec.port.c_str(), static_cast<unsigned long>(job.spec.id),
               static_cast<unsigned long long>(snapshot.handed), job.ms, succeeded ? "ok" : "failed", reason.empty() ? "" : " ",
               reason.c_str());
        allOk = allOk && succeeded;
    }
    printf("print_jobs %zu\n", jobs.size());
    printf("print_bytes %llu\n", static_cast<unsigned long long>(total));
    printf("print_wall_ms %.1f\n", wall);
    printf("print_mib_per_s %.1f\n", wall > 0 ? static_cast<double>(total) / 1048576.0 / (wall / 1000.0) : 0.0);
    printf("print_enum_pause_ms %lu\n", static_cast<unsigned long>(loop.pauseMs));
    printf("print_enum_failures %lu\n", static_cast<unsigned long>(loop.failures));
    printf("print_enum_ports %lu\n", static_cast<unsigned long>(loop.lastCount));
    PrintStatistics("print_enum", loop.samples);
    if (pending > 0) {
        // A job still running holds its thread in the monitor: end here.
        fflush(stdout);
        ExitProcess(1);
    }
    return allOk && loop.failures == 0;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 4096);
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fprintf(stderr, "usage: scale_bench [--ports N] [--init-runs R] [--enum-calls C] [--enum-pause-ms P]\n"
                        "                   [--block B] [--timeout-s T] [--keep-ports] [--job PORT ID FILE]...\n"
                        "       scale_bench --remove-ports\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g_ticksPerMs = static_cast<double>(frequency.QuadPart) / 1000.0;
    std::string dll = DefaultMonitorPath();
    if (options.initChild)
        return InitChild(dll);
    if (options.removeOnly) {
        RemovePorts(dll);
        return 0;
    }
    bool ok = true;
    if (options.ports > 0)
        ok = WritePorts(dll, options.ports);
    if (ok && options.initRuns > 0) {
        MeasureServerCall(dll, 2000);
        ok = MeasureInitialize(options.initRuns);
    }
    if (ok && (options.enumCalls > 0 || !options.jobs.empty())) {
        MonitorHostServices services = StandinServices(1);
        LoadedMonitor monitor;
        std::string error;
        if (!LoadMonitor(dll, &services, &monitor, &error) || !monitor.initialized) {
            fprintf(stderr, "cannot load the monitor: %s\n", error.empty() ? "InitializeMonitorEx failed" : error.c_str());
            ok = false;
        }
        if (ok && options.enumCalls > 0)
            ok = MeasureEnumPorts(monitor.table, options.enumCalls);
        if (ok && !options.jobs.empty())
            ok = PrintConcurrently(monitor.table, options);
    }
    if (options.ports > 0 && !options.keepPorts)
        RemovePorts(dll);
    fflush(stdout);
    return ok ? 0 : 1;
}
