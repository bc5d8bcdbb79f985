// Modal dialogs from the module's templates.
#pragma once

#include <windows.h>

// Registers the common control classes the dialogs use (list view, tab,
// up-down, progress), once per process. The control library is loaded here,
// at the first dialog, never from the library entry: code of the window
// libraries run under the loader lock can deadlock with another thread of the
// host that uses windows.
void EnsureCommonControls();

// DialogBoxParamA on the module's template `templateId`, the common controls
// registered first. -1 when the dialog could not be created.
INT_PTR ShowModalDialog(WORD templateId, HWND owner, DLGPROC proc, LPARAM parameter);
