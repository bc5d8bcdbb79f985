// The recipients page of the e-mail configuration sheet: the address book in
// the combo box, the sorted recipients list with Add and Delete, and the
// division of mails where the monitor offers it.
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "mail/address_book_registry.h"
#include "mail/mail_check_ui.h"
#include "mail/mail_checks.h"
#include "mailsheet_ids.h"
#include "ui/config/mail_sheet.h"
#include "ui/config/sheet_fields.h"
#include "ui/page_common.h"

namespace {

// Division size, kilobytes.
const NumberRange kDivideSizeRange = {16, 16384};
const int kDivideSizeChars = 5;
const int kDivisionCaptionHeight = 18;
// The edit field inside a combo box with an edit field.
const int kComboEditId = 1001;

const int kDivisionFields[] = {IDC_STC_DIVIDE, IDC_EDT_DIVIDE, IDC_SPN_DIVIDE, IDC_STC_KB};
const int kDivisionControls[] = {IDC_GRP_DIVIDE, IDC_CHK_DIVIDE, IDC_STC_DIVIDE, IDC_EDT_DIVIDE, IDC_SPN_DIVIDE, IDC_STC_KB};

// The entries of the recipients list in list order, and the list of
// mail_checks.h over them.
struct RecipientEntries {
    std::vector<std::string> texts;
    std::vector<const char*> addresses;
};

RecipientList ReadRecipients(HWND list, RecipientEntries* entries)
{
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
        if (length > 0)
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
        entries->texts.push_back(text.c_str());
    }
    for (const std::string& text : entries->texts)
        entries->addresses.push_back(text.c_str());
    RecipientList recipients = {entries->addresses.data(), entries->addresses.size()};
    return recipients;
}

// ToAddr split at ","; empty pieces are passed over. The first address of
// ToAddr is selected (the list is sorted, so it need not be the first entry).
void FillRecipientList(HWND list, const char* toAddr)
{
    std::string first;
    for (const char* piece = toAddr; *piece;) {
        const char* comma = strchr(piece, ',');
        std::string address(piece, comma ? static_cast<size_t>(comma - piece) : strlen(piece));
        if (!address.empty()) {
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address.c_str()));
            if (first.empty())
                first = address;
        }
        piece = comma ? comma + 1 : piece + address.size();
    }
    RecipientEntries entries;
    long index = FindRecipient(ReadRecipients(list, &entries), first.c_str());
    if (index >= 0)
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ShowDivisionFields(HWND page)
{
    EnableControls(page, kDivisionFields, 4, ButtonChecked(page, IDC_CHK_DIVIDE) != 0);
}

void FillRecipientsPage(HWND page, const EmailSettings* mail, const MailSheetState* state)
{
    HWND combo = GetDlgItem(page, IDC_CMB_TO);
    HWND list = GetDlgItem(page, IDC_LST_TO);
    SendMessageA(combo, CB_LIMITTEXT, kMaxAddressChars, 0);
    FillAddressCombo(combo);
    FillRecipientList(list, mail->toAddr);
    EnableWindow(GetDlgItem(page, IDC_BTN_DEL), SendMessageA(list, LB_GETCOUNT, 0, 0) > 0 ? TRUE : FALSE);
    InitNumberSpin(page, IDC_EDT_DIVIDE, IDC_SPN_DIVIDE, kDivideSizeChars, kDivideSizeRange, mail->divideSize);
    CheckDlgButton(page, IDC_CHK_DIVIDE, mail->divideFile ? BST_CHECKED : BST_UNCHECKED);
    ShowDivisionFields(page);
    if (state->divisionOffered)
        return;
    for (int id : kDivisionControls) {
        EnableWindow(GetDlgItem(page, id), FALSE);
        ShowWindow(GetDlgItem(page, id), SW_HIDE);
    }
}

// The combo box's text checked and added; false (the user was told) when
// it is refused.
bool AddRecipient(HWND page)
{
    HWND combo = GetDlgItem(page, IDC_CMB_TO);
    HWND list = GetDlgItem(page, IDC_LST_TO);
    char address[kMaxAddressChars + 1] = "";
    ReadFieldText(combo, kMaxAddressChars, address, sizeof address);
    RecipientEntries entries;
    MailCheckFailure failure = {};
    if (!CheckRecipientAdd(ReadRecipients(list, &entries), address, IsAnsiLeadByte, &failure)) {
        if (failure.selectText)
            SendDlgItemMessageA(page, IDC_BTN_ADD, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        HWND edit = GetDlgItem(combo, kComboEditId);
        ShowMailCheckFailure(GetAncestor(page, GA_ROOT), edit ? edit : combo, failure);
        return false;
    }
    LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    EnableWindow(GetDlgItem(page, IDC_BTN_DEL), TRUE);
    SetWindowTextA(combo, "");
    return true;
}

// The selected entry removed; the one now at its place (or the last) is
// selected. With none left, Delete is disabled and Add gets the focus.
bool DeleteRecipient(HWND page)
{
    HWND list = GetDlgItem(page, IDC_LST_TO);
    HWND remove = GetDlgItem(page, IDC_BTN_DEL);
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (!IsWindowEnabled(remove) || index == LB_ERR)
        return false;
    LRESULT left = SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    if (left > 0) {
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index < left ? index : left - 1), 0);
        return true;
    }
    HWND add = GetDlgItem(page, IDC_BTN_ADD);
    SendMessageA(GetAncestor(page, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(add), TRUE);
    EnableWindow(remove, FALSE);
    SendMessageA(remove, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    return true;
}

// At least one recipient, joined into ToAddr; the division size only while
// division is offered and on (hidden, the stored values stay as they are).
bool CollectRecipientsPage(HWND page, EmailSettings* mail, const MailSheetState* state)
{
    RecipientEntries entries;
    RecipientList recipients = ReadRecipients(GetDlgItem(page, IDC_LST_TO), &entries);
    if (recipients.count == 0)
        return RefuseField(page, "IDS_INVALID_TO_ADDR", IDC_CMB_TO);
    char toAddr[sizeof mail->toAddr];
    if (!JoinRecipients(recipients, toAddr, sizeof toAddr))
        return RefuseField(page, "IDS_MAX_TO_ADDR_ERROR", IDC_CMB_TO);
    memcpy(mail->toAddr, toAddr, sizeof toAddr);
    if (!state->divisionOffered)
        return true;
    mail->divideFile = ButtonChecked(page, IDC_CHK_DIVIDE);
    if (!mail->divideFile)
        return true;
    uint32_t size = 0;
    if (!ReadFieldNumber(page, IDC_EDT_DIVIDE, kDivideSizeRange, &size))
        return RefuseField(page, "IDS_INVALID_DIVIDESIZE", IDC_EDT_DIVIDE);
    mail->divideSize = size;
    return true;
}

INT_PTR OnRecipientsCommand(HWND page, ConfigSheet* sheet, int id, int code)
{
    MailSheetState* state = static_cast<MailSheetState*>(sheet->context);
    switch (id) {
    case IDC_BTN_ADD:
    case IDC_BTN_DEL:
        if (id == IDC_BTN_ADD ? AddRecipient(page) : DeleteRecipient(page)) {
            state->addressListChanged = true;
            SheetChanged(sheet);
        }
        return TRUE;
    case IDC_CHK_DIVIDE:
        if (state->divisionOffered) {
            ShowDivisionFields(page);
            SheetChanged(sheet);
        }
        return TRUE;
    case IDC_EDT_DIVIDE:
        if (code == EN_CHANGE)
            SheetChanged(sheet);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK MailRecipientsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ConfigSheet* sheet = AttachPage(page, lParam);
        LocaliseSheetPage(page, sheet, kMailRecipientsPageTable, kMailRecipientsPageTableCount, 0);
        FitCaptionCheckBox(page, IDC_CHK_DIVIDE, kDivisionCaptionHeight);
        FillRecipientsPage(page, EmailOf(sheet->port), static_cast<const MailSheetState*>(sheet->context));
        return FALSE;
    }
    ConfigSheet* sheet = SheetOfPage(page);
    if (!sheet || !sheet->context || !EmailOf(sheet->port))
        return FALSE;
    if (message == PAGE_FOCUS && !SheetTabHasFocus(sheet)) {
        FocusField(page, IDC_CMB_TO);
        SendDlgItemMessageA(page, IDC_CMB_TO, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        return PageAnswer(page, 0);
    }
    INT_PTR answer = SheetPageAnswer(page, sheet, message, IDC_CMB_TO);
    if (answer >= 0)
        return answer;
    if (message == PAGE_VALIDATE)
        return PageAnswer(page, CollectRecipientsPage(page, EmailOf(sheet->port),
                                                      static_cast<const MailSheetState*>(sheet->context)) ? 1 : 0);
    if (message == WM_COMMAND)
        return OnRecipientsCommand(page, sheet, LOWORD(wParam), HIWORD(wParam));
    return FALSE;
}
