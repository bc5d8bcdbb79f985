// The search settings dialog (template 262): edits the broadcast-address
// list of Dwlmon.ini with four octet fields, an address list kept sorted as
// text, Add and Delete. A message-filter hook of the dialog's thread moves
// between the octet fields as an address field does.
#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "discovery/broadcast_store.h"
#include "discovery/search_codec.h"
#include "discovery/search_dialog.h"
#include "discovery_resource.h"
#include "monitor/dialog_box.h"
#include "monitor/error_dialogs.h"
#include "text/catalogue.h"

const DialogDescriptor kSearchSettingsTable[] = {
    {0, "TITLE", "SERSUB", 0, 0, 295, 274},
    {IDOK, "BUTTON", "IDOK", 93, 220, 88, 21},
    {IDCANCEL, "BUTTON", "IDCANCEL", 191, 220, 88, 21},
    {IDC_SERSUB_LINE, nullptr, nullptr, 4, 210, 278, 2},
    {IDC_SERSUB_TEXT, "LABEL", "IDC_SETUMEI08", 12, 8, 266, 43},
    {IDC_SERSUB_PICTURE, nullptr, nullptr, 12, 53, 172, 26},
    {IDC_SERSUB_OCTET1, "EDIT", nullptr, 21, 59, 35, 17},
    {IDC_SERSUB_OCTET2, "EDIT", nullptr, 61, 59, 35, 17},
    {IDC_SERSUB_OCTET3, "EDIT", nullptr, 102, 59, 35, 17},
    {IDC_SERSUB_OCTET4, "EDIT", nullptr, 142, 59, 35, 17},
    {IDC_SERSUB_ADD, "BUTTON", "IDC_BTN_ADD", 191, 55, 88, 21},
    {IDC_SERSUB_LIST, "LIST", nullptr, 12, 86, 172, 112},
    {IDC_SERSUB_DELETE, "BUTTON", "IDC_BTN_DEL", 191, 86, 88, 21},
};
const int kSearchSettingsTableCount = sizeof kSearchSettingsTable / sizeof kSearchSettingsTable[0];

namespace {

const int kOctetFields = 4;
const int kOctetDigits = 3;
const int kPictureHeightCut = 3;
const DWORD kCataloguePathSize = MAX_PATH + 32;
// Marks a window as a settings dialog for the keyboard hook.
const char kDialogMark[] = "NetmonSearchSettings";
const int kFieldTextSize = 8; // a field of more than 3 characters is invalid anyway

struct SettingsDialogRun {
    HFONT font;
    HBITMAP picture;
    HHOOK hook; // WH_MSGFILTER of the dialog's thread
};

SettingsDialogRun* RunOf(HWND dialog)
{
    return reinterpret_cast<SettingsDialogRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

HWND Field(HWND dialog, int index)
{
    return GetDlgItem(dialog, IDC_SERSUB_OCTET1 + index);
}

enum Placement { SELECT_ALL, CARET_START, CARET_END };

void FocusField(HWND dialog, int index, Placement placement)
{
    HWND field = Field(dialog, index);
    SetFocus(field);
    const int length = GetWindowTextLengthA(field);
    if (placement == SELECT_ALL)
        SendMessageA(field, EM_SETSEL, 0, -1);
    else if (placement == CARET_START)
        SendMessageA(field, EM_SETSEL, 0, 0);
    else
        SendMessageA(field, EM_SETSEL, length, length);
}

void Selection(HWND field, DWORD* start, DWORD* end)
{
    SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(start), reinterpret_cast<LPARAM>(end));
}

bool KeyHeld(int key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

// A key going down in an octet field: the moves of the octet-field table.
// The key is then processed as usual.
void OnOctetKey(HWND field, WPARAM key)
{
    const int id = GetDlgCtrlID(field);
    if (id < IDC_SERSUB_OCTET1 || id > IDC_SERSUB_OCTET4)
        return;
    HWND dialog = GetParent(field);
    if (!dialog || !GetPropA(dialog, kDialogMark))
        return;
    const int index = id - IDC_SERSUB_OCTET1;
    DWORD start = 0, end = 0;
    Selection(field, &start, &end);
    const DWORD length = static_cast<DWORD>(GetWindowTextLengthA(field));
    const bool atStart = start == 0 && end == 0;
    const bool noSelection = start == end;
    switch (key) {
    case VK_BACK:
        if (index > 0 && atStart)
            FocusField(dialog, index - 1, SELECT_ALL);
        break;
    case VK_LEFT:
        if (index > 0 && atStart)
            FocusField(dialog, index - 1, CARET_END);
        break;
    case VK_RIGHT:
        if (index < kOctetFields - 1 && noSelection && end == length)
            FocusField(dialog, index + 1, CARET_START);
        break;
    case VK_OEM_PERIOD:
    case VK_DECIMAL:
        if (index < kOctetFields - 1 && !KeyHeld(VK_SHIFT) && !KeyHeld(VK_CONTROL) && noSelection && end >= 1)
            FocusField(dialog, index + 1, SELECT_ALL);
        break;
    case VK_HOME:
        FocusField(dialog, 0, CARET_START);
        break;
    case VK_END:
        FocusField(dialog, kOctetFields - 1, CARET_END);
        break;
    default:
        break;
    }
}

LRESULT CALLBACK OctetKeyHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX && lParam) {
        const MSG* message = reinterpret_cast<const MSG*>(lParam);
        if (message->message == WM_KEYDOWN)
            OnOctetKey(message->hwnd, message->wParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Field 1, 2 or 3 changed or is full: with its caret after the third digit
// (and the focus in it) the next field takes the focus, its text selected.
void OnFieldFilled(HWND dialog, int id)
{
    HWND field = GetDlgItem(dialog, id);
    if (id > IDC_SERSUB_OCTET3 || GetFocus() != field)
        return;
    DWORD start = 0, end = 0;
    Selection(field, &start, &end);
    if (start == end && end == static_cast<DWORD>(kOctetDigits))
        FocusField(dialog, id - IDC_SERSUB_OCTET1 + 1, SELECT_ALL);
}

void Message(HWND dialog, const char* key)
{
    CatalogueMessageBox(dialog, MESSAGE_CATALOGUE, MESSAGE_SECTION, key, "TITLE", MB_ICONEXCLAMATION | MB_OK,
                        ArgNone());
}

void TakeDefaultLook(HWND button)
{
    SendMessageA(button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

void OnAdd(HWND dialog)
{
    char texts[kOctetFields][kFieldTextSize];
    const char* fields[kOctetFields];
    for (int i = 0; i < kOctetFields; ++i) {
        GetWindowTextA(Field(dialog, i), texts[i], kFieldTextSize);
        fields[i] = texts[i];
    }
    uint32_t address = 0;
    int bad = 0;
    char text[kResultAddressSize];
    const OctetCheck check = CheckOctetFields(fields, &address, &bad, text);
    if (check != OCTETS_VALID) {
        Message(dialog, check == OCTETS_INVALID ? "IDS_INVALIDIPADDRESS" : "IDS_ADD_BROADCASE_ERROR");
        FocusField(dialog, check == OCTETS_INVALID ? bad : 0, SELECT_ALL);
        TakeDefaultLook(GetDlgItem(dialog, IDC_SERSUB_ADD));
        return;
    }
    HWND list = GetDlgItem(dialog, IDC_SERSUB_LIST);
    if (SendMessageA(list, LB_GETCOUNT, 0, 0) >= static_cast<LRESULT>(kBroadcastListMax)) {
        Message(dialog, "IDS_BROADCAST_ERROR");
        return;
    }
    if (SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)) != LB_ERR) {
        Message(dialog, "IDS_IPALREADYEXISTS");
        return;
    }
    const bool hadSelection = SendMessageA(list, LB_GETCURSEL, 0, 0) != LB_ERR;
    const LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (at < 0)
        return;
    if (!hadSelection)
        EnableWindow(GetDlgItem(dialog, IDC_SERSUB_DELETE), TRUE);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    for (int i = 0; i < kOctetFields; ++i)
        SetWindowTextA(Field(dialog, i), "");
}

void OnDelete(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_SERSUB_LIST);
    const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR)
        return;
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count > 0) {
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selected < count ? selected : count - 1), 0);
        return;
    }
    HWND remove = GetDlgItem(dialog, IDC_SERSUB_DELETE);
    HWND add = GetDlgItem(dialog, IDC_SERSUB_ADD);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(add), TRUE);
    EnableWindow(remove, FALSE);
    TakeDefaultLook(remove);
}

void OnOk(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_SERSUB_LIST);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    uint32_t addresses[kBroadcastListMax];
    size_t listed = 0;
    for (LRESULT i = 0; i < count && listed < kBroadcastListMax; ++i) {
        char text[kResultAddressSize] = "";
        if (SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) >= static_cast<LRESULT>(sizeof text))
            continue;
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        if (ParseDottedAddress(text, &addresses[listed]))
            ++listed;
    }
    SaveBroadcastList(addresses, listed);
    EndDialog(dialog, 1);
}

// The picture, stretched to the control's width and its height less 3 pixels.
void LoadPicture(HWND dialog, SettingsDialogRun* run)
{
    HWND picture = GetDlgItem(dialog, IDC_SERSUB_PICTURE);
    RECT frame;
    GetWindowRect(picture, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top - kPictureHeightCut;
    if (width <= 0 || height <= 0)
        return;
    run->picture = static_cast<HBITMAP>(LoadImageA(ResourceInstance(), MAKEINTRESOURCEA(IDB_ADDRESS_FIELD), IMAGE_BITMAP,
                                                   width, height, LR_DEFAULTCOLOR));
    if (run->picture) {
        HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
            SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(run->picture)));
        if (old && old != run->picture)
            DeleteObject(old);
    }
}

void OnInit(HWND dialog, SettingsDialogRun* run)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
    SetPropA(dialog, kDialogMark, reinterpret_cast<HANDLE>(1));
    char path[kCataloguePathSize];
    run->font = CatalogueFont(dialog, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    LocaliseDialog(dialog, run->font, kSearchSettingsTable, kSearchSettingsTableCount, LOCALISE_SIZE_ONLY);
    LoadPicture(dialog, run);
    for (int i = 0; i < kOctetFields; ++i)
        SendMessageA(Field(dialog, i), EM_LIMITTEXT, kOctetDigits, 0);

    BroadcastList stored;
    LoadBroadcastList(&stored);
    HWND list = GetDlgItem(dialog, IDC_SERSUB_LIST);
    for (size_t i = 0; i < stored.count; ++i) {
        char text[kResultAddressSize];
        FormatIpv4(stored.addresses[i], text);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    if (SendMessageA(list, LB_GETCOUNT, 0, 0) > 0)
        SendMessageA(list, LB_SETCURSEL, 0, 0);
    else
        EnableWindow(GetDlgItem(dialog, IDC_SERSUB_DELETE), FALSE);
    run->hook = SetWindowsHookExA(WH_MSGFILTER, OctetKeyHook, nullptr, GetCurrentThreadId());
}

void OnDestroy(HWND dialog, SettingsDialogRun* run)
{
    if (run->hook) {
        UnhookWindowsHookEx(run->hook);
        run->hook = nullptr;
    }
    RemovePropA(dialog, kDialogMark);
    if (run->picture) {
        SendMessageA(GetDlgItem(dialog, IDC_SERSUB_PICTURE), STM_SETIMAGE, IMAGE_BITMAP, 0);
        DeleteObject(run->picture);
        run->picture = nullptr;
    }
    if (run->font) {
        DeleteObject(run->font);
        run->font = nullptr;
    }
    SetWindowLongPtrA(dialog, DWLP_USER, 0);
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id >= IDC_SERSUB_OCTET1 && id <= IDC_SERSUB_OCTET4) {
        if (code == EN_CHANGE || code == EN_MAXTEXT)
            OnFieldFilled(dialog, id);
        return FALSE;
    }
    switch (id) {
    case IDC_SERSUB_ADD:
        OnAdd(dialog);
        return TRUE;
    case IDC_SERSUB_DELETE:
        // A click that Wine delivers to a disabled button does nothing.
        if (IsWindowEnabled(GetDlgItem(dialog, IDC_SERSUB_DELETE)))
            OnDelete(dialog);
        return TRUE;
    case IDOK:
        OnOk(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK SearchSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        OnInit(dialog, reinterpret_cast<SettingsDialogRun*>(lParam));
        return TRUE;
    }
    SettingsDialogRun* run = RunOf(dialog);
    if (!run)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        return OnCommand(dialog, wParam);
    case WM_DESTROY:
        OnDestroy(dialog, run);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR RunSearchSettingsDialog(HWND owner)
{
    SettingsDialogRun run;
    memset(&run, 0, sizeof run);
    return ShowModalDialog(IDD_SEARCH_SETTINGS, owner, SearchSettingsDialogProc, reinterpret_cast<LPARAM>(&run));
}
