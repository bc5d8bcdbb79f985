// The wizard's IPP pages: proxy (page 3), printer URL with the connection
// test (page 4) and summary (page 5).
#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "codec/parse_number.h"
#include "ipp/connection_probe.h"
#include "ipp/ipp_response.h"
#include "ipp/printer_url_record.h"
#include "ipp/proxy_setting.h"
#include "monitor/error_dialogs.h"
#include "monitor/monitor.h"
#include "monitor/port_admin.h"
#include "text/catalogue.h"
#include "ui/config/sheet_rules.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

const DialogDescriptor kIppProxyPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_PROXY_INFO, "LABEL", nullptr, 5, 12, 315, 85},
    {IDC_BTN_NO, "BUTTON", "IDC_BTN_NO", 16, 105, 300, 17},
    {IDC_PROXY_GROUP, nullptr, nullptr, 5, 135, 308, 92},
    {IDC_BTN_PROXY, "BUTTON", "IDC_BTN_PROXY", 16, 134, 270, 17},
    {IDC_TEXT_PROXY, "LABEL", "IDC_TEXT_PROXY", 18, 165, 86, 14},
    {IDC_PROXY_EDIT, "EDIT", nullptr, 107, 161, 186, 21},
    {IDC_TEXT_NUM, "LABEL", "IDC_TEXT_NUM", 18, 197, 86, 14},
    {IDC_PROXY_PORT_EDIT, "EDIT", nullptr, 107, 192, 186, 21},
};
const int kIppProxyPageTableCount = sizeof kIppProxyPageTable / sizeof kIppProxyPageTable[0];

const DialogDescriptor kIppUrlPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_SETUMEI02, "LABEL", "IDC_SETUMEI02", 5, 12, 303, 60},
    {IDC_TEXT_URI, "LABEL", "IDC_TEXT_URI", 16, 87, 298, 14},
    {IDC_URL_EDIT, "EDIT", nullptr, 16, 104, 298, 21},
    {IDC_TEST_ICON, nullptr, nullptr, 16, 155, 32, 32},
    {IDC_TEXT_CONNECT, "LABEL", "IDC_TEXT_CONNECT", 58, 165, 298, 17},
};
const int kIppUrlPageTableCount = sizeof kIppUrlPageTable / sizeof kIppUrlPageTable[0];

const DialogDescriptor kIppSummaryPageTable[] = {
    {0, nullptr, nullptr, 0, 0, 347, 239},
    {IDC_SETUMEI04, "LABEL", "IDC_SETUMEI04", 5, 12, 317, 50},
    {IDC_TEXT_ADR, "LABEL", "IDC_TEXT_ADR", 7, 74, 119, 40},
    {IDC_SUMMARY_URL, "EDIT", nullptr, 130, 74, 191, 17},
    {IDC_TEXT_PRINT, "LABEL", "IDC_TEXT_PRINT", 7, 113, 119, 40},
    {IDC_SUMMARY_IPP_PORT, "EDIT", nullptr, 130, 113, 191, 17},
    {IDC_TEXT_PRINTER, "LABEL", "IDC_TEXT_PRINTER", 7, 152, 119, 40},
    {IDC_SUMMARY_MODEL, "EDIT", nullptr, 130, 152, 191, 17},
};
const int kIppSummaryPageTableCount = sizeof kIppSummaryPageTable / sizeof kIppSummaryPageTable[0];

namespace {

const DWORD kProxyServerSize = 260;
const int kProxyNameChars = 256;
const int kProxyPortChars = 10;
const int kUrlChars = 256;
const char kDefaultLanguage[] = "en-us";
const char kUrlStart[] = "http://";

// The URL page's timers: the poll of the test's thread and the animation.
const UINT_PTR kPollTimer = 10;
const UINT kPollMs = 50;
const UINT_PTR kAnimationTimer = 11;
const UINT kAnimationMs = 500;
const int kAnimationFrames = IDI_TEST_FRAME_LAST - IDI_TEST_FRAME_FIRST + 1;
const int kIconSize = 32;

// Proxy page.

// The user's ProxyServer value, read no further than 260 bytes and always
// terminated; false when it cannot be read as text.
bool ReadProxyServer(char* value, DWORD size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE, length = size - 1;
    bool read = RegQueryValueExA(key, "ProxyServer", nullptr, &type, reinterpret_cast<BYTE*>(value), &length) ==
                    ERROR_SUCCESS &&
                (type == REG_SZ || type == REG_EXPAND_SZ);
    RegCloseKey(key);
    value[read ? length : 0] = '\0';
    return read;
}

void EnableProxyFields(HWND page, DWORD useProxy)
{
    for (int id = IDC_TEXT_PROXY; id <= IDC_PROXY_PORT_EDIT; ++id)
        EnableWindow(GetDlgItem(page, id), useProxy ? TRUE : FALSE);
}

void InitProxyPage(HWND page, WizardState* wizard)
{
    IppSettings* ipp = wizard->ipp;
    ipp->useProxy = wizard->systemProxy ? 1 : 0;
    char text[kCatalogueTextMax + 1] = "";
    CatalogueText(MESSAGE_CATALOGUE, MESSAGE_SECTION, ipp->useProxy ? "IDS_IPP_PROXY_ENABLE" : "IDS_IPP_PROXY_DISABLE",
                  ArgNone(), text, sizeof text);
    if (text[0])
        SetDlgItemTextA(page, IDC_PROXY_INFO, text);
    CheckRadioButton(page, IDC_BTN_NO, IDC_BTN_PROXY, ipp->useProxy ? IDC_BTN_PROXY : IDC_BTN_NO);
    SendDlgItemMessageA(page, IDC_PROXY_EDIT, EM_LIMITTEXT, kProxyNameChars, 0);
    SendDlgItemMessageA(page, IDC_PROXY_PORT_EDIT, EM_LIMITTEXT, kProxyPortChars, 0);
    char value[kProxyServerSize + 1];
    if (ReadProxyServer(value, sizeof value)) {
        char address[kProxyNameChars + 1], port[kProxyPortChars + 1];
        ParseProxyServer(value, strlen(value), address, sizeof address, port, sizeof port);
        SetDlgItemTextA(page, IDC_PROXY_EDIT, address);
        SetDlgItemTextA(page, IDC_PROXY_PORT_EDIT, port);
    }
    EnableProxyFields(page, ipp->useProxy);
}

// The proxy fields when printing through the proxy: the address must be
// given and the port lie in 1..65535 (a TCP port).
void NextFromProxy(HWND page, WizardState* wizard)
{
    IppSettings* ipp = wizard->ipp;
    ipp->useProxy = ButtonChecked(page, IDC_BTN_PROXY);
    if (ipp->useProxy) {
        char address[kProxyNameChars + 1] = "", portText[kProxyPortChars + 1] = "";
        GetDlgItemTextA(page, IDC_PROXY_EDIT, address, sizeof address);
        GetDlgItemTextA(page, IDC_PROXY_PORT_EDIT, portText, sizeof portText);
        uint32_t port = 0;
        if (!address[0]) {
            WizardMessage(page, "IDS_INVALID_PROXYNAME", ArgNone());
            FocusWizardField(page, IDC_PROXY_EDIT);
            return;
        }
        if (!ParseNumberInRange(portText, kProxyPortRange, &port)) {
            WizardMessage(page, "IDS_INVALID_PROXYNUMBER", ArgNone());
            FocusWizardField(page, IDC_PROXY_PORT_EDIT);
            return;
        }
        memcpy(ipp->proxy, address, sizeof address);
        ipp->proxyPort = port;
    }
    wizard->pageIndex = WizardNextPage(WIZARD_PAGE_IPP_PROXY, WizardRouteOf(wizard));
}

// URL page.

// The language of the printer's answers: the dialog catalogue's COMBO
// DEFAULT (up to 511 characters there) cut to the record's 16, "en-us"
// when there is none.
void InitLanguage(IppSettings* ipp)
{
    char text[kCatalogueTextMax + 1] = "";
    CatalogueText(DIALOG_CATALOGUE, "COMBO", "DEFAULT", ArgNone(), text, sizeof text);
    lstrcpynA(ipp->language, text[0] ? text : kDefaultLanguage, sizeof ipp->language);
}

void ShowFrame(HWND page, int frame)
{
    HICON icon = static_cast<HICON>(
        LoadImageA(ResourceInstance(), MAKEINTRESOURCEA(IDI_TEST_FRAME_FIRST + frame), IMAGE_ICON, kIconSize, kIconSize, 0));
    HICON old = reinterpret_cast<HICON>(SendDlgItemMessageA(page, IDC_TEST_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
    if (old)
        DestroyIcon(old);
}

void NextAnimationFrame(HWND page)
{
    HWND icon = GetDlgItem(page, IDC_TEST_ICON);
    int frame = (static_cast<int>(GetWindowLongPtrA(icon, GWLP_USERDATA)) + 1) % kAnimationFrames;
    SetWindowLongPtrA(icon, GWLP_USERDATA, frame);
    ShowFrame(page, frame);
}

// Testing: Back, Next and the field disabled, the animation and the
// progress text shown, the focus on Cancel; idle: the reverse.
void ShowTesting(HWND page, WizardState* wizard, bool testing)
{
    HWND frame = wizard->frame;
    EnableWindow(GetDlgItem(frame, IDC_WIZ_BACK), !testing);
    EnableWindow(GetDlgItem(frame, IDC_WIZ_NEXT), !testing);
    EnableWindow(GetDlgItem(page, IDC_URL_EDIT), !testing);
    ShowWindow(GetDlgItem(page, IDC_TEXT_CONNECT), testing ? SW_SHOW : SW_HIDE);
    HWND icon = GetDlgItem(page, IDC_TEST_ICON);
    if (testing) {
        SetWindowLongPtrA(icon, GWLP_USERDATA, 0);
        ShowFrame(page, 0);
        ShowWindow(icon, SW_SHOW);
        SetTimer(page, kAnimationTimer, kAnimationMs, nullptr);
    } else {
        KillTimer(page, kAnimationTimer);
        HICON old = reinterpret_cast<HICON>(SendMessageA(icon, STM_SETICON, 0, 0));
        if (old)
            DestroyIcon(old);
        ShowWindow(icon, SW_HIDE);
    }
    HWND next = GetDlgItem(frame, IDC_WIZ_NEXT);
    HWND cancel = GetDlgItem(frame, IDCANCEL);
    SendMessageA(testing ? next : cancel, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageA(testing ? cancel : next, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    SendMessageA(frame, DM_SETDEFID, testing ? IDCANCEL : IDC_WIZ_NEXT, 0);
    SetFocus(testing ? cancel : next);
}

// Fills the scratch record for a test of the typed URL: false (after the
// message) when the URL is not usable.
bool PrepareTest(HWND page, WizardState* wizard)
{
    IppSettings* scratch = IppOf(wizard->testPort);
    const IppSettings* ipp = wizard->ipp;
    char url[kUrlChars + 1] = "";
    GetDlgItemTextA(page, IDC_URL_EDIT, url, sizeof url);
    MonitorLock();
    memcpy(scratch->url, url, sizeof url);
    scratch->useProxy = ipp->useProxy;
    if (ipp->useProxy) {
        memcpy(scratch->proxy, ipp->proxy, sizeof scratch->proxy);
        scratch->proxyPort = ipp->proxyPort;
    }
    memcpy(scratch->language, ipp->language, sizeof scratch->language);
    SharedWrite(&wizard->testPort->jobStatus, 0);
    MonitorUnlock();
    if (ParsePrinterUrl(scratch))
        return true;
    WizardMessage(page, "IDS_INVALID_URI", ArgNone());
    FocusWizardField(page, IDC_URL_EDIT);
    return false;
}

void NextFromUrl(HWND page, WizardState* wizard)
{
    if (wizard->testThread || !PrepareTest(page, wizard))
        return;
    ShowTesting(page, wizard, true);
    if (!StartConnectionTest(wizard->testPort, &wizard->testThread)) {
        ShowTesting(page, wizard, false);
        WizardMessage(page, "IDS_INVALID_CONNECT", ArgNone());
        return;
    }
    SetTimer(page, kPollTimer, kPollMs, nullptr);
}

// Takes the accepted test's results: the URL, its port, the proposal and
// the printer's make and model for the summary (the buffer is freed and
// its pointer cleared).
void AcceptTest(WizardState* wizard)
{
    IppSettings* scratch = IppOf(wizard->testPort);
    IppSettings* ipp = wizard->ipp;
    lstrcpynA(ipp->url, scratch->url, sizeof ipp->url);
    ipp->port = scratch->port;
    ProposeUrlPortName(ipp->url, wizard->portName, sizeof wizard->portName, WizardLeadByte);
    MonitorLock();
    char* model = scratch->modelTextDestination;
    scratch->modelTextDestination = nullptr;
    MonitorUnlock();
    SetDlgItemTextA(wizard->pages[WIZARD_PAGE_IPP_SUMMARY], IDC_SUMMARY_MODEL, model ? model : "");
    if (model)
        HeapFree(GetProcessHeap(), 0, model);
}

// The poll: when the test's thread has ended, back to idle, then on to the
// port-name page when the printer answered or the user goes on anyway.
void PollTest(HWND page, WizardState* wizard)
{
    DWORD code = STILL_ACTIVE;
    bool readable = GetExitCodeThread(wizard->testThread, &code) != FALSE;
    if (readable && code == STILL_ACTIVE)
        return;
    KillTimer(page, kPollTimer);
    CloseHandle(wizard->testThread);
    wizard->testThread = nullptr;
    ShowTesting(page, wizard, false);
    bool answered = readable && code == 1;
    if (!answered &&
        CatalogueMessageBox(page, MESSAGE_CATALOGUE, MESSAGE_SECTION, "IDS_INVALID_CONNECT", "TITLE",
                            MB_ICONEXCLAMATION | MB_YESNO, ArgNone()) != IDYES) {
        FocusWizardField(page, IDC_URL_EDIT);
        return;
    }
    AcceptTest(wizard);
    wizard->pageIndex = WIZARD_PAGE_PORT_NAME;
    ShowWizardPage(wizard, WIZARD_PAGE_PORT_NAME);
}

void InitUrlPage(HWND page, WizardState* wizard)
{
    SendDlgItemMessageA(page, IDC_URL_EDIT, EM_LIMITTEXT, kUrlChars, 0);
    SetDlgItemTextA(page, IDC_URL_EDIT, kUrlStart);
    wizard->ipp->chunked = 0;
    InitLanguage(wizard->ipp);
    ShowWindow(GetDlgItem(page, IDC_TEST_ICON), SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_TEXT_CONNECT), SW_HIDE);
}

} // namespace

INT_PTR IppProxyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        InitProxyPage(page, wizard);
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == IDC_BTN_NO || LOWORD(wParam) == IDC_BTN_PROXY)) {
            wizard->ipp->useProxy = ButtonChecked(page, IDC_BTN_PROXY);
            EnableProxyFields(page, wizard->ipp->useProxy);
        }
        return FALSE;
    case PAGE_FOCUS:
        SetFocus(GetDlgItem(page, wizard->ipp->useProxy ? IDC_BTN_PROXY : IDC_BTN_NO));
        return TRUE;
    case PAGE_NEXT:
        NextFromProxy(page, wizard);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_IPP_PROXY, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR IppUrlPageProc(HWND page, UINT message, WPARAM wParam, LPARAM, WizardState* wizard)
{
    switch (message) {
    case WM_INITDIALOG:
        InitUrlPage(page, wizard);
        return FALSE;
    case WM_TIMER:
        if (wParam == kPollTimer && wizard->testThread)
            PollTest(page, wizard);
        else if (wParam == kAnimationTimer)
            NextAnimationFrame(page);
        return TRUE;
    case PAGE_FOCUS:
        FocusWizardField(page, IDC_URL_EDIT);
        return TRUE;
    case PAGE_NEXT:
        NextFromUrl(page, wizard);
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_IPP_URL, WizardRouteOf(wizard));
        return TRUE;
    case PAGE_CANCEL:
        KillTimer(page, kPollTimer);
        KillTimer(page, kAnimationTimer);
        StopWizardConnectionTest(wizard);
        SendMessageA(wizard->frame, PAGE_CANCEL, 0, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR IppSummaryPageProc(HWND page, UINT message, WPARAM, LPARAM, WizardState* wizard)
{
    switch (message) {
    case PAGE_SHOW:
        SetDlgItemTextA(page, IDC_SUMMARY_URL, wizard->ipp->url);
        SetDlgItemTextA(page, IDC_SUMMARY_IPP_PORT, wizard->portName);
        return TRUE;
    case PAGE_NEXT:
        if (RegisterNewPort(&wizard->ipp->header, wizard->portName, WIZARD_IPP)) {
            wizard->pageIndex = kWizardFinished;
        } else {
            WizardMessage(page, "IDS_ADD_PORT_ERROR", ArgNone());
            wizard->pageIndex = kWizardFailed;
        }
        return TRUE;
    case PAGE_BACK:
        wizard->pageIndex = WizardBackPage(WIZARD_PAGE_IPP_SUMMARY, WizardRouteOf(wizard));
        return TRUE;
    default:
        return FALSE;
    }
}
