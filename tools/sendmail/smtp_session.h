// The SMTP dialogue of the mailer over Winsock: connect, greeting, EHLO (HELO
// when EHLO is refused), AUTH PLAIN or LOGIN, and one mail transaction per
// message. Every step returns a mailer exit code (monitor/error_codes.h):
// ERR_NONE when it went well. Every read waits at most the session's time-out,
// and so does every send for the server to take more bytes.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

struct SmtpSession {
    SOCKET socket = INVALID_SOCKET;
    DWORD timeoutMs = 60000; // connect, each reply, each send
    // The answer to the end of the mail data: a server may scan the mail
    // first, and a client that gives up early makes the user send it twice
    // (RFC 5321 4.5.3.2 asks for 10 minutes).
    DWORD dataEndTimeoutMs = 600000;
    std::string input;       // received bytes not yet taken as lines
    std::string lastReply;   // the last reply (or what went wrong), for the user
    bool authPlain = false;  // what EHLO offered
    bool authLogin = false;
    bool inData = false;     // between DATA's 354 and the end of the data
};

// Connects to host:port and reads the greeting, then EHLO or HELO with this
// machine's host name, or its address literal when the name has no dot.
DWORD SmtpOpen(SmtpSession* session, const char* host, WORD port, const char* hostName);
// AUTH PLAIN when offered, else AUTH LOGIN. The lines that carry the
// credentials are built in buffers wiped before the return.
DWORD SmtpAuthenticate(SmtpSession* session, const char* id, const char* password);
// MAIL FROM, RCPT TO each recipient and DATA: the server waits for the mail.
DWORD SmtpStartMail(SmtpSession* session, const std::string& from, const std::vector<std::string>& recipients);
// Bytes of the dot-stuffed payload; ERR_SMTP_PROTOCOL when they cannot go
// (the connection failed, or the server took nothing for the time-out).
DWORD SmtpSendData(SmtpSession* session, const char* data, size_t size);
// The answer to the end of the data, which the payload's last bytes sent.
DWORD SmtpEndMail(SmtpSession* session);
// QUIT (its answer waited for briefly) and close; in the middle of the mail
// data only the close, so that the server drops the unfinished mail.
void SmtpClose(SmtpSession* session);
