// The configuration dialog of LPR and Raw ports (template 366): the
// communication time-out, automatic reconnection, and the version dialog.
#pragma once

#include <windows.h>

#include "text/localise.h"

extern const DialogDescriptor kLprRawConfigTable[];
extern const int kLprRawConfigTableCount;

// Accepted time-out, in seconds.
const DWORD kConfigMinTimeoutSeconds = 60;
const DWORD kConfigMaxTimeoutSeconds = 3600;

// Shows the dialog modally for the port `name` of `protocol` (LPR or Raw).
// The dialog works on a copy of the port made before it opens; when that
// copy cannot be made no dialog opens. Returns 1 after an OK whose values
// were saved, 0 after Cancel or an OK whose values could not be saved, -1
// when no dialog was shown.
INT_PTR RunLprRawConfigDialog(HWND owner, const char* name, DWORD protocol);

// The dialog procedures of an LPR and of a Raw port; lParam of
// WM_INITDIALOG is the dialog's run (see RunLprRawConfigDialog).
INT_PTR CALLBACK LprConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RawConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
