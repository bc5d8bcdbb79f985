// The checks of an e-mail port's settings. Pure code: no OS header.
#include "mail/mail_checks.h"

#include <cstring>

#include "codec/password_codec.h"
#include "mail/mail_params.h"

const char kSmtpServerRefused[] = "\" #&'*,/:;<>?\\|";
const char kSenderNameRefused[] = "\"*,/:;<>?\\|";
const char kAddressRefused[] = "\" (),:;<>?\\|";
const char kSubjectRefused[] = "\"':";

namespace {

// The 57 languages whose ports get ISO-8859-1: Danish, German, English other
// than United States, Spanish, Finnish, French, Icelandic, Italian, Dutch,
// Norwegian, Portuguese, Swedish, Basque, Afrikaans.
const uint16_t kLatin1Languages[] = {
    0x0406,
    0x0407, 0x0807, 0x0C07, 0x1007, 0x1407,
    0x0809, 0x0C09, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809, 0x2C09, 0x3009, 0x3409,
    0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A, 0x2C0A, 0x300A, 0x340A,
    0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A,
    0x040B,
    0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C,
    0x040F,
    0x0410, 0x0810,
    0x0413, 0x0813,
    0x0414, 0x0814,
    0x0416, 0x0816,
    0x041D, 0x081D,
    0x042D,
    0x0436,
};
const uint16_t kJapanese = 0x0411;

bool Fail(MailCheckFailure* failure, int field, const char* key, const char* argument, bool selectText)
{
    if (failure)
        *failure = MailCheckFailure{field, key, argument, selectText};
    return false;
}

// One field of the account checks: empty, then refused characters.
bool CheckField(const char* text, int field, const char* emptyKey, const char* set, LeadByteTest isLeadByte,
                MailCheckFailure* failure)
{
    if (!text || !text[0])
        return Fail(failure, field, emptyKey, nullptr, false);
    if (HasRefusedChar(text, set, isLeadByte))
        return Fail(failure, field, "IDS_INVALID_CHARACTER", set, true);
    return true;
}

} // namespace

bool HasRefusedChar(const char* text, const char* set, LeadByteTest isLeadByte)
{
    if (!text || !set)
        return false;
    for (size_t i = 0; text[i];) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (isLeadByte && isLeadByte(c) && text[i + 1]) {
            i += 2; // a double-byte character: its trail byte is no character of its own
            continue;
        }
        if (strchr(set, c))
            return true;
        ++i;
    }
    return false;
}

bool CheckMailAccount(const char* server, const char* name, const char* address, LeadByteTest isLeadByte,
                      MailCheckFailure* failure)
{
    return CheckField(server, MAIL_FIELD_SMTP_SERVER, "IDS_INVALID_SMTP", kSmtpServerRefused, isLeadByte, failure) &&
           CheckField(name, MAIL_FIELD_FROM_NAME, "IDS_INVALID_FROM_NAME", kSenderNameRefused, isLeadByte, failure) &&
           CheckField(address, MAIL_FIELD_FROM_ADDR, "IDS_INVALID_FROM_ADDR", kAddressRefused, isLeadByte, failure);
}

bool CheckMailSubject(const char* subject, LeadByteTest isLeadByte, MailCheckFailure* failure)
{
    if (HasRefusedChar(subject, kSubjectRefused, isLeadByte))
        return Fail(failure, 0, "IDS_INVALID_CHARACTER", kSubjectRefused, true);
    return true;
}

bool CheckAuthPassword(const char* password, MailCheckFailure* failure)
{
    if (!CanScramblePassword(password))
        return Fail(failure, 0, "IDS_INVALID_CHARACTER", "", true);
    return true;
}

size_t JoinedRecipientsLength(const RecipientList& list)
{
    size_t length = 0;
    for (size_t i = 0; i < list.count; ++i)
        length += strlen(list.addresses[i]) + (i ? 1 : 0);
    return length;
}

bool RecipientFits(const RecipientList& list, size_t length)
{
    if (list.count >= kMaxRecipients)
        return false;
    // The join so far, a "," before the new address, the address, the ","
    // appended at send time and the NUL.
    size_t needed = JoinedRecipientsLength(list) + (list.count ? 1 : 0) + length + 2;
    return needed <= kToAddrFieldSize;
}

long FindRecipient(const RecipientList& list, const char* address)
{
    for (size_t i = 0; i < list.count; ++i)
        if (strcmp(list.addresses[i], address) == 0)
            return static_cast<long>(i);
    return -1;
}

bool CheckRecipientAdd(const RecipientList& list, const char* address, LeadByteTest isLeadByte,
                       MailCheckFailure* failure)
{
    size_t length = address ? strlen(address) : 0;
    if (!RecipientFits(list, length))
        return Fail(failure, 0, "IDS_MAX_TO_ADDR_ERROR", nullptr, false);
    if (length == 0)
        return Fail(failure, 0, "IDS_INVALID_FROM_ADDR", nullptr, false);
    if (HasRefusedChar(address, kAddressRefused, isLeadByte))
        return Fail(failure, 0, "IDS_INVALID_CHARACTER", kAddressRefused, true);
    if (FindRecipient(list, address) >= 0)
        return Fail(failure, 0, "IDS_EMALREADYEXISTS", nullptr, true);
    return true;
}

bool JoinRecipients(const RecipientList& list, char* out, size_t size)
{
    if (!out || size == 0)
        return false;
    out[0] = '\0';
    size_t length = JoinedRecipientsLength(list);
    // Room for the "," appended at send time and the NUL.
    if (length + 2 > size || length + 2 > kToAddrFieldSize)
        return false;
    size_t at = 0;
    for (size_t i = 0; i < list.count; ++i) {
        if (i)
            out[at++] = ',';
        size_t part = strlen(list.addresses[i]);
        memcpy(out + at, list.addresses[i], part);
        at += part;
    }
    out[at] = '\0';
    return true;
}

uint16_t DefaultCharCode(uint16_t languageId)
{
    if (languageId == kJapanese)
        return MAIL_ISO_2022_JP;
    for (uint16_t latin1 : kLatin1Languages)
        if (latin1 == languageId)
            return MAIL_ISO_8859_1;
    return MAIL_US_ASCII;
}

void CutToBytes(char* text, size_t limit, LeadByteTest isLeadByte)
{
    if (!text)
        return;
    size_t i = 0;
    while (text[i] && i < limit) {
        size_t step = isLeadByte && isLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    text[i] = '\0';
}
