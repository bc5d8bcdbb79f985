// The error reporter: turns the error code a sender left in the port record
// into a decision (1 retry, 0 give up) through catalogue message boxes, the
// transmission-error window and the password dialog.
#include "monitor/error_reporter.h"

#include <cstdio>

#include "monitor/dialog_box.h"
#include "monitor/error_dialogs.h"
#include "monitor/job_status.h"
#include "monitor/monitor.h"
#include "monitor/timing.h"
#include "monitor/worker_thread.h"
#include "resource.h"
#include "text/catalogue.h"

namespace {

const char kTitleKey[] = "TITLE";
const int kClosePolls = 10;
const WORD kSeverityError = 8;

// How the reporter reacts to one error code.
enum ReactionKind {
    REACT_SILENT,           // retry without a word
    REACT_STOP,             // close the window, stop box, give up
    REACT_WARNING,          // warning box, give up
    REACT_WINDOW,           // the transmission-error window
    REACT_TIMEOUT_QUESTION, // retry when reconnecting by itself, else ask
    REACT_PRINTER_READY,    // retry when the printer is ready, else the window
    REACT_PRINTER_STOPPED,  // push the printer status, then the window
    REACT_RECONNECT,        // retry when reconnecting by itself, else restart from the top
    REACT_PASSWORD,         // ask for credentials
};

struct Reaction {
    DWORD code;
    ReactionKind kind;
    const char* key;     // message box key
    LONG windowMessage;  // message number for the window
};

const Reaction kReactions[] = {
    {ERR_CONNECTION_LOST, REACT_STOP, "IDS_IPP_SEND_ERROR", 0},
    {ERR_TIMEOUT, REACT_WINDOW, nullptr, MSG_LPR_RETRY},
    {ERR_SMTP_SERVER_NONE, REACT_WARNING, "IDS_SMTP_SERVER_NONE", 0},
    {ERR_SMTP_SERVER_ERROR, REACT_WARNING, "IDS_SMTP_SERVER_ERROR", 0},
    {ERR_SMTP_PROTOCOL, REACT_WARNING, "IDS_SMTP_PROTOCOL_ERROR", 0},
    {ERR_SMTP_ADDRESS, REACT_WARNING, "IDS_SMTP_ADDRMISS", 0},
    {ERR_SMTP_OTHER, REACT_WARNING, "IDS_SMTP_PROTOCOL_ERROR", 0},
    {ERR_SMTP_AUTH, REACT_WARNING, "IDS_IPP_NOT_AUTHORIZED", 0},
    {ERR_SMTP_OVER_DIVISION, REACT_WARNING, "IDS_SMTP_OVER_DIVISION", 0},
    {ERR_UNREACHABLE, REACT_SILENT, nullptr, 0},
    {ERR_IPP_CONNECT_FAILED, REACT_TIMEOUT_QUESTION, "IDS_IPP_TIMEOUT", 0},
    {ERR_IPP_SEND, REACT_STOP, "IDS_IPP_SEND_ERROR", 0},
    {ERR_IPP_PRINTER_NOT_READY, REACT_PRINTER_READY, nullptr, MSG_IPP_RETRY},
    {ERR_IPP_PRINTER_STOPPED, REACT_PRINTER_STOPPED, nullptr, MSG_IPP_RETRY},
    {ERR_IPP_NO_ANSWER, REACT_WINDOW, nullptr, MSG_IPP_TIMEOUT},
    {ERR_IPP_NOT_ACCEPTING, REACT_SILENT, nullptr, 0},
    {ERR_LPR_QUEUE, REACT_WINDOW, nullptr, MSG_LPR_QUEUE_ERR},
    {ERR_LPR_NOT_OPENED, REACT_SILENT, nullptr, 0},
    {ERR_LPR_RECONNECT, REACT_RECONNECT, nullptr, 0},
    {ERR_RAW_RECONNECT, REACT_RECONNECT, nullptr, 0},
    {ERR_IPP_FORBIDDEN, REACT_STOP, "IDS_IPP_FORBIDDEN", 0},
    {ERR_IPP_NOT_AUTHENTICATED, REACT_PASSWORD, "IDS_IPP_NOT_AUTHORIZED", 0},
    {ERR_IPP_NOT_AUTHORIZED, REACT_PASSWORD, "IDS_IPP_NOT_AUTHORIZED", 0},
};

int ShowBox(const char* key, UINT type, CatalogueArg arg)
{
    return CatalogueMessageBox(nullptr, MESSAGE_CATALOGUE, MESSAGE_SECTION, key, kTitleKey, type, arg);
}

BOOL StopBox(const char* key)
{
    ShowStopMessage(key);
    return FALSE;
}

BOOL WarningBox(const char* key)
{
    ShowWarningMessage(key);
    return FALSE;
}

BOOL QuestionBox(const char* key)
{
    return ShowBox(key, MB_ICONEXCLAMATION | MB_RETRYCANCEL, ArgNone()) == IDRETRY;
}

// The window's thread: runs the window, then hands its end result to the
// sender. The state is written before "open" is cleared, so a sender that sees
// the window gone always reads the final state. A window whose job has ended
// leaves the fields alone: they belong to the port's next job by now.
DWORD WINAPI ErrorWindowThread(void* parameter)
{
    ErrorWindowRun* run = static_cast<ErrorWindowRun*>(parameter);
    PortRecord* port = run->port;
    INT_PTR result = ShowModalDialog(IDD_ERROR_WINDOW, nullptr, ErrorWindowProc, reinterpret_cast<LPARAM>(run));
    LONG end = (result == -1 || !run->ready) ? WINDOW_FAILED : (result == 1 ? WINDOW_RETRY : WINDOW_IDLE);
    MonitorLock();
    if (IsCurrentJob(run)) {
        SharedWrite(&port->errorWindowState, end);
        SharedWrite(&port->errorWindowOpen, 0);
    }
    MonitorUnlock();
    HeapFree(GetProcessHeap(), 0, run);
    ReleasePort(port);
    return 0;
}

// Starts the window's thread; FALSE when it could not be started.
BOOL OpenErrorWindow(PortRecord* port)
{
    ErrorWindowRun* run =
        static_cast<ErrorWindowRun*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ErrorWindowRun)));
    if (!run)
        return FALSE;
    run->port = port;
    run->generation = SharedRead(&port->jobGeneration);
    AcquirePort(port);
    HANDLE thread = StartWorkerThread(ErrorWindowThread, run, WORKER_LOWEST_PRIORITY);
    if (!thread) {
        ReleasePort(port);
        HeapFree(GetProcessHeap(), 0, run);
        return FALSE;
    }
    CloseHandle(thread);
    return TRUE;
}

// Waits for the window's decision: retry as soon as it retries by itself,
// else the state it ended with (WINDOW_FAILED when it could not be shown).
LONG WaitErrorWindowDecision(PortRecord* port)
{
    for (;;) {
        if (SharedRead(&port->errorWindowState) == WINDOW_SELF_RETRYING)
            return WINDOW_RETRY;
        if (!SharedRead(&port->errorWindowOpen))
            return SharedRead(&port->errorWindowState);
        Sleep(g_timing.errorWindowDecisionPoll);
    }
}

BOOL ReportThroughWindow(PortRecord* port, LONG message)
{
    SharedWrite(&port->errorWindowMessage, message);
    if (SharedRead(&port->errorWindowOpen))
        return TRUE; // the open window keeps its text and state
    SharedWrite(&port->errorWindowState, WINDOW_IDLE);
    SharedWrite(&port->errorWindowOpen, 1);
    LONG decision = WINDOW_FAILED;
    if (OpenErrorWindow(port))
        decision = WaitErrorWindowDecision(port);
    else
        SharedWrite(&port->errorWindowOpen, 0);
    if (decision == WINDOW_FAILED)
        return QuestionBox(ErrorWindowMessageKey(message)); // ask here instead
    return decision == WINDOW_RETRY;
}

// The job must be sent again from its first byte on a new connection.
BOOL AskRestart(PortRecord* port)
{
    CloseErrorWindow(port);
    port->bytesSent = 0;
    return QuestionBox("IDS_LPR_RETRY_TOP");
}

// An IPP status code without a reaction of its own: shown as four hex digits.
BOOL ReportIppStatus(PortRecord* port, DWORD code)
{
    CloseErrorWindow(port);
    port->bytesSent = 0;
    ShowIppStatusMessage(code);
    return FALSE;
}

BOOL React(PortRecord* port, const Reaction& reaction)
{
    switch (reaction.kind) {
    case REACT_SILENT:
        return TRUE;
    case REACT_STOP:
        CloseErrorWindow(port);
        return StopBox(reaction.key);
    case REACT_WARNING:
        return WarningBox(reaction.key);
    case REACT_WINDOW:
        return ReportThroughWindow(port, reaction.windowMessage);
    case REACT_TIMEOUT_QUESTION:
        return port->reconnect ? TRUE : QuestionBox(reaction.key);
    case REACT_PRINTER_READY:
        return RetryIfPrinterReady(port) ? TRUE : ReportThroughWindow(port, reaction.windowMessage);
    case REACT_PRINTER_STOPPED:
        ReportPrinterStatus(port);
        return ReportThroughWindow(port, reaction.windowMessage);
    case REACT_RECONNECT:
        return port->reconnect ? TRUE : AskRestart(port);
    case REACT_PASSWORD:
        // The dialog writes the credentials into the IPP settings record: a
        // port of another protocol is told the authentication failed.
        CloseErrorWindow(port);
        if (port->protocol != PROTOCOL_IPP || !IppOf(port))
            return StopBox(reaction.key);
        return AskPassword(port) ? TRUE : StopBox(reaction.key);
    }
    return FALSE;
}

} // namespace

void ShowStopMessage(const char* key)
{
    ShowBox(key, MB_ICONHAND | MB_OK, ArgNone());
}

void ShowWarningMessage(const char* key)
{
    ShowBox(key, MB_ICONEXCLAMATION | MB_OK, ArgNone());
}

void ShowIppStatusMessage(DWORD code)
{
    char hex[16];
    snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(code));
    ShowBox("IDS_IPP_SEND_ERR_CODE", MB_ICONHAND | MB_OK, ArgText(hex));
}

BOOL ReportTransmissionError(PortRecord* port)
{
    DWORD code = port->errorCode;
    for (const Reaction& reaction : kReactions)
        if (reaction.code == code)
            return React(port, reaction);
    if (IsIppStatusError(code))
        return ReportIppStatus(port, code);
    return AskRestart(port); // every other code, 0 included
}

void CloseErrorWindow(PortRecord* port)
{
    if (!SharedRead(&port->errorWindowOpen))
        return;
    RequestErrorWindowClose(port);
    SharedWrite(&port->errorWindowOpen, 0);
}

BOOL RequestErrorWindowClose(PortRecord* port)
{
    MonitorLock();
    SharedWrite(&port->errorWindowState, WINDOW_CLOSE_REQUESTED);
    MonitorUnlock();
    // The window is gone when its thread cleared "open"; its end state (0 or
    // 1) says nothing about whether it is still on screen.
    for (int poll = 0;; ++poll) {
        if (!SharedRead(&port->errorWindowOpen))
            return TRUE;
        if (poll == kClosePolls)
            return FALSE;
        Sleep(g_timing.errorWindowClosePoll);
    }
}

BOOL ReportPrinterStatus(PortRecord* port)
{
    MonitorLock();
    DWORD status = port->printerStatus;
    BOOL result = g_monitor.host.SetPrinterA(port->printer, 0, reinterpret_cast<LPBYTE>(&status),
                                             PRINTER_CONTROL_SET_STATUS);
    MonitorUnlock();
    return result;
}

BOOL RetryIfPrinterReady(PortRecord* port)
{
    IppSettings* ipp = IppOf(port);
    WORD severity = ipp ? ipp->severityBits : 0;
    BOOL ready = !(severity & kSeverityError) && !(port->printerStatus & PRINTER_STATUS_OFFLINE);
    if (ready)
        CloseErrorWindow(port);
    ReportPrinterStatus(port);
    return ready;
}

BOOL RetryClosingSend(PortRecord* port, BOOL (*attempt)(PortRecord* port))
{
    for (;;) {
        DWORD status = 0;
        ReadJobStatus(port, &status);
        if (!WaitWhilePaused(port, status))
            return FALSE;
        if (HasPortFlag(port, PORT_ERROR_SHOWN)) {
            if (port->errorCode != ERR_TIMEOUT)
                port->errorCode = ERR_CONNECTION_LOST;
            if (!ReportTransmissionError(port))
                return FALSE;
        }
        if (attempt(port))
            return TRUE;
        MonitorLock();
        SetPortFlags(port, PORT_ERROR_SHOWN);
        MonitorUnlock();
        ChangeJobStatus(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, nullptr);
    }
}
