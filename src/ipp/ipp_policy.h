// What IPP exchanges mean for a job: HTTP and IPP status codes as the port's
// error codes, and the decision of a printer check. Pure code: no OS header.
#pragma once

#include <cstdint>

#include "monitor/error_codes.h"

// HTTP status of a final response: 2xx 0, 401 1026, any other 102.
uint32_t HttpStatusError(uint32_t status);
// IPP status-code: 0x0000-0x00FF 0 (successful), 0x0100-0x03FF 102 (they
// would collide with internal codes), 0x0400 and above the code itself.
uint32_t IppStatusError(uint32_t status);
// Code of a response that did not succeed: 0 becomes 102, a time-out 105.
uint32_t FailedResponseError(uint32_t code);

// The outcome of one Get-Printer-Attributes exchange: a check (kind 1) that
// succeeded but found the printer not accepting fails with 106; a lost
// connection becomes 100. Returns whether the query succeeded; *errorCode is
// updated.
bool QueryPrinterOutcome(int kind, bool exchangeOk, uint32_t accepting, uint32_t* errorCode);

// What a printer check decides.
struct PrinterCheckDecision {
    bool go;                // the job may go ahead
    uint32_t errorCode;     // the port's error code afterwards
    uint32_t printerStatus; // printer status to report afterwards
    bool startWatcher;      // start the status watcher
    bool pauseNotAccepting; // wait the not-accepting pause before answering
};

// From the query's result, the port's error code, severity bits and printer
// status to report: success goes; 0 fails as 100, 2 as 105; processing goes
// (and shows processing unless the printer is offline or reports an error);
// stopped goes (watching when a reason has error severity); not accepting
// fails after the pause; any other code fails.
PrinterCheckDecision DecidePrinterCheck(bool querySucceeded, uint32_t errorCode, uint16_t severityBits,
                                        uint32_t printerStatus);

// The connection test counts an answer asking for credentials as reachable.
bool ConnectionTestAnswered(bool querySucceeded, uint32_t errorCode);
