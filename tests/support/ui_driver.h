// Driving real dialogs and message boxes from a test thread: run the code
// that shows them on a thread of its own, find them, read and set their
// controls, click, answer, and wait with polling up to a bound. A wait that
// runs out takes a screenshot (a BMP in %TEMP%) and closes what is left.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <string>

const DWORD kUiPollMs = 10;
const DWORD kUiWaitMs = 5000;
// The static text of a message box.
const int kMessageBoxTextId = 0xFFFF;

// Polls `condition` every kUiPollMs until it holds; false when `boundMs` ran out.
bool WaitUntil(const std::function<bool()>& condition, DWORD boundMs = kUiWaitMs);

// A function run on a thread of its own; its modal windows belong to that thread.
struct UiThread {
    HANDLE thread;
    DWORD threadId;
    std::function<INT_PTR()> body;
    INT_PTR result;
};

// Starts `body` on a new thread; NULL when the thread could not be started.
UiThread* StartUiThread(std::function<INT_PTR()> body);
// True once the thread has ended.
bool UiThreadEnded(const UiThread* run);
// Waits up to `boundMs` for the thread to end and frees the record. When it
// does not end in time, every dialog of this process is captured and closed
// and the thread is given the bound once more; false in that case, and the
// record is kept (leaked) if the thread still runs. `result` gets the
// function's result when it ended.
bool JoinUiThread(UiThread* run, INT_PTR* result = nullptr, DWORD boundMs = kUiWaitMs);

// Visible top-level dialogs (class #32770) of a thread, or of any thread of
// this process when `threadId` is 0, with exactly this caption (NULL: any) and
// holding a control with this ID (0: any).
HWND FindDialog(DWORD threadId, const char* caption, int controlId);
int CountDialogs(DWORD threadId, const char* caption, int controlId);
// FindDialog polled up to `boundMs`; NULL when none appeared.
HWND WaitDialog(DWORD threadId, const char* caption, int controlId, DWORD boundMs = kUiWaitMs);

std::string WindowText(HWND window);
std::wstring WideWindowText(HWND window);
std::string ControlText(HWND dialog, int controlId);
// A text as an ANSI window holds it: through the ANSI code page and back, so
// outside code page 932 Japanese template texts compare as the same loss.
std::wstring ThroughAnsi(const std::wstring& text);
// WM_SETTEXT, synchronous (fires EN_CHANGE).
void SetControlText(HWND dialog, int controlId, const char* text);
// Posts BM_CLICK to a button: a click that opens a modal window must not block the driver.
void Click(HWND dialog, int controlId);
// Posts WM_COMMAND (controlId, BN_CLICKED) to the dialog.
void PostCommand(HWND dialog, int controlId);

struct MessageBoxSeen {
    bool found;
    std::string caption;
    std::string text;
};
// Waits for a message box of the thread (0: of this process), reads its
// caption and text and answers it with `answer` (IDOK, IDRETRY, ...).
MessageBoxSeen AnswerMessageBox(DWORD threadId, int answer, DWORD boundMs = kUiWaitMs);

// Waits until the window is destroyed; on time-out captures and closes it.
bool WaitWindowGone(HWND window, DWORD boundMs = kUiWaitMs);
// Writes the window's screen image to %TEMP%\<label>.bmp; the path, or empty.
std::string CaptureWindow(HWND window, const char* label);
// `./run screenshots` sets SCREENSHOT_DIR (a Windows path) for the programs
// whose "Screenshots" cases picture their dialogs; empty otherwise.
std::string ScreenshotFolder();
// Redraws the window and saves its image as <SCREENSHOT_DIR>\<name>.bmp;
// false when it could not be written.
bool SaveScreenshot(HWND window, const std::string& name);
// Asks a dialog or message box to end (WM_COMMAND IDCANCEL).
void CloseDialog(HWND dialog);
