// The wizard's page table and the creation of its pages.
#include "ui/wizard/wizard_pages.h"

#include "monitor/error_dialogs.h"
#include "ui/page_common.h"
#include "wizard_ids.h"

namespace {

// Pages are placed this far right of the banner area's width.
const int kBannerAreaWidth = 140;
const int kPageMargin = 30;

// What WM_INITDIALOG of a page gets.
struct PageCreation {
    WizardState* wizard;
    int index;
};

const WizardPageSlot* SlotOf(HWND page)
{
    int index = GetDlgCtrlID(page) - kWizardPageIdBase;
    return index >= 0 && index < kWizardPageCount ? &kWizardPages[index] : nullptr;
}

// Attaches the page to the state, localises it with its slot's table and
// places it beside the banner.
void AttachPage(HWND page, const PageCreation* creation)
{
    WizardState* wizard = creation->wizard;
    const WizardPageSlot& slot = kWizardPages[creation->index];
    SetWindowLongPtrA(page, GWLP_ID, kWizardPageIdBase + creation->index);
    SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(wizard));
    LocaliseDialog(page, wizard->font, slot.table, slot.tableCount, LOCALISE_MOVE);
    // Sizing mode 1 put the page at the table's position (0, 0).
    RECT bounds;
    GetWindowRect(page, &bounds);
    MoveWindow(page, kBannerAreaWidth + kPageMargin, 0, bounds.right - bounds.left, bounds.bottom - bounds.top, FALSE);
}

// The dialog procedure of every page: attaches it, then hands each message
// to the page procedure of its slot.
INT_PTR CALLBACK WizardPageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const PageCreation* creation = reinterpret_cast<const PageCreation*>(lParam);
        AttachPage(page, creation);
        return kWizardPages[creation->index].procedure(page, message, wParam, 0, creation->wizard);
    }
    WizardState* wizard = WizardOf(page);
    const WizardPageSlot* slot = SlotOf(page);
    if (!wizard || !slot)
        return FALSE;
    return slot->procedure(page, message, wParam, lParam, wizard);
}

} // namespace

const WizardPageSlot kWizardPages[kWizardPageCount] = {
    {IDD_WIZ_PROTOCOL, ProtocolPageProc, kProtocolPageTable, kProtocolPageTableCount},
    {IDD_WIZ_PORT_NAME, PortNamePageProc, kPortNamePageTable, kPortNamePageTableCount},
    {IDD_WIZ_CONNECTION, ConnectionPageProc, kConnectionPageTable, kConnectionPageTableCount},
    {IDD_WIZ_IPP_PROXY, IppProxyPageProc, kIppProxyPageTable, kIppProxyPageTableCount},
    {IDD_WIZ_IPP_URL, IppUrlPageProc, kIppUrlPageTable, kIppUrlPageTableCount},
    {IDD_WIZ_IPP_SUMMARY, IppSummaryPageProc, kIppSummaryPageTable, kIppSummaryPageTableCount},
    {IDD_WIZ_LPR_SERVER, LprServerPageProc, kLprServerPageTable, kLprServerPageTableCount},
    {IDD_WIZ_LPR_SUMMARY, LprSummaryPageProc, kLprSummaryPageTable, kLprSummaryPageTableCount},
    {IDD_WIZ_MAIL_ACCOUNT, WizardMailAccountPageProc, kWizardMailAccountPageTable, kWizardMailAccountPageTableCount},
    {IDD_WIZ_MAIL_RECIPIENTS, WizardMailRecipientsPageProc, kWizardMailRecipientsPageTable, kWizardMailRecipientsPageTableCount},
    {IDD_WIZ_MAIL_BODY, WizardMailBodyPageProc, kWizardMailBodyPageTable, kWizardMailBodyPageTableCount},
    {IDD_WIZ_MAIL_AUTH, WizardMailAuthPageProc, kWizardMailAuthPageTable, kWizardMailAuthPageTableCount},
    {IDD_WIZ_MAIL_SUMMARY, WizardMailSummaryPageProc, kWizardMailSummaryPageTable, kWizardMailSummaryPageTableCount},
    {IDD_WIZ_RAW_SERVER, RawServerPageProc, kRawServerPageTable, kRawServerPageTableCount},
    {IDD_WIZ_RAW_SUMMARY, RawSummaryPageProc, kRawSummaryPageTable, kRawSummaryPageTableCount},
};

WizardState* WizardOf(HWND page)
{
    return page ? reinterpret_cast<WizardState*>(GetWindowLongPtrA(page, DWLP_USER)) : nullptr;
}

HWND CreateWizardPage(WizardState* wizard, int index)
{
    PageCreation creation{wizard, index};
    return CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(kWizardPages[index].templateId), wizard->frame,
                              WizardPageDialogProc, reinterpret_cast<LPARAM>(&creation));
}
