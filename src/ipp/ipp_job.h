// An IPP port through a print job: the printer check before the first byte,
// the Print-Job request with the document behind it, the printer's answer at
// the end, and the job status and printer status around every step.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "monitor/port_record.h"

// One Get-Printer-Attributes exchange of `kind` on a connection of its own,
// published in *connection while it is open (so that a cancellation can wake
// it) and closed before returning. The outcome goes into the port: error
// code, printer status; the severity bits (and for a check the accepting
// flag) into the settings, under the monitor lock.
BOOL IppQueryOn(PortRecord* port, int kind, SOCKET* connection);
// The same on a local connection of the calling thread.
BOOL IppQueryPrinter(PortRecord* port, int kind);
// Asks the printer and decides: 1 the job may go, 0 not (error code set).
BOOL IppPrinterCheck(PortRecord* port, int kind);

// Sets and clears job status bits in the spooler, then turns `flag` on or off.
void SetJobStatusBits(PortRecord* port, DWORD set, DWORD clear, DWORD flag, BOOL on);

// Check, connect and send Print-Job, unless the job is open already.
BOOL IppOpenJob(PortRecord* port);
// Opens the job at its first byte, then sends the data as body bytes; *sent
// gets the document bytes delivered (also added to the port's bytes sent).
BOOL IppSendData(PortRecord* port, const BYTE* data, DWORD length, DWORD* sent);
// After a successful send: a printer that was in trouble is asked again and
// the job and printer status are set back; an open error window closes.
void IppAfterSuccess(PortRecord* port);

// The send function of IPP ports.
BOOL IppWrite(PortRecord* port, const BYTE* data, DWORD length, DWORD* count);
// End of job: closes a chunked body, reads the printer's answer and closes
// the connection. FALSE when the job was not accepted by the printer.
BOOL IppEndJob(PortRecord* port);
