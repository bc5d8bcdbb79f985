// The configuration dialog of LPR and Raw ports (template 366). It loads the
// port's stored settings into a copy of the port of its own and writes the
// changed time-out and reconnect switch straight to the port key; the port
// picks them up at its next job start.
#include "ui/config/lpr_raw_dialog.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "codec/parse_number.h"
#include "monitor/config_store.h"
#include "monitor/dialog_box.h"
#include "monitor/error_dialogs.h"
#include "monitor/monitor.h"
#include "monitor/port_admin.h"
#include "monitor/port_defaults.h"
#include "resource.h"
#include "text/catalogue.h"

const DialogDescriptor kLprRawConfigTable[] = {
    {0, nullptr, nullptr, 0, 0, 374, 150},
    {IDC_CFG_RECONNECT, "BUTTON", "CHK_RECONNECT", 18, 50, 330, 15},
    {IDOK, "BUTTON", "IDOK", 46, 95, 88, 21},
    {IDCANCEL, "BUTTON", "IDCANCEL", 140, 95, 88, 21},
    {IDC_CFG_VERSION, "BUTTON", "IDC_BTN_VER", 235, 95, 88, 21},
    {IDC_CFG_TIMEOUT, "LABEL", "IDC_TIMEOUT", 18, 23, 219, 36},
    {IDC_CFG_TIMEOUT_EDIT, "EDIT", nullptr, 289, 20, 55, 21},
    {IDC_CFG_TIMEOUT_SPIN, nullptr, nullptr, 342, 20, 14, 21},
};
const int kLprRawConfigTableCount = sizeof kLprRawConfigTable / sizeof kLprRawConfigTable[0];

namespace {

const int kTimeoutChars = 4;
const DWORD kMsPerSecond = 1000;
const DWORD kCataloguePathSize = MAX_PATH + 32;
// Title: catalogue caption, " - ", port name (names are cut to fit).
const size_t kTitleSize = 1024;

// One open dialog: the port's working copy (its own name and settings) and
// the dialog font.
struct ConfigDialogRun {
    PortRecord* port;
    HFONT font;
};

ConfigDialogRun* RunOf(HWND dialog)
{
    return reinterpret_cast<ConfigDialogRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// "<catalogue caption> - <port name>"; the template's caption stands in for
// a catalogue without one.
void SetTitle(HWND dialog, const char* portName)
{
    char caption[kCatalogueTextMax + 1] = "";
    CatalogueText(DIALOG_CATALOGUE, "TITLE", "CONFIG", ArgNone(), caption, sizeof caption);
    if (!caption[0])
        GetWindowTextA(dialog, caption, sizeof caption);
    char title[kTitleSize];
    snprintf(title, sizeof title, "%s - %s", caption, portName);
    SetWindowTextA(dialog, title);
}

void InitTimeoutControls(HWND dialog, const PortRecord* port)
{
    HWND edit = GetDlgItem(dialog, IDC_CFG_TIMEOUT_EDIT);
    HWND spin = GetDlgItem(dialog, IDC_CFG_TIMEOUT_SPIN);
    SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SendMessageA(spin, UDM_SETRANGE32, kConfigMinTimeoutSeconds, kConfigMaxTimeoutSeconds);
    // Whole seconds, truncated; the up-down writes them into the field.
    SendMessageA(spin, UDM_SETPOS32, 0, static_cast<LPARAM>(port->sendTimeout / kMsPerSecond));
    SendMessageA(edit, EM_LIMITTEXT, kTimeoutChars, 0);
}

// FALSE when the working copy was not made for this procedure's protocol.
BOOL OnInit(HWND dialog, ConfigDialogRun* run, DWORD protocol)
{
    PortRecord* port = run->port;
    if (!port || !port->settings || port->settings->protocol != protocol)
        return FALSE;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
    ReadPortSettings(port, port->name);
    SetForegroundWindow(dialog);
    SetTitle(dialog, port->name);
    char path[kCataloguePathSize];
    run->font = CatalogueFont(dialog, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    LocaliseDialog(dialog, run->font, kLprRawConfigTable, kLprRawConfigTableCount, LOCALISE_SIZE_ONLY);
    InitTimeoutControls(dialog, port);
    CheckDlgButton(dialog, IDC_CFG_RECONNECT, port->reconnect ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

// The time-out field in seconds; false when it is not a number in range.
bool ReadTimeoutSeconds(HWND dialog, DWORD* seconds)
{
    char text[32] = "";
    HWND edit = GetDlgItem(dialog, IDC_CFG_TIMEOUT_EDIT);
    if (GetWindowTextLengthA(edit) >= static_cast<int>(sizeof text))
        return false;
    GetWindowTextA(edit, text, sizeof text);
    uint64_t number = 0;
    if (!ParseStrictNumber(text, strlen(text), 10, kConfigMaxTimeoutSeconds, &number) ||
        number < kConfigMinTimeoutSeconds)
        return false;
    *seconds = static_cast<DWORD>(number);
    return true;
}

// Writes both time-outs and the reconnect switch to the port key; FALSE when
// any of them could not be written (the key is gone, or cannot be opened).
BOOL SaveSettings(const char* portName, DWORD timeoutMs, DWORD reconnect)
{
    char portKey[kPortKeySize];
    if (!MakePortKey(portName, portKey, sizeof portKey))
        return FALSE;
    const DWORD size = sizeof(DWORD);
    const DWORD type = REG_DWORD;
    BOOL saved = SetRegValue(portKey, kValueCmdTmout, &timeoutMs, &size, &type);
    saved = SetRegValue(portKey, kValueDatTmout, &timeoutMs, &size, &type) && saved;
    saved = SetRegValue(portKey, kValueReconnection, &reconnect, &size, &type) && saved;
    return saved;
}

void OnOk(HWND dialog, const ConfigDialogRun* run)
{
    DWORD seconds = 0;
    if (!ReadTimeoutSeconds(dialog, &seconds)) {
        CatalogueMessageBox(dialog, MESSAGE_CATALOGUE, MESSAGE_SECTION, "IDS_INVALID_TIMEOUT", "TITLE",
                            MB_ICONEXCLAMATION | MB_OK, ArgNone());
        SetFocus(GetDlgItem(dialog, IDC_CFG_TIMEOUT_EDIT));
        return;
    }
    DWORD reconnect = IsDlgButtonChecked(dialog, IDC_CFG_RECONNECT) == BST_CHECKED ? 1 : 0;
    BOOL saved = SaveSettings(run->port->name, seconds * kMsPerSecond, reconnect);
    EndDialog(dialog, saved ? 1 : 0);
}

INT_PTR OnCommand(HWND dialog, const ConfigDialogRun* run, int id)
{
    switch (id) {
    case IDOK:
        OnOk(dialog, run);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_CFG_VERSION:
        ShowModalDialog(IDD_VERSION, dialog, VersionDialogProc, reinterpret_cast<LPARAM>(run->font));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR ConfigDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, DWORD protocol)
{
    if (message == WM_INITDIALOG) {
        ConfigDialogRun* run = reinterpret_cast<ConfigDialogRun*>(lParam);
        if (!run || !OnInit(dialog, run, protocol))
            EndDialog(dialog, 0);
        return TRUE;
    }
    ConfigDialogRun* run = RunOf(dialog);
    if (!run)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        return OnCommand(dialog, run, LOWORD(wParam));
    case WM_DESTROY:
        if (run->font) {
            DeleteObject(run->font);
            run->font = nullptr;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR CALLBACK LprConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ConfigDialogMessage(dialog, message, wParam, lParam, PROTOCOL_LPR);
}

INT_PTR CALLBACK RawConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ConfigDialogMessage(dialog, message, wParam, lParam, PROTOCOL_RAW);
}

INT_PTR RunLprRawConfigDialog(HWND owner, const char* name, DWORD protocol)
{
    DLGPROC proc = protocol == PROTOCOL_LPR ? LprConfigDialogProc : protocol == PROTOCOL_RAW ? RawConfigDialogProc : nullptr;
    if (!proc || !name)
        return -1;
    ConfigDialogRun run{NewDetachedPort(name, protocol), nullptr};
    if (!run.port)
        return -1;
    INT_PTR result = ShowModalDialog(IDD_LPR_RAW_CONFIG, owner, proc, reinterpret_cast<LPARAM>(&run));
    FreeDetachedPort(run.port);
    return result;
}
