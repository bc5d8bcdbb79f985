// Turning a sender's error code into a decision: retry (1) or give up (0),
// through catalogue message boxes, the transmission-error window and the
// password dialog; and pushing the printer status to the spooler.
#pragma once

#include "monitor/port_record.h"

// Error codes the senders leave in the port record.
enum TransmissionError : DWORD {
    ERR_CONNECTION_LOST = 1,
    ERR_TIMEOUT = 2,
    ERR_SMTP_SERVER_NONE = 21,
    ERR_SMTP_SERVER_ERROR = 22,
    ERR_SMTP_PROTOCOL = 23,
    ERR_SMTP_ADDRESS = 24,
    ERR_SMTP_PROTOCOL_2 = 25,
    ERR_SMTP_AUTH = 30,
    ERR_SMTP_OVER_DIVISION = 40,
    ERR_IPP_RETRY_SILENT = 100,
    ERR_IPP_TIMEOUT = 101,
    ERR_IPP_SEND = 102,
    ERR_IPP_PRINTER_NOT_READY = 103,
    ERR_IPP_PRINTER_STOPPED = 104,
    ERR_IPP_NO_ANSWER = 105,
    ERR_IPP_RETRY_SILENT_2 = 106,
    ERR_LPR_ACK = 200,
    ERR_LPR_QUEUE = 201,
    ERR_LPR_RETRY_SILENT = 202,
    ERR_LPR_RECONNECT = 203,
    ERR_RAW_RECONNECT = 300,
    ERR_IPP_STATUS_FIRST = 0x0400,
    ERR_IPP_STATUS_LAST = 0x0508,
};

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
