// The configuration sheet of e-mail ports: its frame and page tables, the
// loading of the working copy, the save, and the account, body and SMTP
// authentication pages (the recipients page is in mail_sheet_recipients.cpp).
#include "ui/config/mail_sheet.h"

#include <commctrl.h>

#include "mail/address_book_registry.h"
#include "mail/mail_body.h"
#include "mail/mail_check_ui.h"
#include "mail/mail_checks.h"
#include "mailsheet_ids.h"
#include "monitor/config_store.h"
#include "monitor/dialog_box.h"
#include "monitor/monitor.h"
#include "resource.h"
#include "sheets_ids.h"
#include "ui/config/sheet_fields.h"
#include "ui/page_common.h"

const DialogDescriptor kMailAccountPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 324, 243},
    {IDC_STC_SMTP, "LABEL", "IDC_STC_SMTP", 12, 8, 131, 15},
    {IDC_EDT_SMTP, "EDIT", nullptr, 12, 24, 308, 21},
    {IDC_STC_FROM, "LABEL", "IDC_STC_FROM", 12, 57, 131, 15},
    {IDC_EDT_FROM_NAME, "EDIT", nullptr, 12, 74, 308, 21},
    {IDC_STC_MAIL, "LABEL", "IDC_STC_MAIL", 12, 107, 160, 15},
    {IDC_EDT_FROM_ADDR, "EDIT", nullptr, 12, 123, 308, 21},
    {IDC_BTN_VER, "BUTTON", "IDC_BTN_VER", 215, 164, 105, 23},
};
const int kMailAccountPageTableCount = sizeof kMailAccountPageTable / sizeof kMailAccountPageTable[0];

const DialogDescriptor kMailRecipientsPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 324, 243},
    {IDC_STC_TO, "LABEL", "IDC_STC_TO", 12, 8, 86, 15},
    {IDC_CMB_TO, "COMBO", nullptr, 12, 27, 212, 20},
    {IDC_BTN_ADD, "BUTTON", "IDC_BTN_ADD", 231, 27, 88, 23},
    {IDC_LST_TO, "LIST", nullptr, 12, 57, 212, 89},
    {IDC_BTN_DEL, "BUTTON", "IDC_BTN_DEL", 231, 57, 88, 23},
    {IDC_GRP_DIVIDE, "GROUP", nullptr, 12, 158, 308, 57},
    {IDC_CHK_DIVIDE, "BUTTON", "IDC_CHK_DIVIDE", 23, 156, 190, 18},
    {IDC_STC_DIVIDE, "LABEL", "IDC_STC_DIVIDE", 26, 180, 110, 23},
    {IDC_EDT_DIVIDE, "EDIT", nullptr, 229, 180, 44, 23},
    {IDC_SPN_DIVIDE, nullptr, nullptr, 271, 180, 14, 23},
    {IDC_STC_KB, "LABEL", "IDC_STC_KB", 289, 180, 28, 21},
};
const int kMailRecipientsPageTableCount = sizeof kMailRecipientsPageTable / sizeof kMailRecipientsPageTable[0];

const DialogDescriptor kMailBodyPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 324, 243},
    {IDC_GRP_MAIL, "GROUP", nullptr, 12, 11, 308, 129},
    {IDC_CHK_MAIL, "BUTTON", "IDC_CHK_MAIL", 23, 8, 290, 20},
    {IDC_RAD_VARIABLE, "BUTTON", "IDC_RAD_VARIABLE", 33, 41, 256, 26},
    {IDC_RAD_FIXATION, "BUTTON", "IDC_RAD_FIXATION", 33, 75, 180, 52},
    {IDC_BTN_EDIT, "BUTTON", "IDC_BTN_EDIT", 217, 89, 88, 23},
    {IDC_STC_ENCODE, "LABEL", "IDC_STC_ENCODE", 12, 158, 114, 18},
    {IDC_CMB_ENCODE, "COMBO", nullptr, 128, 158, 193, 20},
};
const int kMailBodyPageTableCount = sizeof kMailBodyPageTable / sizeof kMailBodyPageTable[0];

const DialogDescriptor kMailAuthPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 324, 243},
    {IDC_GRP_AUTH, "GROUP", nullptr, 12, 11, 308, 143},
    {IDC_CHK_AUTH, "BUTTON", "CHK_AUTH", 23, 8, 158, 20},
    {IDC_STC_ID, "LABEL", "STC_ID", 33, 38, 266, 14},
    {IDC_EDT_ID, "EDIT", nullptr, 33, 53, 266, 21},
    {IDC_STC_PASSWORD, "LABEL", "STC_PASSWORD", 33, 93, 266, 14},
    {IDC_EDT_PASSWORD, "EDIT", nullptr, 33, 108, 266, 21},
};
const int kMailAuthPageTableCount = sizeof kMailAuthPageTable / sizeof kMailAuthPageTable[0];

namespace {

const char kDivideFileValue[] = "DIVIDEFILE";
// The character sets of the mail, in CharCode order.
const char* const kEncodings[] = {"7bit ASCII (US-ASCII)", "Japanese (ISO-2022-JP)", "Latin1 (ISO-8859-1)"};
const int kEncodingCount = sizeof kEncodings / sizeof kEncodings[0];

const int kBodyChoiceControls[] = {IDC_RAD_VARIABLE, IDC_RAD_FIXATION};
const int kCredentialControls[] = {IDC_STC_ID, IDC_EDT_ID, IDC_STC_PASSWORD, IDC_EDT_PASSWORD};

const SheetPageDefinition kMailPages[] = {
    {IDD_MAIL_ACCOUNT, "PAGE3", MailAccountPageProc},
    {IDD_MAIL_RECIPIENTS, "PAGE4", MailRecipientsPageProc},
    {IDD_MAIL_BODY, "PAGE5", MailBodyPageProc},
    {IDD_MAIL_AUTH, "PAGE6", MailAuthPageProc},
};
const int kRecipientsPage = 1;

// The monitor key's 4-byte DIVIDEFILE is set (absent or 0: no division).
bool DivisionOffered()
{
    DWORD value = 0, size = sizeof value, type = REG_NONE;
    return g_monitor.monitorKey[0] &&
           QueryRegValue(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, kDivideFileValue, &value, &size, &type) &&
           type == REG_DWORD && size == sizeof value && value != 0;
}

// The port's stored settings with the body's texts whatever NoPrint and
// EditBody say, and the password unscrambled into the sheet's own
// terminated copy. A port without a readable key has nothing to show and
// nowhere to save: no sheet then.
bool LoadMailSheet(ConfigSheet* sheet)
{
    PortRecord* port = sheet->port;
    MailSheetState* state = static_cast<MailSheetState*>(sheet->context);
    if (!state || ReadPortSettings(port, port->name) != ERROR_SUCCESS)
        return false;
    EmailSettings* mail = EmailOf(port);
    if (!mail || !ReadStoredMailTexts(mail, port->name))
        return false; // stored as a port of another protocol meanwhile, or gone
    UnscrambledPassword(mail->authPass, sizeof mail->authPass, state->password, sizeof state->password);
    state->divisionOffered = DivisionOffered();
    state->addressListChanged = false;
    return true;
}

// The values first; the address book only once they are stored, else the
// next save does it.
bool SaveMailSheet(ConfigSheet* sheet)
{
    MailSheetState* state = static_cast<MailSheetState*>(sheet->context);
    if (!state || !SaveMailSettings(sheet->port, state->password))
        return false;
    if (state->addressListChanged) {
        HWND recipients = sheet->pages[kRecipientsPage];
        SaveListToAddressBook(GetDlgItem(recipients, IDC_LST_TO));
        FillAddressCombo(GetDlgItem(recipients, IDC_CMB_TO));
        state->addressListChanged = false;
    }
    return true;
}

// ---- account page ------------------------------------------------------------

void FillAccountPage(HWND page, const EmailSettings* mail)
{
    SendDlgItemMessageA(page, IDC_EDT_SMTP, EM_LIMITTEXT, kMaxSmtpServerChars, 0);
    SendDlgItemMessageA(page, IDC_EDT_FROM_NAME, EM_LIMITTEXT, sizeof mail->fromName - 1, 0);
    SendDlgItemMessageA(page, IDC_EDT_FROM_ADDR, EM_LIMITTEXT, kMaxAddressChars, 0);
    SetDlgItemTextA(page, IDC_EDT_SMTP, mail->smtpServer);
    SetDlgItemTextA(page, IDC_EDT_FROM_NAME, mail->fromName);
    SetDlgItemTextA(page, IDC_EDT_FROM_ADDR, mail->fromAddr);
}

// Each field goes into the copy as it is read; then the checks in the
// order of the page.
bool CollectAccountPage(HWND page, EmailSettings* mail)
{
    static const int kFields[] = {IDC_EDT_SMTP, IDC_EDT_FROM_NAME, IDC_EDT_FROM_ADDR};
    ReadFieldText(GetDlgItem(page, IDC_EDT_SMTP), kMaxSmtpServerChars, mail->smtpServer, sizeof mail->smtpServer);
    ReadFieldText(GetDlgItem(page, IDC_EDT_FROM_NAME), sizeof mail->fromName - 1, mail->fromName, sizeof mail->fromName);
    ReadFieldText(GetDlgItem(page, IDC_EDT_FROM_ADDR), kMaxAddressChars, mail->fromAddr, sizeof mail->fromAddr);
    MailCheckFailure failure = {};
    if (CheckMailAccount(mail->smtpServer, mail->fromName, mail->fromAddr, IsAnsiLeadByte, &failure))
        return true;
    ShowMailCheckFailure(GetAncestor(page, GA_ROOT), GetDlgItem(page, kFields[failure.field]), failure);
    return false;
}

INT_PTR OnAccountCommand(HWND page, ConfigSheet* sheet, int id, int code)
{
    switch (id) {
    case IDC_EDT_SMTP:
    case IDC_EDT_FROM_NAME:
    case IDC_EDT_FROM_ADDR:
        if (code == EN_CHANGE)
            SheetChanged(sheet);
        return TRUE;
    case IDC_BTN_VER:
        ShowModalDialog(IDD_VERSION, page, VersionDialogProc, reinterpret_cast<LPARAM>(sheet->font));
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- body page ---------------------------------------------------------------

// The choices follow body printing; Edit is for a body set in advance.
void ShowBodyChoices(HWND page)
{
    bool printed = ButtonChecked(page, IDC_CHK_MAIL) != 0;
    EnableControls(page, kBodyChoiceControls, 2, printed);
    EnableWindow(GetDlgItem(page, IDC_BTN_EDIT), printed && ButtonChecked(page, IDC_RAD_FIXATION) ? TRUE : FALSE);
}

// A stored CharCode outside the list selects nothing and is kept.
void FillBodyPage(HWND page, const EmailSettings* mail)
{
    CheckDlgButton(page, IDC_CHK_MAIL, mail->noPrint ? BST_UNCHECKED : BST_CHECKED);
    CheckRadioButton(page, IDC_RAD_VARIABLE, IDC_RAD_FIXATION, mail->editBody ? IDC_RAD_VARIABLE : IDC_RAD_FIXATION);
    ShowBodyChoices(page);
    HWND combo = GetDlgItem(page, IDC_CMB_ENCODE);
    for (int i = 0; i < kEncodingCount; ++i)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kEncodings[i]));
    if (mail->charCode < kEncodingCount)
        SendMessageA(combo, CB_SETCURSEL, mail->charCode, 0);
}

// The body edit dialog on the working copy; OK there is a change.
void EditBody(HWND page, ConfigSheet* sheet)
{
    EmailSettings* mail = EmailOf(sheet->port);
    if (mail && RunMailBodyDialog(GetAncestor(page, GA_ROOT), mail) == IDOK)
        SheetChanged(sheet);
}

// A click may reach a disabled control (a posted BM_CLICK does): each
// control's handling starts from its own state.
INT_PTR OnBodyCommand(HWND page, ConfigSheet* sheet, int id, int code)
{
    EmailSettings* mail = EmailOf(sheet->port);
    HWND control = GetDlgItem(page, id);
    if (!mail || !control || !IsWindowEnabled(control))
        return FALSE;
    switch (id) {
    case IDC_CHK_MAIL:
    case IDC_RAD_VARIABLE:
    case IDC_RAD_FIXATION:
        mail->noPrint = ButtonChecked(page, IDC_CHK_MAIL) ? 0 : 1;
        mail->editBody = ButtonChecked(page, IDC_RAD_VARIABLE);
        ShowBodyChoices(page);
        SheetChanged(sheet);
        return TRUE;
    case IDC_BTN_EDIT:
        EditBody(page, sheet);
        return TRUE;
    case IDC_CMB_ENCODE:
        if (code == CBN_SELCHANGE) {
            LRESULT index = SendMessageA(control, CB_GETCURSEL, 0, 0);
            if (index >= 0 && index < kEncodingCount)
                mail->charCode = static_cast<WORD>(index);
            SheetChanged(sheet);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- authentication page -----------------------------------------------------

void ShowCredentialFields(HWND page)
{
    EnableControls(page, kCredentialControls, 4, ButtonChecked(page, IDC_CHK_AUTH) != 0);
}

void FillAuthPage(HWND page, const EmailSettings* mail, const MailSheetState* state)
{
    SendDlgItemMessageA(page, IDC_EDT_ID, EM_LIMITTEXT, kMaxAuthChars, 0);
    SendDlgItemMessageA(page, IDC_EDT_PASSWORD, EM_LIMITTEXT, kMaxAuthChars, 0);
    CheckDlgButton(page, IDC_CHK_AUTH, mail->authType ? BST_CHECKED : BST_UNCHECKED);
    ShowCredentialFields(page);
    SetDlgItemTextA(page, IDC_EDT_ID, mail->authId);
    SetDlgItemTextA(page, IDC_EDT_PASSWORD, state->password);
}

// Empty credentials are accepted; a password whose stored form would be cut
// short is refused.
bool CollectAuthPage(HWND page, EmailSettings* mail, MailSheetState* state)
{
    mail->authType = ButtonChecked(page, IDC_CHK_AUTH);
    if (!mail->authType)
        return true;
    ReadFieldText(GetDlgItem(page, IDC_EDT_ID), kMaxAuthChars, mail->authId, sizeof mail->authId);
    HWND password = GetDlgItem(page, IDC_EDT_PASSWORD);
    ReadFieldText(password, kMaxAuthChars, state->password, sizeof state->password);
    MailCheckFailure failure = {};
    if (CheckAuthPassword(state->password, &failure))
        return true;
    ShowMailCheckFailure(GetAncestor(page, GA_ROOT), password, failure);
    return false;
}

INT_PTR OnAuthCommand(HWND page, ConfigSheet* sheet, int id, int code)
{
    switch (id) {
    case IDC_CHK_AUTH:
        ShowCredentialFields(page);
        SheetChanged(sheet);
        return TRUE;
    case IDC_EDT_ID:
    case IDC_EDT_PASSWORD:
        if (code == EN_CHANGE)
            SheetChanged(sheet);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

const SheetDefinition kMailSheet = {
    IDD_MAIL_SHEET, PROTOCOL_EMAIL, kSheetFrameTable, kSheetFrameTableCount, kMailPages,
    sizeof kMailPages / sizeof kMailPages[0], {12, 38}, LoadMailSheet, SaveMailSheet,
};

INT_PTR RunMailConfigSheet(HWND owner, const char* name)
{
    MailSheetState state = {};
    INT_PTR result = RunConfigSheet(owner, &kMailSheet, name, &state);
    SecureZeroMemory(state.password, sizeof state.password);
    return result;
}

INT_PTR CALLBACK MailAccountPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ConfigSheet* sheet = AttachPage(page, lParam);
        LocaliseSheetPage(page, sheet, kMailAccountPageTable, kMailAccountPageTableCount, 0);
        FillAccountPage(page, EmailOf(sheet->port));
        return FALSE;
    }
    ConfigSheet* sheet = SheetOfPage(page);
    EmailSettings* mail = sheet ? EmailOf(sheet->port) : nullptr;
    if (!mail)
        return FALSE;
    INT_PTR answer = SheetPageAnswer(page, sheet, message, IDC_EDT_SMTP);
    if (answer >= 0)
        return answer;
    if (message == PAGE_VALIDATE)
        return PageAnswer(page, CollectAccountPage(page, mail) ? 1 : 0);
    if (message == WM_COMMAND)
        return OnAccountCommand(page, sheet, LOWORD(wParam), HIWORD(wParam));
    return FALSE;
}

INT_PTR CALLBACK MailBodyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ConfigSheet* sheet = AttachPage(page, lParam);
        LocaliseSheetPage(page, sheet, kMailBodyPageTable, kMailBodyPageTableCount, IDC_CHK_MAIL);
        FillBodyPage(page, EmailOf(sheet->port));
        return FALSE;
    }
    ConfigSheet* sheet = SheetOfPage(page);
    if (!sheet || !EmailOf(sheet->port))
        return FALSE;
    INT_PTR answer = SheetPageAnswer(page, sheet, message, IDC_CHK_MAIL);
    if (answer >= 0)
        return answer;
    if (message == PAGE_VALIDATE)
        return PageAnswer(page, 1); // every change is already in the copy
    if (message == WM_COMMAND)
        return OnBodyCommand(page, sheet, LOWORD(wParam), HIWORD(wParam));
    return FALSE;
}

INT_PTR CALLBACK MailAuthPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ConfigSheet* sheet = AttachPage(page, lParam);
        LocaliseSheetPage(page, sheet, kMailAuthPageTable, kMailAuthPageTableCount, IDC_CHK_AUTH);
        FillAuthPage(page, EmailOf(sheet->port), static_cast<const MailSheetState*>(sheet->context));
        return FALSE;
    }
    ConfigSheet* sheet = SheetOfPage(page);
    EmailSettings* mail = sheet ? EmailOf(sheet->port) : nullptr;
    if (!mail)
        return FALSE;
    INT_PTR answer = SheetPageAnswer(page, sheet, message, IDC_CHK_AUTH);
    if (answer >= 0)
        return answer;
    if (message == PAGE_VALIDATE)
        return PageAnswer(page, CollectAuthPage(page, mail, static_cast<MailSheetState*>(sheet->context)) ? 1 : 0);
    if (message == WM_COMMAND)
        return OnAuthCommand(page, sheet, LOWORD(wParam), HIWORD(wParam));
    return FALSE;
}
