// The transmission error codes: what a sender leaves in the port record for
// the error reporter, and the exit codes of the mailer (which become the
// port's code). One name per number; the numbers never change. Pure code:
// no OS header (the mailer and the native tests use it too).
#pragma once

#include <cstdint>

const uint32_t ERR_NONE = 0;            // sent; a mailer that sent the job exits with it
const uint32_t ERR_CONNECTION_LOST = 1; // the peer closed or reset the connection
const uint32_t ERR_TIMEOUT = 2;         // no progress within the port's time-out
// The peer closed cleanly where its close ends a message (an HTTP response
// without a length). The reader turns it into the end of the body at once:
// it never reaches the reporter.
const uint32_t ERR_PEER_CLOSED = 3;

// E-mail (the mailer's exit codes).
const uint32_t ERR_SMTP_SERVER_NONE = 21;   // the server refused, is unreachable or did not answer
const uint32_t ERR_SMTP_SERVER_ERROR = 22;  // the server answered with an error
const uint32_t ERR_SMTP_PROTOCOL = 23;      // the connection failed while the mail was sent
const uint32_t ERR_SMTP_ADDRESS = 24;       // a sender or recipient address was refused
const uint32_t ERR_SMTP_OTHER = 25;         // any other failure of the mailer (files, memory, command line)
const uint32_t ERR_SMTP_AUTH = 30;          // authentication failed
const uint32_t ERR_SMTP_OVER_DIVISION = 40; // the job needs more parts than allowed

// Nothing was reached, and nothing is shown: an IPP printer whose name
// does not resolve or that could not be asked (retried without a word),
// or a mailer started without a job.
const uint32_t ERR_UNREACHABLE = 100;

// IPP.
const uint32_t ERR_IPP_CONNECT_FAILED = 101;    // the connection was refused or failed
// The exchange failed: a response malformed, unusable or too large, out of memory.
const uint32_t ERR_IPP_SEND = 102;
const uint32_t ERR_IPP_PRINTER_NOT_READY = 103; // printer-state processing
const uint32_t ERR_IPP_PRINTER_STOPPED = 104;   // printer-state stopped
const uint32_t ERR_IPP_NO_ANSWER = 105;         // no response in time
const uint32_t ERR_IPP_NOT_ACCEPTING = 106;     // printer-is-accepting-jobs false

// LPR and Raw.
const uint32_t ERR_LPR_ACK = 200;        // the server answered a command negatively
const uint32_t ERR_LPR_QUEUE = 201;      // the server has no such queue
const uint32_t ERR_LPR_NOT_OPENED = 202; // no connection, or the job header failed (retried without a word)
const uint32_t ERR_LPR_RECONNECT = 203;  // the connection was refused or failed: the job starts again
const uint32_t ERR_RAW_RECONNECT = 300;  // the same for a Raw port

// IPP status codes 0x0400 to 0x0508 stand for themselves (shown as four
// hex digits unless named here).
const uint32_t ERR_IPP_STATUS_FIRST = 0x0400;
const uint32_t ERR_IPP_FORBIDDEN = 0x0401;
const uint32_t ERR_IPP_NOT_AUTHENTICATED = 0x0402; // also HTTP 401
const uint32_t ERR_IPP_NOT_AUTHORIZED = 0x0403;
const uint32_t ERR_IPP_VERSION_NOT_SUPPORTED = 0x0503; // the printer refuses the request's IPP version
const uint32_t ERR_IPP_STATUS_LAST = 0x0508;

// An IPP status code that stands for itself (0x0400 to 0x0508).
inline bool IsIppStatusError(uint32_t code)
{
    return code >= ERR_IPP_STATUS_FIRST && code <= ERR_IPP_STATUS_LAST;
}
