// The Raw sender: the job's bytes unchanged on one TCP connection to the
// printer, opened by the first write of a job and closed at its end.
#pragma once

#include "monitor/port_record.h"

// The send function of Raw ports: sends all `length` bytes, asking the error
// reporter and resuming on the same connection after a time-out. *count gets
// every byte delivered by this call.
BOOL RawWrite(PortRecord* port, const BYTE* data, DWORD length, DWORD* count);
// End of job: closes the connection (abort when the job is being deleted).
// Always TRUE: what was sent has been delivered by then.
BOOL RawEndJob(PortRecord* port);

// Connects the port's socket to the printer (10 attempts while the local
// address is in use). FALSE on failure, with code 300 for a refused or
// failed connect and no code otherwise.
BOOL RawConnect(PortRecord* port);
// Opens the connection when no byte of the job was sent yet, then sends;
// *sent gets the bytes accepted, which are also added to the port's total.
BOOL RawSendPiece(PortRecord* port, const BYTE* data, DWORD length, DWORD* sent);
