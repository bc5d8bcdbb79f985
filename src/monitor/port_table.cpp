// The port list: finding, making, loading and removing port records.
#include <cstring>

#include "codec/base64.h"
#include "monitor/config_store.h"
#include "monitor/model.h"
#include "monitor/monitor.h"
#include "monitor/port_defaults.h"
#include "text/catalogue.h"

// The longest port name a record takes.
static const size_t kMaxNameLength = 0x7FFFFFFF;

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

PortRecord* FindExactPort(const char* name)
{
    if (!name)
        return nullptr;
    for (PortRecord* port = g_monitor.ports; port; port = port->next)
        if (lstrcmpiA(port->name, name) == 0)
            return port;
    return nullptr;
}

PortRecord* FindPort(const char* name)
{
    if (!name)
        return nullptr;
    PortRecord* port = FindExactPort(name);
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
    return FindExactPort(variant);
}

// The link of the port list that points at `record`; NULL when the record is
// not on the list. Callers hold the monitor lock.
static PortRecord** LinkOf(const void* record)
{
    for (PortRecord** link = &g_monitor.ports; *link; link = &(*link)->next)
        if (*link == record)
            return link;
    return nullptr;
}

PortRecord* ListedPort(const void* handle)
{
    MonitorLock();
    PortRecord** link = handle ? LinkOf(handle) : nullptr;
    PortRecord* port = link ? *link : nullptr;
    MonitorUnlock();
    return port;
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

void FreeSettingsRecord(SettingsHeader* settings)
{
    if (!settings)
        return;
    WipeBytes(settings, SettingsSize(settings->protocol));
    FreeBlock(settings);
}

template <size_t N>
static void CopyField(char (&to)[N], const char (&from)[N])
{
    memcpy(to, from, N);
    to[N - 1] = '\0';
}

// The time-outs of a new port of the record's protocol.
static void ApplyDefaultTimeouts(PortRecord* port)
{
    port->receiveTimeout = NewPortNumber(port->protocol, kValueCmdTmout);
    port->sendTimeout = NewPortNumber(port->protocol, kValueDatTmout);
}

static void ApplyLprTemplate(PortRecord* port, LprSettings* to, const LprSettings* from)
{
    CopyField(to->host, from->host);
    CopyField(to->queue, from->queue);
    to->portNumber = from->portNumber;
    to->noByteCount = 0;
    to->nonRfcPorts = NewPortNumber(PROTOCOL_LPR, kValueNonRfcPorts);
    ApplyDefaultTimeouts(port);
}

static void ApplyRawTemplate(PortRecord* port, RawSettings* to, const RawSettings* from)
{
    CopyField(to->host, from->host);
    to->portNumber = from->portNumber;
    ApplyDefaultTimeouts(port);
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
    to->jobSheets = NewPortNumber(PROTOCOL_IPP, kValueJobSheets);
    to->authenticate = NewPortNumber(PROTOCOL_IPP, kValueBase64);
    to->maxChunk = NewPortNumber(PROTOCOL_IPP, kValueMaxChunk);
    to->requestCounter = 1;
    ApplyDefaultTimeouts(port);
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
    to->divideFile = NewPortNumber(PROTOCOL_EMAIL, kValueDivideFile);
    to->divideSize = NewPortNumber(PROTOCOL_EMAIL, kValueDivideSize);
}

const SettingsHeader* UsableTemplate(const SettingsHeader* templ, DWORD protocol)
{
    static const LprSettings zeroLpr = {{PROTOCOL_LPR}};
    static const IppSettings zeroIpp = {{PROTOCOL_IPP}};
    static const EmailSettings zeroEmail = {{PROTOCOL_EMAIL}};
    static const RawSettings zeroRaw = {{PROTOCOL_RAW}};
    if (templ && templ->protocol == protocol)
        return templ;
    switch (protocol) {
    case PROTOCOL_LPR: return &zeroLpr.header;
    case PROTOCOL_IPP: return &zeroIpp.header;
    case PROTOCOL_EMAIL: return &zeroEmail.header;
    case PROTOCOL_RAW: return &zeroRaw.header;
    default: return nullptr;
    }
}

// Applies the initial values of a new port (see UsableTemplate).
static void ApplyTemplate(PortRecord* port, const SettingsHeader* templ)
{
    templ = UsableTemplate(templ, port->protocol);
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

void FreePortRecord(PortRecord* port)
{
    if (!port)
        return;
    if (port->watcherThread)
        CloseHandle(port->watcherThread);
    FreeSettingsRecord(port->settings);
    FreeBlock(port->description);
    FreeBlock(port->remoteName);
    FreeBlock(port->userName);
    FreeBlock(port->documentName);
    FreeBlock(port);
}

PortRecord* NewPortRecord(const char* name, const char* typeName, DWORD protocol)
{
    size_t length = name ? strlen(name) : 0;
    if (length > kMaxNameLength)
        return nullptr;
    PortRecord* port = static_cast<PortRecord*>(AllocZeroed(sizeof(PortRecord) + length));
    if (!port)
        return nullptr;
    if (length)
        memcpy(port->nameText, name, length);
    port->name = port->nameText;
    port->spoolFile = INVALID_HANDLE_VALUE;
    port->protocol = protocol;
    port->settings = NewSettingsRecord(protocol);
    if (typeName)
        port->description = CopyText(typeName[0] ? typeName : port->name);
    if (!port->settings || (typeName && !port->description)) {
        FreePortRecord(port);
        return nullptr;
    }
    return port;
}

PortRecord* CreatePortRecord(const SettingsHeader* templ, const char* name, const char* typeName, DWORD protocol)
{
    MonitorLock();
    PortRecord* port = NewPortRecord(name, typeName, protocol);
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
    if (PortRecord** link = LinkOf(port)) {
        *link = port->next;
        FreePortRecord(port);
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
    HKEY ports = OpenPortsKey(KEY_READ);
    if (!ports)
        return PROTOCOL_LPR;
    if (!QueryRegValue(ports, name, kValuePrintMode, &protocol, &size, &type) || type != REG_DWORD || size != sizeof protocol)
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

bool IsKnownPort(const char* name)
{
    MonitorLock();
    bool known = FindPort(name) != nullptr;
    MonitorUnlock();
    return known;
}

// Makes the record of a port key that has none yet; never stops the walk.
static bool AddUnknownPort(const char* name, void*)
{
    if (!IsKnownPort(name))
        AddPortFromRegistry(name);
    return false;
}

void LoadPortList()
{
    HKEY ports = OpenPortsKey(KEY_READ);
    if (!ports)
        return;
    char name[kPortKeyNameSize];
    FindPortSubkey(ports, AddUnknownPort, nullptr, name, sizeof name);
    RegCloseKey(ports);
}
