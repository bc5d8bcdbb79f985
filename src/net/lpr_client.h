// The LPR sender: delivers a job to a line printer daemon (RFC 1179) from a
// reserved local port, with the job's exact size or streamed.
#pragma once

#include "monitor/port_record.h"

// The send function of LPR ports. Opens the connection and sends the job
// header while nothing of the job was sent yet, then the data. Leaves *count
// alone; the bytes delivered are added to the port's bytes sent.
BOOL LprWrite(PortRecord* port, const BYTE* data, DWORD length, DWORD* count);

// The end-of-job operation: the closing zero byte of a job sent with its size
// (asking the user while the server does not acknowledge it), then the close.
// An incomplete data file is never finished: its connection is reset.
BOOL LprEndJob(PortRecord* port);

// The steps, for the tests.
// The server's port: the "printer" service, else 515 (host byte order).
WORD LprServerPort();
// Connects from local port 721..731 (then any port with NonRFCPorts).
BOOL LprConnect(PortRecord* port);
// Connection, receive-job command, control file and data-file command.
BOOL LprOpenJob(PortRecord* port);
// Sends `length` bytes and reads the acknowledgement (200 when negative).
BOOL LprCommand(PortRecord* port, const BYTE* bytes, DWORD length);
// The closing zero byte and its acknowledgement.
BOOL LprSendEnd(PortRecord* port);
