#include "standin/spooler_standin.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

struct Printer {
    std::string name;
    std::string port;
    DWORD attributes;
    DWORD status;
};

struct Job {
    StandinJobView view;
};

struct Enumeration {
    bool connected;
    size_t next;
};

struct State {
    CRITICAL_SECTION lock;
    std::vector<Printer> printers;
    std::map<DWORD, Job> jobs;
    DWORD nextJobId = 1;
    std::map<HANDLE, std::string> openPrinters;
    UINT_PTR nextHandle = 0x1000;
    std::vector<StandinNetPrinter> netPrinters;
    std::map<HANDLE, Enumeration> enumerations;
    bool noNetwork = false;
    DWORD openFailures = 0;
    bool endlessMoreData = false;
    DWORD enumDelay = 0;
    DWORD connectedEnumerations = 0;
    std::vector<std::string> spoolerPorts;
    std::vector<std::string> log;
};

State& S()
{
    static State* state = [] {
        State* s = new State;
        InitializeCriticalSection(&s->lock);
        return s;
    }();
    return *state;
}

struct Guard {
    Guard() { EnterCriticalSection(&S().lock); }
    ~Guard() { LeaveCriticalSection(&S().lock); }
};

void Log(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    S().log.push_back(line);
}

Printer* FindPrinter(const std::string& name)
{
    for (Printer& p : S().printers)
        if (lstrcmpiA(p.name.c_str(), name.c_str()) == 0)
            return &p;
    return nullptr;
}

Printer* PrinterOf(HANDLE handle)
{
    auto it = S().openPrinters.find(handle);
    return it == S().openPrinters.end() ? nullptr : FindPrinter(it->second);
}

// Packs texts from the end of a caller's buffer towards the front.
struct Packer {
    BYTE* end;
    char* Put(const std::string& text)
    {
        end -= text.size() + 1;
        memcpy(end, text.c_str(), text.size() + 1);
        return reinterpret_cast<char*>(end);
    }
};

BOOL WINAPI StandinOpenPrinterA(LPSTR name, LPHANDLE handle, LPPRINTER_DEFAULTSA)
{
    Guard guard;
    Log("OpenPrinterA %s", name ? name : "(null)");
    if (S().openFailures > 0) {
        --S().openFailures;
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    if (!name || !handle || !FindPrinter(name)) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    HANDLE h = reinterpret_cast<HANDLE>(S().nextHandle++);
    S().openPrinters[h] = name;
    *handle = h;
    return TRUE;
}

BOOL WINAPI StandinClosePrinter(HANDLE handle)
{
    Guard guard;
    Log("ClosePrinter");
    if (!S().openPrinters.erase(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI StandinGetPrinterA(HANDLE handle, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    Guard guard;
    Log("GetPrinterA %lu", static_cast<unsigned long>(level));
    Printer* printer = PrinterOf(handle);
    if (!printer || level != 5) {
        SetLastError(printer ? ERROR_INVALID_LEVEL : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD total = static_cast<DWORD>(sizeof(PRINTER_INFO_5A) + printer->name.size() + printer->port.size() + 2);
    if (needed)
        *needed = total;
    if (!buffer || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    PRINTER_INFO_5A* info = reinterpret_cast<PRINTER_INFO_5A*>(buffer);
    Packer packer{buffer + size};
    info->pPrinterName = packer.Put(printer->name);
    info->pPortName = packer.Put(printer->port);
    info->Attributes = printer->attributes;
    info->DeviceNotSelectedTimeout = 15000;
    info->TransmissionRetryTimeout = 45000;
    return TRUE;
}

BOOL WINAPI StandinSetPrinterA(HANDLE handle, DWORD level, LPBYTE buffer, DWORD command)
{
    Guard guard;
    Printer* printer = PrinterOf(handle);
    DWORD status = (buffer && level == 0) ? *reinterpret_cast<DWORD*>(buffer) : 0;
    Log("SetPrinterA level=%lu cmd=%lu status=0x%lx", static_cast<unsigned long>(level), static_cast<unsigned long>(command),
        static_cast<unsigned long>(status));
    if (!printer) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (level == 0 && command == PRINTER_CONTROL_SET_STATUS) {
        printer->status = status;
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

DWORD JobInfoSize(const StandinJobView& job, DWORD level)
{
    size_t texts = job.printer.size() + job.user.size() + job.document.size() + job.dataType.size() + 8;
    return static_cast<DWORD>((level == 1 ? sizeof(JOB_INFO_1A) : sizeof(JOB_INFO_2A)) + texts);
}

void FillJobInfo(const StandinJobView& job, DWORD level, BYTE* buffer, DWORD size)
{
    Packer packer{buffer + size};
    if (level == 1) {
        JOB_INFO_1A* info = reinterpret_cast<JOB_INFO_1A*>(buffer);
        memset(info, 0, sizeof *info);
        info->JobId = job.id;
        info->pPrinterName = packer.Put(job.printer);
        info->pMachineName = packer.Put("");
        info->pUserName = packer.Put(job.user);
        info->pDocument = packer.Put(job.document);
        info->pDatatype = packer.Put(job.dataType);
        info->Status = job.status;
        return;
    }
    JOB_INFO_2A* info = reinterpret_cast<JOB_INFO_2A*>(buffer);
    memset(info, 0, sizeof *info);
    info->JobId = job.id;
    info->pPrinterName = packer.Put(job.printer);
    info->pMachineName = packer.Put("");
    info->pUserName = packer.Put(job.user);
    info->pDocument = packer.Put(job.document);
    info->pDatatype = packer.Put(job.dataType);
    info->Status = job.status;
    info->Size = job.size;
}

BOOL WINAPI StandinGetJobA(HANDLE handle, DWORD id, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    Guard guard;
    Log("GetJobA %lu level=%lu", static_cast<unsigned long>(id), static_cast<unsigned long>(level));
    auto it = S().jobs.find(id);
    if (!PrinterOf(handle) || it == S().jobs.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (level != 1 && level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    DWORD total = JobInfoSize(it->second.view, level);
    if (needed)
        *needed = total;
    if (!buffer || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    FillJobInfo(it->second.view, level, buffer, size);
    return TRUE;
}

void ApplyJobCommand(StandinJobView& job, DWORD command)
{
    switch (command) {
    case JOB_CONTROL_PAUSE: job.status |= JOB_STATUS_PAUSED; break;
    case JOB_CONTROL_RESUME: job.status &= ~JOB_STATUS_PAUSED; break;
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE: job.status |= JOB_STATUS_DELETING; break;
    case JOB_CONTROL_RESTART: job.status |= JOB_STATUS_RESTART; break;
    default: break;
    }
}

BOOL WINAPI StandinSetJobA(HANDLE handle, DWORD id, DWORD level, LPBYTE buffer, DWORD command)
{
    Guard guard;
    Log("SetJobA %lu level=%lu cmd=%lu", static_cast<unsigned long>(id), static_cast<unsigned long>(level),
        static_cast<unsigned long>(command));
    auto it = S().jobs.find(id);
    if (!PrinterOf(handle) || it == S().jobs.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    StandinJobView& job = it->second.view;
    if (level == 1 && buffer) {
        job.status = reinterpret_cast<JOB_INFO_1A*>(buffer)->Status;
    } else if (level == 2 && buffer) {
        job.status = reinterpret_cast<JOB_INFO_2A*>(buffer)->Status;
    } else if (level != 0) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    ApplyJobCommand(job, command);
    return TRUE;
}

BOOL WINAPI StandinEnumPortsA(LPSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned)
{
    Guard guard;
    Log("EnumPortsA %lu", static_cast<unsigned long>(level));
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    size_t total = 0;
    for (const std::string& port : S().spoolerPorts)
        total += sizeof(PORT_INFO_1A) + port.size() + 1;
    *needed = static_cast<DWORD>(total);
    if (!buffer || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    Packer packer{buffer + size};
    PORT_INFO_1A* info = reinterpret_cast<PORT_INFO_1A*>(buffer);
    for (const std::string& port : S().spoolerPorts)
        (info++)->pName = packer.Put(port);
    *returned = static_cast<DWORD>(S().spoolerPorts.size());
    return TRUE;
}

DWORD WINAPI StandinWNetOpenEnumA(DWORD scope, DWORD, DWORD, LPNETRESOURCEA, LPHANDLE handle)
{
    DWORD delay = 0;
    {
        Guard guard;
        Log("WNetOpenEnumA scope=%lu", static_cast<unsigned long>(scope));
        if (S().noNetwork)
            return ERROR_NO_NETWORK;
        HANDLE h = reinterpret_cast<HANDLE>(S().nextHandle++);
        S().enumerations[h] = Enumeration{scope == RESOURCE_CONNECTED, 0};
        if (scope == RESOURCE_CONNECTED) {
            ++S().connectedEnumerations;
            delay = S().enumDelay;
        }
        *handle = h;
    }
    if (delay)
        Sleep(delay);
    return NO_ERROR;
}

DWORD EntrySize(const StandinNetPrinter& printer)
{
    return static_cast<DWORD>(sizeof(NETRESOURCEA) + printer.localName.size() + printer.remoteName.size() + 2);
}

DWORD WINAPI StandinWNetEnumResourceA(HANDLE handle, LPDWORD count, LPVOID buffer, LPDWORD size)
{
    Guard guard;
    auto it = S().enumerations.find(handle);
    if (it == S().enumerations.end())
        return ERROR_INVALID_HANDLE;
    if (S().endlessMoreData) {
        *count = 0;
        *size = 0;
        return ERROR_MORE_DATA;
    }
    Enumeration& e = it->second;
    const std::vector<StandinNetPrinter>& all = S().netPrinters;
    if (!e.connected || e.next >= all.size())
        return ERROR_NO_MORE_ITEMS;
    // Entries at the front, their texts at the back, as many as fit.
    DWORD wanted = *count;
    DWORD done = 0;
    DWORD room = *size;
    size_t first = e.next;
    DWORD used = 0;
    for (size_t i = first; i < all.size() && done < wanted && used + EntrySize(all[i]) <= room; ++i, ++done)
        used += EntrySize(all[i]);
    if (done == 0) {
        *size = EntrySize(all[first]);
        *count = 0;
        return ERROR_MORE_DATA;
    }
    NETRESOURCEA* entries = static_cast<NETRESOURCEA*>(buffer);
    Packer packer{static_cast<BYTE*>(buffer) + room};
    for (DWORD i = 0; i < done; ++i) {
        const StandinNetPrinter& printer = all[first + i];
        memset(&entries[i], 0, sizeof entries[i]);
        entries[i].dwScope = RESOURCE_CONNECTED;
        entries[i].dwType = RESOURCETYPE_PRINT;
        entries[i].lpLocalName = packer.Put(printer.localName);
        entries[i].lpRemoteName = printer.nullRemote ? nullptr : packer.Put(printer.remoteName);
    }
    e.next += done;
    *count = done;
    return NO_ERROR;
}

DWORD WINAPI StandinWNetCloseEnum(HANDLE handle)
{
    Guard guard;
    return S().enumerations.erase(handle) ? NO_ERROR : ERROR_INVALID_HANDLE;
}

} // namespace

void StandinReset()
{
    Guard guard;
    State& s = S();
    s.printers.clear();
    s.jobs.clear();
    s.openPrinters.clear();
    s.netPrinters.clear();
    s.enumerations.clear();
    s.spoolerPorts.clear();
    s.log.clear();
    s.noNetwork = s.endlessMoreData = false;
    s.enumDelay = 0;
    s.openFailures = 0;
    s.connectedEnumerations = 0;
}

void StandinSetOpenFailures(DWORD count)
{
    Guard guard;
    S().openFailures = count;
}

void StandinAddPrinter(const std::string& name, const std::string& port, DWORD attributes)
{
    Guard guard;
    S().printers.push_back(Printer{name, port, attributes, 0});
}

DWORD StandinPrinterStatus(const std::string& name)
{
    Guard guard;
    Printer* printer = FindPrinter(name);
    return printer ? printer->status : 0;
}

DWORD StandinAddJob(const std::string& printer, const std::string& document, const std::string& user, const std::string& dataType,
                    DWORD size)
{
    Guard guard;
    if (!FindPrinter(printer))
        return 0;
    DWORD id = S().nextJobId++;
    S().jobs[id] = Job{StandinJobView{id, printer, document, user, dataType, 0, size}};
    return id;
}

bool StandinJob(DWORD id, StandinJobView* view)
{
    Guard guard;
    auto it = S().jobs.find(id);
    if (it == S().jobs.end())
        return false;
    *view = it->second.view;
    return true;
}

static void JobCommand(DWORD id, DWORD command)
{
    Guard guard;
    auto it = S().jobs.find(id);
    if (it != S().jobs.end())
        ApplyJobCommand(it->second.view, command);
}

void StandinSetJobStatus(DWORD id, DWORD status)
{
    Guard guard;
    auto it = S().jobs.find(id);
    if (it != S().jobs.end())
        it->second.view.status = status;
}

void StandinPauseJob(DWORD id) { JobCommand(id, JOB_CONTROL_PAUSE); }
void StandinResumeJob(DWORD id) { JobCommand(id, JOB_CONTROL_RESUME); }
void StandinDeleteJob(DWORD id) { JobCommand(id, JOB_CONTROL_DELETE); }

void StandinSetNextJobId(DWORD id)
{
    Guard guard;
    S().nextJobId = id;
}

void StandinSetJobSize(DWORD id, DWORD size)
{
    Guard guard;
    auto it = S().jobs.find(id);
    if (it != S().jobs.end())
        it->second.view.size = size;
}

void StandinChangeJobStatus(DWORD id, DWORD set, DWORD clear)
{
    Guard guard;
    auto it = S().jobs.find(id);
    if (it != S().jobs.end())
        it->second.view.status = (it->second.view.status | set) & ~clear;
}

void StandinSetNetPrinters(const std::vector<StandinNetPrinter>& printers)
{
    Guard guard;
    S().netPrinters = printers;
}

void StandinSetNoNetwork(bool noNetwork)
{
    Guard guard;
    S().noNetwork = noNetwork;
}

void StandinSetEnumDelay(DWORD milliseconds)
{
    Guard guard;
    S().enumDelay = milliseconds;
}

void StandinSetEndlessMoreData(bool endless)
{
    Guard guard;
    S().endlessMoreData = endless;
}

DWORD StandinConnectedEnumerations()
{
    Guard guard;
    return S().connectedEnumerations;
}

DWORD StandinOpenEnumerations()
{
    Guard guard;
    return static_cast<DWORD>(S().enumerations.size());
}

void StandinSetSpoolerPorts(const std::vector<std::string>& ports)
{
    Guard guard;
    S().spoolerPorts = ports;
}

MonitorHostServices StandinServices(DWORD timeDivisor)
{
    MonitorHostServices services = {};
    services.size = sizeof services;
    services.OpenPrinterA = StandinOpenPrinterA;
    services.ClosePrinter = StandinClosePrinter;
    services.GetPrinterA = StandinGetPrinterA;
    services.SetPrinterA = StandinSetPrinterA;
    services.GetJobA = StandinGetJobA;
    services.SetJobA = StandinSetJobA;
    services.EnumPortsA = StandinEnumPortsA;
    services.WNetOpenEnumA = StandinWNetOpenEnumA;
    services.WNetEnumResourceA = StandinWNetEnumResourceA;
    services.WNetCloseEnum = StandinWNetCloseEnum;
    services.timeDivisor = timeDivisor;
    return services;
}

std::vector<std::string> StandinCallLog()
{
    Guard guard;
    return S().log;
}
