// The transmission-error window (template 400): Retry and Cancel for the
// sender waiting on it; once the first timer has run out it says "retrying by
// itself" to the sender and flashes until a close request or the user ends it.
#include "monitor/error_dialogs.h"

#include "monitor/error_reporter.h"
#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "resource.h"
#include "text/catalogue.h"

const DialogDescriptor kErrorWindowTable[] = {
    {0, "TITLE", "RETRY", 0, 0, 599, 120},
    {IDC_RETRY, "BUTTON", "IDC_RETRY", 207, 63, 88, 21},
    {IDCANCEL, "BUTTON", "IDCANCEL", 306, 63, 88, 21},
    {IDC_ERROR_TEXT, "LABEL", nullptr, 65, 15, 508, 46},
    {IDC_ERROR_ICON, nullptr, nullptr, 12, 11, 32, 32},
};
const int kErrorWindowTableCount = sizeof kErrorWindowTable / sizeof kErrorWindowTable[0];

namespace {

const UINT_PTR kRetryTimer = 0; // the user's time to decide
const UINT_PTR kFlashTimer = 1; // flashing while the sender retries by itself
const DWORD kMessageTextSize = 512;
const DWORD kCataloguePathSize = MAX_PATH + 32;

struct WindowMessageEntry {
    LONG number;
    const char* key;
};

const WindowMessageEntry kWindowMessages[] = {
    {MSG_LPR_QUEUE_ERR, "IDS_LPR_QUEUE_ERR"},
    {MSG_LPR_RETRY, "IDS_LPR_RETRY"},
    {MSG_IPP_RETRY, "IDS_IPP_RETRY"},
    {MSG_IPP_TIMEOUT, "IDS_IPP_TIMEOUT"},
};

ErrorWindowRun* RunOf(HWND dialog)
{
    return reinterpret_cast<ErrorWindowRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// A window whose job has ended reads as asked to close: it must neither keep
// retrying nor act on the fields of the port's next job.
bool CloseRequested(const ErrorWindowRun* run)
{
    return !IsCurrentJob(run) || SharedRead(&run->port->errorWindowState) == WINDOW_CLOSE_REQUESTED;
}

void ShowMessageText(HWND dialog, const ErrorWindowRun* run)
{
    const char* key = ErrorWindowMessageKey(SharedRead(&run->port->errorWindowMessage));
    if (!key)
        return;
    char text[kMessageTextSize];
    CatalogueText(MESSAGE_CATALOGUE, MESSAGE_SECTION, key, ArgNone(), text, sizeof text);
    SetDlgItemTextA(dialog, IDC_ERROR_TEXT, text);
}

void OnInit(HWND dialog, ErrorWindowRun* run)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (menu)
        DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
    SetForegroundWindow(dialog);
    SendDlgItemMessageA(dialog, IDC_ERROR_ICON, STM_SETICON,
                        reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_WARNING)), 0);
    ShowMessageText(dialog, run);
    run->ready = SetTimer(dialog, kRetryTimer, g_timing.errorWindowRetry, nullptr) != 0;
    char path[kCataloguePathSize];
    run->font = CatalogueFont(dialog, "DEFAULT", CataloguePath(DIALOG_CATALOGUE, path, sizeof path));
    LocaliseDialog(dialog, run->font, kErrorWindowTable, kErrorWindowTableCount, LOCALISE_SIZE_ONLY);
    // Without its timer the window would never start retrying by itself and
    // the sender would wait for ever: end at once, the sender asks instead.
    if (!run->ready)
        EndDialog(dialog, 0);
}

// The user's time is up: the sender goes on retrying by itself, the window
// stays and flashes. A close request that came meanwhile ends it as Retry.
void OnRetryTimer(HWND dialog, ErrorWindowRun* run)
{
    KillTimer(dialog, kRetryTimer);
    // Under the lock, so that a close request cannot fall between the test
    // and the change of state.
    MonitorLock();
    bool closing = CloseRequested(run);
    if (!closing)
        SharedWrite(&run->port->errorWindowState, WINDOW_SELF_RETRYING);
    MonitorUnlock();
    if (closing || !SetTimer(dialog, kFlashTimer, g_timing.errorWindowFlash, nullptr))
        EndDialog(dialog, 1);
}

void OnFlashTimer(HWND dialog, const ErrorWindowRun* run)
{
    if (CloseRequested(run))
        EndDialog(dialog, 0);
    else
        FlashWindow(dialog, TRUE);
}

// Cancel while the sender retries by itself cancels the job in the spooler:
// the sender no longer waits on the window and notices the deleted job.
void OnCancel(HWND dialog, const ErrorWindowRun* run)
{
    PortRecord* port = run->port;
    MonitorLock();
    if (IsCurrentJob(run) && SharedRead(&port->errorWindowState) == WINDOW_SELF_RETRYING)
        CancelSpoolerJob(port);
    MonitorUnlock();
    EndDialog(dialog, 0);
}

void OnDestroy(HWND dialog, ErrorWindowRun* run)
{
    KillTimer(dialog, kFlashTimer);
    KillTimer(dialog, kRetryTimer);
    if (run && run->font) {
        DeleteObject(run->font);
        run->font = nullptr;
    }
}

} // namespace

HINSTANCE ResourceInstance()
{
    return g_monitor.instance ? g_monitor.instance : GetModuleHandleA(nullptr);
}

const char* ErrorWindowMessageKey(LONG number)
{
    for (const WindowMessageEntry& entry : kWindowMessages)
        if (entry.number == number)
            return entry.key;
    return nullptr;
}

bool IsCurrentJob(const ErrorWindowRun* run)
{
    return SharedRead(&run->port->jobGeneration) == run->generation;
}

INT_PTR CALLBACK ErrorWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    ErrorWindowRun* run = message == WM_INITDIALOG ? reinterpret_cast<ErrorWindowRun*>(lParam) : RunOf(dialog);
    if (!run)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog, run);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_RETRY)
            EndDialog(dialog, 1);
        else if (LOWORD(wParam) == IDCANCEL)
            OnCancel(dialog, run);
        else
            return FALSE;
        return TRUE;
    case WM_TIMER:
        if (wParam == kRetryTimer)
            OnRetryTimer(dialog, run);
        else if (wParam == kFlashTimer)
            OnFlashTimer(dialog, run);
        return TRUE;
    case WM_DESTROY:
        OnDestroy(dialog, run);
        return FALSE;
    default:
        return FALSE;
    }
}
