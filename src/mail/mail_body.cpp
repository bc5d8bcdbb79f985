// The body edit dialog (template 303).
#include "mail/mail_body.h"

#include <cstddef>
#include <cstring>

#include "mail/mail_check_ui.h"
#include "mail/mail_checks.h"
#include "mail_ids.h"
#include "monitor/dialog_box.h"
#include "text/catalogue.h"

const DialogDescriptor kMailBodyDialogTable[] = {
    {0, "TITLE", "EDIT_BODY", 0, 0, 354, 342},
    {IDC_STC_SUBJECT, "LABEL", "IDC_STC_SUBJECT", 9, 9, 82, 18},
    {IDC_EDT_SUBJECT, "EDIT", nullptr, 9, 27, 326, 24},
    {IDC_STC_BODY, "LABEL", "IDC_STC_BODY", 9, 62, 82, 18},
    {IDC_EDT_BODY, "EDIT", nullptr, 9, 80, 326, 92},
    {IDC_STC_SIGNATURE, "LABEL", "IDC_STC_SIGNATURE", 9, 182, 82, 18},
    {IDC_EDT_SIGNATURE, "EDIT", nullptr, 9, 200, 326, 68},
    {IDOK, "BUTTON", "IDOK", 151, 287, 88, 21},
    {IDCANCEL, "BUTTON", "IDCANCEL", 249, 287, 88, 21},
};
const int kMailBodyDialogTableCount = sizeof kMailBodyDialogTable / sizeof kMailBodyDialogTable[0];

namespace {

const DWORD kCataloguePathSize = MAX_PATH + 32;

static_assert(sizeof(EmailSettings::subject) > kMaxSubjectChars, "subject field");
static_assert(sizeof(EmailSettings::body) > kMaxBodyChars, "body field");
static_assert(sizeof(EmailSettings::signature) > kMaxSignatureChars, "signature field");

// One field of the dialog and the record's text it edits.
struct BodyField {
    int id;
    size_t limit;
    size_t offset; // of the text in EmailSettings
    size_t size;
};
const BodyField kFields[] = {
    {IDC_EDT_SUBJECT, kMaxSubjectChars, offsetof(EmailSettings, subject), sizeof(EmailSettings::subject)},
    {IDC_EDT_BODY, kMaxBodyChars, offsetof(EmailSettings, body), sizeof(EmailSettings::body)},
    {IDC_EDT_SIGNATURE, kMaxSignatureChars, offsetof(EmailSettings, signature), sizeof(EmailSettings::signature)},
};

struct BodyRun {
    EmailSettings* settings;
    HFONT font;
};

BodyRun* RunOf(HWND dialog)
{
    return reinterpret_cast<BodyRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

char* FieldText(EmailSettings* settings, const BodyField& field)
{
    return reinterpret_cast<char*>(settings) + field.offset;
}

// The dialog was sized in pixels after the template centred it: centre it again.
void CentreOnScreen(HWND dialog)
{
    RECT area, window;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) || !GetWindowRect(dialog, &window))
        return;
    int x = area.left + ((area.right - area.left) - (window.right - window.left)) / 2;
    int y = area.top + ((area.bottom - area.top) - (window.bottom - window.top)) / 2;
    SetWindowPos(dialog, nullptr, x > area.left ? x : area.left, y > area.top ? y : area.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnInit(HWND dialog, BodyRun* run)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
    char path[kCataloguePathSize];
    run->font = CatalogueFont(dialog, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    LocaliseDialog(dialog, run->font, kMailBodyDialogTable, kMailBodyDialogTableCount, LOCALISE_SIZE_ONLY);
    CentreOnScreen(dialog);
    for (const BodyField& field : kFields) {
        // The record's text, bounded by its field whatever the record holds.
        char text[sizeof(EmailSettings::body)];
        size_t length = strnlen(FieldText(run->settings, field), field.size - 1);
        memcpy(text, FieldText(run->settings, field), length);
        text[length] = '\0';
        SendDlgItemMessageA(dialog, field.id, EM_LIMITTEXT, field.limit, 0);
        SetDlgItemTextA(dialog, field.id, text);
    }
    SetForegroundWindow(dialog);
}

void OnOk(HWND dialog, BodyRun* run)
{
    char texts[3][sizeof(EmailSettings::body)];
    for (size_t i = 0; i < 3; ++i)
        ReadFieldText(GetDlgItem(dialog, kFields[i].id), kFields[i].limit, texts[i], sizeof texts[i]);
    MailCheckFailure failure = {};
    if (!CheckMailSubject(texts[0], IsAnsiLeadByte, &failure)) {
        ShowMailCheckFailure(dialog, GetDlgItem(dialog, IDC_EDT_SUBJECT), failure);
        return;
    }
    for (size_t i = 0; i < 3; ++i) {
        char* stored = FieldText(run->settings, kFields[i]);
        memset(stored, 0, kFields[i].size);
        memcpy(stored, texts[i], strlen(texts[i]) + 1);
    }
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK MailBodyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    BodyRun* run = message == WM_INITDIALOG ? reinterpret_cast<BodyRun*>(lParam) : RunOf(dialog);
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
            EndDialog(dialog, IDCANCEL);
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

INT_PTR RunMailBodyDialog(HWND owner, EmailSettings* settings)
{
    if (!settings)
        return -1;
    BodyRun run{settings, nullptr};
    return ShowModalDialog(IDD_EDIT_BODY, owner, MailBodyDialogProc, reinterpret_cast<LPARAM>(&run));
}

INT_PTR EditMailBody(EmailSettings* settings)
{
    return RunMailBodyDialog(nullptr, settings);
}
