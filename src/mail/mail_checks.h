// The checks of an e-mail port's settings, shared by the add-port wizard's
// e-mail pages, the e-mail configuration sheet and the body edit dialog:
// refused characters, the account fields, the recipients list (limit,
// duplicates, the room in ToAddr), the authentication password, and the
// character code a new port gets by the system's language.
// Pure code: no OS header. Texts are 8-bit ANSI; where double-byte characters
// matter the caller passes its lead-byte test (IsDBCSLeadByte of the system
// code page), NULL for single-byte text.
#pragma once

#include <cstddef>
#include <cstdint>

typedef bool (*LeadByteTest)(unsigned char byte);

// The characters refused in each kind of text, in the order the message
// IDS_INVALID_CHARACTER shows them (the set is the message's argument).
extern const char kSmtpServerRefused[]; // " #&'*,/:;<>?\|  (with the quote and the space)
extern const char kSenderNameRefused[]; // "*,/:;<>?\|
extern const char kAddressRefused[];    // " (),:;<>?\|  (sender and recipients)
extern const char kSubjectRefused[];    // "':

// True when `text` holds a character of `set`. The scan goes character by
// character: a double-byte character is passed over whole, so a trail byte
// 0x5C or 0x7C is never taken for "\" or "|".
bool HasRefusedChar(const char* text, const char* set, LeadByteTest isLeadByte);

// Limits of the fields (characters typed; the stored fields are one larger).
const size_t kMaxSmtpServerChars = 32;
const size_t kMaxFromNameChars = 64;  // typed in the wizard; the field holds 255
const size_t kMaxAddressChars = 64;   // sender and each recipient
const size_t kMaxSubjectChars = 42;
const size_t kMaxBodyChars = 998;
const size_t kMaxSignatureChars = 513;
const size_t kMaxAuthChars = 256;     // user ID and password
const size_t kMaxRecipients = 100;
// The recipients field (ToAddr) of the settings and the mailer's parameter
// file: the joined recipients, the "," the mailer's caller appends, the NUL.
const size_t kToAddrFieldSize = 6500;

// A failed check: which field, the CRVMES.INI key of its message, and the
// message's argument (a refused set, or NULL). `selectText` asks the caller
// to select the field's text (refused characters) rather than only focus it.
struct MailCheckFailure {
    int field;
    const char* messageKey;
    const char* argument;
    bool selectText;
};

// Fields of the account checks.
enum MailAccountField { MAIL_FIELD_SMTP_SERVER = 0, MAIL_FIELD_FROM_NAME = 1, MAIL_FIELD_FROM_ADDR = 2 };

// The account page's checks in their order: server empty (IDS_INVALID_SMTP),
// refused characters, sender name empty (IDS_INVALID_FROM_NAME), refused
// characters, sender address empty (IDS_INVALID_FROM_ADDR), refused
// characters (IDS_INVALID_CHARACTER with the set). True when all pass.
bool CheckMailAccount(const char* server, const char* name, const char* address, LeadByteTest isLeadByte,
                      MailCheckFailure* failure);

// The subject of the body edit dialog: IDS_INVALID_CHARACTER with the
// subject's set when it holds one of them. Body and signature take any text.
bool CheckMailSubject(const char* subject, LeadByteTest isLeadByte, MailCheckFailure* failure);

// An authentication password whose scrambled form would hold a 0 byte (and
// so be cut when stored) is refused with IDS_INVALID_CHARACTER; the argument
// is an empty text (no set names the refused combinations of character and
// position, and the password itself is never shown).
bool CheckAuthPassword(const char* password, MailCheckFailure* failure);

// The recipients list as the pages hold it: `count` addresses in list order.
struct RecipientList {
    const char* const* addresses;
    size_t count;
};

// Length of the recipients joined by ",".
size_t JoinedRecipientsLength(const RecipientList& list);
// True when one more address of `length` characters fits: fewer than 100
// listed, and the join with it, the "," appended at send time and the NUL
// stay within the 6500-byte field (100 addresses of 64 characters do not).
bool RecipientFits(const RecipientList& list, size_t length);
// Index of the address equal to `address` with letter case counting, or -1.
// (The list controls' own exact search ignores case.)
long FindRecipient(const RecipientList& list, const char* address);

// The checks of a recipient add, in order: no room (IDS_MAX_TO_ADDR_ERROR),
// empty (IDS_INVALID_FROM_ADDR), refused characters (IDS_INVALID_CHARACTER
// with the address set), already listed (IDS_EMALREADYEXISTS). The field is 0.
bool CheckRecipientAdd(const RecipientList& list, const char* address, LeadByteTest isLeadByte,
                       MailCheckFailure* failure);

// The recipients joined by "," into `out`; false (and `out` empty) when they
// do not fit with the "," appended at send time, or `size` is too small.
bool JoinRecipients(const RecipientList& list, char* out, size_t size);

// CharCode of a new port by the system's default language identifier:
// 1 (ISO-2022-JP) for Japanese, 2 (ISO-8859-1) for the 57 Western European
// languages, 0 (US-ASCII) for every other, United States English included.
uint16_t DefaultCharCode(uint16_t languageId);

// Cuts `text` to at most `limit` bytes without splitting a double-byte
// character. Edit controls count their limit in characters, a field of the
// settings in bytes: what a user typed is cut to its field this way.
void CutToBytes(char* text, size_t limit, LeadByteTest isLeadByte);
