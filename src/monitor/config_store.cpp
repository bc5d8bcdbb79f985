// The registry store of port settings: one key per port under the ports key,
// read at every job start and written once when a port is created.
#include "monitor/config_store.h"

#include <cstddef>
#include <cstring>

#include "codec/base64.h"
#include "codec/password_codec.h"
#include "ipp/printer_url_record.h"
#include "monitor/monitor.h"
#include "monitor/monitor_name.h"
#include "monitor/port_defaults.h"

namespace {

// Bound of the subkey walk; the end of the list normally stops it first.
const DWORD kMaxPortSubkeys = 100000;

// Bytes read from the e-mail authentication password.
const DWORD kAuthPassReadSize = 257;

} // namespace

bool MakePortKey(const char* portName, char* portKey, size_t size)
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
    // The value may be a password (AuthPass): no copy stays in freed memory.
    if (buffer) {
        WipeBytes(buffer, fieldSize);
        HeapFree(GetProcessHeap(), 0, buffer);
    }
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
    if (buffer) {
        WipeBytes(buffer, capacity);
        HeapFree(GetProcessHeap(), 0, buffer);
    }
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

HKEY OpenPortsKey(REGSAM access)
{
    HKEY ports = nullptr;
    if (!g_monitor.portsKey[0] || RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.portsKey, 0, access, &ports) != ERROR_SUCCESS)
        return nullptr;
    return ports;
}

bool FindPortSubkey(HKEY ports, bool (*stop)(const char* name, void* context), void* context, char* name, DWORD size)
{
    for (DWORD index = 0; index < kMaxPortSubkeys; ++index) {
        LONG result = RegEnumKeyA(ports, index, name, size);
        if (result == ERROR_NO_MORE_ITEMS)
            return false;
        if (result == ERROR_SUCCESS && stop(name, context))
            return true;
    }
    return false;
}

LONG DeletePortKey(const char* portName)
{
    HKEY ports = nullptr;
    // A name that cannot be a single key name has no key.
    if (!g_monitor.portsKey[0] || !portName || !portName[0] || strchr(portName, '\\'))
        return ERROR_FILE_NOT_FOUND;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.portsKey, 0, KEY_ALL_ACCESS, &ports);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteKeyA(ports, portName);
        RegCloseKey(ports);
    }
    return status;
}

BOOL DeletePortSettings(const char* portName)
{
    return DeletePortKey(portName) == ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// Reading

static void ReadLprValues(HKEY key, LprSettings* lpr)
{
    QueryTextValue(key, kValueHostName, REG_SZ, lpr->host, sizeof lpr->host);
    QueryTextValue(key, kValuePortName, REG_SZ, lpr->queue, sizeof lpr->queue);
    lpr->nonRfcPorts = NewPortNumber(PROTOCOL_LPR, kValueNonRfcPorts); // the default when it is absent
    QueryWordValue(key, kValuePortNum, &lpr->portNumber);
    QueryDwordValue(key, kValueNonRfcPorts, &lpr->nonRfcPorts);
    QueryDwordValue(key, kValueNonByteCount, &lpr->noByteCount);
}

static void ReadRawValues(HKEY key, RawSettings* raw)
{
    QueryTextValue(key, kValueHostName, REG_SZ, raw->host, sizeof raw->host);
    QueryWordValue(key, kValuePortNum, &raw->portNumber);
}

// The stored user name and password, whatever Base64 says.
static void ReadIppCredentialValues(HKEY key, IppSettings* ipp)
{
    BYTE stored[kPasswordValueSize];
    DWORD got = 0;
    QueryTextValue(key, kValueUserName, REG_SZ, ipp->userName, sizeof ipp->userName);
    if (QueryTypedValue(key, kValuePassWord, REG_BINARY, stored, sizeof stored, &got))
        DecodePassword(stored, got, ipp->password, sizeof ipp->password);
    WipeBytes(stored, sizeof stored);
}

// User name and password count only while Basic authentication is on.
static void ReadIppCredentials(HKEY key, IppSettings* ipp)
{
    memset(ipp->userName, 0, sizeof ipp->userName);
    memset(ipp->password, 0, sizeof ipp->password);
    QueryDwordValue(key, kValueBase64, &ipp->authenticate);
    if (ipp->authenticate)
        ReadIppCredentialValues(key, ipp);
}

static void ReadIppValues(HKEY key, IppSettings* ipp)
{
    QueryTextValue(key, kValueUrl, REG_SZ, ipp->url, sizeof ipp->url);
    // A stored URL that no longer parses leaves the host empty; the
    // connection attempt then reports it.
    ParsePrinterUrl(ipp);
    QueryTextValue(key, kValueLanguage, REG_SZ, ipp->language, sizeof ipp->language);
    QueryDwordValue(key, kValueChunked, &ipp->chunked);
    QueryDwordValue(key, kValueMaxChunk, &ipp->maxChunk);
    ReadIppCredentials(key, ipp);
    QueryTextValue(key, kValueProxyName, REG_SZ, ipp->proxy, sizeof ipp->proxy);
    QueryDwordValue(key, kValueUseProxy, &ipp->useProxy);
    QueryDwordValue(key, kValueProxyNum, &ipp->proxyPort);
    QueryDwordValue(key, kValueJobSheets, &ipp->jobSheets);
}

static void ReadEmailValues(HKEY key, EmailSettings* mail)
{
    static_assert(sizeof mail->authPass == kAuthPassReadSize, "AuthPass field size");
    QueryTextValue(key, kValueSmtpServer, REG_SZ, mail->smtpServer, sizeof mail->smtpServer);
    QueryTextValue(key, kValueFromName, REG_SZ, mail->fromName, sizeof mail->fromName);
    QueryTextValue(key, kValueFromAddr, REG_SZ, mail->fromAddr, sizeof mail->fromAddr);
    QueryTextValue(key, kValueToAddr, REG_SZ, mail->toAddr, sizeof mail->toAddr);
    QueryDwordValue(key, kValueNoPrint, &mail->noPrint);
    QueryDwordValue(key, kValueEditBody, &mail->editBody);
    QueryDwordValue(key, kValueDivideFile, &mail->divideFile);
    QueryDwordValue(key, kValueDivideSize, &mail->divideSize);
    QueryWordValue(key, kValueCharCode, &mail->charCode);
    QueryDwordValue(key, kValueAuthType, &mail->authType);
    QueryTextValue(key, kValueAuthId, REG_SZ, mail->authId, sizeof mail->authId);
    // The scrambled password is text up to its first zero byte.
    char* authPass = reinterpret_cast<char*>(mail->authPass);
    memset(authPass, 0, sizeof mail->authPass);
    QueryTextValue(key, kValueAuthPass, REG_BINARY, authPass, sizeof mail->authPass);
    // With no print or an edited body, the texts come from the body edit
    // dialog at print time.
    memset(mail->subject, 0, sizeof mail->subject);
    memset(mail->body, 0, sizeof mail->body);
    memset(mail->signature, 0, sizeof mail->signature);
    if (mail->noPrint || mail->editBody)
        return;
    QueryTextValue(key, kValueSubject, REG_BINARY, mail->subject, sizeof mail->subject);
    QueryTextValue(key, kValueBody, REG_BINARY, mail->body, sizeof mail->body);
    QueryTextValue(key, kValueSignature, REG_BINARY, mail->signature, sizeof mail->signature);
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
    FreeSettingsRecord(port->settings);
    port->settings = fresh;
    return true;
}

// Reads the values every port has and settles the record's protocol: the
// stored PrintMode when it names a network protocol, else the record's own.
static LONG ReadCommonValues(HKEY key, PortRecord* port)
{
    DWORD mode = PROTOCOL_FILE + 1;
    QueryDwordValue(key, kValueCmdTmout, &port->receiveTimeout);
    QueryDwordValue(key, kValueDatTmout, &port->sendTimeout);
    QueryDwordValue(key, kValueNonSpool, &port->noSpool);
    QueryDwordValue(key, kValueReconnection, &port->reconnect);
    if (!QueryDwordValue(key, kValuePrintMode, &mode) || mode > PROTOCOL_RAW)
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

LONG ReadStoredIppCredentials(IppSettings* ipp, const char* portName)
{
    char portKey[kPortKeySize];
    HKEY key = nullptr;
    if (!ipp || !MakePortKey(portName, portKey, sizeof portKey))
        return ERROR_INVALID_NAME;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, portKey, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS)
        return status;
    memset(ipp->userName, 0, sizeof ipp->userName);
    memset(ipp->password, 0, sizeof ipp->password);
    ReadIppCredentialValues(key, ipp);
    RegCloseKey(key);
    return ERROR_SUCCESS;
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

namespace {

// The field of a settings record that holds a value the wizard chose: a
// text field (the text ends at its first zero byte or before the field's
// last byte) or a 16- or 32-bit number.
struct ChosenField {
    const char* name;
    size_t offset;
    size_t size;
};

#define CHOSEN_FIELD(name, type, field) {name, offsetof(type, field), sizeof(type::field)}

const ChosenField kLprFields[] = {
    CHOSEN_FIELD(kValueHostName, LprSettings, host),
    CHOSEN_FIELD(kValuePortName, LprSettings, queue),
    CHOSEN_FIELD(kValuePortNum, LprSettings, portNumber),
};
const ChosenField kIppFields[] = {
    CHOSEN_FIELD(kValueUrl, IppSettings, url),
    CHOSEN_FIELD(kValueUseProxy, IppSettings, useProxy),
    CHOSEN_FIELD(kValueProxyName, IppSettings, proxy),
    CHOSEN_FIELD(kValueProxyNum, IppSettings, proxyPort),
    CHOSEN_FIELD(kValueChunked, IppSettings, chunked),
    CHOSEN_FIELD(kValueLanguage, IppSettings, language),
};
const ChosenField kEmailFields[] = {
    CHOSEN_FIELD(kValueSmtpServer, EmailSettings, smtpServer),
    CHOSEN_FIELD(kValueFromName, EmailSettings, fromName),
    CHOSEN_FIELD(kValueFromAddr, EmailSettings, fromAddr),
    CHOSEN_FIELD(kValueToAddr, EmailSettings, toAddr),
    CHOSEN_FIELD(kValueSubject, EmailSettings, subject),
    CHOSEN_FIELD(kValueBody, EmailSettings, body),
    CHOSEN_FIELD(kValueSignature, EmailSettings, signature),
    CHOSEN_FIELD(kValueNoPrint, EmailSettings, noPrint),
    CHOSEN_FIELD(kValueEditBody, EmailSettings, editBody),
    CHOSEN_FIELD(kValueDivideFile, EmailSettings, divideFile),
    CHOSEN_FIELD(kValueDivideSize, EmailSettings, divideSize),
    CHOSEN_FIELD(kValueCharCode, EmailSettings, charCode),
    CHOSEN_FIELD(kValueAuthId, EmailSettings, authId),
    CHOSEN_FIELD(kValueAuthPass, EmailSettings, authPass),
    CHOSEN_FIELD(kValueAuthType, EmailSettings, authType),
};
const ChosenField kRawFields[] = {
    CHOSEN_FIELD(kValueHostName, RawSettings, host),
    CHOSEN_FIELD(kValuePortNum, RawSettings, portNumber),
};

#undef CHOSEN_FIELD

template <size_t N>
const ChosenField* FindField(const ChosenField (&fields)[N], const char* name)
{
    for (const ChosenField& field : fields)
        if (lstrcmpA(field.name, name) == 0)
            return &field;
    return nullptr;
}

// The field of a settings record of `protocol` that holds the value `name`;
// NULL when none does.
const ChosenField* ChosenFieldOf(DWORD protocol, const char* name)
{
    switch (protocol) {
    case PROTOCOL_LPR: return FindField(kLprFields, name);
    case PROTOCOL_IPP: return FindField(kIppFields, name);
    case PROTOCOL_EMAIL: return FindField(kEmailFields, name);
    case PROTOCOL_RAW: return FindField(kRawFields, name);
    default: return nullptr;
    }
}

// Writes the value of `templ`'s field; FALSE when the template has no field for it.
BOOL WriteChosenValue(HKEY key, const PortValueDefault& value, const SettingsHeader* templ)
{
    const ChosenField* field = templ ? ChosenFieldOf(templ->protocol, value.name) : nullptr;
    if (!field)
        return FALSE;
    const char* data = reinterpret_cast<const char*>(templ) + field->offset;
    if (value.type != REG_DWORD) {
        SetTextValue(key, value.name, value.type, data, field->size);
    } else if (field->size == sizeof(WORD)) {
        WORD number = 0;
        memcpy(&number, data, sizeof number);
        SetDwordValue(key, value.name, number);
    } else {
        DWORD number = 0;
        memcpy(&number, data, sizeof number);
        SetDwordValue(key, value.name, number);
    }
    return TRUE;
}

void WriteNewPortValue(HKEY key, const PortValueDefault& value, const SettingsHeader* templ)
{
    if (value.source == PORT_VALUE_CHOSEN && WriteChosenValue(key, value, templ))
        return;
    if (value.type != REG_DWORD)
        RegSetValueExA(key, value.name, 0, value.type, reinterpret_cast<const BYTE*>(value.text), value.size);
    else if (value.source == PORT_VALUE_MONITOR)
        SetDwordValue(key, value.name, MonitorKeyNumber(g_monitor.monitorKey, value));
    else
        SetDwordValue(key, value.name, value.number);
}

} // namespace

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
        const SettingsHeader* chosen = UsableTemplate(templ, protocol);
        PortValueDefault value;
        for (size_t index = 0; NewPortValue(protocol, index, &value); ++index)
            WriteNewPortValue(key, value, chosen);
    }
    RegCloseKey(key);
    return TRUE;
}
