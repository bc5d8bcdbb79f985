// The add-port wizard's frame (template 200): the banner at the left, one
// visible page at a time, Back, Next (Finish on a summary page) and Cancel.
// The frame creates the 15 pages once, moves between them as their answers
// to its requests say, and ends with 1 when a summary page registered the
// port, 0 otherwise.
#include <cstring>

#include "ipp/connection_probe.h"
#include "monitor/config_store.h"
#include "monitor/dialog_box.h"
#include "monitor/error_dialogs.h"
#include "monitor/monitor.h"
#include "monitor/port_admin.h"
#include "monitor/timing.h"
#include "text/catalogue.h"
#include "ui/page_common.h"
#include "ui/wizard/wizard_pages.h"
#include "wizard_ids.h"

static_assert(DWORD{WIZARD_LPR} == DWORD{PROTOCOL_LPR} && DWORD{WIZARD_IPP} == DWORD{PROTOCOL_IPP} &&
                  DWORD{WIZARD_EMAIL} == DWORD{PROTOCOL_EMAIL} && DWORD{WIZARD_RAW} == DWORD{PROTOCOL_RAW},
              "the wizard's protocol numbers are the port record's");

namespace {

const DialogDescriptor kFrameTable[] = {
    {0, "TITLE", "ADDPORT", 0, 0, 512, 309},
    {IDC_WIZ_NEXT, "BUTTON", "IDC_NEXT", 306, 255, 88, 23},
    {IDCANCEL, "BUTTON", "IDCANCEL", 403, 255, 88, 23},
    {IDC_WIZ_BACK, "BUTTON", "IDC_BACK", 219, 255, 88, 23},
    {IDC_WIZ_BANNER, nullptr, nullptr, 12, 12, 140, 219},
    {IDC_WIZ_LINE, nullptr, nullptr, 12, 242, 479, 2},
};
const int kFrameTableCount = sizeof kFrameTable / sizeof kFrameTable[0];

const char kProxyEnableValue[] = "ProxyEnable";
const DWORD kCataloguePathSize = MAX_PATH + 32;
const WORD kPaletteVersion = 0x300;

// The user's ProxyEnable (4 bytes); 0 when absent.
DWORD ReadSystemProxySwitch()
{
    DWORD value = 0, size = sizeof value, type = REG_NONE;
    if (!QueryRegValue(HKEY_CURRENT_USER, kInternetSettingsKey, kProxyEnableValue, &value, &size, &type) ||
        size != sizeof value)
        return 0;
    return value;
}

// Colours of a DIB's colour table: the colours-used count, else by depth.
DWORD ColourCount(const BITMAPINFOHEADER& header)
{
    if (header.biClrUsed)
        return header.biClrUsed;
    switch (header.biBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

// The logical palette of a DIB's colour table; NULL without one.
HPALETTE MakePalette(const BITMAPINFO* info)
{
    DWORD colours = ColourCount(info->bmiHeader);
    if (colours == 0 || colours > 256)
        return nullptr;
    size_t size = sizeof(LOGPALETTE) + colours * sizeof(PALETTEENTRY);
    LOGPALETTE* logical = static_cast<LOGPALETTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (!logical)
        return nullptr;
    logical->palVersion = kPaletteVersion;
    logical->palNumEntries = static_cast<WORD>(colours);
    for (DWORD i = 0; i < colours; ++i) {
        logical->palPalEntry[i].peRed = info->bmiColors[i].rgbRed;
        logical->palPalEntry[i].peGreen = info->bmiColors[i].rgbGreen;
        logical->palPalEntry[i].peBlue = info->bmiColors[i].rgbBlue;
    }
    HPALETTE palette = CreatePalette(logical);
    HeapFree(GetProcessHeap(), 0, logical);
    return palette;
}

// Makes bitmap resource `number` the banner, with its palette.
void LoadBanner(WizardState* wizard, int number)
{
    HINSTANCE module = ResourceInstance();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(number), MAKEINTRESOURCEA(2)); // RT_BITMAP
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const BITMAPINFO* info = loaded ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
    if (wizard->palette)
        DeleteObject(wizard->palette);
    wizard->palette = info ? MakePalette(info) : nullptr;
    wizard->bannerBits = info;
    wizard->banner = number;
}

// The banner area's rectangle in the frame's client coordinates.
RECT BannerRect(const WizardState* wizard)
{
    RECT area = {0, 0, 0, 0};
    HWND control = GetDlgItem(wizard->frame, IDC_WIZ_BANNER);
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, wizard->frame, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

// Selects and realises the palette; true when colours changed.
bool RealiseBannerPalette(const WizardState* wizard, HDC dc)
{
    if (!wizard->palette)
        return false;
    SelectPalette(dc, wizard->palette, FALSE);
    UINT changed = RealizePalette(dc);
    return changed != 0 && changed != GDI_ERROR;
}

void PaintBanner(const WizardState* wizard)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(wizard->frame, &paint);
    const BITMAPINFO* info = wizard->bannerBits;
    if (dc && info) {
        RealiseBannerPalette(wizard, dc);
        const BITMAPINFOHEADER& header = info->bmiHeader;
        const BYTE* bits = reinterpret_cast<const BYTE*>(info) + header.biSize + ColourCount(header) * sizeof(RGBQUAD);
        int width = header.biWidth;
        int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
        RECT area = BannerRect(wizard);
        StretchDIBits(dc, area.left, area.top, width, height, 0, 0, width, height, bits, info, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(wizard->frame, &paint);
}

void OnPaletteMessage(const WizardState* wizard, UINT message, WPARAM wParam)
{
    if (message == WM_PALETTECHANGED && reinterpret_cast<HWND>(wParam) == wizard->frame)
        return;
    HDC dc = GetDC(wizard->frame);
    if (!dc)
        return;
    bool changed = RealiseBannerPalette(wizard, dc);
    if (changed && message == WM_QUERYNEWPALETTE)
        InvalidateRect(wizard->frame, nullptr, TRUE);
    else if (changed)
        UpdateColors(dc);
    ReleaseDC(wizard->frame, dc);
}

HWND FrameButton(const WizardState* wizard, int id)
{
    return GetDlgItem(wizard->frame, id);
}

// Next is the default push button, Back an ordinary one.
void MakeNextDefault(const WizardState* wizard)
{
    SendMessageA(wizard->frame, DM_SETDEFID, IDC_WIZ_NEXT, 0);
    SendMessageA(FrameButton(wizard, IDC_WIZ_BACK), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageA(FrameButton(wizard, IDC_WIZ_NEXT), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// Next's caption: the catalogue's Finish on a summary page, its Next on the
// others (the caption the frame opened with where the catalogue has none).
void SetNextCaption(const WizardState* wizard, bool finish)
{
    char caption[kCatalogueTextMax + 1] = "";
    CatalogueText(DIALOG_CATALOGUE, "BUTTON", finish ? "FINISH" : "IDC_NEXT", ArgNone(), caption, sizeof caption);
    if (!caption[0] && !finish)
        lstrcpynA(caption, wizard->nextCaption, sizeof caption);
    if (caption[0])
        SetWindowTextA(FrameButton(wizard, IDC_WIZ_NEXT), caption);
}

// The banner, Back, Next's caption and the focus of page `index`.
void ApplyPageFrame(WizardState* wizard, int index)
{
    int banner = WizardBanner(index, wizard->banner);
    if (banner != wizard->banner) {
        LoadBanner(wizard, banner);
        RECT area = BannerRect(wizard);
        InvalidateRect(wizard->frame, &area, FALSE);
    }
    HWND next = FrameButton(wizard, IDC_WIZ_NEXT);
    HWND back = FrameButton(wizard, IDC_WIZ_BACK);
    if (index == WIZARD_PAGE_PROTOCOL) {
        // The focus leaves Back before Back is disabled.
        SetFocus(next);
        EnableWindow(back, FALSE);
    } else {
        EnableWindow(back, TRUE);
    }
    bool summary = WizardIsSummaryPage(index);
    SetNextCaption(wizard, summary);
    if (summary)
        SetFocus(next);
}

void EndWizard(WizardState* wizard, INT_PTR result)
{
    StopWizardConnectionTest(wizard);
    EndDialog(wizard->frame, result);
}

// After a request: end on 254 or 255, move when the page index changed.
void FollowPageIndex(WizardState* wizard)
{
    int index = wizard->pageIndex;
    if (index == kWizardFinished)
        EndWizard(wizard, 1);
    else if (index == kWizardFailed)
        EndWizard(wizard, 0);
    else if (index >= 0 && index < kWizardPageCount && index != wizard->currentPage)
        ShowWizardPage(wizard, index);
    else
        wizard->pageIndex = wizard->currentPage;
}

// Next and Back: a disabled button's click (Wine still delivers one) does nothing.
void OnMoveButton(WizardState* wizard, int id)
{
    if (!IsWindowEnabled(FrameButton(wizard, id)))
        return;
    wizard->pageIndex = wizard->currentPage;
    SendMessageA(wizard->pages[wizard->currentPage], id == IDC_WIZ_NEXT ? PAGE_NEXT : PAGE_BACK, 0, 0);
    if (id == IDC_WIZ_BACK)
        MakeNextDefault(wizard);
    FollowPageIndex(wizard);
}

void OnCancel(WizardState* wizard)
{
    // The URL page stops its connection test first.
    if (wizard->currentPage == WIZARD_PAGE_IPP_URL)
        SendMessageA(wizard->pages[WIZARD_PAGE_IPP_URL], PAGE_CANCEL, 0, 0);
    EndWizard(wizard, 0);
}

// Opening: font and frame localisation, the proxy switch, the first banner,
// the 15 pages, then page 0. FALSE when a page could not be made.
BOOL OnOpen(HWND frame, WizardState* wizard)
{
    wizard->frame = frame;
    SetWindowLongPtrA(frame, DWLP_USER, reinterpret_cast<LONG_PTR>(wizard));
    char path[kCataloguePathSize];
    wizard->font = CatalogueFont(frame, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    LocaliseDialog(frame, wizard->font, kFrameTable, kFrameTableCount, LOCALISE_SIZE_ONLY);
    GetWindowTextA(FrameButton(wizard, IDC_WIZ_NEXT), wizard->nextCaption, sizeof wizard->nextCaption);
    wizard->portName[0] = '\0';
    // Read before the pages are made: the proxy page copies it at its creation.
    wizard->systemProxy = ReadSystemProxySwitch();
    wizard->dialUp = kWizardDialUpModem;
    LoadBanner(wizard, kBannerProtocol);
    for (int i = 0; i < kWizardPageCount; ++i) {
        wizard->pages[i] = CreateWizardPage(wizard, i);
        if (!wizard->pages[i])
            return FALSE;
    }
    wizard->currentPage = -1;
    ShowWizardPage(wizard, WIZARD_PAGE_PROTOCOL);
    SetForegroundWindow(frame);
    return TRUE;
}

void OnDestroy(WizardState* wizard)
{
    // Before anything the test uses goes.
    StopWizardConnectionTest(wizard);
    if (wizard->palette)
        DeleteObject(wizard->palette);
    wizard->palette = nullptr;
}

INT_PTR OnFrameCommand(WizardState* wizard, int id)
{
    switch (id) {
    case IDC_WIZ_NEXT:
    case IDC_WIZ_BACK:
        OnMoveButton(wizard, id);
        return TRUE;
    case IDCANCEL:
        OnCancel(wizard);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK WizardFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        if (!OnOpen(frame, reinterpret_cast<WizardState*>(lParam)))
            EndDialog(frame, 0);
        return FALSE; // the focus is set
    }
    WizardState* wizard = WizardOf(frame);
    if (!wizard)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        return OnFrameCommand(wizard, LOWORD(wParam));
    case PAGE_CANCEL:
        EndWizard(wizard, 0);
        return TRUE;
    case WM_PAINT:
        PaintBanner(wizard);
        return TRUE;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
        OnPaletteMessage(wizard, message, wParam);
        return TRUE;
    case WM_DESTROY:
        OnDestroy(wizard);
        return FALSE;
    default:
        return FALSE;
    }
}

// The zero-filled records of one wizard; false when one could not be made.
bool AllocateRecords(WizardState* wizard)
{
    wizard->lpr = reinterpret_cast<LprSettings*>(NewSettingsRecord(PROTOCOL_LPR));
    wizard->ipp = reinterpret_cast<IppSettings*>(NewSettingsRecord(PROTOCOL_IPP));
    wizard->raw = reinterpret_cast<RawSettings*>(NewSettingsRecord(PROTOCOL_RAW));
    wizard->email = reinterpret_cast<EmailSettings*>(NewSettingsRecord(PROTOCOL_EMAIL));
    wizard->testPort = NewDetachedPort("", PROTOCOL_IPP);
    return wizard->lpr && wizard->ipp && wizard->raw && wizard->email && wizard->testPort;
}

// Frees what the wizard made, once its windows are gone. A scratch record
// left to a test thread that did not stop stays allocated.
void FreeRecords(WizardState* wizard)
{
    // Wiped first: the IPP and e-mail records may hold passwords.
    FreeSettingsRecord(reinterpret_cast<SettingsHeader*>(wizard->lpr));
    FreeSettingsRecord(reinterpret_cast<SettingsHeader*>(wizard->ipp));
    FreeSettingsRecord(reinterpret_cast<SettingsHeader*>(wizard->raw));
    FreeSettingsRecord(reinterpret_cast<SettingsHeader*>(wizard->email));
    IppSettings* scratch = wizard->testPort ? IppOf(wizard->testPort) : nullptr;
    if (!wizard->testAbandoned) {
        if (scratch && scratch->modelTextDestination)
            HeapFree(GetProcessHeap(), 0, scratch->modelTextDestination);
        FreeDetachedPort(wizard->testPort);
    }
    if (wizard->font)
        DeleteObject(wizard->font);
}

// The focus leaves a page that is about to be hidden and disabled (for the
// Next button; the page shown next may take it from there).
void MoveFocusOutOfPages(const WizardState* wizard, HWND shown)
{
    HWND focus = GetFocus();
    for (int i = 0; focus && i < kWizardPageCount; ++i) {
        HWND page = wizard->pages[i];
        if (page != shown && (focus == page || IsChild(page, focus))) {
            SetFocus(FrameButton(wizard, IDC_WIZ_NEXT));
            return;
        }
    }
}

} // namespace

void ShowWizardPage(WizardState* wizard, int index)
{
    if (index < 0 || index >= kWizardPageCount)
        return;
    HWND page = wizard->pages[index];
    SendMessageA(page, PAGE_SHOW, 0, 0);
    MoveFocusOutOfPages(wizard, page);
    for (int i = 0; i < kWizardPageCount; ++i) {
        if (i == index)
            continue;
        EnableWindow(wizard->pages[i], FALSE);
        ShowWindow(wizard->pages[i], SW_HIDE);
    }
    EnableWindow(page, TRUE);
    ShowWindow(page, SW_SHOW);
    SendMessageA(page, PAGE_FOCUS, 0, 0);
    ApplyPageFrame(wizard, index);
    wizard->currentPage = wizard->pageIndex = index;
}

bool StopWizardConnectionTest(WizardState* wizard)
{
    if (!wizard->testThread)
        return !wizard->testAbandoned;
    if (!CancelConnectionTest(wizard->frame, wizard->testPort, &wizard->testThread, g_timing.connectionTestStopLimit))
        wizard->testAbandoned = true;
    return !wizard->testAbandoned;
}

void WizardMessage(HWND owner, const char* key, CatalogueArg arg)
{
    CatalogueMessageBox(owner, MESSAGE_CATALOGUE, MESSAGE_SECTION, key, "TITLE", MB_ICONEXCLAMATION | MB_OK, arg);
}

const char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

WizardRoute WizardRouteOf(const WizardState* wizard)
{
    return WizardRoute{wizard->protocol, wizard->systemProxy, wizard->dialUp};
}

void FocusWizardField(HWND page, int id)
{
    HWND control = GetDlgItem(page, id);
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

bool WizardLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

INT_PTR RunAddPortWizard(HWND owner)
{
    WizardState wizard = {};
    INT_PTR result = -1;
    if (AllocateRecords(&wizard))
        result = ShowModalDialog(IDD_WIZARD, owner, WizardFrameProc, reinterpret_cast<LPARAM>(&wizard));
    FreeRecords(&wizard);
    return result;
}
