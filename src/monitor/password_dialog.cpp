// The password dialog (template 393): asks for the user name and password an
// IPP printer wants. The credentials go into the port's IPP settings record
// for the rest of the job only; they are never written to the registry.
#include "monitor/error_dialogs.h"

#include "monitor/dialog_box.h"
#include "resource.h"
#include "text/catalogue.h"

const DialogDescriptor kPasswordDialogTable[] = {
    {0, "TITLE", "PASS", 0, 0, 389, 177},
    {IDC_PASSWORD_ICON, nullptr, nullptr, 12, 15, 32, 32},
    {IDC_SETUMEI11, "LABEL", "IDC_SETUMEI11", 56, 23, 305, 32},
    {IDC_NAME, "LABEL", "IDC_NAME", 61, 60, 119, 15},
    {IDC_USER_EDIT, "EDIT", nullptr, 180, 57, 184, 21},
    {IDC_KEYWORD, "LABEL", "IDC_KEYWORD", 61, 89, 119, 15},
    {IDC_PASSWORD_EDIT, "EDIT", nullptr, 180, 86, 184, 21},
    {IDOK, "BUTTON", "IDOK", 180, 122, 88, 21},
    {IDCANCEL, "BUTTON", "IDCANCEL", 277, 122, 88, 21},
};
const int kPasswordDialogTableCount = sizeof kPasswordDialogTable / sizeof kPasswordDialogTable[0];

namespace {

// Both fields of the IPP settings record hold 64 characters and a terminator.
const int kCredentialChars = 64;
const DWORD kCataloguePathSize = MAX_PATH + 32;

struct PasswordRun {
    IppSettings* ipp; // NULL for a port of another protocol: nothing is stored
    HFONT font;
};

static_assert(sizeof(IppSettings::userName) == kCredentialChars + 1, "user name field");
static_assert(sizeof(IppSettings::password) == kCredentialChars + 1, "password field");

PasswordRun* RunOf(HWND dialog)
{
    return reinterpret_cast<PasswordRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void OnInit(HWND dialog, PasswordRun* run)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
    SetForegroundWindow(dialog);
    SendDlgItemMessageA(dialog, IDC_PASSWORD_ICON, STM_SETICON,
                        reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_INFORMATION)), 0);
    SendDlgItemMessageA(dialog, IDC_USER_EDIT, EM_LIMITTEXT, kCredentialChars, 0);
    SendDlgItemMessageA(dialog, IDC_PASSWORD_EDIT, EM_LIMITTEXT, kCredentialChars, 0);
    char path[kCataloguePathSize];
    run->font = CatalogueFont(dialog, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    LocaliseDialog(dialog, run->font, kPasswordDialogTable, kPasswordDialogTableCount, LOCALISE_SIZE_ONLY);
}

void OnOk(HWND dialog, const PasswordRun* run)
{
    IppSettings* ipp = run->ipp;
    if (ipp) {
        ipp->authenticate = 1;
        GetDlgItemTextA(dialog, IDC_USER_EDIT, ipp->userName, sizeof ipp->userName);
        GetDlgItemTextA(dialog, IDC_PASSWORD_EDIT, ipp->password, sizeof ipp->password);
    }
    EndDialog(dialog, TRUE);
}

INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    PasswordRun* run = message == WM_INITDIALOG ? reinterpret_cast<PasswordRun*>(lParam) : RunOf(dialog);
    if (!run)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, run);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            OnOk(dialog, run);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, FALSE);
        else
            return FALSE;
        return TRUE;
    case WM_DESTROY:
        if (run->font) {
            DeleteObject(run->font);
            run->font = nullptr;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

BOOL AskPassword(PortRecord* port)
{
    PasswordRun run{IppOf(port), nullptr};
    INT_PTR result = ShowModalDialog(IDD_PASSWORD, nullptr, PasswordDialogProc, reinterpret_cast<LPARAM>(&run));
    // A dialog that could not be shown (-1) counts as not confirmed.
    return result == TRUE;
}
