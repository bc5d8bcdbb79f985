// Sending the two IPP requests: Get-Printer-Attributes on a query's own
// connection and Print-Job on the print connection.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "monitor/port_record.h"

// The next request-id of the port: the counter is shared by the job thread
// and the status watcher and advances atomically, wrapping to 1.
DWORD TakeRequestId(IppSettings* ipp);

// Builds the Get-Printer-Attributes request of `kind` with its head (counted)
// and sends both with one send-all on `s`. FALSE with the error code left by
// the socket layer (or 102 when the request cannot be built).
BOOL BuildGetPrinterAttributes(PortRecord* port, SOCKET s, int kind);

// Sends the Print-Job request on the print connection: with chunking the
// head, then the IPP body as the first chunk; otherwise head and body in one
// send, the head announcing the IPP body plus the job size.
BOOL SendPrintJob(PortRecord* port);
