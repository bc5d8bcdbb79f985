// What IPP exchanges mean for a job.
#include "ipp/ipp_policy.h"

#include "ipp/ipp_request.h"
#include "ipp/ipp_response.h"

uint32_t HttpStatusError(uint32_t status)
{
    if (status / 100 == 2)
        return 0;
    return status == 401 ? ERR_IPP_NOT_AUTHENTICATED : ERR_IPP_SEND;
}

uint32_t IppStatusError(uint32_t status)
{
    if (status <= 0x00FF)
        return 0;
    return status <= 0x03FF ? ERR_IPP_SEND : status;
}

uint32_t FailedResponseError(uint32_t code)
{
    if (code == 0)
        return ERR_IPP_SEND;
    return code == ERR_TIMEOUT ? ERR_IPP_NO_ANSWER : code;
}

bool QueryPrinterOutcome(int kind, bool exchangeOk, uint32_t accepting, uint32_t* errorCode)
{
    // A printer that does not accept jobs refuses this one whatever its
    // state: the answer of a processing or stopped printer counts here too.
    const bool answered = exchangeOk || *errorCode == ERR_IPP_PRINTER_NOT_READY || *errorCode == ERR_IPP_PRINTER_STOPPED;
    if (answered && kind == IPP_QUERY_CHECK && accepting == 0) {
        exchangeOk = false;
        *errorCode = ERR_IPP_NOT_ACCEPTING;
    }
    if (*errorCode == ERR_CONNECTION_LOST)
        *errorCode = ERR_UNREACHABLE;
    return exchangeOk;
}

PrinterCheckDecision DecidePrinterCheck(bool querySucceeded, uint32_t errorCode, uint16_t severityBits,
                                        uint32_t printerStatus)
{
    PrinterCheckDecision decision = {false, errorCode, printerStatus, false, false};
    const bool errorSeverity = (severityBits & IPP_SEVERITY_ERROR) != 0;
    if (querySucceeded) {
        decision.go = true;
    } else if (errorCode == 0) {
        decision.errorCode = ERR_UNREACHABLE;
    } else if (errorCode == ERR_TIMEOUT) {
        decision.errorCode = ERR_IPP_NO_ANSWER;
    } else if (errorCode == ERR_IPP_PRINTER_NOT_READY) {
        // The printer queues the job; show it busy unless it is offline or
        // reports an error.
        if (!errorSeverity && (printerStatus & PRINTER_FLAG_OFFLINE) == 0)
            decision.printerStatus |= PRINTER_FLAG_PROCESSING;
        decision.go = true;
    } else if (errorCode == ERR_IPP_PRINTER_STOPPED) {
        decision.startWatcher = errorSeverity;
        decision.go = true;
    } else if (errorCode == ERR_IPP_NOT_ACCEPTING) {
        decision.pauseNotAccepting = true;
    }
    return decision;
}

bool ConnectionTestAnswered(bool querySucceeded, uint32_t errorCode)
{
    return querySucceeded || errorCode == ERR_IPP_NOT_AUTHENTICATED || errorCode == ERR_IPP_NOT_AUTHORIZED;
}
