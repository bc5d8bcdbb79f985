// The checks of mail_checks.h on dialogs: the system's lead-byte test and
// how a failed check is shown. For the body edit dialog, the wizard's e-mail
// pages and the e-mail configuration sheet.
#pragma once

#include <windows.h>

#include "mail/mail_checks.h"

// IsDBCSLeadByte of the system's ANSI code page, as a LeadByteTest.
bool IsAnsiLeadByte(unsigned char byte);

// Shows the failure's catalogue message (CRVMES.INI [MESSAGE], caption TITLE,
// exclamation icon, the refused set as its argument) owned by `dialog`, then
// gives `field` the focus, with its text selected when the failure asks so.
void ShowMailCheckFailure(HWND dialog, HWND field, const MailCheckFailure& failure);

// The text of an edit control cut to `limit` bytes on a character boundary,
// into `out` of `size` bytes (`size` > `limit`).
void ReadFieldText(HWND field, size_t limit, char* out, size_t size);
