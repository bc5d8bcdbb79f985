// The wizard's e-mail summary (page 12): what the e-mail pages collected,
// and Finish, which remembers the recipients in the address book and
// registers the port.
#include <cstring>

#include "mail/address_book_registry.h"
#include "monitor/port_admin.h"
#include "text/catalogue.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

const DialogDescriptor kWizardMailSummaryPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 240},
    {IDC_SETUMEI15, "LABEL", "IDC_SETUMEI15", 5, 12, 317, 45},
    {IDC_MAILWIZ_SUM_SMTP_LABEL, "LABEL", "IDC_STC_ESMTP", 7, 74, 152, 18},
    {IDC_MAILWIZ_SUM_SMTP, "EDIT", nullptr, 163, 74, 168, 17},
    {IDC_MAILWIZ_SUM_NAME_LABEL, "LABEL", "IDC_STC_ENAME", 7, 98, 152, 18},
    {IDC_MAILWIZ_SUM_NAME, "EDIT", nullptr, 163, 98, 168, 17},
    {IDC_MAILWIZ_SUM_FROM_LABEL, "LABEL", "IDC_STC_EFROM", 7, 122, 152, 18},
    {IDC_MAILWIZ_SUM_FROM, "EDIT", nullptr, 163, 122, 168, 17},
    {IDC_MAILWIZ_SUM_TO_LABEL, "LABEL", "IDC_STC_ETO", 7, 143, 152, 18},
    {IDC_MAILWIZ_TO_COMBO, "COMBO", nullptr, 161, 143, 168, 100},
    {IDC_MAILWIZ_SUM_BODY_LABEL, "LABEL", "IDC_STC_EBODY", 7, 167, 152, 18},
    {IDC_MAILWIZ_SUM_BODY, "EDIT", nullptr, 163, 167, 168, 18},
    {IDC_MAILWIZ_SUM_PORT_LABEL, "LABEL", "IDC_TEXT_PRINT", 7, 191, 152, 26},
    {IDC_MAILWIZ_SUM_PORT, "EDIT", nullptr, 163, 191, 168, 17},
};
const int kWizardMailSummaryPageTableCount = sizeof kWizardMailSummaryPageTable / sizeof kWizardMailSummaryPageTable[0];

namespace {

// The recipients (ToAddr, joined by ",") as the drop-down list's entries,
// the first one selected.
void ShowRecipients(HWND combo, const char* joined)
{
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    char address[sizeof(EmailSettings::toAddr)];
    const char* at = joined;
    while (*at) {
        size_t length = strcspn(at, ",");
        memcpy(address, at, length);
        address[length] = '\0';
        if (length > 0)
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
        at += length;
        if (*at == ',')
            ++at;
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

void ShowSummary(HWND page, const WizardState* wizard)
{
    const EmailSettings* email = wizard->email;
    SetDlgItemTextA(page, IDC_MAILWIZ_SUM_SMTP, email->smtpServer);
    SetDlgItemTextA(page, IDC_MAILWIZ_SUM_NAME, email->fromName);
    SetDlgItemTextA(page, IDC_MAILWIZ_SUM_FROM, email->fromAddr);
    SetDlgItemTextA(page, IDC_MAILWIZ_SUM_PORT, wizard->portName);
    ShowRecipients(GetDlgItem(page, IDC_MAILWIZ_TO_COMBO), email->toAddr);
    char text[kCatalogueTextMax + 1];
    CatalogueText(DIALOG_CATALOGUE, "LABEL", email->noPrint == 1 ? "BODY_NOPRINT" : "BODY_PRINT", ArgNone(), text,
                  sizeof text);
    SetDlgItemTextA(page, IDC_MAILWIZ_SUM_BODY, text);
}

// Finish: the recipients go into the address book first (they stay there
// when the registration fails), then the port is registered.
void FinishMailPort(HWND page, WizardState* wizard)
{
    HWND recipients = GetDlgItem(wizard->pages[WIZARD_PAGE_MAIL_RECIPIENTS], IDC_MAILWIZ_TO_LIST);
    SaveListToAddressBook(recipients);
    if (RegisterNewPort(&wizard->email->header, wizard->portName, PROTOCOL_EMAIL)) {
        wizard->pageIndex = kWizardFinished;
        return;
    }
    WizardMessage(page, "IDS_ADD_PORT_ERROR", ArgNone());
    wizard->pageIndex = kWizardFailed;
}

} // namespace

INT_PTR WizardMailSummaryPageProc(HWND page, UINT message, WPARAM, LPARAM, WizardState* wizard)
{
    WizardRoute route{wizard->protocol, wizard->systemProxy, wizard->dialUp};
    switch (message) {
    case WM_INITDIALOG:
        return FALSE;
    case PAGE_SHOW:
        ShowSummary(page, wizard);
        return TRUE;
    case PAGE_NEXT:
        FinishMailPort(page, wizard);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_MAIL_SUMMARY, route);
        return TRUE;
    default:
        return FALSE;
    }
}
