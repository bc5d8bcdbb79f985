// The spooler host: loads the monitor DLL as a spooler does and drives its
// operations from the command line, with an in-process spooler stand-in.
// This file reads the options and dispatches the commands.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "monitor/monitor_name.h"
#include "spoolhost.h"

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
            "        [--output FILE] [--block N] [--pause-after N] [--delete-after N] [--repeat N] [--log]\n"
            "                                 print FILE (standard input for - or none) through PORT;\n"
            "                                 a PORT the monitor does not know is printed to as a file;\n"
            "                                 --repeat: FILE as N timed jobs on the one opened port\n"
            "  job ID pause|resume|delete     control a job that another spoolhost prints\n"
            "  add NAME --lpr HOST QUEUE [--port N] [--no-byte-count]\n"
            "  add NAME --raw HOST [PORT]\n"
            "  add NAME --ipp URL [--chunked] [--max-chunk N] [--language L] [--proxy HOST PORT]\n"
            "  add NAME --email SMTP FROM TO[,TO...] [--from-name TEXT] [--subject TEXT] [--auth ID PASSWORD]\n"
            "                                 write a new port's key and let the monitor take it over\n"
            "  delete NAME                    delete a port (memory and registry)\n"
            "  configure NAME                 open the port's configuration dialog (needs a display)\n"
            "  wizard                         open the add-port wizard (needs a display)\n"
            "  search [--close-after MS]      open the print-server search dialog (needs a display) and\n"
            "                                 print the servers it lists and the one chosen; OK is\n"
            "                                 pressed after MS milliseconds when given\n"
            "  install-monitor DIR [--lang en|ja]\n"
            "                                 copy the monitor, its catalogues and the mailer into DIR\n"
            "                                 and register them (InstallPath, Driver)\n"
            "  uninstall-monitor DIR          remove exactly what install-monitor added\n"
            "--log prints the spooler calls the monitor made.\n");
}

namespace {

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
    if (c[0] == "search")
        return SearchCommand(monitor, c);
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

// Decimal digits only, at most 19 of them (no overflow).
bool ParseCount(const std::string& text, ULONGLONG* value)
{
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = strtoull(text.c_str(), nullptr, 10);
    return true;
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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
