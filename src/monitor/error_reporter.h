// Turning a sender's error code into a decision: retry (1) or give up (0),
// through catalogue message boxes, the transmission-error window and the
// password dialog; and pushing the printer status to the spooler.
#pragma once

#include "monitor/error_codes.h"
#include "monitor/port_record.h"

// Window message numbers of the transmission-error window.
enum ErrorWindowMessage : LONG {
    MSG_LPR_RETRY = 512,
    MSG_LPR_QUEUE_ERR = 515,
    MSG_IPP_RETRY = 516,
    MSG_IPP_TIMEOUT = 519,
};

// Error window states.
enum ErrorWindowState : LONG {
    WINDOW_IDLE = 0,
    WINDOW_RETRY = 1,
    WINDOW_CLOSE_REQUESTED = 2,
    WINDOW_SELF_RETRYING = 3,
    // The window could not be shown; the sender asks with a message box instead.
    WINDOW_FAILED = 4,
};

// Runs on the sender's thread; may block while the user decides.
BOOL ReportTransmissionError(PortRecord* port);

// The senders' catalogue message boxes (no owner, the catalogue's TITLE as
// caption); each waits until the user closes it.
// A stop box: the text of `key`, the job is given up.
void ShowStopMessage(const char* key);
// A warning box with the text of `key`.
void ShowWarningMessage(const char* key);
// The stop box of an IPP status code: IDS_IPP_SEND_ERR_CODE with the code as
// four hex digits.
void ShowIppStatusMessage(DWORD code);
// Sends a job's closing bytes with `attempt` for as long as the user asks to
// retry: waits while the job is paused, and before each further try reports
// the failure on show (a lost connection, unless it timed out). FALSE when
// the job is deleted or the user gives up.
BOOL RetryClosingSend(PortRecord* port, BOOL (*attempt)(PortRecord* port));
// Closes an open error window (a send succeeded, or the job ends).
void CloseErrorWindow(PortRecord* port);
// Asks the open window to end; 1 when it ended within 10 s (scaled).
BOOL RequestErrorWindowClose(PortRecord* port);
// SetPrinterA(PRINTER_CONTROL_SET_STATUS) with the port's printer status to report.
BOOL ReportPrinterStatus(PortRecord* port);
// IPP: ready when the severity bits lack "error" and the status lacks offline.
BOOL RetryIfPrinterReady(PortRecord* port);
