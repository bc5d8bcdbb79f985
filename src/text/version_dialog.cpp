// The version dialog (template 387), opened by the configuration dialogs.
#include "resource.h"
#include "text/localise.h"

const DialogDescriptor kVersionDialogTable[] = {
    {0, "TITLE", "VERSION", 0, 0, 380, 171},
    {IDOK, "BUTTON", "IDOK", 160, 117, 88, 21},
    {IDC_VERSION_LINE, nullptr, nullptr, 4, 105, 365, 2},
    {IDC_VERSION01, "LABEL", "IDC_VERSION01", 2, 17, 370, 16},
    {IDC_VERSION02, "LABEL", "IDC_VERSION02", 2, 38, 370, 16},
    {IDC_VERSION04, "LABEL", "IDC_VERSION04", 2, 81, 370, 16},
    {IDC_VERSION03, "LABEL", "IDC_VERSION03", 2, 59, 370, 16},
};
const int kVersionDialogTableCount = sizeof kVersionDialogTable / sizeof kVersionDialogTable[0];

// lParam of WM_INITDIALOG is the font of the configuration dialog that opened
// this one; that dialog owns and deletes it.
INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetForegroundWindow(dialog);
        LocaliseDialog(dialog, reinterpret_cast<HFONT>(lParam), kVersionDialogTable, kVersionDialogTableCount,
                       LOCALISE_SIZE_ONLY);
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(dialog, id);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}
