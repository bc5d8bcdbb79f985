// The sender contract: one send function and one end-of-job operation per
// protocol. The job path calls only these.
#pragma once

#include "monitor/port_record.h"

// Called by EndDocPort after any replay; FALSE when the job could not be
// finished, which EndDocPort reports as its own failure.
typedef BOOL (*EndJobFunction)(PortRecord* port);

struct SenderOps {
    SendFunction send;     // never NULL once installed
    EndJobFunction endJob; // NULL: nothing to do at the end of a job
};

// The senders by protocol type (LPR, IPP, e-mail, Raw, local file). Tests
// may replace entries to stand in for a protocol.
extern SenderOps g_senders[PROTOCOL_FILE + 1];

// The local-file sender: writes the block to the port's destination file.
BOOL FileWrite(PortRecord* port, const BYTE* data, DWORD length, DWORD* count);
