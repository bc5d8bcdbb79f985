// The wizard's e-mail pages: the sender's account (page 8), the recipients
// with the address book (page 9), whether and how the mail body is printed
// (page 10) and SMTP authentication (page 11). The summary (page 12) is in
// email_summary.cpp.
#include <cstring>

#include "codec/password_codec.h"
#include "mail/address_book_registry.h"
#include "mail/mail_body.h"
#include "mail/mail_check_ui.h"
#include "mail/mail_checks.h"
#include "monitor/port_defaults.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

const DialogDescriptor kWizardMailAccountPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 240},
    {IDC_SETUMEI12, "LABEL", "IDC_SETUMEI12", 5, 12, 331, 47},
    {IDC_MAILWIZ_SMTP_LABEL, "LABEL", "IDC_STC_SMTP", 16, 66, 298, 18},
    {IDC_MAILWIZ_SMTP, "EDIT", nullptr, 16, 83, 298, 21},
    {IDC_MAILWIZ_FROM_NAME_LABEL, "LABEL", "IDC_STC_FROM", 16, 119, 298, 18},
    {IDC_MAILWIZ_FROM_NAME, "EDIT", nullptr, 16, 137, 298, 21},
    {IDC_MAILWIZ_FROM_ADDR_LABEL, "LABEL", "IDC_STC_MAIL", 16, 171, 298, 18},
    {IDC_MAILWIZ_FROM_ADDR, "EDIT", nullptr, 16, 189, 298, 21},
};
const int kWizardMailAccountPageTableCount = sizeof kWizardMailAccountPageTable / sizeof kWizardMailAccountPageTable[0];

const DialogDescriptor kWizardMailRecipientsPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 240},
    {IDC_SETUMEI13, "LABEL", "IDC_SETUMEI13", 5, 12, 324, 47},
    {IDC_MAILWIZ_TO_LABEL, "LABEL", "IDC_STC_TO", 16, 60, 298, 18},
    {IDC_MAILWIZ_TO_COMBO, "COMBO", nullptr, 16, 80, 210, 20},
    {IDC_MAILWIZ_ADD, "BUTTON", "IDC_BTN_ADD", 236, 80, 88, 21},
    {IDC_MAILWIZ_TO_LIST, "LIST", nullptr, 16, 108, 210, 113},
    {IDC_MAILWIZ_DELETE, "BUTTON", "IDC_BTN_DEL", 236, 108, 88, 21},
};
const int kWizardMailRecipientsPageTableCount = sizeof kWizardMailRecipientsPageTable / sizeof kWizardMailRecipientsPageTable[0];

const DialogDescriptor kWizardMailBodyPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 240},
    {IDC_SETUMEI14, "LABEL", "IDC_SETUMEI14", 5, 12, 331, 42},
    {IDC_MAILWIZ_BODY_GROUP, "GROUP", nullptr, 5, 65, 308, 129},
    {IDC_MAILWIZ_PRINT_BODY, "BUTTON", "IDC_CHK_MAIL", 16, 60, 290, 24},
    {IDC_MAILWIZ_BODY_EACH_JOB, "BUTTON", "IDC_RAD_VARIABLE", 26, 95, 256, 26},
    {IDC_MAILWIZ_BODY_FIXED, "BUTTON", "IDC_RAD_FIXATION", 26, 126, 180, 52},
    {IDC_MAILWIZ_EDIT_BODY, "BUTTON", "IDC_BTN_EDIT", 210, 140, 88, 23},
};
const int kWizardMailBodyPageTableCount = sizeof kWizardMailBodyPageTable / sizeof kWizardMailBodyPageTable[0];

const DialogDescriptor kWizardMailAuthPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 240},
    {IDC_MAILWIZ_AUTH_TEXT, "LABEL", "STC_EI_AUTH", 5, 12, 308, 54},
    {IDC_MAILWIZ_AUTH_GROUP, "GROUP", nullptr, 5, 68, 308, 143},
    {IDC_MAILWIZ_USE_AUTH, "BUTTON", "CHK_AUTH", 16, 65, 158, 20},
    {IDC_MAILWIZ_AUTH_ID_LABEL, "LABEL", "STC_ID", 26, 95, 266, 14},
    {IDC_MAILWIZ_AUTH_ID, "EDIT", nullptr, 26, 110, 266, 21},
    {IDC_MAILWIZ_AUTH_PASS_LABEL, "LABEL", "STC_PASSWORD", 26, 150, 266, 14},
    {IDC_MAILWIZ_AUTH_PASS, "EDIT", nullptr, 26, 165, 266, 21},
};
const int kWizardMailAuthPageTableCount = sizeof kWizardMailAuthPageTable / sizeof kWizardMailAuthPageTable[0];

namespace {

// Heights the caption check boxes are fitted to.
const int kPrintBodyCaptionHeight = 24;
const int kUseAuthCaptionHeight = 20;
// The last number a proposed e-mail port name takes ("MAIL9999:").
const unsigned kLastMailPortNumber = 9999;
// What GetWindowTextA may give for a field of 256 characters (double-byte
// characters take two bytes each), and the terminator.
const int kAuthFieldBytes = 2 * static_cast<int>(kMaxAuthChars) + 1;

static_assert(sizeof(EmailSettings::smtpServer) > kMaxSmtpServerChars, "SmtpServer field");
static_assert(sizeof(EmailSettings::fromName) > kMaxFromNameChars, "FromName field");
static_assert(sizeof(EmailSettings::fromAddr) > kMaxAddressChars, "FromAddr field");
static_assert(sizeof(EmailSettings::authId) > kMaxAuthChars, "AuthID field");
static_assert(sizeof(EmailSettings::authPass) > kMaxAuthChars, "AuthPass field");

// ---------------------------------------------------------------------------
// Account page

void InitAccountPage(HWND page, WizardState* wizard)
{
    SendDlgItemMessageA(page, IDC_MAILWIZ_SMTP, EM_LIMITTEXT, kMaxSmtpServerChars, 0);
    SendDlgItemMessageA(page, IDC_MAILWIZ_FROM_NAME, EM_LIMITTEXT, kMaxFromNameChars, 0);
    SendDlgItemMessageA(page, IDC_MAILWIZ_FROM_ADDR, EM_LIMITTEXT, kMaxAddressChars, 0);
    // What a new e-mail port gets without asking: the character set of the
    // system's language and the division size (the record starts zeroed).
    wizard->email->charCode = DefaultCharCode(GetSystemDefaultLangID());
    wizard->email->divideSize = NewPortNumber(PROTOCOL_EMAIL, kValueDivideSize);
}

void NextFromAccount(HWND page, WizardState* wizard)
{
    static const int kFieldIds[] = {IDC_MAILWIZ_SMTP, IDC_MAILWIZ_FROM_NAME, IDC_MAILWIZ_FROM_ADDR};
    char server[kMaxSmtpServerChars + 1];
    char name[kMaxFromNameChars + 1];
    char address[kMaxAddressChars + 1];
    ReadFieldText(GetDlgItem(page, IDC_MAILWIZ_SMTP), kMaxSmtpServerChars, server, sizeof server);
    ReadFieldText(GetDlgItem(page, IDC_MAILWIZ_FROM_NAME), kMaxFromNameChars, name, sizeof name);
    ReadFieldText(GetDlgItem(page, IDC_MAILWIZ_FROM_ADDR), kMaxAddressChars, address, sizeof address);
    MailCheckFailure failure;
    if (!CheckMailAccount(server, name, address, IsAnsiLeadByte, &failure)) {
        // An empty field leaves the focus where it is; a refused character
        // selects the field's text.
        HWND field = failure.selectText ? GetDlgItem(page, kFieldIds[failure.field]) : nullptr;
        ShowMailCheckFailure(page, field, failure);
        return;
    }
    EmailSettings* email = wizard->email;
    memcpy(email->smtpServer, server, strlen(server) + 1);
    memcpy(email->fromName, name, strlen(name) + 1);
    memcpy(email->fromAddr, address, strlen(address) + 1);
    wizard->pageIndex = WizardNextPage(WIZARD_PAGE_MAIL_ACCOUNT, WizardRouteOf(wizard));
}

// ---------------------------------------------------------------------------
// Recipients page

// The entries of the recipients list, in list order.
struct ListedRecipients {
    char texts[kMaxRecipients][kMaxAddressChars + 1];
    const char* pointers[kMaxRecipients];
    RecipientList list;
};

void ReadRecipients(HWND listBox, ListedRecipients* out)
{
    out->list.addresses = out->pointers;
    out->list.count = 0;
    LRESULT count = SendMessageA(listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count && out->list.count < kMaxRecipients; ++i) {
        LRESULT length = SendMessageA(listBox, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0 || static_cast<size_t>(length) > kMaxAddressChars)
            continue;
        char* text = out->texts[out->list.count];
        SendMessageA(listBox, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        out->pointers[out->list.count++] = text;
    }
}

void InitRecipientsPage(HWND page)
{
    HWND combo = GetDlgItem(page, IDC_MAILWIZ_TO_COMBO);
    SendMessageA(combo, CB_LIMITTEXT, kMaxAddressChars, 0);
    FillAddressCombo(combo);
    EnableWindow(GetDlgItem(page, IDC_MAILWIZ_DELETE), FALSE);
}

// A refused recipient: the message, then the text selected for correcting
// (a refused character or a duplicate); a refused character also takes the
// default-button look from Add.
void RefuseRecipient(HWND page, const MailCheckFailure& failure)
{
    ShowMailCheckFailure(page, nullptr, failure);
    if (!failure.selectText)
        return;
    HWND combo = GetDlgItem(page, IDC_MAILWIZ_TO_COMBO);
    SetFocus(combo);
    SendMessageA(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    if (failure.argument)
        SendDlgItemMessageA(page, IDC_MAILWIZ_ADD, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

void AddRecipient(HWND page)
{
    HWND combo = GetDlgItem(page, IDC_MAILWIZ_TO_COMBO);
    HWND listBox = GetDlgItem(page, IDC_MAILWIZ_TO_LIST);
    ListedRecipients* listed = new ListedRecipients;
    ReadRecipients(listBox, listed);
    char address[kMaxAddressChars + 1];
    ReadFieldText(combo, kMaxAddressChars, address, sizeof address);
    MailCheckFailure failure;
    if (!CheckRecipientAdd(listed->list, address, IsAnsiLeadByte, &failure)) {
        RefuseRecipient(page, failure);
    } else {
        LRESULT index = SendMessageA(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
        EnableWindow(GetDlgItem(page, IDC_MAILWIZ_DELETE), TRUE);
        SendMessageA(listBox, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SetWindowTextA(combo, "");
    }
    delete listed;
}

void DeleteRecipient(HWND page)
{
    HWND listBox = GetDlgItem(page, IDC_MAILWIZ_TO_LIST);
    HWND remove = GetDlgItem(page, IDC_MAILWIZ_DELETE);
    LRESULT selected = SendMessageA(listBox, LB_GETCURSEL, 0, 0);
    // The button's state decides: a click may reach a disabled button.
    if (!IsWindowEnabled(remove) || selected == LB_ERR)
        return;
    SendMessageA(listBox, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
    LRESULT count = SendMessageA(listBox, LB_GETCOUNT, 0, 0);
    if (count > 0) {
        SendMessageA(listBox, LB_SETCURSEL, static_cast<WPARAM>(selected < count ? selected : count - 1), 0);
        return;
    }
    // The focus leaves Delete before it is disabled.
    SetFocus(GetDlgItem(page, IDC_MAILWIZ_ADD));
    SendMessageA(remove, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EnableWindow(remove, FALSE);
}

void NextFromRecipients(HWND page, WizardState* wizard)
{
    ListedRecipients* listed = new ListedRecipients;
    ReadRecipients(GetDlgItem(page, IDC_MAILWIZ_TO_LIST), listed);
    if (listed->list.count == 0)
        WizardMessage(page, "IDS_INVALID_TO_ADDR", ArgNone());
    else if (!JoinRecipients(listed->list, wizard->email->toAddr, sizeof wizard->email->toAddr))
        WizardMessage(page, "IDS_MAX_TO_ADDR_ERROR", ArgNone());
    else
        wizard->pageIndex = WizardNextPage(WIZARD_PAGE_MAIL_RECIPIENTS, WizardRouteOf(wizard));
    delete listed;
}

// ---------------------------------------------------------------------------
// Body page

// The choices inside the group follow the check box; Edit only when the
// body is set in advance.
void UpdateBodyControls(HWND page)
{
    bool print = ButtonChecked(page, IDC_MAILWIZ_PRINT_BODY) != 0;
    EnableWindow(GetDlgItem(page, IDC_MAILWIZ_BODY_EACH_JOB), print);
    EnableWindow(GetDlgItem(page, IDC_MAILWIZ_BODY_FIXED), print);
    EnableWindow(GetDlgItem(page, IDC_MAILWIZ_EDIT_BODY), print && ButtonChecked(page, IDC_MAILWIZ_BODY_FIXED));
}

void InitBodyPage(HWND page, WizardState* wizard)
{
    wizard->email->noPrint = 1;
    wizard->email->editBody = 0;
    CheckDlgButton(page, IDC_MAILWIZ_PRINT_BODY, BST_UNCHECKED);
    CheckRadioButton(page, IDC_MAILWIZ_BODY_EACH_JOB, IDC_MAILWIZ_BODY_FIXED, IDC_MAILWIZ_BODY_FIXED);
    UpdateBodyControls(page);
    FitCheckBoxCaption(GetDlgItem(page, IDC_MAILWIZ_PRINT_BODY), wizard->font, GetSystemMetrics(SM_CXMENUCHECK),
                       kPrintBodyCaptionHeight);
}

void OnBodyCommand(HWND page, WPARAM wParam, WizardState* wizard)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return;
    switch (LOWORD(wParam)) {
    case IDC_MAILWIZ_PRINT_BODY:
    case IDC_MAILWIZ_BODY_EACH_JOB:
    case IDC_MAILWIZ_BODY_FIXED:
        UpdateBodyControls(page);
        break;
    case IDC_MAILWIZ_EDIT_BODY:
        if (IsWindowEnabled(GetDlgItem(page, IDC_MAILWIZ_EDIT_BODY)))
            RunMailBodyDialog(wizard->frame, wizard->email);
        break;
    default:
        break;
    }
}

// "MAIL%d:" with the first number no port has; the proposal stays as it was
// when every one is taken.
void ProposeFreeMailPortName(WizardState* wizard)
{
    char name[kWizardPortNameSize];
    for (unsigned number = 1; number <= kLastMailPortNumber; ++number) {
        ProposeMailPortName(number, name, sizeof name);
        if (!PortNameExists(name)) {
            memcpy(wizard->portName, name, sizeof name);
            return;
        }
    }
}

void NextFromBody(HWND page, WizardState* wizard)
{
    ProposeFreeMailPortName(wizard);
    wizard->email->noPrint = ButtonChecked(page, IDC_MAILWIZ_PRINT_BODY) ? 0 : 1;
    wizard->email->editBody = ButtonChecked(page, IDC_MAILWIZ_BODY_EACH_JOB);
    wizard->pageIndex = WizardNextPage(WIZARD_PAGE_MAIL_BODY, WizardRouteOf(wizard));
}

// ---------------------------------------------------------------------------
// Authentication page

void UpdateAuthControls(HWND page, DWORD authType)
{
    for (int id = IDC_MAILWIZ_AUTH_ID_LABEL; id <= IDC_MAILWIZ_AUTH_PASS; ++id)
        EnableWindow(GetDlgItem(page, id), authType == 1);
}

void InitAuthPage(HWND page, WizardState* wizard)
{
    SendDlgItemMessageA(page, IDC_MAILWIZ_AUTH_ID, EM_LIMITTEXT, kMaxAuthChars, 0);
    SendDlgItemMessageA(page, IDC_MAILWIZ_AUTH_PASS, EM_LIMITTEXT, kMaxAuthChars, 0);
    CheckDlgButton(page, IDC_MAILWIZ_USE_AUTH, wizard->email->authType == 1 ? BST_CHECKED : BST_UNCHECKED);
    UpdateAuthControls(page, wizard->email->authType);
    FitCheckBoxCaption(GetDlgItem(page, IDC_MAILWIZ_USE_AUTH), wizard->font, GetSystemMetrics(SM_CXMENUCHECK),
                       kUseAuthCaptionHeight);
}

// The password field's clear text cut to 256 bytes into the record, then
// scrambled there; every copy of the clear text is wiped. False (nothing
// stored) when the scrambled form could not be kept whole.
bool StorePassword(HWND page, EmailSettings* email)
{
    char clear[kAuthFieldBytes];
    GetDlgItemTextA(page, IDC_MAILWIZ_AUTH_PASS, clear, sizeof clear);
    CutToBytes(clear, kMaxAuthChars, IsAnsiLeadByte);
    MailCheckFailure failure;
    bool accepted = CheckAuthPassword(clear, &failure);
    if (accepted) {
        SecureZeroMemory(email->authPass, sizeof email->authPass);
        memcpy(email->authPass, clear, strlen(clear));
        ScramblePassword(reinterpret_cast<char*>(email->authPass));
    }
    SecureZeroMemory(clear, sizeof clear);
    if (!accepted)
        ShowMailCheckFailure(page, GetDlgItem(page, IDC_MAILWIZ_AUTH_PASS), failure);
    return accepted;
}

void NextFromAuth(HWND page, WizardState* wizard)
{
    EmailSettings* email = wizard->email;
    email->authType = ButtonChecked(page, IDC_MAILWIZ_USE_AUTH);
    if (email->authType == 1) {
        if (!StorePassword(page, email))
            return;
        ReadFieldText(GetDlgItem(page, IDC_MAILWIZ_AUTH_ID), kMaxAuthChars, email->authId, sizeof email->authId);
    } else {
        // Credentials a port does not use are not stored with it.
        SecureZeroMemory(email->authId, sizeof email->authId);
        SecureZeroMemory(email->authPass, sizeof email->authPass);
    }
    wizard->pageIndex = WizardNextPage(WIZARD_PAGE_MAIL_AUTH, WizardRouteOf(wizard));
}

} // namespace

INT_PTR WizardMailAccountPageProc(HWND page, UINT message, WPARAM, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        InitAccountPage(page, wizard);
        return FALSE;
    case PAGE_FOCUS:
        FocusWizardField(page, IDC_MAILWIZ_SMTP);
        return TRUE;
    case PAGE_NEXT:
        NextFromAccount(page, wizard);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_MAIL_ACCOUNT, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR WizardMailRecipientsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        InitRecipientsPage(page);
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_MAILWIZ_ADD)
            AddRecipient(page);
        else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_MAILWIZ_DELETE)
            DeleteRecipient(page);
        return FALSE;
    case PAGE_FOCUS:
        SetFocus(GetDlgItem(page, IDC_MAILWIZ_TO_COMBO));
        SendDlgItemMessageA(page, IDC_MAILWIZ_TO_COMBO, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        return TRUE;
    case PAGE_NEXT:
        NextFromRecipients(page, wizard);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_MAIL_RECIPIENTS, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR WizardMailBodyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        InitBodyPage(page, wizard);
        return FALSE;
    case WM_COMMAND:
        OnBodyCommand(page, wParam, wizard);
        return FALSE;
    case PAGE_FOCUS:
        SetFocus(GetDlgItem(page, IDC_MAILWIZ_PRINT_BODY));
        return TRUE;
    case PAGE_NEXT:
        NextFromBody(page, wizard);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_MAIL_BODY, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR WizardMailAuthPageProc(HWND page, UINT message, WPARAM wParam, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        InitAuthPage(page, wizard);
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_MAILWIZ_USE_AUTH)
            UpdateAuthControls(page, ButtonChecked(page, IDC_MAILWIZ_USE_AUTH));
        return FALSE;
    case PAGE_FOCUS:
        SetFocus(GetDlgItem(page, IDC_MAILWIZ_USE_AUTH));
        return TRUE;
    case PAGE_NEXT:
        NextFromAuth(page, wizard);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_MAIL_AUTH, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}
