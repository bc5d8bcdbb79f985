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

// The longest name whose other spelling is looked for, and the room that
// spelling takes.
static const size_t kMaxSpelledLength = 1023;
typedef char OtherSpelling[kMaxSpelledLength + 3];

// The other spelling of a name: without its trailing colon, or with one.
// False (nothing written) for an empty name or one longer than kMaxSpelledLength.
static bool SpellOtherwise(const char* name, OtherSpelling variant)
{
    size_t length = strlen(name);
    if (length == 0 || length > kMaxSpelledLength)
        return false;
    memcpy(variant, name, length + 1);
    if (variant[length - 1] == ':') {
        variant[length - 1] = '\0';
    } else {
        variant[length] = ':';
        variant[length + 1] = '\0';
    }
    return true;
}

PortRecord* FindPort(const char* name)
{
    if (!name)
        return nullptr;
    PortRecord* port = FindExactPort(name);
    OtherSpelling variant;
    if (port || !SpellOtherwise(name, variant))
        return port;
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

// ---------------------------------------------------------------------------
// Loading the port keys

namespace {

// A sort key of a name of up to 255 characters (a port key name) fits here;
// a name whose key does not is compared with every record instead.
const int kSortKeyBytes = 2048;

// The hash of the sort key of `name` in the locale lstrcmpiA compares in,
// ignoring case as lstrcmpiA does. Names lstrcmpiA finds equal have equal
// sort keys, so names whose hashes differ are never equal. False when the
// name has no sort key here.
bool NameHash(const char* name, DWORD* hash)
{
    BYTE key[kSortKeyBytes];
    int size = LCMapStringA(GetThreadLocale(), LCMAP_SORTKEY | NORM_IGNORECASE, name, -1, reinterpret_cast<char*>(key),
                            sizeof key);
    if (size <= 0)
        return false;
    DWORD value = 2166136261u; // FNV-1a
    for (int i = 0; i < size; ++i)
        value = (value ^ key[i]) * 16777619u;
    *hash = value;
    return true;
}

struct IndexSlot {
    DWORD hash;
    PortRecord* port; // NULL: an empty slot
};

// The records of the port list by the hash of their name, so that a walk
// over many port keys asks FindPort's question of each key name without
// comparing it with every record: only the records whose hash it (or its
// other spelling) shares are compared, with lstrcmpiA as FindPort does.
// Records whose name has no hash are compared with every name. Used under
// the monitor lock, which the walk holds throughout. Without its table (no
// memory, or full) every question goes to FindPort.
struct NameIndex {
    IndexSlot* slots;
    DWORD mask;       // slot count - 1 (a power of two)
    DWORD free;       // slots still free before the table counts as full
    bool usable;
    PortRecord** unhashed;
    DWORD unhashedCount;
    DWORD unhashedCapacity;
};

bool IndexAdd(NameIndex* index, PortRecord* port)
{
    DWORD hash = 0;
    if (!NameHash(port->name, &hash)) {
        if (index->unhashedCount == index->unhashedCapacity)
            return false;
        index->unhashed[index->unhashedCount++] = port;
        return true;
    }
    if (index->free == 0)
        return false;
    DWORD at = hash & index->mask;
    while (index->slots[at].port)
        at = (at + 1) & index->mask;
    index->slots[at] = IndexSlot{hash, port};
    --index->free;
    return true;
}

// Room for the records listed now and `more`; every listed record indexed.
void IndexOpen(NameIndex* index, DWORD more)
{
    memset(index, 0, sizeof *index);
    DWORD records = 0;
    for (PortRecord* port = g_monitor.ports; port && records < 0x100000; port = port->next)
        ++records;
    DWORD wanted = records + (more < 0x100000 ? more : 0x100000) + 1;
    DWORD slots = 16;
    while (slots < 2 * wanted)
        slots *= 2;
    index->slots = static_cast<IndexSlot*>(AllocZeroed(slots * sizeof(IndexSlot)));
    index->unhashed = static_cast<PortRecord**>(AllocZeroed(wanted * sizeof(PortRecord*)));
    if (!index->slots || !index->unhashed)
        return;
    index->mask = slots - 1;
    index->free = wanted; // at most half the slots are ever taken
    index->unhashedCapacity = wanted;
    index->usable = true;
    for (PortRecord* port = g_monitor.ports; port && index->usable; port = port->next)
        index->usable = IndexAdd(index, port);
}

void IndexClose(NameIndex* index)
{
    FreeBlock(index->slots);
    FreeBlock(index->unhashed);
    memset(index, 0, sizeof *index);
}

bool Answers(const PortRecord* port, const char* name, const char* variant)
{
    return lstrcmpiA(port->name, name) == 0 || (variant && lstrcmpiA(port->name, variant) == 0);
}

// Whether a record answers to `name` (as FindPort finds it): true, false,
// and in `unsure` whether the index could not tell.
bool IndexFinds(const NameIndex* index, const char* name, bool* unsure)
{
    OtherSpelling spelling;
    const char* variant = SpellOtherwise(name, spelling) ? spelling : nullptr;
    DWORD hashes[2] = {0, 0};
    *unsure = !index->usable || !variant || !NameHash(name, &hashes[0]) || !NameHash(variant, &hashes[1]);
    if (*unsure)
        return false;
    for (DWORD i = 0; i < index->unhashedCount; ++i)
        if (Answers(index->unhashed[i], name, variant))
            return true;
    for (DWORD hash : hashes)
        for (DWORD at = hash & index->mask; index->slots[at].port; at = (at + 1) & index->mask)
            if (index->slots[at].hash == hash && Answers(index->slots[at].port, name, variant))
                return true;
    return false;
}

// A walk over the port keys: the ports key, the index of the records, and
// what to do with a key no record answers to.
struct KeyWalk {
    HKEY ports;
    NameIndex index;
    UnknownPortKeyFn unknown;
    void* context;
};

bool VisitPortKey(const char* name, void* context)
{
    KeyWalk* walk = static_cast<KeyWalk*>(context);
    bool unsure = false;
    if (IndexFinds(&walk->index, name, &unsure) || (unsure && FindPort(name)))
        return false;
    PortRecord* made = nullptr;
    bool stop = walk->unknown(walk->ports, name, walk->context, &made);
    if (made && walk->index.usable)
        walk->index.usable = IndexAdd(&walk->index, made);
    return stop;
}

// The port-type names of a walk that makes records, each read from the
// catalogue once per walk instead of once per key.
struct TypeNames {
    char text[PROTOCOL_RAW + 1][512];
    bool read[PROTOCOL_RAW + 1];
};

// The stored protocol of the port key `name` below the open ports key (which
// also reaches keys with very long names); LPR when it cannot be read.
DWORD StoredProtocol(HKEY ports, const char* name)
{
    DWORD protocol = PROTOCOL_LPR;
    HKEY key = nullptr;
    if (RegOpenKeyExA(ports, name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return PROTOCOL_LPR;
    QueryDwordValue(key, kValuePrintMode, &protocol);
    RegCloseKey(key);
    return protocol;
}

// Makes the record of a port key that has none yet; never stops the walk.
// A key whose stored protocol is not a network protocol gets no record.
bool MakeRecordOfKey(HKEY ports, const char* name, void* context, PortRecord** made)
{
    TypeNames* names = static_cast<TypeNames*>(context);
    DWORD protocol = StoredProtocol(ports, name);
    if (protocol > PROTOCOL_RAW)
        return false;
    if (!names->read[protocol]) {
        PortTypeName(protocol, names->text[protocol], sizeof names->text[protocol]);
        names->read[protocol] = true;
    }
    *made = CreatePortRecord(nullptr, name, names->text[protocol], protocol);
    return false;
}

} // namespace

bool FindUnknownPortKey(HKEY ports, UnknownPortKeyFn unknown, void* context, char* name, DWORD size)
{
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(ports, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        subkeys = 0;
    KeyWalk walk = {ports, {}, unknown, context};
    // The lock keeps the list as the index knows it for the whole walk.
    MonitorLock();
    IndexOpen(&walk.index, subkeys);
    bool found = FindPortSubkey(ports, VisitPortKey, &walk, name, size);
    IndexClose(&walk.index);
    MonitorUnlock();
    return found;
}

void LoadPortList()
{
    HKEY ports = OpenPortsKey(KEY_READ);
    if (!ports)
        return;
    TypeNames names = {};
    char name[kPortKeyNameSize];
    FindUnknownPortKey(ports, MakeRecordOfKey, &names, name, sizeof name);
    RegCloseKey(ports);
}
