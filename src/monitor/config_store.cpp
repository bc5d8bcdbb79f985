// The registry store of port settings: one key per port under the ports key,
// read at every job start and written once when a port is created.
#include "monitor/config_store.h"

#include <cstring>

#include "codec/password_codec.h"
#include "ipp/printer_url_record.h"
#include "monitor/monitor.h"
#include "monitor/monitor_name.h"

namespace {

// Ports key (at most kMonitorKeySize), a backslash and a key name of at most
// 255 characters.
const size_t kPortKeySize = kMonitorKeySize + 257;

const DWORD kNetworkTimeout = 900000; // LPR and Raw, ms
const DWORD kIppTimeout = 180000;     // ms
const DWORD kNewMaxChunk = 4096;

// Bytes read from the e-mail authentication password.
const DWORD kAuthPassReadSize = 257;

} // namespace

// "<ports key>\<port name>" for a port name that can be a single key name.
static bool MakePortKey(const char* portName, char* portKey, size_t size)
{
    portKey[0] = '\0';
    if (!portName || !portName[0] || strchr(portName, '\\') || !g_monitor.portsKey[0])
        return false;
    return BuildPortKey(g_monitor.portsKey, portName, portKey, size);
}

// Reads a value of `wantType` into `buffer` of `size` bytes; *got receives
// the bytes read. FALSE (and *got 0) when absent, longer, or of another type.
static BOOL QueryTypedValue(HKEY key, const char* valueName, DWORD wantType, BYTE* buffer, DWORD size, DWORD* got)
{
    DWORD type = REG_NONE;
    DWORD length = size;
    *got = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, buffer, &length) != ERROR_SUCCESS)
        return FALSE;
    if (type != wantType || length > size)
        return FALSE;
    *got = length;
    return TRUE;
}

BOOL QueryDwordValue(HKEY key, const char* valueName, DWORD* field)
{
    DWORD value = 0;
    DWORD got = 0;
    if (!QueryTypedValue(key, valueName, REG_DWORD, reinterpret_cast<BYTE*>(&value), sizeof value, &got) ||
        got != sizeof value)
        return FALSE;
    *field = value;
    return TRUE;
}

// A REG_DWORD whose low 16 bits go into a 16-bit field.
static BOOL QueryWordValue(HKEY key, const char* valueName, WORD* field)
{
    DWORD value = 0;
    if (!QueryDwordValue(key, valueName, &value))
        return FALSE;
    *field = LOWORD(value);
    return TRUE;
}

BOOL QueryTextValue(HKEY key, const char* valueName, DWORD type, char* field, DWORD fieldSize)
{
    BOOL result = FALSE;
    DWORD got = 0;
    BYTE* buffer = fieldSize ? static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, fieldSize)) : nullptr;
    if (buffer && QueryTypedValue(key, valueName, type, buffer, fieldSize, &got)) {
        // The text ends at its first zero byte; it must leave room for the
        // terminator inside the field.
        const void* zero = memchr(buffer, 0, got);
        size_t length = zero ? static_cast<size_t>(static_cast<const BYTE*>(zero) - buffer) : got;
        if (length < fieldSize) {
            memcpy(field, buffer, length);
            memset(field + length, 0, fieldSize - length);
            result = TRUE;
        }
    }
    if (buffer)
        HeapFree(GetProcessHeap(), 0, buffer);
    return result;
}

void SetDwordValue(HKEY key, const char* valueName, DWORD value)
{
    RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// Stores the text of a field (at most fieldSize - 1 bytes, without its
// terminator) as a value of `type`. For REG_SZ the registry may look at the
// byte after the count (and count it when it is zero); that byte always lies
// inside the field.
static void SetTextValue(HKEY key, const char* valueName, DWORD type, const char* field, size_t fieldSize)
{
    size_t length = strnlen(field, fieldSize - 1);
    RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(field), static_cast<DWORD>(length));
}

BOOL QueryRegValue(HKEY root, const char* subkey, const char* valueName, void* data, DWORD* size, DWORD* type)
{
    HKEY key = nullptr;
    BYTE* buffer = nullptr;
    DWORD capacity = size ? *size : 0;
    DWORD length = capacity;
    DWORD valueType = REG_NONE;
    BOOL result = FALSE;
    if (!size)
        return FALSE;
    if (data && capacity)
        buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, capacity));
    if ((!data || !capacity || buffer) && RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        // The value lands in a buffer of the caller's size first, so that the
        // caller's data changes only on success and never past *size.
        LONG status = RegQueryValueExA(key, valueName, nullptr, &valueType, buffer, &length);
        if (status == ERROR_SUCCESS && (!data || length <= capacity)) {
            if (buffer && length)
                memcpy(data, buffer, length);
            if (type)
                *type = valueType;
            result = TRUE;
        }
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)
            *size = length;
        RegCloseKey(key);
    }
    if (buffer)
        HeapFree(GetProcessHeap(), 0, buffer);
    return result;
}

BOOL SetRegValue(const char* subkey, const char* valueName, const void* data, const DWORD* size, const DWORD* type)
{
    HKEY key = nullptr;
    BOOL result = FALSE;
    if (!size || !type)
        return FALSE;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        result = RegSetValueExA(key, valueName, 0, *type, static_cast<const BYTE*>(data), *size) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    return result;
}

BOOL DeletePortSettings(const char* portName)
{
    char portKey[kPortKeySize];
    if (!MakePortKey(portName, portKey, sizeof portKey))
        return FALSE;
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, portKey) == ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// Reading

static void ReadLprValues(HKEY key, LprSettings* lpr)
{
    QueryTextValue(key, "HostName", REG_SZ, lpr->host, sizeof lpr->host);
    QueryTextValue(key, "PortName", REG_SZ, lpr->queue, sizeof lpr->queue);
    lpr->nonRfcPorts = 1; // the value's default when it is absent
    QueryWordValue(key, "PortNum", &lpr->portNumber);
    QueryDwordValue(key, "NonRFCPorts", &lpr->nonRfcPorts);
    QueryDwordValue(key, "NonByteCount", &lpr->noByteCount);
}

static void ReadRawValues(HKEY key, RawSettings* raw)
{
    QueryTextValue(key, "HostName", REG_SZ, raw->host, sizeof raw->host);
    QueryWordValue(key, "PortNum", &raw->portNumber);
}

// User name and password count only while Basic authentication is on.
static void ReadIppCredentials(HKEY key, IppSettings* ipp)
{
    BYTE stored[kPasswordValueSize];
    DWORD got = 0;
    memset(ipp->userName, 0, sizeof ipp->userName);
    memset(ipp->password, 0, sizeof ipp->password);
    QueryDwordValue(key, "Base64", &ipp->authenticate);
    if (!ipp->authenticate)
        return;
    QueryTextValue(key, "UserName", REG_SZ, ipp->userName, sizeof ipp->userName);
    if (QueryTypedValue(key, "PassWord", REG_BINARY, stored, sizeof stored, &got))
        DecodePassword(stored, got, ipp->password, sizeof ipp->password);
}

static void ReadIppValues(HKEY key, IppSettings* ipp)
{
    QueryTextValue(key, "URL", REG_SZ, ipp->url, sizeof ipp->url);
    // A stored URL that no longer parses leaves the host empty; the
    // connection attempt then reports it.
    ParsePrinterUrl(ipp);
    QueryTextValue(key, "Language", REG_SZ, ipp->language, sizeof ipp->language);
    QueryDwordValue(key, "Chunked", &ipp->chunked);
    QueryDwordValue(key, "MaxChunk", &ipp->maxChunk);
    ReadIppCredentials(key, ipp);
    QueryTextValue(key, "ProxyName", REG_SZ, ipp->proxy, sizeof ipp->proxy);
    QueryDwordValue(key, "UseProxy", &ipp->useProxy);
    QueryDwordValue(key, "ProxyNum", &ipp->proxyPort);
    QueryDwordValue(key, "JobSheets", &ipp->jobSheets);
}

static void ReadEmailValues(HKEY key, EmailSettings* mail)
{
    static_assert(sizeof mail->authPass == kAuthPassReadSize, "AuthPass field size");
    QueryTextValue(key, "SmtpServer", REG_SZ, mail->smtpServer, sizeof mail->smtpServer);
    QueryTextValue(key, "FromName", REG_SZ, mail->fromName, sizeof mail->fromName);
    QueryTextValue(key, "FromAddr", REG_SZ, mail->fromAddr, sizeof mail->fromAddr);
    QueryTextValue(key, "ToAddr", REG_SZ, mail->toAddr, sizeof mail->toAddr);
    QueryDwordValue(key, "NoPrint", &mail->noPrint);
    QueryDwordValue(key, "EditBody", &mail->editBody);
    QueryDwordValue(key, "DivideFile", &mail->divideFile);
    QueryDwordValue(key, "DivideSize", &mail->divideSize);
    QueryWordValue(key, "CharCode", &mail->charCode);
    QueryDwordValue(key, "AuthType", &mail->authType);
    QueryTextValue(key, "AuthID", REG_SZ, mail->authId, sizeof mail->authId);
    // The scrambled password is text up to its first zero byte.
    char* authPass = reinterpret_cast<char*>(mail->authPass);
    memset(authPass, 0, sizeof mail->authPass);
    QueryTextValue(key, "AuthPass", REG_BINARY, authPass, sizeof mail->authPass);
    // With no print or an edited body, the texts come from the body edit
    // dialog at print time.
    memset(mail->subject, 0, sizeof mail->subject);
    memset(mail->body, 0, sizeof mail->body);
    memset(mail->signature, 0, sizeof mail->signature);
    if (mail->noPrint || mail->editBody)
        return;
    QueryTextValue(key, "Subject", REG_BINARY, mail->subject, sizeof mail->subject);
    QueryTextValue(key, "Body", REG_BINARY, mail->body, sizeof mail->body);
    QueryTextValue(key, "Signature", REG_BINARY, mail->signature, sizeof mail->signature);
}

// Makes the record's settings a record of `protocol`, replacing one made for
// another protocol: a settings record is never read as another layout.
static bool UseSettingsOf(PortRecord* port, DWORD protocol)
{
    if (port->settings && port->settings->protocol == protocol)
        return true;
    SettingsHeader* fresh = NewSettingsRecord(protocol);
    if (!fresh)
        return false;
    if (port->settings)
        HeapFree(GetProcessHeap(), 0, port->settings);
    port->settings = fresh;
    return true;
}

// Reads the values every port has and settles the record's protocol: the
// stored PrintMode when it names a network protocol, else the record's own.
static LONG ReadCommonValues(HKEY key, PortRecord* port)
{
    DWORD mode = PROTOCOL_FILE + 1;
    QueryDwordValue(key, "CmdTmout", &port->receiveTimeout);
    QueryDwordValue(key, "DatTmout", &port->sendTimeout);
    QueryDwordValue(key, "NonSpool", &port->noSpool);
    QueryDwordValue(key, "Reconnection", &port->reconnect);
    if (!QueryDwordValue(key, "PrintMode", &mode) || mode > PROTOCOL_RAW)
        mode = port->protocol;
    if (mode <= PROTOCOL_RAW && !UseSettingsOf(port, mode))
        return ERROR_NOT_ENOUGH_MEMORY;
    port->protocol = mode;
    return ERROR_SUCCESS;
}

// The protocol's own values, for the network protocols only.
static void ReadProtocolValues(HKEY key, PortRecord* port)
{
    switch (port->protocol) {
    case PROTOCOL_LPR:
        if (LprSettings* lpr = LprOf(port))
            ReadLprValues(key, lpr);
        break;
    case PROTOCOL_IPP:
        if (IppSettings* ipp = IppOf(port))
            ReadIppValues(key, ipp);
        break;
    case PROTOCOL_EMAIL:
        if (EmailSettings* mail = EmailOf(port))
            ReadEmailValues(key, mail);
        break;
    case PROTOCOL_RAW:
        if (RawSettings* raw = RawOf(port))
            ReadRawValues(key, raw);
        break;
    default:
        break;
    }
}

LONG ReadPortSettings(PortRecord* port, const char* portName)
{
    char portKey[kPortKeySize];
    HKEY key = nullptr;
    if (!port || !MakePortKey(portName, portKey, sizeof portKey))
        return ERROR_INVALID_NAME;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, portKey, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = ReadCommonValues(key, port);
    if (status == ERROR_SUCCESS)
        ReadProtocolValues(key, port);
    RegCloseKey(key);
    return status;
}

// ---------------------------------------------------------------------------
// Writing a new port

// The template to take the wizard's values from: a zeroed record when none
// is given or when it was made for another protocol.
static const SettingsHeader* TemplateFor(const SettingsHeader* templ, DWORD protocol)
{
    static const LprSettings zeroLpr = {};
    static const IppSettings zeroIpp = {};
    static const EmailSettings zeroEmail = {};
    static const RawSettings zeroRaw = {};
    if (templ && templ->protocol == protocol)
        return templ;
    switch (protocol) {
    case PROTOCOL_LPR:
        return &zeroLpr.header;
    case PROTOCOL_IPP:
        return &zeroIpp.header;
    case PROTOCOL_EMAIL:
        return &zeroEmail.header;
    case PROTOCOL_RAW:
        return &zeroRaw.header;
    default:
        return nullptr;
    }
}

// The monitor-wide Reconnection, 0 when absent or not a 4-byte REG_DWORD.
static DWORD MonitorReconnection()
{
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = REG_NONE;
    if (!QueryRegValue(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, "Reconnection", &value, &size, &type) ||
        type != REG_DWORD || size != sizeof value)
        return 0;
    return value;
}

static void WriteLprValues(HKEY key, const LprSettings* lpr)
{
    SetDwordValue(key, "CmdTmout", kNetworkTimeout);
    SetDwordValue(key, "DatTmout", kNetworkTimeout);
    SetTextValue(key, "HostName", REG_SZ, lpr->host, sizeof lpr->host);
    SetTextValue(key, "PortName", REG_SZ, lpr->queue, sizeof lpr->queue);
    SetDwordValue(key, "PortNum", lpr->portNumber);
    SetDwordValue(key, "NonRFCPorts", 1);
}

static void WriteIppValues(HKEY key, const IppSettings* ipp)
{
    const BYTE emptyPassword = 0;
    SetDwordValue(key, "CmdTmout", kIppTimeout);
    SetDwordValue(key, "DatTmout", kIppTimeout);
    SetTextValue(key, "URL", REG_SZ, ipp->url, sizeof ipp->url);
    SetDwordValue(key, "UseProxy", ipp->useProxy);
    SetTextValue(key, "ProxyName", REG_SZ, ipp->proxy, sizeof ipp->proxy);
    SetDwordValue(key, "ProxyNum", ipp->proxyPort);
    SetDwordValue(key, "Chunked", ipp->chunked);
    SetDwordValue(key, "MaxChunk", kNewMaxChunk);
    SetTextValue(key, "Language", REG_SZ, ipp->language, sizeof ipp->language);
    SetDwordValue(key, "Base64", 0);
    RegSetValueExA(key, "UserName", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0);
    RegSetValueExA(key, "PassWord", 0, REG_BINARY, &emptyPassword, sizeof emptyPassword);
    SetDwordValue(key, "JobSheets", 0);
}

static void WriteEmailValues(HKEY key, const EmailSettings* mail)
{
    SetTextValue(key, "SmtpServer", REG_SZ, mail->smtpServer, sizeof mail->smtpServer);
    SetTextValue(key, "FromName", REG_SZ, mail->fromName, sizeof mail->fromName);
    SetTextValue(key, "FromAddr", REG_SZ, mail->fromAddr, sizeof mail->fromAddr);
    SetTextValue(key, "ToAddr", REG_SZ, mail->toAddr, sizeof mail->toAddr);
    SetTextValue(key, "Subject", REG_BINARY, mail->subject, sizeof mail->subject);
    SetTextValue(key, "Body", REG_BINARY, mail->body, sizeof mail->body);
    SetTextValue(key, "Signature", REG_BINARY, mail->signature, sizeof mail->signature);
    SetDwordValue(key, "NoPrint", mail->noPrint);
    SetDwordValue(key, "EditBody", mail->editBody);
    SetDwordValue(key, "DivideFile", mail->divideFile);
    SetDwordValue(key, "DivideSize", mail->divideSize);
    SetDwordValue(key, "CharCode", mail->charCode);
    SetTextValue(key, "AuthID", REG_SZ, mail->authId, sizeof mail->authId);
    // The scrambled bytes up to the first zero byte.
    SetTextValue(key, "AuthPass", REG_BINARY, reinterpret_cast<const char*>(mail->authPass), sizeof mail->authPass);
    SetDwordValue(key, "AuthType", mail->authType);
}

static void WriteRawValues(HKEY key, const RawSettings* raw)
{
    SetDwordValue(key, "CmdTmout", kNetworkTimeout);
    SetDwordValue(key, "DatTmout", kNetworkTimeout);
    SetTextValue(key, "HostName", REG_SZ, raw->host, sizeof raw->host);
    SetDwordValue(key, "PortNum", raw->portNumber);
}

static void WriteProtocolValues(HKEY key, const SettingsHeader* templ, DWORD protocol)
{
    switch (protocol) {
    case PROTOCOL_LPR:
        WriteLprValues(key, reinterpret_cast<const LprSettings*>(templ));
        break;
    case PROTOCOL_IPP:
        WriteIppValues(key, reinterpret_cast<const IppSettings*>(templ));
        break;
    case PROTOCOL_EMAIL:
        WriteEmailValues(key, reinterpret_cast<const EmailSettings*>(templ));
        break;
    case PROTOCOL_RAW:
        WriteRawValues(key, reinterpret_cast<const RawSettings*>(templ));
        break;
    default:
        break;
    }
}

BOOL WriteNewPortSettings(const SettingsHeader* templ, const char* portName, DWORD protocol)
{
    char portKey[kPortKeySize];
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (!MakePortKey(portName, portKey, sizeof portKey))
        return FALSE;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, portKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return FALSE;
    // An existing port key is never overwritten here.
    if (disposition != REG_OPENED_EXISTING_KEY) {
        SetDwordValue(key, "PrintMode", protocol);
        SetDwordValue(key, "NonSpool", 0);
        SetDwordValue(key, "Reconnection", MonitorReconnection());
        WriteProtocolValues(key, TemplateFor(templ, protocol), protocol);
    }
    RegCloseKey(key);
    return TRUE;
}
