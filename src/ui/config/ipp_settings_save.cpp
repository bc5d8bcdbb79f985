// SaveIppSettings: the IPP sheet's working copy written to the port key.
#include <cstring>

#include "codec/password_codec.h"
#include "monitor/config_store.h"
#include "monitor/port_defaults.h"
#include "ui/config/ipp_sheet.h"

namespace {

// The port key opened for writing below the ports key (opened as two steps:
// a long path in one piece can be refused); NULL when it is missing or the
// name cannot be a single key name.
HKEY OpenPortKeyForWriting(const char* name)
{
    if (!name || !name[0] || strchr(name, '\\'))
        return nullptr;
    HKEY ports = OpenPortsKey(KEY_READ);
    if (!ports)
        return nullptr;
    HKEY key = nullptr;
    if (RegOpenKeyExA(ports, name, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        key = nullptr;
    RegCloseKey(ports);
    return key;
}

bool WriteValue(HKEY key, const char* name, DWORD type, const void* data, DWORD size)
{
    return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool WriteDword(HKEY key, const char* name, DWORD value)
{
    return WriteValue(key, name, REG_DWORD, &value, sizeof value);
}

// A text value with the whole width of its field: the text and zero bytes
// up to the field's size (nothing of an earlier, longer text goes along).
template <size_t N>
bool WriteFieldText(HKEY key, const char* name, const char (&field)[N])
{
    char width[N] = {};
    memcpy(width, field, strnlen(field, N - 1));
    return WriteValue(key, name, REG_SZ, width, N);
}

bool WritePassword(HKEY key, const char* password)
{
    uint8_t stored[kPasswordValueSize];
    size_t size = EncodePassword(password, stored, sizeof stored);
    return size > 0 && WriteValue(key, kValuePassWord, REG_BINARY, stored, static_cast<DWORD>(size));
}

bool WriteIppValues(HKEY key, const PortRecord* port, const IppSettings* ipp)
{
    bool saved = WriteFieldText(key, kValueUrl, ipp->url);
    saved = WriteDword(key, kValueCmdTmout, port->receiveTimeout) && saved;
    saved = WriteDword(key, kValueDatTmout, port->sendTimeout) && saved;
    saved = WriteDword(key, kValueReconnection, port->reconnect ? 1 : 0) && saved;
    saved = WriteDword(key, kValueUseProxy, ipp->useProxy ? 1 : 0) && saved;
    if (ipp->useProxy) {
        saved = WriteDword(key, kValueProxyNum, ipp->proxyPort) && saved;
        saved = WriteFieldText(key, kValueProxyName, ipp->proxy) && saved;
    }
    saved = WriteDword(key, kValueChunked, ipp->chunked ? 1 : 0) && saved;
    if (ipp->chunked)
        saved = WriteDword(key, kValueMaxChunk, ipp->maxChunk) && saved;
    saved = WriteFieldText(key, kValueLanguage, ipp->language) && saved;
    saved = WriteDword(key, kValueBase64, ipp->authenticate ? 1 : 0) && saved;
    if (ipp->authenticate) {
        saved = WriteFieldText(key, kValueUserName, ipp->userName) && saved;
        saved = WritePassword(key, ipp->password) && saved;
    }
    return saved;
}

} // namespace

bool SaveIppSettings(const PortRecord* port)
{
    const IppSettings* ipp = port && port->settings && port->settings->protocol == PROTOCOL_IPP
                                 ? reinterpret_cast<const IppSettings*>(port->settings)
                                 : nullptr;
    if (!ipp)
        return false;
    HKEY key = OpenPortKeyForWriting(port->name);
    if (!key)
        return false;
    bool saved = WriteIppValues(key, port, ipp);
    RegCloseKey(key);
    return saved;
}
