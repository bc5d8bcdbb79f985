// SaveIppSettings: the IPP sheet's working copy written to the port key.
#include <cstring>

#include "codec/password_codec.h"
#include "monitor/config_store.h"
#include "monitor/port_defaults.h"
#include "ui/config/ipp_sheet.h"
#include "ui/config/sheet_store.h"

namespace {

// A text value with the whole width of its field: the text and zero bytes
// up to the field's size (nothing of an earlier, longer text goes along).
template <size_t N>
bool WriteFieldText(HKEY key, const char* name, const char (&field)[N])
{
    char width[N] = {};
    memcpy(width, field, strnlen(field, N - 1));
    return WriteSheetValue(key, name, REG_SZ, width, N);
}

bool WritePassword(HKEY key, const char* password)
{
    uint8_t stored[kPasswordValueSize];
    size_t size = EncodePassword(password, stored, sizeof stored);
    return size > 0 && WriteSheetValue(key, kValuePassWord, REG_BINARY, stored, static_cast<DWORD>(size));
}

bool WriteIppValues(HKEY key, const PortRecord* port, const IppSettings* ipp)
{
    bool saved = WriteFieldText(key, kValueUrl, ipp->url);
    saved = WriteSheetDword(key, kValueCmdTmout, port->receiveTimeout) && saved;
    saved = WriteSheetDword(key, kValueDatTmout, port->sendTimeout) && saved;
    saved = WriteSheetDword(key, kValueReconnection, port->reconnect ? 1 : 0) && saved;
    saved = WriteSheetDword(key, kValueUseProxy, ipp->useProxy ? 1 : 0) && saved;
    if (ipp->useProxy) {
        saved = WriteSheetDword(key, kValueProxyNum, ipp->proxyPort) && saved;
        saved = WriteFieldText(key, kValueProxyName, ipp->proxy) && saved;
    }
    saved = WriteSheetDword(key, kValueChunked, ipp->chunked ? 1 : 0) && saved;
    if (ipp->chunked)
        saved = WriteSheetDword(key, kValueMaxChunk, ipp->maxChunk) && saved;
    saved = WriteFieldText(key, kValueLanguage, ipp->language) && saved;
    saved = WriteSheetDword(key, kValueBase64, ipp->authenticate ? 1 : 0) && saved;
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
