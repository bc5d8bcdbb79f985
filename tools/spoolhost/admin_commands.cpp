// The spooler host's administration commands: port values, listing and
// opening ports, adding and deleting ports, and the monitor's dialogs.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/password_codec.h"
#include "spoolhost.h"

namespace {

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

// An invisible top-level window to own the monitor's dialogs, as the
// spooler's caller window would.
HWND OwnerWindow()
{
    return CreateWindowExA(0, "STATIC", "spoolhost", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

} // namespace

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
