// The configuration sheet of IPP ports: its frame and page tables, the
// loading of the working copy, and the general and authentication pages.
#include "ui/config/ipp_sheet.h"

#include <commctrl.h>

#include "ipp/printer_url_record.h"
#include "monitor/config_store.h"
#include "monitor/dialog_box.h"
#include "resource.h"
#include "sheets_ids.h"
#include "ui/config/sheet_fields.h"
#include "ui/page_common.h"

const DialogDescriptor kIppGeneralPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 324, 243},
    {IDC_CNF_URI, "LABEL", "IDC_CNF_URI", 12, 8, 300, 15},
    {IDC_CNF_URI_EDIT, "EDIT", nullptr, 12, 24, 300, 21},
    {IDC_CNF_TIMEOUT, "LABEL", "IDC_CNF_TIMEOUT", 12, 57, 160, 18},
    {IDC_CNF_TIMEOUT_EDIT, "EDIT", nullptr, 176, 54, 55, 21},
    {IDC_CNF_TIMEOUT_SPIN, nullptr, nullptr, 229, 54, 14, 21},
    {IDC_CNF_SEC, "LABEL", "IDC_CNF_SEC", 248, 57, 64, 18},
    {IDC_CNF_PROXY_GROUP, "GROUP", nullptr, 12, 88, 300, 88},
    {IDC_CHK_PROXY, "BUTTON", "IDC_CHK_PROXY", 23, 85, 260, 20},
    {IDC_CNF_PROXY, "LABEL", "IDC_CNF_PROXY", 26, 113, 100, 18},
    {IDC_CNF_PROXY_EDIT, "EDIT", nullptr, 130, 110, 170, 21},
    {IDC_CNF_PORT, "LABEL", "IDC_CNF_PORT", 26, 145, 100, 18},
    {IDC_CNF_PORT_EDIT, "EDIT", nullptr, 130, 142, 70, 21},
    {IDC_CNF_RECONNECT, "BUTTON", "CHK_RECONNECT", 12, 184, 300, 18},
    {IDC_BTN_VERSION, "BUTTON", "IDC_BTN_VERSION", 12, 210, 105, 23},
    {IDC_BTN_HIGH, "BUTTON", "IDC_BTN_HIGH", 207, 210, 105, 23},
};
const int kIppGeneralPageTableCount = sizeof kIppGeneralPageTable / sizeof kIppGeneralPageTable[0];

const DialogDescriptor kIppAuthPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 324, 243},
    {IDC_CNF_AUTH_GROUP, "GROUP", nullptr, 12, 11, 300, 143},
    {IDC_CHK_BASIC, "BUTTON", "IDC_CHK_BASIC", 23, 8, 158, 20},
    {IDC_CNF_USER, "LABEL", "IDC_CNF_USER", 33, 38, 266, 14},
    {IDC_CNF_USER_EDIT, "EDIT", nullptr, 33, 53, 266, 21},
    {IDC_CNF_PASS, "LABEL", "IDC_CNF_PASS", 33, 93, 266, 14},
    {IDC_CNF_PASS_EDIT, "EDIT", nullptr, 33, 108, 266, 21},
};
const int kIppAuthPageTableCount = sizeof kIppAuthPageTable / sizeof kIppAuthPageTable[0];

namespace {

const int kUrlChars = 256;
const int kTimeoutChars = 4;
const int kProxyNameChars = 256;
const int kProxyPortChars = 10;
const int kCredentialChars = 64;
const DWORD kMsPerSecond = 1000;

const int kProxyControls[] = {IDC_CNF_PROXY, IDC_CNF_PROXY_EDIT, IDC_CNF_PORT, IDC_CNF_PORT_EDIT};
const int kCredentialControls[] = {IDC_CNF_USER, IDC_CNF_USER_EDIT, IDC_CNF_PASS, IDC_CNF_PASS_EDIT};

const SheetPageDefinition kIppPages[] = {
    {IDD_IPP_GENERAL, "PAGE1", IppGeneralPageProc},
    {IDD_IPP_AUTH, "PAGE2", IppAuthPageProc},
};

// The port's stored settings, the credentials included even while Base64 is
// 0: a sheet that switches authentication on must show (and keep) them. A
// port without a readable key has nothing to show and nowhere to save: no
// sheet then.
bool LoadIppSheet(ConfigSheet* sheet)
{
    PortRecord* port = sheet->port;
    if (ReadPortSettings(port, port->name) != ERROR_SUCCESS)
        return false;
    IppSettings* ipp = IppOf(port);
    if (!ipp)
        return false; // stored as a port of another protocol meanwhile
    ReadStoredIppCredentials(ipp, port->name);
    return true;
}

bool SaveIppSheet(ConfigSheet* sheet)
{
    return SaveIppSettings(sheet->port);
}

IppSettings* IppOfPage(HWND page)
{
    ConfigSheet* sheet = SheetOfPage(page);
    return sheet ? IppOf(sheet->port) : nullptr;
}

// ---- general page ------------------------------------------------------------

void ShowProxyFields(HWND page)
{
    EnableControls(page, kProxyControls, 4, ButtonChecked(page, IDC_CHK_PROXY) != 0);
}

void FillGeneralPage(HWND page, const PortRecord* port, const IppSettings* ipp)
{
    SendDlgItemMessageA(page, IDC_CNF_URI_EDIT, EM_LIMITTEXT, kUrlChars, 0);
    SendDlgItemMessageA(page, IDC_CNF_PROXY_EDIT, EM_LIMITTEXT, kProxyNameChars, 0);
    SendDlgItemMessageA(page, IDC_CNF_PORT_EDIT, EM_LIMITTEXT, kProxyPortChars, 0);
    SetDlgItemTextA(page, IDC_CNF_URI_EDIT, ipp->url);
    InitNumberSpin(page, IDC_CNF_TIMEOUT_EDIT, IDC_CNF_TIMEOUT_SPIN, kTimeoutChars, kSheetTimeoutRange,
                   port->receiveTimeout / kMsPerSecond);
    CheckDlgButton(page, IDC_CNF_RECONNECT, port->reconnect ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_CHK_PROXY, ipp->useProxy ? BST_CHECKED : BST_UNCHECKED);
    ShowProxyFields(page);
    if (ipp->proxy[0])
        SetDlgItemTextA(page, IDC_CNF_PROXY_EDIT, ipp->proxy);
    if (ipp->proxyPort)
        SetDlgItemInt(page, IDC_CNF_PORT_EDIT, ipp->proxyPort, FALSE);
}

// Validate-and-collect, in the order the user reads the page; each field is
// taken into the copy only once it passed its check.
bool CollectGeneralPage(HWND page, PortRecord* port, IppSettings* ipp)
{
    ReadFieldText(page, IDC_CNF_URI_EDIT, ipp->url, sizeof ipp->url);
    if (!ParsePrinterUrl(ipp))
        return RefuseField(page, "IDS_INVALID_URI", IDC_CNF_URI_EDIT);
    uint32_t seconds = 0;
    if (!ReadFieldNumber(page, IDC_CNF_TIMEOUT_EDIT, kSheetTimeoutRange, &seconds))
        return RefuseField(page, "IDS_INVALID_TIMEOUT", IDC_CNF_TIMEOUT_EDIT);
    port->receiveTimeout = seconds * kMsPerSecond;
    port->sendTimeout = seconds * kMsPerSecond;
    port->reconnect = ButtonChecked(page, IDC_CNF_RECONNECT);
    ipp->useProxy = ButtonChecked(page, IDC_CHK_PROXY);
    if (!ipp->useProxy)
        return true;
    ReadFieldText(page, IDC_CNF_PROXY_EDIT, ipp->proxy, sizeof ipp->proxy);
    if (!ipp->proxy[0])
        return RefuseField(page, "IDS_INVALID_PROXYNAME", IDC_CNF_PROXY_EDIT);
    uint32_t proxyPort = 0;
    if (!ReadFieldNumber(page, IDC_CNF_PORT_EDIT, kProxyPortRange, &proxyPort))
        return RefuseField(page, "IDS_INVALID_PROXYNUMBER", IDC_CNF_PORT_EDIT);
    ipp->proxyPort = proxyPort;
    return true;
}

void OpenAdvancedDialog(HWND page, ConfigSheet* sheet)
{
    IppAdvancedRun run = {IppOf(sheet->port), sheet->font};
    if (run.ipp && ShowModalDialog(IDD_IPP_ADVANCED, page, IppAdvancedDialogProc, reinterpret_cast<LPARAM>(&run)) == 1)
        SheetChanged(sheet);
}

INT_PTR OnGeneralCommand(HWND page, ConfigSheet* sheet, int id, int code)
{
    switch (id) {
    case IDC_CNF_URI_EDIT:
    case IDC_CNF_TIMEOUT_EDIT:
    case IDC_CNF_PROXY_EDIT:
    case IDC_CNF_PORT_EDIT:
        if (code == EN_CHANGE)
            SheetChanged(sheet);
        return TRUE;
    case IDC_CHK_PROXY:
        ShowProxyFields(page);
        SheetChanged(sheet);
        return TRUE;
    case IDC_CNF_RECONNECT:
        SheetChanged(sheet);
        return TRUE;
    case IDC_BTN_VERSION:
        ShowModalDialog(IDD_VERSION, page, VersionDialogProc, reinterpret_cast<LPARAM>(sheet->font));
        return TRUE;
    case IDC_BTN_HIGH:
        OpenAdvancedDialog(page, sheet);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- authentication page -----------------------------------------------------

void ShowCredentialFields(HWND page)
{
    EnableControls(page, kCredentialControls, 4, ButtonChecked(page, IDC_CHK_BASIC) != 0);
}

void FillAuthPage(HWND page, const IppSettings* ipp)
{
    SendDlgItemMessageA(page, IDC_CNF_USER_EDIT, EM_LIMITTEXT, kCredentialChars, 0);
    SendDlgItemMessageA(page, IDC_CNF_PASS_EDIT, EM_LIMITTEXT, kCredentialChars, 0);
    CheckDlgButton(page, IDC_CHK_BASIC, ipp->authenticate ? BST_CHECKED : BST_UNCHECKED);
    ShowCredentialFields(page);
    if (ipp->userName[0])
        SetDlgItemTextA(page, IDC_CNF_USER_EDIT, ipp->userName);
    if (ipp->password[0])
        SetDlgItemTextA(page, IDC_CNF_PASS_EDIT, ipp->password);
}

// Always valid; empty credentials are accepted.
void CollectAuthPage(HWND page, IppSettings* ipp)
{
    ipp->authenticate = ButtonChecked(page, IDC_CHK_BASIC);
    if (!ipp->authenticate)
        return;
    ReadFieldText(page, IDC_CNF_USER_EDIT, ipp->userName, sizeof ipp->userName);
    ReadFieldText(page, IDC_CNF_PASS_EDIT, ipp->password, sizeof ipp->password);
}

INT_PTR OnAuthCommand(HWND page, ConfigSheet* sheet, int id, int code)
{
    switch (id) {
    case IDC_CHK_BASIC:
        ShowCredentialFields(page);
        SheetChanged(sheet);
        return TRUE;
    case IDC_CNF_USER_EDIT:
    case IDC_CNF_PASS_EDIT:
        if (code == EN_CHANGE)
            SheetChanged(sheet);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

const SheetDefinition kIppSheet = {
    IDD_IPP_SHEET, PROTOCOL_IPP, kSheetFrameTable, kSheetFrameTableCount, kIppPages,
    sizeof kIppPages / sizeof kIppPages[0], {12, 38}, LoadIppSheet, SaveIppSheet,
};

INT_PTR RunIppConfigSheet(HWND owner, const char* name)
{
    return RunConfigSheet(owner, &kIppSheet, name, nullptr);
}

INT_PTR CALLBACK IppGeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ConfigSheet* sheet = AttachPage(page, lParam);
        LocaliseSheetPage(page, sheet, kIppGeneralPageTable, kIppGeneralPageTableCount, IDC_CHK_PROXY);
        FillGeneralPage(page, sheet->port, IppOf(sheet->port));
        return FALSE;
    }
    ConfigSheet* sheet = SheetOfPage(page);
    IppSettings* ipp = IppOfPage(page);
    if (!sheet || !ipp)
        return FALSE;
    INT_PTR answer = SheetPageAnswer(page, sheet, message, IDC_CNF_URI_EDIT);
    if (answer >= 0)
        return answer;
    switch (message) {
    case PAGE_VALIDATE:
        return PageAnswer(page, CollectGeneralPage(page, sheet->port, ipp) ? 1 : 0);
    case WM_COMMAND:
        return OnGeneralCommand(page, sheet, LOWORD(wParam), HIWORD(wParam));
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK IppAuthPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ConfigSheet* sheet = AttachPage(page, lParam);
        LocaliseSheetPage(page, sheet, kIppAuthPageTable, kIppAuthPageTableCount, IDC_CHK_BASIC);
        FillAuthPage(page, IppOf(sheet->port));
        return FALSE;
    }
    ConfigSheet* sheet = SheetOfPage(page);
    IppSettings* ipp = IppOfPage(page);
    if (!sheet || !ipp)
        return FALSE;
    INT_PTR answer = SheetPageAnswer(page, sheet, message, IDC_CHK_BASIC);
    if (answer >= 0)
        return answer;
    switch (message) {
    case PAGE_VALIDATE:
        CollectAuthPage(page, ipp);
        return PageAnswer(page, 1);
    case WM_COMMAND:
        return OnAuthCommand(page, sheet, LOWORD(wParam), HIWORD(wParam));
    default:
        return FALSE;
    }
}
