// The configuration sheet of e-mail ports (template 372): an account page
// (SMTP server, sender name and address, the version dialog), a recipients
// page (with the address book and, where the monitor offers it, the division
// of mails), a body page (body printing, the body edit dialog, the character
// set) and an SMTP authentication page. It edits a working copy of the port
// and writes the port key on OK and Apply; a running port picks the values
// up at its next job start.
#pragma once

#include <windows.h>

#include "monitor/port_record.h"
#include "text/localise.h"
#include "ui/config/config_sheet.h"

extern const DialogDescriptor kMailAccountPageTable[];
extern const int kMailAccountPageTableCount;
extern const DialogDescriptor kMailRecipientsPageTable[];
extern const int kMailRecipientsPageTableCount;
extern const DialogDescriptor kMailBodyPageTable[];
extern const int kMailBodyPageTableCount;
extern const DialogDescriptor kMailAuthPageTable[];
extern const int kMailAuthPageTableCount;

// AuthID and AuthPass hold at most 256 characters.
const size_t kMailPasswordSize = 257;

// The sheet's state beside the working copy (the sheet's context).
struct MailSheetState {
    // A recipient was added or deleted since the last save: the next save
    // puts the recipients into the address book.
    bool addressListChanged;
    // The monitor key's DIVIDEFILE is set: the recipients page offers the
    // division of mails.
    bool divisionOffered;
    // The authentication password in clear, always terminated; the working
    // copy keeps the stored (scrambled) form.
    char password[kMailPasswordSize];
};

extern const SheetDefinition kMailSheet;

// Shows the sheet modally for the e-mail port `name`. The working copy is
// allocated and loaded before the dialog opens; when that fails (the port
// key cannot be read, or holds a port of another protocol) nothing is shown.
// 1 after OK, 0 after Cancel, -1 when no sheet was shown.
INT_PTR RunMailConfigSheet(HWND owner, const char* name);

// Writes the working copy to the port key: SmtpServer, FromName, FromAddr,
// ToAddr, DivideFile, NoPrint, CharCode and AuthType always; DivideSize only
// with division on; EditBody only with the body printed; Subject, Body and
// Signature only with a body set in advance; AuthID and AuthPass (`password`
// scrambled as the mailer expects) only with authentication on. Values not
// written keep what the registry held. False when the key cannot be opened
// or a value could not be written.
bool SaveMailSettings(const PortRecord* port, const char* password);

// The stored Subject, Body and Signature into the copy whatever NoPrint and
// EditBody say (the job loader reads them only for a body set in advance; a
// sheet that switches to it must show and keep them). False when the port
// key cannot be read.
bool ReadStoredMailTexts(EmailSettings* mail, const char* portName);

// `stored` (the scrambled AuthPass, `storedSize` bytes, not necessarily
// terminated) unscrambled into `clear` of `size` bytes: at most size - 1
// bytes are taken, and the copy is always terminated.
void UnscrambledPassword(const BYTE* stored, size_t storedSize, char* clear, size_t size);

INT_PTR CALLBACK MailAccountPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MailRecipientsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MailBodyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MailAuthPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
