#include "standin/status_text.h"

#include <winspool.h>

#include <cstdio>

namespace {

struct BitName {
    DWORD bit;
    const char* name;
};

const BitName kJobBits[] = {
    {JOB_STATUS_PAUSED, "PAUSED"},
    {JOB_STATUS_ERROR, "ERROR"},
    {JOB_STATUS_DELETING, "DELETING"},
    {JOB_STATUS_SPOOLING, "SPOOLING"},
    {JOB_STATUS_PRINTING, "PRINTING"},
    {JOB_STATUS_OFFLINE, "OFFLINE"},
    {JOB_STATUS_PAPEROUT, "PAPEROUT"},
    {JOB_STATUS_PRINTED, "PRINTED"},
    {JOB_STATUS_DELETED, "DELETED"},
    {JOB_STATUS_BLOCKED_DEVQ, "BLOCKED_DEVQ"},
    {JOB_STATUS_USER_INTERVENTION, "USER_INTERVENTION"},
    {JOB_STATUS_RESTART, "RESTART"},
    {JOB_STATUS_COMPLETE, "COMPLETE"},
};

const BitName kPrinterBits[] = {
    {PRINTER_STATUS_PAUSED, "PAUSED"},
    {PRINTER_STATUS_ERROR, "ERROR"},
    {PRINTER_STATUS_PENDING_DELETION, "PENDING_DELETION"},
    {PRINTER_STATUS_PAPER_JAM, "PAPER_JAM"},
    {PRINTER_STATUS_PAPER_OUT, "PAPER_OUT"},
    {PRINTER_STATUS_MANUAL_FEED, "MANUAL_FEED"},
    {PRINTER_STATUS_PAPER_PROBLEM, "PAPER_PROBLEM"},
    {PRINTER_STATUS_OFFLINE, "OFFLINE"},
    {PRINTER_STATUS_IO_ACTIVE, "IO_ACTIVE"},
    {PRINTER_STATUS_BUSY, "BUSY"},
    {PRINTER_STATUS_PRINTING, "PRINTING"},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, "OUTPUT_BIN_FULL"},
    {PRINTER_STATUS_NOT_AVAILABLE, "NOT_AVAILABLE"},
    {PRINTER_STATUS_WAITING, "WAITING"},
    {PRINTER_STATUS_PROCESSING, "PROCESSING"},
    {PRINTER_STATUS_INITIALIZING, "INITIALIZING"},
    {PRINTER_STATUS_WARMING_UP, "WARMING_UP"},
    {PRINTER_STATUS_TONER_LOW, "TONER_LOW"},
    {PRINTER_STATUS_NO_TONER, "NO_TONER"},
    {PRINTER_STATUS_PAGE_PUNT, "PAGE_PUNT"},
    {PRINTER_STATUS_USER_INTERVENTION, "USER_INTERVENTION"},
    {PRINTER_STATUS_OUT_OF_MEMORY, "OUT_OF_MEMORY"},
    {PRINTER_STATUS_DOOR_OPEN, "DOOR_OPEN"},
    {PRINTER_STATUS_SERVER_UNKNOWN, "SERVER_UNKNOWN"},
    {PRINTER_STATUS_POWER_SAVE, "POWER_SAVE"},
};

template <size_t N>
std::string BitsText(DWORD status, const BitName (&names)[N])
{
    std::string text;
    for (const BitName& entry : names)
        if (status & entry.bit) {
            text += text.empty() ? "" : ",";
            text += entry.name;
            status &= ~entry.bit;
        }
    if (status) {
        char rest[16];
        snprintf(rest, sizeof rest, "0x%lx", static_cast<unsigned long>(status));
        text += text.empty() ? "" : ",";
        text += rest;
    }
    return text.empty() ? "-" : text;
}

} // namespace

std::string JobStatusText(DWORD status)
{
    return BitsText(status, kJobBits);
}

std::string PrinterStatusText(DWORD status)
{
    return BitsText(status, kPrinterBits);
}
