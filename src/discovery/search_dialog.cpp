// The print-server search dialog (template 257): runs the search of Part
// 6.1 while it is open, lists each answering server once (by MAC address)
// in an owner-drawn report list, sorts it by column, and returns the chosen
// server's result entry.
#include "discovery/search_dialog.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "discovery/search_codec.h"
#include "discovery/search_socket.h"
#include "discovery_resource.h"
#include "monitor/config_store.h"
#include "monitor/dialog_box.h"
#include "monitor/monitor.h"
#include "text/catalogue.h"

const DialogDescriptor kSearchDialogTable[] = {
    {0, "TITLE", "SEARCH", 0, 0, 410, 280},
    {IDC_SEARCH_TEXT, "LABEL", "IDC_SETUMEI07", 14, 11, 364, 74},
    {IDC_SEARCH_LIST, "LIST", nullptr, 14, 85, 378, 124},
    {IDC_SEARCH_SETTINGS, "BUTTON", "IDC_BTN_CON", 14, 222, 88, 23},
    {IDC_SEARCH_AGAIN, "BUTTON", "IDC_BTN_BROAD", 110, 222, 88, 23},
    {IDOK, "BUTTON", "IDOK", 207, 222, 88, 23},
    {IDCANCEL, "BUTTON", "IDCANCEL", 303, 222, 88, 23},
};
const int kSearchDialogTableCount = sizeof kSearchDialogTable / sizeof kSearchDialogTable[0];
static_assert(kSearchListControlId == IDC_SEARCH_LIST, "the list's ID as hosts know it");

namespace {

const int kColumns = 3;
const int kSortAscending = 1;
const int kSortDescending = 2;
const DWORD kCataloguePathSize = MAX_PATH + 32;
const size_t kValueNameSize = 32;
const size_t kCellTextSize = 64; // a column text (at most 17 bytes), "...", every "&" doubled
const int kLeftMargin = 3;
const int kRightMarginFirst = 4;
const int kRightMargin = 3;
const char kEllipsis[] = "...";

// One open search dialog; everything it uses is its own.
struct SearchDialogRun {
    SearchResult* chosenOut; // the caller's entry
    SearchTable* table;
    ModelFilter* filter;
    int chosen; // index into the table; -1: none
    int direction[kColumns];
    int lastSorted;
    SearchSession session;
    HFONT font;
};

SearchDialogRun* RunOf(HWND dialog)
{
    return reinterpret_cast<SearchDialogRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

HWND ListOf(HWND dialog)
{
    return GetDlgItem(dialog, IDC_SEARCH_LIST);
}

// Column00 to Column02 of the monitor key; the default without a 4-byte REG_DWORD.
int StoredColumnWidth(int column)
{
    char name[kValueNameSize];
    snprintf(name, sizeof name, "Column%02d", column);
    DWORD width = 0, size = sizeof width, type = 0;
    if (QueryRegValue(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, name, &width, &size, &type) && type == REG_DWORD &&
        size == sizeof width)
        return static_cast<int>(width);
    return kSearchColumnDefaultWidths[column];
}

void SaveColumnWidths(HWND list)
{
    for (int column = 0; column < kColumns; ++column) {
        char name[kValueNameSize];
        snprintf(name, sizeof name, "Column%02d", column);
        DWORD width = static_cast<DWORD>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
        const DWORD size = sizeof width, type = REG_DWORD;
        SetRegValue(g_monitor.monitorKey, name, &width, &size, &type);
    }
}

void InsertColumns(HWND list)
{
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int column = 0; column < kColumns; ++column) {
        char key[8];
        snprintf(key, sizeof key, "ITEM%d", column);
        char header[kCatalogueTextMax + 1] = "";
        CatalogueText(DIALOG_CATALOGUE, "LIST", key, ArgNone(), header, sizeof header);
        LVCOLUMNA entry;
        memset(&entry, 0, sizeof entry);
        entry.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        entry.fmt = LVCFMT_LEFT;
        entry.cx = StoredColumnWidth(column);
        entry.pszText = header;
        entry.iSubItem = column;
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&entry));
    }
}

// SearchModel_1, SearchModel_2, ... of the monitor key, up to the first
// missing number (128 at most). A text is read whole, however long, and
// cut to 47 bytes on a character boundary; empty texts and values that are
// no text are skipped.
void LoadModelFilter(ModelFilter* filter)
{
    ClearModelFilter(filter);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (size_t number = 1; number <= kModelFilterMax; ++number) {
        char name[kValueNameSize];
        snprintf(name, sizeof name, "SearchModel_%u", static_cast<unsigned>(number));
        char text[kModelFilterTextMax + 1];
        DWORD type = 0, size = sizeof text;
        LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
        char* whole = nullptr;
        if (status == ERROR_MORE_DATA) {
            whole = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
            status = whole ? RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(whole), &size)
                           : ERROR_OUTOFMEMORY;
        }
        if (status == ERROR_FILE_NOT_FOUND) {
            if (whole)
                HeapFree(GetProcessHeap(), 0, whole);
            break;
        }
        if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ))
            AddModelFilterText(filter, whole ? whole : text, size, SystemLeadByte);
        if (whole)
            HeapFree(GetProcessHeap(), 0, whole);
    }
    RegCloseKey(key);
}

// The table index an item carries, or -1.
int ItemEntry(HWND list, int item, const SearchTable* table)
{
    LVITEMA entry;
    memset(&entry, 0, sizeof entry);
    entry.mask = LVIF_PARAM;
    entry.iItem = item;
    if (item < 0 || !SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry)))
        return -1;
    return entry.lParam >= 0 && static_cast<size_t>(entry.lParam) < table->count ? static_cast<int>(entry.lParam) : -1;
}

struct SortContext {
    const SearchTable* table;
    int column;
    int direction;
};

int CALLBACK CompareEntries(LPARAM first, LPARAM second, LPARAM parameter)
{
    const SortContext* sort = reinterpret_cast<const SortContext*>(parameter);
    char a[kMacTextSize], b[kMacTextSize];
    SearchColumnText(sort->table->entries[first], sort->column, a, sizeof a);
    SearchColumnText(sort->table->entries[second], sort->column, b, sizeof b);
    int order = lstrcmpA(a, b);
    return sort->direction == kSortAscending ? order : -order;
}

void SortList(HWND list, const SearchDialogRun* run, int column)
{
    SortContext sort = {run->table, column, run->direction[column]};
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&sort), reinterpret_cast<LPARAM>(CompareEntries));
}

void SetItemState(HWND list, int item, UINT state, UINT mask)
{
    LVITEMA entry;
    memset(&entry, 0, sizeof entry);
    entry.stateMask = mask;
    entry.state = state;
    SendMessageA(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&entry));
}

void InsertRow(HWND list, const SearchResult& entry, size_t index)
{
    LVITEMA item;
    memset(&item, 0, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    char text[kMacTextSize];
    SearchColumnText(entry, 0, text, sizeof text);
    item.pszText = text;
    item.lParam = static_cast<LPARAM>(index);
    const int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return;
    for (int column = 1; column < kColumns; ++column) {
        LVITEMA sub;
        memset(&sub, 0, sizeof sub);
        SearchColumnText(entry, column, text, sizeof text);
        sub.iSubItem = column;
        sub.pszText = text;
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
    }
}

void OnReply(HWND dialog, SearchDialogRun* run, WPARAM socket, LPARAM event)
{
    SearchReply reply;
    if (!SearchReceive(&run->session, socket, event, &reply))
        return;
    size_t index = 0;
    if (OfferSearchReply(run->table, run->filter, reply, &index) != SEARCH_ADDED)
        return;
    HWND list = ListOf(dialog);
    InsertRow(list, run->table->entries[index], index);
    SortList(list, run, 0);
    SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// The chosen index follows the selection: an item that becomes selected is
// chosen; one that loses the selection leaves nothing chosen.
void OnItemChanged(HWND dialog, SearchDialogRun* run, const NMLISTVIEW* change)
{
    if (!(change->uChanged & LVIF_STATE))
        return;
    const bool was = (change->uOldState & LVIS_SELECTED) != 0;
    const bool is = (change->uNewState & LVIS_SELECTED) != 0;
    if (is && !was)
        run->chosen = ItemEntry(ListOf(dialog), change->iItem, run->table);
    else if (was && !is)
        run->chosen = -1;
}

void OnColumnClick(HWND dialog, SearchDialogRun* run, int column)
{
    if (column < 0 || column >= kColumns)
        return;
    if (column != run->lastSorted)
        for (int& direction : run->direction)
            direction = kSortDescending;
    run->direction[column] = run->direction[column] != kSortAscending ? kSortAscending : kSortDescending;
    SortList(ListOf(dialog), run, column);
    run->lastSorted = column;
}

// The longest prefix of `text` (at least one character) that fits in `room`
// pixels together with "...", and the "..."; the text itself when it fits.
void FitText(HDC dc, const char* text, int room, char* out, size_t outSize)
{
    SIZE size;
    const int length = lstrlenA(text);
    GetTextExtentPoint32A(dc, text, length, &size);
    if (size.cx <= room || length == 0) {
        lstrcpynA(out, text, static_cast<int>(outSize));
        return;
    }
    const int ellipsis = sizeof kEllipsis - 1;
    char candidate[kCellTextSize];
    int best = static_cast<int>(CharNextA(text) - text);
    for (const char* end = CharNextA(CharNextA(text)); end - text < length; end = CharNextA(end)) {
        const int prefix = static_cast<int>(end - text);
        if (prefix + ellipsis >= static_cast<int>(sizeof candidate))
            break;
        memcpy(candidate, text, prefix);
        memcpy(candidate + prefix, kEllipsis, ellipsis);
        GetTextExtentPoint32A(dc, candidate, prefix + ellipsis, &size);
        if (size.cx > room)
            break;
        best = prefix;
    }
    snprintf(out, outSize, "%.*s%s", best, text, kEllipsis);
}

// Every "&" doubled, so that the drawn text shows it as itself.
void DoubleAmpersands(const char* text, char* out, size_t outSize)
{
    size_t at = 0;
    for (; *text && at + 2 < outSize; ++text) {
        if (*text == '&')
            out[at++] = '&';
        out[at++] = *text;
    }
    out[at] = '\0';
}

void DrawRow(const SearchDialogRun* run, const DRAWITEMSTRUCT* draw)
{
    HWND list = draw->hwndItem;
    HDC dc = draw->hDC;
    const UINT state = static_cast<UINT>(
        SendMessageA(list, LVM_GETITEMSTATE, draw->itemID, LVIS_SELECTED | LVIS_FOCUSED));
    const bool marked = (state & (LVIS_SELECTED | LVIS_FOCUSED)) != 0;
    FillRect(dc, &draw->rcItem, GetSysColorBrush(marked ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const size_t index = static_cast<size_t>(draw->itemData);
    if (index < run->table->count) {
        HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
        const COLORREF oldColor = SetTextColor(dc, GetSysColor(marked ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        int x = draw->rcItem.left;
        for (int column = 0; column < kColumns; ++column) {
            const int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
            RECT cell = {x + kLeftMargin, draw->rcItem.top,
                         x + width - (column == 0 ? kRightMarginFirst : kRightMargin), draw->rcItem.bottom};
            char text[kMacTextSize], fitted[kCellTextSize], shown[kCellTextSize * 2];
            SearchColumnText(run->table->entries[index], column, text, sizeof text);
            FitText(dc, text, cell.right - cell.left, fitted, sizeof fitted);
            DoubleAmpersands(fitted, shown, sizeof shown);
            if (cell.right > cell.left)
                DrawTextA(dc, shown, -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
            x += width;
        }
        SetBkMode(dc, oldMode);
        SetTextColor(dc, oldColor);
        SelectObject(dc, oldFont);
    }
    if (marked && GetFocus() == list)
        DrawFocusRect(dc, &draw->rcItem);
}

void StartSearch(HWND dialog, SearchDialogRun* run)
{
    if (SearchStart(&run->session, dialog))
        SearchSend(&run->session);
}

void SearchAgain(HWND dialog, SearchDialogRun* run)
{
    SearchStop(&run->session);
    memset(run->table, 0, sizeof *run->table);
    SendMessageA(ListOf(dialog), LVM_DELETEALLITEMS, 0, 0);
    run->chosen = -1;
    StartSearch(dialog, run);
}

void OnInit(HWND dialog, SearchDialogRun* run)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
    run->chosen = -1;
    InsertColumns(ListOf(dialog));
    run->direction[0] = kSortAscending;
    run->direction[1] = kSortDescending;
    run->direction[2] = kSortDescending;
    run->lastSorted = 0;
    LoadModelFilter(run->filter);
    StartSearch(dialog, run);
    char path[kCataloguePathSize];
    run->font = CatalogueFont(dialog, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    LocaliseDialog(dialog, run->font, kSearchDialogTable, kSearchDialogTableCount, LOCALISE_SIZE_ONLY);
}

INT_PTR OnCommand(HWND dialog, SearchDialogRun* run, int id)
{
    switch (id) {
    case IDOK:
        if (run->chosen >= 0 && static_cast<size_t>(run->chosen) < run->table->count) {
            *run->chosenOut = run->table->entries[run->chosen];
            EndDialog(dialog, 1);
        } else {
            EndDialog(dialog, 0);
        }
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_SEARCH_AGAIN:
        SearchAgain(dialog, run);
        return TRUE;
    case IDC_SEARCH_SETTINGS:
        RunSearchSettingsDialog(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OnNotify(HWND dialog, SearchDialogRun* run, const NMHDR* header)
{
    if (header->idFrom != IDC_SEARCH_LIST)
        return FALSE;
    if (header->code == LVN_ITEMCHANGED)
        OnItemChanged(dialog, run, reinterpret_cast<const NMLISTVIEW*>(header));
    else if (header->code == LVN_COLUMNCLICK)
        OnColumnClick(dialog, run, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
    return FALSE;
}

} // namespace

INT_PTR CALLBACK SearchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        OnInit(dialog, reinterpret_cast<SearchDialogRun*>(lParam));
        return TRUE;
    }
    SearchDialogRun* run = RunOf(dialog);
    if (!run)
        return FALSE;
    switch (message) {
    case WM_SEARCH_REPLY:
        OnReply(dialog, run, wParam, lParam);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, run, LOWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(dialog, run, reinterpret_cast<const NMHDR*>(lParam));
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw->CtlType != ODT_LISTVIEW || draw->CtlID != IDC_SEARCH_LIST)
            return FALSE;
        DrawRow(run, draw);
        return TRUE;
    }
    case WM_DESTROY:
        SearchStop(&run->session);
        SaveColumnWidths(ListOf(dialog));
        if (run->font) {
            DeleteObject(run->font);
            run->font = nullptr;
        }
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR RunSearchDialog(HWND owner, SearchResult* chosen)
{
    if (!chosen)
        return -1;
    SearchDialogRun run;
    memset(&run, 0, sizeof run);
    run.chosenOut = chosen;
    InitSearchSession(&run.session);
    run.table = static_cast<SearchTable*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SearchTable)));
    run.filter = static_cast<ModelFilter*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ModelFilter)));
    INT_PTR result = -1;
    if (run.table && run.filter)
        result = ShowModalDialog(IDD_SEARCH, owner, SearchDialogProc, reinterpret_cast<LPARAM>(&run));
    // The dialog closed its socket when it ended; this covers a dialog that never started.
    SearchStop(&run.session);
    if (run.table)
        HeapFree(GetProcessHeap(), 0, run.table);
    if (run.filter)
        HeapFree(GetProcessHeap(), 0, run.filter);
    return result;
}

extern "C" INT_PTR WINAPI SearchPrintServers(HWND owner, SearchResult* chosen)
{
    return RunSearchDialog(owner, chosen);
}
