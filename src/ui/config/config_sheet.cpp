// The tabbed frame of the configuration sheets. It shows one page at a time,
// lets the page in front check and collect its fields before another tab,
// OK or Apply takes over, and saves the working copy through the sheet's
// save function. A failed save is told to the user and leaves Apply enabled,
// so that it never looks like a saved sheet.
#include "ui/config/config_sheet.h"

#include <commctrl.h>

#include "monitor/dialog_box.h"
#include "monitor/error_dialogs.h"
#include "monitor/port_admin.h"
#include "sheets_ids.h"
#include "text/catalogue.h"
#include "ui/config/sheet_rules.h"
#include "ui/page_common.h"

// The frame's layout, the same for every sheet: the tab control above OK,
// Cancel and Apply.
const DialogDescriptor kSheetFrameTable[] = {
    {0, nullptr, nullptr, 0, 0, 363, 352},
    {IDOK, "BUTTON", "IDOK", 74, 293, 88, 21},
    {IDCANCEL, "BUTTON", "IDCANCEL", 168, 293, 88, 21},
    {IDC_SHEET_APPLY, "BUTTON", "IDAPPLY", 263, 293, 88, 21},
    {IDC_SHEET_TAB, "TAB", nullptr, 7, 6, 343, 281},
};
const int kSheetFrameTableCount = sizeof kSheetFrameTable / sizeof kSheetFrameTable[0];

namespace {

const DWORD kCataloguePathSize = MAX_PATH + 32;
// Title: catalogue caption (at most 511 characters), " - ", a port name (a
// key name of at most 255 characters).
const size_t kTitleSize = 1024;
const int kTabLabelSize = 512;
// Posted to the frame after a refused tab change: some tab controls (Wine's,
// when the change comes from the keyboard) select the new tab even so.
const UINT kRestoreTab = WM_APP + 1;
// Told when the port key could not be written.
const char kSaveFailedKey[] = "IDS_CONF_SAVE_ERROR";

ConfigSheet* SheetOfFrame(HWND frame)
{
    return reinterpret_cast<ConfigSheet*>(GetWindowLongPtrA(frame, DWLP_USER));
}

// "<catalogue caption> - <port name>"; the template's caption stands in for
// a catalogue without one.
void SetSheetTitle(HWND frame, const char* portName)
{
    char caption[kCatalogueTextMax + 1] = "";
    CatalogueText(DIALOG_CATALOGUE, "TITLE", "CONFIG", ArgNone(), caption, sizeof caption);
    if (!caption[0])
        GetWindowTextA(frame, caption, sizeof caption);
    char title[kTitleSize];
    FormatSheetTitle(caption, portName, title, sizeof title);
    SetWindowTextA(frame, title);
}

// The tab of page `index`: its catalogue label, else the page's own.
void AddTab(HWND tab, int index, HWND page, const char* key)
{
    char label[kTabLabelSize] = "";
    if (key)
        CatalogueText(DIALOG_CATALOGUE, "TAB", key, ArgNone(), label, sizeof label);
    if (!label[0])
        GetDlgItemTextA(page, IDC_SHEET_PAGE_LABEL, label, sizeof label);
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = label;
    SendMessageA(tab, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// Creates and fills every page (Apply stays as it is meanwhile) and gives
// each its tab; false when a page could not be created.
bool CreatePages(ConfigSheet* sheet)
{
    const SheetDefinition* definition = sheet->definition;
    HWND tab = GetDlgItem(sheet->frame, IDC_SHEET_TAB);
    bool created = definition->pageCount > 0 && definition->pageCount <= kMaxSheetPages;
    sheet->filling = true;
    for (int i = 0; created && i < definition->pageCount; ++i) {
        const SheetPageDefinition& page = definition->pages[i];
        sheet->pages[i] = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(page.templateId), sheet->frame,
                                             page.proc, reinterpret_cast<LPARAM>(sheet));
        created = sheet->pages[i] != nullptr;
        if (created) {
            SetWindowPos(sheet->pages[i], HWND_TOP, definition->pageOrigin.x, definition->pageOrigin.y, 0, 0,
                         SWP_NOSIZE | SWP_NOACTIVATE);
            AddTab(tab, i, sheet->pages[i], page.tabKey);
        }
    }
    sheet->filling = false;
    return created;
}

// Brings page `index` forward: PAGE_SHOW, the others hidden and disabled,
// the page enabled and shown, then PAGE_FOCUS.
void ShowPage(ConfigSheet* sheet, int index)
{
    HWND page = sheet->pages[index];
    SendMessageA(page, PAGE_SHOW, 0, 0);
    for (int i = 0; i < sheet->definition->pageCount; ++i) {
        if (i != index) {
            EnableWindow(sheet->pages[i], FALSE);
            ShowWindow(sheet->pages[i], SW_HIDE);
        }
    }
    EnableWindow(page, TRUE);
    ShowWindow(page, SW_SHOW);
    sheet->current = index;
    SendMessageA(page, PAGE_FOCUS, 0, 0);
}

bool ValidateCurrentPage(const ConfigSheet* sheet)
{
    return SendMessageA(sheet->pages[sheet->current], PAGE_VALIDATE, 0, 0) == 1;
}

// The page in front checks and collects its fields, then the working copy
// is saved. False when the page refused (it told the user) or the save
// failed: the user is told and Apply stays enabled.
bool ApplySheet(ConfigSheet* sheet)
{
    if (!ValidateCurrentPage(sheet))
        return false;
    if (sheet->definition->save(sheet))
        return true;
    EnableWindow(GetDlgItem(sheet->frame, IDC_SHEET_APPLY), TRUE);
    SheetMessage(sheet->frame, kSaveFailedKey);
    return false;
}

void OnApply(ConfigSheet* sheet)
{
    HWND apply = GetDlgItem(sheet->frame, IDC_SHEET_APPLY);
    // A click may reach a disabled button (a posted BM_CLICK does).
    if (!IsWindowEnabled(apply) || !ApplySheet(sheet))
        return;
    HWND ok = GetDlgItem(sheet->frame, IDOK);
    SendMessageA(sheet->frame, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
    EnableWindow(apply, FALSE);
    SendMessageA(apply, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageA(sheet->frame, DM_SETDEFID, IDOK, 0);
}

BOOL OnFrameInit(HWND frame, ConfigSheet* sheet)
{
    const SheetDefinition* definition = sheet->definition;
    SetWindowLongPtrA(frame, DWLP_USER, reinterpret_cast<LONG_PTR>(sheet));
    sheet->frame = frame;
    SetForegroundWindow(frame);
    SetSheetTitle(frame, sheet->port->name);
    char path[kCataloguePathSize];
    sheet->font = CatalogueFont(frame, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    LocaliseDialog(frame, sheet->font, definition->frameTable, definition->frameTableCount, LOCALISE_SIZE_ONLY);
    EnableWindow(GetDlgItem(frame, IDC_SHEET_APPLY), FALSE);
    if (!CreatePages(sheet))
        return FALSE;
    SendMessageA(GetDlgItem(frame, IDC_SHEET_TAB), TCM_SETCURSEL, 0, 0);
    ShowPage(sheet, 0);
    return TRUE;
}

// Tab changes: the page being left must accept its fields first.
INT_PTR OnNotify(ConfigSheet* sheet, const NMHDR* header)
{
    if (header->idFrom != IDC_SHEET_TAB)
        return FALSE;
    if (header->code == TCN_SELCHANGING) {
        bool accepted = ValidateCurrentPage(sheet);
        if (!accepted)
            PostMessageA(sheet->frame, kRestoreTab, 0, 0);
        SetWindowLongPtrA(sheet->frame, DWLP_MSGRESULT, accepted ? FALSE : TRUE);
        return TRUE;
    }
    if (header->code == TCN_SELCHANGE) {
        LRESULT index = SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0);
        if (index >= 0 && index < sheet->definition->pageCount)
            ShowPage(sheet, static_cast<int>(index));
        return TRUE;
    }
    return FALSE;
}

INT_PTR OnFrameCommand(ConfigSheet* sheet, int id)
{
    switch (id) {
    case IDOK:
        if (ApplySheet(sheet))
            EndDialog(sheet->frame, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(sheet->frame, 0);
        return TRUE;
    case IDC_SHEET_APPLY:
        OnApply(sheet);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK SheetFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ConfigSheet* sheet = reinterpret_cast<ConfigSheet*>(lParam);
        if (!sheet || !OnFrameInit(frame, sheet))
            EndDialog(frame, -1);
        return FALSE; // the page in front has set the focus
    }
    ConfigSheet* sheet = SheetOfFrame(frame);
    if (!sheet)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        return OnFrameCommand(sheet, LOWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(sheet, reinterpret_cast<const NMHDR*>(lParam));
    case kRestoreTab:
        SendDlgItemMessageA(frame, IDC_SHEET_TAB, TCM_SETCURSEL, static_cast<WPARAM>(sheet->current), 0);
        return TRUE;
    case WM_DESTROY:
        if (sheet->font) {
            DeleteObject(sheet->font);
            sheet->font = nullptr;
        }
        sheet->frame = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR ShowConfigSheet(HWND owner, ConfigSheet* sheet)
{
    if (!sheet || !sheet->port || !sheet->definition || !sheet->definition->save)
        return -1;
    return ShowModalDialog(sheet->definition->frameTemplate, owner, SheetFrameProc, reinterpret_cast<LPARAM>(sheet));
}

INT_PTR RunConfigSheet(HWND owner, const SheetDefinition* definition, const char* name, void* context)
{
    if (!definition || !definition->load || !name)
        return -1;
    ConfigSheet sheet = {};
    sheet.definition = definition;
    sheet.context = context;
    sheet.port = NewDetachedPort(name, definition->protocol);
    INT_PTR result = -1;
    if (sheet.port && definition->load(&sheet))
        result = ShowConfigSheet(owner, &sheet);
    FreeDetachedPort(sheet.port);
    return result;
}

ConfigSheet* SheetOfPage(HWND page)
{
    return reinterpret_cast<ConfigSheet*>(GetWindowLongPtrA(page, DWLP_USER));
}

ConfigSheet* AttachPage(HWND page, LPARAM parameter)
{
    ConfigSheet* sheet = reinterpret_cast<ConfigSheet*>(parameter);
    SetWindowLongPtrA(page, DWLP_USER, parameter);
    return sheet;
}

void SheetChanged(ConfigSheet* sheet)
{
    if (!sheet || sheet->filling || !sheet->frame)
        return;
    EnableWindow(GetDlgItem(sheet->frame, IDC_SHEET_APPLY), TRUE);
}

bool SheetTabHasFocus(const ConfigSheet* sheet)
{
    return sheet && sheet->frame && GetFocus() == GetDlgItem(sheet->frame, IDC_SHEET_TAB);
}

void SheetMessage(HWND owner, const char* key)
{
    CatalogueMessageBox(owner, MESSAGE_CATALOGUE, MESSAGE_SECTION, key, "TITLE", MB_ICONEXCLAMATION | MB_OK, ArgNone());
}
