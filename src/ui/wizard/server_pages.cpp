// The wizard's LPR pages (print server and queue, page 6; summary, page 7)
// and Raw pages (print server, page 13; summary, page 14).
#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "discovery/port_name_query.h"
#include "discovery/search_dialog.h"
#include "monitor/port_admin.h"
#include "text/catalogue.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

const DialogDescriptor kLprServerPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_SETUMEI05, "LABEL", "IDC_SETUMEI05", 5, 12, 308, 54},
    {IDC_TEXT_IP, "LABEL", "IDC_TEXT_IP", 16, 72, 298, 14},
    {IDC_HOST_EDIT, "EDIT", nullptr, 16, 89, 298, 21},
    {IDC_BTN_SEEK, "BUTTON", "IDC_BTN_SEEK", 217, 117, 96, 21},
    {IDC_TEXT_QXC, "LABEL", "IDC_TEXT_QXC", 16, 150, 298, 14},
    {IDC_QUEUE_LIST, "EDIT", nullptr, 16, 167, 298, 20},
};
const int kLprServerPageTableCount = sizeof kLprServerPageTable / sizeof kLprServerPageTable[0];

const DialogDescriptor kLprSummaryPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_SETUMEI06, "LABEL", "IDC_SETUMEI06", 5, 12, 317, 50},
    {IDC_TEXT_IPADD, "LABEL", "IDC_TEXT_IPADD", 7, 74, 175, 40},
    {IDC_SUMMARY_HOST, "EDIT", nullptr, 193, 74, 140, 17},
    {IDC_TEXT_PNAME, "LABEL", "IDC_TEXT_PNAME", 7, 113, 175, 40},
    {IDC_SUMMARY_QUEUE, "EDIT", nullptr, 193, 113, 140, 17},
    {IDC_TEXT_PRINAME, "LABEL", "IDC_TEXT_PRINAME", 7, 152, 175, 40},
    {IDC_SUMMARY_PORT, "EDIT", nullptr, 193, 152, 140, 17},
};
const int kLprSummaryPageTableCount = sizeof kLprSummaryPageTable / sizeof kLprSummaryPageTable[0];

const DialogDescriptor kRawServerPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_RAW_INFO, "LABEL", "STC_LA_INFO", 5, 12, 320, 54},
    {IDC_RAW_TEXT_IP, "LABEL", "IDC_TEXT_IP", 16, 72, 298, 14},
    {IDC_HOST_EDIT, "EDIT", nullptr, 16, 89, 298, 21},
    {IDC_RAW_SEEK, "BUTTON", "IDC_BTN_SEEK", 217, 117, 96, 21},
};
const int kRawServerPageTableCount = sizeof kRawServerPageTable / sizeof kRawServerPageTable[0];

const DialogDescriptor kRawSummaryPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_RAW_INFO, "LABEL", "STC_FN_INFO", 5, 12, 320, 50},
    {IDC_RAW_TEXT_IP, "LABEL", "IDC_TEXT_IPADD", 7, 74, 175, 40},
    {IDC_HOST_EDIT, "EDIT", nullptr, 193, 74, 140, 17},
    {IDC_RAW_TEXT_PRINAME, "LABEL", "IDC_TEXT_PRINAME", 7, 113, 175, 40},
    {IDC_PORT_NAME_EDIT, "EDIT", nullptr, 193, 113, 140, 17},
};
const int kRawSummaryPageTableCount = sizeof kRawSummaryPageTable / sizeof kRawSummaryPageTable[0];

namespace {

const WORD kDefaultQueryPort = 19541;
const WORD kRawPortNumber = 9100;
const int kHostChars = 64;
const int kQueueChars = 32;
const char kBroadcastAddress[] = "255.255.255.255";

// True when `host` may be used as a print server: the broadcast address, an
// address of four decimal parts each 0..255 that inet_addr takes, or a name
// the resolver knows. The name lookup may take a while: wait cursor.
bool HostUsable(const char* host)
{
    if (strcmp(host, kBroadcastAddress) == 0)
        return true;
    if (WizardDottedQuad(host) && inet_addr(host) != INADDR_NONE)
        return true;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    bool resolved = gethostbyname(host) != nullptr;
    SetCursor(previous ? previous : LoadCursorA(nullptr, IDC_ARROW));
    return resolved;
}

// Reads the host field (at most 64 characters) into `host` (65 bytes) and
// checks it; on a refusal shows the message and focuses the field.
bool ReadServerHost(HWND page, char* host)
{
    GetDlgItemTextA(page, IDC_HOST_EDIT, host, kHostChars + 1);
    const char* refusal = nullptr;
    if (!host[0])
        refusal = "IDS_INVALIDSERVERNAME";
    else if (!HostUsable(host))
        refusal = "IDS_INVALIDPORTNAME_S";
    if (!refusal)
        return true;
    WizardMessage(page, refusal, ArgText(host));
    FocusWizardField(page, IDC_HOST_EDIT);
    return false;
}

// Registers the protocol's port from its summary page: finished, or the
// failure message and the wizard ends with result 0.
void RegisterFromSummary(HWND page, WizardState* wizard, const SettingsHeader* settings)
{
    if (RegisterNewPort(settings, wizard->portName, wizard->protocol)) {
        wizard->pageIndex = kWizardFinished;
        return;
    }
    WizardMessage(page, "IDS_ADD_PORT_ERROR", ArgNone());
    wizard->pageIndex = kWizardFailed;
}

// LPR print-server page. A lookup's answer is applied only when it belongs
// to the latest search on this page: leaving with Back or searching again
// makes earlier answers stale.
const UINT WM_PORT_NAMES = WM_APP + 13;
DWORD g_lookupGeneration = 0;

void ResetLprServerPage(HWND page, WizardState* wizard)
{
    HWND list = GetDlgItem(page, IDC_QUEUE_LIST);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    FillDefaultQueueNames(list);
    SetDlgItemTextA(page, IDC_HOST_EDIT, "");
    wizard->lpr->portNumber = kDefaultQueryPort;
    ++g_lookupGeneration;
}

void SearchForLprServer(HWND page, WizardState* wizard)
{
    SearchResult chosen = {};
    if (RunSearchDialog(page, &chosen) != 1)
        return;
    LprSettings* lpr = wizard->lpr;
    lstrcpynA(lpr->host, chosen.address, sizeof lpr->host);
    lpr->portNumber = chosen.queryPort;
    SetDlgItemTextA(page, IDC_HOST_EDIT, lpr->host);
    LookupPortNames(page, WM_PORT_NAMES, lpr->host, lpr->portNumber, ++g_lookupGeneration);
}

void NextFromLprServer(HWND page, WizardState* wizard)
{
    char host[kHostChars + 1] = "";
    if (!ReadServerHost(page, host))
        return;
    char queue[kQueueChars + 1] = "";
    GetDlgItemTextA(page, IDC_QUEUE_LIST, queue, sizeof queue);
    if (!queue[0]) {
        WizardMessage(page, "IDS_INVALIDQUEUENAME", ArgNone());
        SetFocus(GetDlgItem(page, IDC_QUEUE_LIST));
        return;
    }
    memcpy(wizard->lpr->host, host, sizeof host);
    memcpy(wizard->lpr->queue, queue, sizeof queue);
    ProposeLprPortName(host, queue, wizard->portName, sizeof wizard->portName, WizardLeadByte);
    wizard->pageIndex = WizardNextPage(WIZARD_PAGE_LPR_SERVER, WizardRouteOf(wizard));
}

void ApplyLookup(HWND page, PortNameLookup* found)
{
    if (found && found->generation == g_lookupGeneration)
        ApplyPortNameLookup(GetDlgItem(page, IDC_QUEUE_LIST), found);
    FreePortNameLookup(found);
}

// Raw print-server page.
void SearchForRawServer(HWND page, WizardState* wizard)
{
    SearchResult chosen = {};
    if (RunSearchDialog(page, &chosen) != 1)
        return;
    lstrcpynA(wizard->raw->host, chosen.address, sizeof wizard->raw->host);
    SetDlgItemTextA(page, IDC_HOST_EDIT, wizard->raw->host);
}

void NextFromRawServer(HWND page, WizardState* wizard)
{
    char host[kHostChars + 1] = "";
    if (!ReadServerHost(page, host))
        return;
    memcpy(wizard->raw->host, host, sizeof host);
    ProposeRawPortName(host, wizard->raw->portNumber, wizard->portName, sizeof wizard->portName, WizardLeadByte);
    wizard->pageIndex = WizardNextPage(WIZARD_PAGE_RAW_SERVER, WizardRouteOf(wizard));
}

} // namespace

INT_PTR LprServerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(page, IDC_HOST_EDIT, EM_LIMITTEXT, kHostChars, 0);
        ResetLprServerPage(page, wizard);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_BTN_SEEK && HIWORD(wParam) == BN_CLICKED)
            SearchForLprServer(page, wizard);
        return FALSE;
    case WM_PORT_NAMES:
        ApplyLookup(page, reinterpret_cast<PortNameLookup*>(lParam));
        return TRUE;
    case PAGE_FOCUS:
        FocusWizardField(page, IDC_HOST_EDIT);
        return TRUE;
    case PAGE_NEXT:
        NextFromLprServer(page, wizard);
        return TRUE;
    case PAGE_BACK:
        ResetLprServerPage(page, wizard);
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_LPR_SERVER, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR LprSummaryPageProc(HWND page, UINT message, WPARAM, LPARAM, WizardState* wizard)
{
    switch (message) {
    case PAGE_SHOW:
        SetDlgItemTextA(page, IDC_SUMMARY_HOST, wizard->lpr->host);
        SetDlgItemTextA(page, IDC_SUMMARY_QUEUE, wizard->lpr->queue);
        SetDlgItemTextA(page, IDC_SUMMARY_PORT, wizard->portName);
        return TRUE;
    case PAGE_NEXT:
        RegisterFromSummary(page, wizard, &wizard->lpr->header);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_LPR_SUMMARY, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR RawServerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(page, IDC_HOST_EDIT, EM_LIMITTEXT, kHostChars, 0);
        wizard->raw->portNumber = kRawPortNumber;
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_RAW_SEEK && HIWORD(wParam) == BN_CLICKED)
            SearchForRawServer(page, wizard);
        return FALSE;
    case PAGE_FOCUS:
        FocusWizardField(page, IDC_HOST_EDIT);
        SendDlgItemMessageA(page, IDC_RAW_SEEK, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        return TRUE;
    case PAGE_NEXT:
        NextFromRawServer(page, wizard);
        return TRUE;
    case PAGE_BACK:
        // The host field keeps its text.
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_RAW_SERVER, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR RawSummaryPageProc(HWND page, UINT message, WPARAM, LPARAM, WizardState* wizard)
{
    switch (message) {
    case PAGE_SHOW:
        SetDlgItemTextA(page, IDC_PORT_NAME_EDIT, wizard->portName);
        SetDlgItemTextA(page, IDC_HOST_EDIT, wizard->raw->host);
        return TRUE;
    case PAGE_NEXT:
        // A failed registration is reported as on the other protocols' summaries.
        RegisterFromSummary(page, wizard, &wizard->raw->header);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_RAW_SUMMARY, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}
