// The spooler host's administration commands: port values, listing and
// opening ports, adding and deleting ports, and the monitor's dialogs.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/password_codec.h"
#include "ipp/http_message.h"
#include "monitor/port_defaults.h"
#include "monitor/port_record.h"
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
    DWORD port = NewPortNumber(PROTOCOL_LPR, kValuePortNum);
    if (a.size() < 2 || a[0].empty() || a[0].size() > kHostChars || a[1].empty() || a[1].size() > kQueueChars)
        return false;
    for (size_t i = 2; i < a.size(); ++i) {
        if (a[i] == "--no-byte-count")
            definition->values.push_back(Dword(kValueNonByteCount, 1));
        else if (!(a[i] == "--port" && i + 1 < a.size() && ParsePortNumber(a[++i], &port)))
            return false;
    }
    definition->values.insert(definition->values.end(),
                              {Text(kValueHostName, a[0]), Text(kValuePortName, a[1]), Dword(kValuePortNum, port)});
    return true;
}

// --raw HOST [PORT]
bool RawValues(const std::vector<std::string>& a, NewPortDefinition* definition)
{
    DWORD port = NewPortNumber(PROTOCOL_RAW, kValuePortNum);
    if (a.empty() || a.size() > 2 || a[0].empty() || a[0].size() > kHostChars || (a.size() == 2 && !ParsePortNumber(a[1], &port)))
        return false;
    definition->values.insert(definition->values.end(), {Text(kValueHostName, a[0]), Dword(kValuePortNum, port)});
    return true;
}

// --ipp URL [--chunked] [--max-chunk N] [--language L] [--proxy HOST PORT]
bool IppValues(const std::vector<std::string>& a, NewPortDefinition* definition)
{
    ULONGLONG number = 0;
    DWORD proxyPort = 0;
    if (a.empty() || a[0].empty() || a[0].size() > kUrlChars)
        return false;
    std::vector<PortValue>& values = definition->values;
    values.push_back(Text(kValueUrl, a[0]));
    for (size_t i = 1; i < a.size(); ++i) {
        bool hasValue = i + 1 < a.size();
        if (a[i] == "--chunked") {
            values.push_back(Dword(kValueChunked, 1));
        } else if (a[i] == "--language" && hasValue && a[i + 1].size() <= kLanguageChars) {
            values.push_back(Text(kValueLanguage, a[++i]));
        } else if (a[i] == "--max-chunk" && hasValue && ParseCount(a[i + 1], &number) && number >= kMaxChunkLow &&
                   number <= kMaxChunkHigh) {
            values.push_back(Dword(kValueMaxChunk, static_cast<DWORD>(number)));
            ++i;
        } else if (a[i] == "--proxy" && i + 2 < a.size() && !a[i + 1].empty() && a[i + 1].size() <= kUrlChars &&
                   ParsePortNumber(a[i + 2], &proxyPort)) {
            values.insert(values.end(), {Text(kValueProxyName, a[i + 1]), Dword(kValueProxyNum, proxyPort),
                                         Dword(kValueUseProxy, 1)});
            i += 2;
        } else {
            return false;
        }
    }
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
                              {Text(kValueSmtpServer, a[0]), Text(kValueFromName, fromName), Text(kValueFromAddr, a[1]),
                               Text(kValueToAddr, a[2]), Text(kValueSubject, subject, REG_BINARY), Text(kValueAuthId, authId),
                               Text(kValueAuthPass, authPass, REG_BINARY), Dword(kValueAuthType, authId.empty() ? 0 : 1)});
    return true;
}

// The values of the new port in the monitor's order: each the command line's
// choice, else what the monitor key gives, else the default; then the
// command line's values the table does not hold (NonByteCount).
std::vector<PortValue> NewPortValues(const std::string& monitorKey, const NewPortDefinition& definition)
{
    std::vector<PortValue> values, rest = definition.values;
    PortValueDefault known;
    for (size_t index = 0; NewPortValue(definition.protocol, index, &known); ++index) {
        auto chosen = std::find_if(rest.begin(), rest.end(), [&](const PortValue& v) { return v.name == known.name; });
        if (chosen != rest.end()) {
            values.push_back(*chosen);
            rest.erase(chosen);
        } else if (known.type == REG_DWORD) {
            bool fromMonitor = known.source == PORT_VALUE_MONITOR;
            values.push_back(Dword(known.name, fromMonitor ? MonitorKeyNumber(monitorKey.c_str(), known) : known.number));
        } else {
            values.push_back(PortValue{known.name, known.type, std::string(known.text ? known.text : "", known.size)});
        }
    }
    values.insert(values.end(), rest.begin(), rest.end());
    return values;
}

// Creates the port key with the values of the new port; false (nothing changed) when
// the key exists already or cannot be created.
bool WriteNewPortKey(const std::string& monitorKey, const NewPortDefinition& definition, std::string* error)
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
    for (const PortValue& value : NewPortValues(monitorKey, definition))
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

// add NAME --lpr|--raw|--ipp|--email ...: the protocol and the values the
// command line chooses (the rest are the new-port defaults, see NewPortValues).
bool ParseAddArguments(const std::vector<std::string>& c, NewPortDefinition* definition)
{
    if (c.size() < 3 || c[1].empty() || c[1].size() > kPortNameChars || c[1].find('\\') != std::string::npos || c[1][0] == '-')
        return false;
    definition->name = c[1];
    const std::string& kind = c[2];
    std::vector<std::string> rest(c.begin() + 3, c.end());
    DWORD protocol = kind == "--lpr"     ? PROTOCOL_LPR
                     : kind == "--ipp"   ? PROTOCOL_IPP
                     : kind == "--email" ? PROTOCOL_EMAIL
                     : kind == "--raw"   ? PROTOCOL_RAW
                                         : PROTOCOL_FILE;
    definition->protocol = protocol;
    definition->values.clear();
    switch (protocol) {
    case PROTOCOL_LPR: return LprValues(rest, definition);
    case PROTOCOL_IPP: return IppValues(rest, definition);
    case PROTOCOL_EMAIL: return EmailValues(rest, definition);
    case PROTOCOL_RAW: return RawValues(rest, definition);
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

// The spooler's port list as the wizard sees it: a few local ports and the
// monitor's own ports, so that their names count as taken.
void ShowSpoolerPorts(const LoadedMonitor& monitor)
{
    std::vector<std::string> ports = {"LPT1:", "LPT2:", "COM1:", "FILE:"};
    std::vector<BYTE> buffer;
    DWORD count = 0;
    if (Enumerate(monitor, 1, &buffer, &count)) {
        const PORT_INFO_1A* info = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            ports.push_back(info[i].pName);
    }
    StandinSetSpoolerPorts(ports);
}

int RunDialogCommand(const LoadedMonitor& monitor, const std::string& monitorKey, const std::vector<std::string>& c)
{
    if (c[0] == "wizard")
        ShowSpoolerPorts(monitor);
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
