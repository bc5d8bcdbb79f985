// Resource identifiers of the print-server search dialogs.
#pragma once

// The picture behind the four octet fields of the settings dialog.
#define IDB_ADDRESS_FIELD 104

// Print-server search dialog.
#define IDD_SEARCH 257
#define IDC_SEARCH_TEXT 258
#define IDC_SEARCH_LIST 259
#define IDC_SEARCH_SETTINGS 260
#define IDC_SEARCH_AGAIN 261

// Search settings (broadcast addresses) dialog.
#define IDD_SEARCH_SETTINGS 262
#define IDC_SERSUB_TEXT 263
#define IDC_SERSUB_PICTURE 264
#define IDC_SERSUB_OCTET1 265
#define IDC_SERSUB_OCTET2 266
#define IDC_SERSUB_OCTET3 267
#define IDC_SERSUB_OCTET4 268
#define IDC_SERSUB_ADD 269
#define IDC_SERSUB_LIST 270
#define IDC_SERSUB_DELETE 271
#define IDC_SERSUB_LINE 272
