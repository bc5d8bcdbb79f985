// The values a new port gets: one table per protocol, behind the values
// every port has.
#include "monitor/port_defaults.h"

namespace {

constexpr DWORD TextSize(const char* text)
{
    DWORD size = 0;
    while (text[size] != '\0')
        ++size;
    return size;
}

constexpr PortValueDefault Number(const char* name, DWORD value, PortValueSource source = PORT_VALUE_FIXED)
{
    return PortValueDefault{name, REG_DWORD, value, "", 0, source};
}

constexpr PortValueDefault Text(const char* name, DWORD type, const char* text, PortValueSource source = PORT_VALUE_CHOSEN)
{
    return PortValueDefault{name, type, 0, text, TextSize(text), source};
}

const DWORD kNetworkTimeout = 900000; // LPR and Raw, ms
const DWORD kIppTimeout = 180000;     // ms

// PrintMode's default is filled in with the protocol.
const PortValueDefault kCommonValues[] = {
    Number(kValuePrintMode, 0),
    Number(kValueNonSpool, 0),
    Number(kValueReconnection, 0, PORT_VALUE_MONITOR),
};

const PortValueDefault kLprValues[] = {
    Number(kValueCmdTmout, kNetworkTimeout),
    Number(kValueDatTmout, kNetworkTimeout),
    Text(kValueHostName, REG_SZ, ""),
    Text(kValuePortName, REG_SZ, ""),
    Number(kValuePortNum, 515, PORT_VALUE_CHOSEN),
    Number(kValueNonRfcPorts, 1),
};

const PortValueDefault kIppValues[] = {
    Number(kValueCmdTmout, kIppTimeout),
    Number(kValueDatTmout, kIppTimeout),
    Text(kValueUrl, REG_SZ, ""),
    Number(kValueUseProxy, 0, PORT_VALUE_CHOSEN),
    Text(kValueProxyName, REG_SZ, ""),
    Number(kValueProxyNum, 0, PORT_VALUE_CHOSEN),
    Number(kValueChunked, 0, PORT_VALUE_CHOSEN),
    Number(kValueMaxChunk, 4096),
    Text(kValueLanguage, REG_SZ, "en-us"),
    Number(kValueBase64, 0),
    Text(kValueUserName, REG_SZ, "", PORT_VALUE_FIXED),
    // No password: one zero byte.
    PortValueDefault{kValuePassWord, REG_BINARY, 0, "", 1, PORT_VALUE_FIXED},
    Number(kValueJobSheets, 0),
};

const PortValueDefault kEmailValues[] = {
    Text(kValueSmtpServer, REG_SZ, ""),
    Text(kValueFromName, REG_SZ, ""),
    Text(kValueFromAddr, REG_SZ, ""),
    Text(kValueToAddr, REG_SZ, ""),
    Text(kValueSubject, REG_BINARY, ""),
    Text(kValueBody, REG_BINARY, ""),
    Text(kValueSignature, REG_BINARY, ""),
    Number(kValueNoPrint, 0, PORT_VALUE_CHOSEN),
    Number(kValueEditBody, 0, PORT_VALUE_CHOSEN),
    Number(kValueDivideFile, 0, PORT_VALUE_CHOSEN),
    Number(kValueDivideSize, 50, PORT_VALUE_CHOSEN), // kilobytes
    Number(kValueCharCode, 0, PORT_VALUE_CHOSEN),
    Text(kValueAuthId, REG_SZ, ""),
    Text(kValueAuthPass, REG_BINARY, ""), // scrambled, up to its first zero byte
    Number(kValueAuthType, 0, PORT_VALUE_CHOSEN),
};

const PortValueDefault kRawValues[] = {
    Number(kValueCmdTmout, kNetworkTimeout),
    Number(kValueDatTmout, kNetworkTimeout),
    Text(kValueHostName, REG_SZ, ""),
    Number(kValuePortNum, 9100, PORT_VALUE_CHOSEN),
};

struct ValueTable {
    const PortValueDefault* values;
    size_t count;
};

template <size_t N>
constexpr ValueTable TableOf(const PortValueDefault (&values)[N])
{
    return ValueTable{values, N};
}

// By protocol number: LPR, IPP, e-mail, Raw.
const ValueTable kProtocolValues[] = {TableOf(kLprValues), TableOf(kIppValues), TableOf(kEmailValues),
                                      TableOf(kRawValues)};
const size_t kCommonCount = sizeof kCommonValues / sizeof kCommonValues[0];
const size_t kProtocolCount = sizeof kProtocolValues / sizeof kProtocolValues[0];

bool SameName(const char* a, const char* b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

} // namespace

bool NewPortValue(DWORD protocol, size_t index, PortValueDefault* value)
{
    if (index < kCommonCount) {
        *value = kCommonValues[index];
        if (SameName(value->name, kValuePrintMode))
            value->number = protocol;
        return true;
    }
    index -= kCommonCount;
    if (protocol >= kProtocolCount || index >= kProtocolValues[protocol].count)
        return false;
    *value = kProtocolValues[protocol].values[index];
    return true;
}

DWORD MonitorKeyNumber(const char* monitorKey, const PortValueDefault& value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, monitorKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value.number;
    DWORD number = 0;
    DWORD size = sizeof number;
    DWORD type = REG_NONE;
    LONG status = RegQueryValueExA(key, value.name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof number ? number : value.number;
}

DWORD NewPortNumber(DWORD protocol, const char* name)
{
    PortValueDefault value;
    for (size_t index = 0; NewPortValue(protocol, index, &value); ++index)
        if (value.type == REG_DWORD && SameName(value.name, name))
            return value.number;
    return 0;
}
