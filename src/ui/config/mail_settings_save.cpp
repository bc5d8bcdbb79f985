// The e-mail sheet's working copy and the port key: the texts the job loader
// leaves out, the clear copy of the password, and SaveMailSettings.
#include <cstring>
#include <string>

#include "codec/password_codec.h"
#include "monitor/config_store.h"
#include "monitor/port_defaults.h"
#include "ui/config/mail_sheet.h"
#include "ui/config/sheet_store.h"

namespace {

// A text with its terminator.
template <size_t N>
bool WriteText(HKEY key, const char* name, const char (&field)[N])
{
    std::string text(field, strnlen(field, N - 1));
    return WriteSheetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// A text of the body as the loader reads it: its bytes, no terminator.
template <size_t N>
bool WriteBinaryText(HKEY key, const char* name, const char (&field)[N])
{
    return WriteSheetValue(key, name, REG_BINARY, field, static_cast<DWORD>(strnlen(field, N - 1)));
}

bool WriteAccountValues(HKEY key, const EmailSettings* mail)
{
    bool saved = WriteText(key, kValueSmtpServer, mail->smtpServer);
    saved = WriteText(key, kValueFromName, mail->fromName) && saved;
    saved = WriteText(key, kValueFromAddr, mail->fromAddr) && saved;
    saved = WriteText(key, kValueToAddr, mail->toAddr) && saved;
    saved = WriteSheetDword(key, kValueDivideFile, mail->divideFile) && saved;
    if (mail->divideFile)
        saved = WriteSheetDword(key, kValueDivideSize, mail->divideSize) && saved;
    return saved;
}

// The body's texts only when they are the ones the jobs use: with the body
// printed and set in advance.
bool WriteBodyValues(HKEY key, const EmailSettings* mail)
{
    bool saved = WriteSheetDword(key, kValueNoPrint, mail->noPrint);
    if (!mail->noPrint)
        saved = WriteSheetDword(key, kValueEditBody, mail->editBody) && saved;
    if (!mail->noPrint && !mail->editBody) {
        saved = WriteBinaryText(key, kValueSubject, mail->subject) && saved;
        saved = WriteBinaryText(key, kValueBody, mail->body) && saved;
        saved = WriteBinaryText(key, kValueSignature, mail->signature) && saved;
    }
    return WriteSheetDword(key, kValueCharCode, mail->charCode) && saved;
}

// The password is stored scrambled, as long as ScramblePassword says; the
// clear text stays with the caller, so every save scrambles from it.
bool WriteAuthValues(HKEY key, const EmailSettings* mail, const char* password)
{
    bool saved = WriteSheetDword(key, kValueAuthType, mail->authType);
    if (!mail->authType)
        return saved;
    char scrambled[kMailPasswordSize] = {};
    if (password)
        memcpy(scrambled, password, strnlen(password, sizeof scrambled - 1));
    size_t length = ScramblePassword(scrambled);
    saved = WriteSheetValue(key, kValueAuthPass, REG_BINARY, scrambled, static_cast<DWORD>(length)) && saved;
    SecureZeroMemory(scrambled, sizeof scrambled);
    return WriteText(key, kValueAuthId, mail->authId) && saved;
}

} // namespace

bool ReadStoredMailTexts(EmailSettings* mail, const char* portName)
{
    char portKey[kPortKeySize];
    HKEY key = nullptr;
    if (!mail || !MakePortKey(portName, portKey, sizeof portKey) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, portKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    QueryTextValue(key, kValueSubject, REG_BINARY, mail->subject, sizeof mail->subject);
    QueryTextValue(key, kValueBody, REG_BINARY, mail->body, sizeof mail->body);
    QueryTextValue(key, kValueSignature, REG_BINARY, mail->signature, sizeof mail->signature);
    RegCloseKey(key);
    return true;
}

void UnscrambledPassword(const BYTE* stored, size_t storedSize, char* clear, size_t size)
{
    if (!clear || size == 0)
        return;
    memset(clear, 0, size);
    size_t limit = storedSize < size - 1 ? storedSize : size - 1;
    if (stored)
        memcpy(clear, stored, strnlen(reinterpret_cast<const char*>(stored), limit));
    UnscramblePassword(clear);
}

bool SaveMailSettings(const PortRecord* port, const char* password)
{
    const EmailSettings* mail = port && port->settings && port->settings->protocol == PROTOCOL_EMAIL
                                    ? reinterpret_cast<const EmailSettings*>(port->settings)
                                    : nullptr;
    if (!mail)
        return false;
    HKEY key = OpenPortKeyForWriting(port->name);
    if (!key)
        return false;
    bool saved = WriteAccountValues(key, mail);
    saved = WriteBodyValues(key, mail) && saved;
    saved = WriteAuthValues(key, mail, password) && saved;
    RegCloseKey(key);
    return saved;
}
