// The senders of the protocols and the local-file writer.
#include "monitor/sender.h"

#include "monitor/error_reporter.h"
#include "net/lpr_client.h"
#include "net/raw_sender.h"

// Stands in for a protocol whose sender this build lacks: the job fails
// visibly (connection lost) instead of pretending to print.
static BOOL UnavailableSend(PortRecord* port, const BYTE*, DWORD, DWORD* count)
{
    if (count)
        *count = 0;
    port->errorCode = ERR_CONNECTION_LOST;
    return FALSE;
}

SenderOps g_senders[PROTOCOL_FILE + 1] = {
    {LprWrite, LprEndJob},      // LPR
    {UnavailableSend, nullptr}, // IPP
    {UnavailableSend, nullptr}, // e-mail
    {RawWrite, RawEndJob},      // Raw
    {FileWrite, nullptr},       // local file
};

BOOL FileWrite(PortRecord* port, const BYTE* data, DWORD length, DWORD* count)
{
    DWORD written = 0;
    BOOL ok = WriteFile(port->spoolFile, data, length, &written, nullptr);
    if (count)
        *count = written;
    port->bytesSent += written;
    return ok;
}
