// The senders of the protocols and the local-file writer.
#include "monitor/sender.h"

#include "ipp/ipp_job.h"
#include "mail/mail_port.h"
#include "monitor/error_reporter.h"
#include "net/lpr_client.h"
#include "net/raw_sender.h"

SenderOps g_senders[PROTOCOL_FILE + 1] = {
    {LprWrite, LprEndJob},      // LPR
    {IppWrite, IppEndJob},      // IPP
    {MailSendJob, nullptr},     // e-mail
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
