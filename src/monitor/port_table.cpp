// The port list: finding, making, loading and removing port records.
#include <cstring>

#include "monitor/config_store.h"
#include "monitor/model.h"
#include "monitor/monitor.h"
#include "text/catalogue.h"

static void* AllocZeroed(size_t size)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

static void FreeBlock(void* block)
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

void FreeText(char** text)
{
    FreeBlock(*text);
    *text = nullptr;
}

char* CopyText(const char* text)
{
    if (!text)
        text = "";
    size_t length = strlen(text);
    char* copy = static_cast<char*>(AllocZeroed(length + 1));
    if (copy)
        memcpy(copy, text, length);
    return copy;
}

static PortRecord* FindExact(const char* name)
{
    for (PortRecord* port = g_monitor.ports; port; port = port->next)
        if (lstrcmpiA(port->name, name) == 0)
            return port;
    return nullptr;
}

PortRecord* FindPort(const char* name)
{
    if (!name)
        return nullptr;
    PortRecord* port = FindExact(name);
    size_t length = strlen(name);
    if (port || length == 0 || length >= 1024)
        return port;
    // The other spelling of the name: without its trailing colon, or with one.
    char variant[1026];
    memcpy(variant, name, length + 1);
    if (variant[length - 1] == ':')
        variant[length - 1] = '\0';
    else {
        variant[length] = ':';
        variant[length + 1] = '\0';
    }
    return FindExact(variant);
}

static size_t SettingsSize(DWORD protocol)
{
    switch (protocol) {
    case PROTOCOL_LPR: return sizeof(LprSettings);
    case PROTOCOL_IPP: return sizeof(IppSettings);
    case PROTOCOL_EMAIL: return sizeof(EmailSettings);
    case PROTOCOL_RAW: return sizeof(RawSettings);
    default: return sizeof(SettingsHeader);
    }
}

SettingsHeader* NewSettingsRecord(DWORD protocol)
{
    SettingsHeader* settings = static_cast<SettingsHeader*>(AllocZeroed(SettingsSize(protocol)));
    if (!settings)
        return nullptr;
    settings->protocol = protocol;
    if (LprSettings* lpr = protocol == PROTOCOL_LPR ? reinterpret_cast<LprSettings*>(settings) : nullptr)
        lpr->connection = INVALID_SOCKET;
    if (RawSettings* raw = protocol == PROTOCOL_RAW ? reinterpret_cast<RawSettings*>(settings) : nullptr)
        raw->connection = INVALID_SOCKET;
    if (IppSettings* ipp = protocol == PROTOCOL_IPP ? reinterpret_cast<IppSettings*>(settings) : nullptr) {
        ipp->connection = INVALID_SOCKET;
        ipp->statusConnection = INVALID_SOCKET;
    }
    return settings;
}

template <size_t N>
static void CopyField(char (&to)[N], const char (&from)[N])
{
    memcpy(to, from, N);
    to[N - 1] = '\0';
}

static void ApplyLprTemplate(PortRecord* port, LprSettings* to, const LprSettings* from)
{
    CopyField(to->host, from->host);
    CopyField(to->queue, from->queue);
    to->portNumber = from->portNumber;
    to->noByteCount = 0;
    to->nonRfcPorts = 1;
    port->receiveTimeout = port->sendTimeout = 900000;
}

static void ApplyRawTemplate(PortRecord* port, RawSettings* to, const RawSettings* from)
{
    CopyField(to->host, from->host);
    to->portNumber = from->portNumber;
    port->receiveTimeout = port->sendTimeout = 900000;
}

static void ApplyIppTemplate(PortRecord* port, IppSettings* to, const IppSettings* from)
{
    CopyField(to->url, from->url);
    CopyField(to->proxy, from->proxy);
    CopyField(to->language, from->language);
    to->useProxy = from->useProxy;
    to->chunked = from->chunked;
    to->port = from->port;
    to->proxyPort = from->proxyPort;
    to->jobSheets = 0;
    to->authenticate = 0;
    to->maxChunk = 4096;
    to->requestCounter = 1;
    port->receiveTimeout = port->sendTimeout = 180000;
}

static void ApplyEmailTemplate(EmailSettings* to, const EmailSettings* from)
{
    CopyField(to->smtpServer, from->smtpServer);
    CopyField(to->fromName, from->fromName);
    CopyField(to->fromAddr, from->fromAddr);
    CopyField(to->toAddr, from->toAddr);
    CopyField(to->authId, from->authId);
    memcpy(to->authPass, from->authPass, sizeof to->authPass);
    to->noPrint = from->noPrint;
    to->editBody = from->editBody;
    to->charCode = from->charCode;
    to->authType = from->authType;
    if (!to->noPrint && !to->editBody) {
        CopyField(to->subject, from->subject);
        CopyField(to->body, from->body);
        CopyField(to->signature, from->signature);
    }
    to->divideFile = 0;
    to->divideSize = 50;
}

// Applies the initial values of a new port; a missing template, or one made for
// another protocol, counts as a zeroed one.
static void ApplyTemplate(PortRecord* port, const SettingsHeader* templ)
{
    SettingsHeader* zeroed = nullptr;
    if (!templ || templ->protocol != port->protocol)
        templ = zeroed = NewSettingsRecord(port->protocol);
    if (!templ)
        return;
    SettingsHeader* to = port->settings;
    switch (port->protocol) {
    case PROTOCOL_LPR:
        ApplyLprTemplate(port, reinterpret_cast<LprSettings*>(to), reinterpret_cast<const LprSettings*>(templ));
        break;
    case PROTOCOL_RAW:
        ApplyRawTemplate(port, reinterpret_cast<RawSettings*>(to), reinterpret_cast<const RawSettings*>(templ));
        break;
    case PROTOCOL_IPP:
        ApplyIppTemplate(port, reinterpret_cast<IppSettings*>(to), reinterpret_cast<const IppSettings*>(templ));
        break;
    case PROTOCOL_EMAIL:
        ApplyEmailTemplate(reinterpret_cast<EmailSettings*>(to), reinterpret_cast<const EmailSettings*>(templ));
        break;
    default:
        break;
    }
    FreeBlock(zeroed);
}

// Links a record in front of the first record with a strictly shorter name.
static void LinkByNameLength(PortRecord* port)
{
    size_t length = strlen(port->name);
    PortRecord** link = &g_monitor.ports;
    while (*link && strlen((*link)->name) >= length)
        link = &(*link)->next;
    port->next = *link;
    *link = port;
}

static void FreePortRecord(PortRecord* port)
{
    if (port->watcherThread)
        CloseHandle(port->watcherThread);
    FreeBlock(port->settings);
    FreeBlock(port->description);
    FreeBlock(port->remoteName);
    FreeBlock(port->userName);
    FreeBlock(port->documentName);
    FreeBlock(port);
}

PortRecord* CreatePortRecord(const SettingsHeader* templ, const char* name, const char* typeName, DWORD protocol)
{
    size_t length = strlen(name);
    size_t size = sizeof(PortRecord) + length;
    if (size > 0xFFFFFFFFu)
        return nullptr;
    MonitorLock();
    PortRecord* port = static_cast<PortRecord*>(AllocZeroed(size));
    if (port) {
        port->tag = PORT_RECORD_TAG;
        port->recordSize = static_cast<DWORD>(size);
        memcpy(port->nameText, name, length + 1);
        port->name = port->nameText;
        port->spoolFile = INVALID_HANDLE_VALUE;
        port->protocol = protocol;
        port->settings = NewSettingsRecord(protocol);
        if (typeName)
            port->description = CopyText(typeName[0] ? typeName : name);
        if (!port->settings || (typeName && !port->description)) {
            FreePortRecord(port);
            port = nullptr;
        }
    }
    if (port) {
        ApplyTemplate(port, templ);
        port->noSpool = 0;
        port->reconnect = 0;
        LinkByNameLength(port);
    }
    MonitorUnlock();
    return port;
}

void RemovePortRecord(PortRecord* port)
{
    MonitorLock();
    for (PortRecord** link = &g_monitor.ports; *link; link = &(*link)->next) {
        if (*link == port) {
            *link = port->next;
            FreePortRecord(port);
            break;
        }
    }
    MonitorUnlock();
}

void AcquirePort(PortRecord* port)
{
    MonitorLock();
    ++port->useCount;
    MonitorUnlock();
}

void ReleasePort(PortRecord* port)
{
    MonitorLock();
    if (port->useCount > 0)
        --port->useCount;
    MonitorUnlock();
}

static const char* const kPortTypeKeys[] = {"IDS_LPR_PORT", "IDS_IPP_PORT", "IDS_EMP_PORT", "IDS_RAW_PORT"};
static const char* const kPortTypeFallbacks[] = {PRODUCT_DESCRIPTOR " LPR Port", PRODUCT_DESCRIPTOR " IPP Port",
                                                 PRODUCT_DESCRIPTOR " E-mail Port", PRODUCT_DESCRIPTOR " Raw Port"};

void PortTypeName(DWORD protocol, char* text, DWORD size)
{
    CatalogueText(MESSAGE_CATALOGUE, MESSAGE_SECTION, kPortTypeKeys[protocol], ArgNone(), text, size);
    if (text[0] == '\0')
        lstrcpynA(text, kPortTypeFallbacks[protocol], static_cast<int>(size));
}

// The stored protocol of a port; LPR when it cannot be read. The port key is
// opened below the ports key, which also reaches keys with very long names.
static DWORD StoredProtocol(const char* name)
{
    DWORD protocol = PROTOCOL_LPR;
    DWORD size = sizeof protocol;
    DWORD type = 0;
    HKEY ports;
    if (!g_monitor.portsKey[0] || RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.portsKey, 0, KEY_READ, &ports) != ERROR_SUCCESS)
        return PROTOCOL_LPR;
    if (!QueryRegValue(ports, name, "PrintMode", &protocol, &size, &type) || type != REG_DWORD || size != sizeof protocol)
        protocol = PROTOCOL_LPR;
    RegCloseKey(ports);
    return protocol;
}

BOOL AddPortFromRegistry(const char* name)
{
    DWORD protocol = StoredProtocol(name);
    if (protocol > PROTOCOL_RAW)
        return FALSE;
    char typeName[512];
    PortTypeName(protocol, typeName, sizeof typeName);
    return CreatePortRecord(nullptr, name, typeName, protocol) != nullptr;
}

void LoadPortList()
{
    HKEY ports;
    if (!g_monitor.portsKey[0] || RegOpenKeyA(HKEY_LOCAL_MACHINE, g_monitor.portsKey, &ports) != ERROR_SUCCESS)
        return;
    // Names of any length are listed; only the end of the list stops the walk.
    char name[256];
    for (DWORD index = 0; index < 100000; ++index) {
        LONG result = RegEnumKeyA(ports, index, name, sizeof name);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            continue;
        MonitorLock();
        bool known = FindPort(name) != nullptr;
        MonitorUnlock();
        if (!known)
            AddPortFromRegistry(name);
    }
    RegCloseKey(ports);
}
