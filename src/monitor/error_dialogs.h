// The transmission-error window (template 400) and the password dialog
// (template 393), used by the error reporter.
#pragma once

#include "monitor/port_record.h"
#include "text/localise.h"

// One run of the transmission-error window, owned by its thread.
struct ErrorWindowRun {
    PortRecord* port;
    LONG generation; // the job the window was opened for
    BOOL ready;      // the window was created and its timer runs
    HFONT font;
};

extern const DialogDescriptor kErrorWindowTable[];
extern const int kErrorWindowTableCount;
extern const DialogDescriptor kPasswordDialogTable[];
extern const int kPasswordDialogTableCount;

// The module holding the dialog templates and strings.
HINSTANCE ResourceInstance();

// CRVMES.INI key of a window message number, or NULL when it has none.
const char* ErrorWindowMessageKey(LONG number);

// 1 while the window's job is still the port's current job.
bool IsCurrentJob(const ErrorWindowRun* run);

// The dialog procedure of the transmission-error window; lParam is the run.
INT_PTR CALLBACK ErrorWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the password dialog modally without owner on the calling thread.
// TRUE when it ended with OK (the IPP settings then hold the credentials).
BOOL AskPassword(PortRecord* port);
