// Resource identifiers of the e-mail port's dialogs.
#pragma once

// Body edit dialog: subject, body and signature of a port's mail.
#define IDD_EDIT_BODY 303
#define IDC_STC_SUBJECT 304
#define IDC_EDT_SUBJECT 305
#define IDC_STC_BODY 306
#define IDC_EDT_BODY 307
#define IDC_STC_SIGNATURE 308
#define IDC_EDT_SIGNATURE 309
