// The body edit dialog (template 303): subject, body and signature of an
// e-mail port's mail, edited on an E-mail settings record.
//
// Callers:
// - the print path: StartDocPort of a port with EditBody 1 (and NoPrint 0)
//   calls EditMailBody for the job; IDCANCEL means the job's mail is marked
//   not to be printed ("%%NOPRINT%%" in its subject);
// - the add-port wizard's body page (its Edit button): RunMailBodyDialog on
//   the wizard's settings record, the result unused;
// - the e-mail configuration sheet's body page (its Edit button):
//   RunMailBodyDialog on the sheet's settings record, IDOK enables Apply.
#pragma once

#include <windows.h>

#include "monitor/port_record.h"
#include "text/localise.h"

extern const DialogDescriptor kMailBodyDialogTable[];
extern const int kMailBodyDialogTableCount;

// Shows the dialog modally, owned by `owner` (may be NULL), centred on the
// screen and brought to the foreground, its fields showing the record's
// Subject, Body and Signature. OK checks the subject (no double quote,
// apostrophe or colon: IDS_INVALID_CHARACTER, the dialog stays open), then
// stores the three fields, each cut on a character boundary to 42, 998 and
// 513 bytes, and ends with IDOK. Cancel and Escape end with IDCANCEL and
// leave the record unchanged. -1 when the dialog could not be shown (the
// record unchanged).
INT_PTR RunMailBodyDialog(HWND owner, EmailSettings* settings);

// The print path's call: RunMailBodyDialog without owner.
INT_PTR EditMailBody(EmailSettings* settings);
