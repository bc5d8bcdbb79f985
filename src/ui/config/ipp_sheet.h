// The configuration sheet of IPP ports (template 330): a general page
// (printer URL, time-out, proxy, automatic retry, with the version dialog
// and the advanced dialog behind buttons) and a user-authentication page. It
// edits a working copy of the port and writes the port key on OK and Apply;
// a running port picks the values up at its next job start.
#pragma once

#include <windows.h>

#include "monitor/port_record.h"
#include "text/localise.h"
#include "ui/config/config_sheet.h"

extern const DialogDescriptor kIppGeneralPageTable[];
extern const int kIppGeneralPageTableCount;
extern const DialogDescriptor kIppAuthPageTable[];
extern const int kIppAuthPageTableCount;
extern const DialogDescriptor kIppAdvancedTable[];
extern const int kIppAdvancedTableCount;

extern const SheetDefinition kIppSheet;

// Shows the sheet modally for the IPP port `name`. The working copy is
// allocated and loaded before the dialog opens; when that fails (the port
// key cannot be read, or holds a port of another protocol) nothing is shown. 1 after OK, 0 after
// Cancel, -1 when no sheet was shown.
INT_PTR RunIppConfigSheet(HWND owner, const char* name);

// Writes the working copy to the port key: URL, both time-outs,
// Reconnection, UseProxy, Chunked, Language and Base64 always (texts with
// the whole width of their field); ProxyNum and ProxyName only with the
// proxy on, MaxChunk only with chunking on, UserName and PassWord (scrambled
// as the loader expects) only with authentication on. Values not written
// keep what the registry held. False when the key cannot be opened or a
// value could not be written.
bool SaveIppSettings(const PortRecord* port);

// The pages and the advanced dialog. The advanced dialog's lParam is an
// IppAdvancedRun; it ends with 1 after OK (values taken into the record),
// 0 after Cancel.
struct IppAdvancedRun {
    IppSettings* ipp;
    HFONT font;
};
INT_PTR CALLBACK IppGeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK IppAuthPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK IppAdvancedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
