// The SMTP dialogue of the mailer.
#include "sendmail/smtp_session.h"

#include <cstdio>
#include <cstring>

#include "codec/base64.h"
#include "mail/mail_params.h"
#include "sendmail/mail_encoding.h"

namespace {

const size_t kMaxReplyBytes = 64 * 1024;
// A reply of more lines or bytes than these is no reply: a server sending
// continuation lines without end must neither hold the step until its
// time-out nor fill the mailer's memory. EHLO replies have a few dozen lines.
const size_t kMaxReplyLines = 512;
// Deadlines are compared as signed tick differences: a longer wait would end at once.
const DWORD kMaxWaitMs = 0x7FFFFFFF;
// The most one send call offers; the socket takes what its buffer holds.
const int kSendBlock = 65536;
const DWORD kQuitWaitMs = 2000;

struct Reply {
    int code = 0;               // 0: no reply (time-out, closed, garbage)
    std::vector<std::string> lines; // texts after the code
};

// Waits until the socket is readable (or writable); false on time-out.
bool WaitSocket(SOCKET s, bool write, DWORD timeoutMs)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    fd_set errors;
    FD_ZERO(&errors);
    FD_SET(s, &errors);
    timeval wait = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    return select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &wait) > 0;
}

// One line without its CR LF; false on time-out, close or an overlong line.
bool ReadLine(SmtpSession* session, DWORD deadline, std::string* line)
{
    for (;;) {
        size_t end = session->input.find("\r\n");
        if (end != std::string::npos) {
            *line = session->input.substr(0, end);
            session->input.erase(0, end + 2);
            return true;
        }
        if (session->input.size() > kMaxReplyBytes)
            return false;
        DWORD now = GetTickCount();
        if (static_cast<LONG>(deadline - now) <= 0 || !WaitSocket(session->socket, false, deadline - now))
            return false;
        char block[4096];
        int got = recv(session->socket, block, sizeof block, 0);
        if (got == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
            continue;
        if (got <= 0)
            return false;
        session->input.append(block, static_cast<size_t>(got));
    }
}

// A whole reply, multi-line ("250-...") included.
Reply ReadReply(SmtpSession* session, DWORD timeoutMs)
{
    Reply reply;
    DWORD deadline = GetTickCount() + (timeoutMs < kMaxWaitMs ? timeoutMs : kMaxWaitMs);
    std::string line;
    size_t bytes = 0;
    while (ReadLine(session, deadline, &line)) {
        bytes += line.size() + 2;
        if (reply.lines.size() >= kMaxReplyLines || bytes > kMaxReplyBytes) {
            session->lastReply = "the server's reply is too long";
            return Reply();
        }
        if (line.size() < 3 || line[0] < '1' || line[0] > '5' || line[1] < '0' || line[1] > '9' || line[2] < '0' ||
            line[2] > '9')
            break;
        reply.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
        session->lastReply = line;
        if (line.size() == 3 || line[3] != '-') {
            reply.code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
            return reply;
        }
    }
    if (session->lastReply.empty() || reply.lines.empty())
        session->lastReply = "no answer";
    return reply;
}

// Sends the bytes on the non-blocking socket. A server that takes nothing
// for the time-out (it stopped reading, its buffers are full) fails the send
// instead of blocking the mailer for good.
bool SendBytes(SmtpSession* session, const char* data, size_t size)
{
    DWORD timeout = session->timeoutMs < kMaxWaitMs ? session->timeoutMs : kMaxWaitMs;
    DWORD deadline = GetTickCount() + timeout;
    for (size_t at = 0; at < size;) {
        DWORD now = GetTickCount();
        if (static_cast<LONG>(deadline - now) <= 0 || !WaitSocket(session->socket, true, deadline - now))
            return false;
        int chunk = size - at < static_cast<size_t>(kSendBlock) ? static_cast<int>(size - at) : kSendBlock;
        int sent = send(session->socket, data + at, chunk, 0);
        if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
            continue;
        if (sent <= 0)
            return false;
        at += static_cast<size_t>(sent);
        deadline = GetTickCount() + timeout;
    }
    return true;
}

// Sends a command line (with its CR LF) and reads the reply; no reply when
// the send failed.
Reply CommandLine(SmtpSession* session, const char* line, size_t length)
{
    if (!SendBytes(session, line, length))
        return Reply();
    return ReadReply(session, session->timeoutMs);
}

Reply Command(SmtpSession* session, const std::string& command)
{
    std::string line = command + "\r\n";
    return CommandLine(session, line.data(), line.size());
}

bool Positive(const Reply& reply)
{
    return reply.code >= 200 && reply.code < 400;
}

// An address refused by MAIL or RCPT; 530 asks for authentication first.
DWORD AddressFailure(const Reply& reply)
{
    if (reply.code == 0)
        return ERR_SMTP_SERVER_NONE;
    if (reply.code == 530)
        return ERR_SMTP_AUTH;
    if (reply.code == 550 || reply.code == 551 || reply.code == 553 || reply.code == 501)
        return ERR_SMTP_ADDRESS;
    return ERR_SMTP_SERVER_ERROR;
}

DWORD AuthFailure(const Reply& reply)
{
    if (reply.code == 0)
        return ERR_SMTP_SERVER_NONE;
    return reply.code >= 500 ? ERR_SMTP_AUTH : ERR_SMTP_SERVER_ERROR;
}

void NoteCapabilities(SmtpSession* session, const Reply& reply)
{
    for (const std::string& line : reply.lines) {
        std::string upper = line;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        if (upper.compare(0, 5, "AUTH ") != 0 && upper.compare(0, 5, "AUTH=") != 0)
            continue;
        std::string mechanisms = " " + upper.substr(5) + " ";
        session->authPlain = session->authPlain || mechanisms.find(" PLAIN ") != std::string::npos;
        session->authLogin = session->authLogin || mechanisms.find(" LOGIN ") != std::string::npos;
    }
}

DWORD Connect(SmtpSession* session, const char* host, WORD port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr(host);
    if (address.sin_addr.s_addr == INADDR_NONE) {
        hostent* entry = gethostbyname(host);
        if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list[0]) {
            session->lastReply = "cannot resolve the server's name";
            return ERR_SMTP_SERVER_NONE;
        }
        memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof address.sin_addr);
    }
    session->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (session->socket == INVALID_SOCKET)
        return ERR_SMTP_OTHER;
    u_long nonBlocking = 1;
    ioctlsocket(session->socket, FIONBIO, &nonBlocking);
    int result = connect(session->socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    bool connected = result == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK && WaitSocket(session->socket, true, session->timeoutMs)) {
        int error = 0;
        int size = sizeof error;
        connected = getsockopt(session->socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
    }
    // The socket stays non-blocking: every read and send waits in select,
    // bounded by the time-out.
    if (!connected) {
        session->lastReply = "no connection to the server";
        return ERR_SMTP_SERVER_NONE;
    }
    return ERR_NONE;
}

// The EHLO argument: the host name, or the address literal of this end of
// the connection when the name is no domain.
std::string HeloName(SmtpSession* session, const char* hostName)
{
    sockaddr_in local = {};
    int size = sizeof local;
    if (getsockname(session->socket, reinterpret_cast<sockaddr*>(&local), &size) != 0)
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return HeloArgument(hostName, ntohl(local.sin_addr.s_addr));
}

} // namespace

DWORD SmtpOpen(SmtpSession* session, const char* host, WORD port, const char* hostName)
{
    DWORD code = Connect(session, host, port);
    if (code != ERR_NONE)
        return code;
    std::string heloName = HeloName(session, hostName);
    Reply greeting = ReadReply(session, session->timeoutMs);
    if (greeting.code == 0)
        return ERR_SMTP_SERVER_NONE;
    if (greeting.code != 220)
        return ERR_SMTP_SERVER_ERROR;
    Reply hello = Command(session, "EHLO " + heloName);
    if (hello.code >= 500)
        hello = Command(session, "HELO " + heloName);
    else
        NoteCapabilities(session, hello);
    if (hello.code == 0)
        return ERR_SMTP_SERVER_NONE;
    return hello.code == 250 ? ERR_NONE : ERR_SMTP_SERVER_ERROR;
}

DWORD SmtpAuthenticate(SmtpSession* session, const char* id, const char* password)
{
    if (!session->authPlain && !session->authLogin) {
        session->lastReply = "the server offers no AUTH PLAIN or LOGIN";
        return ERR_SMTP_AUTH;
    }
    SecretBuffer<kAuthLineSize> line;
    Reply reply;
    bool fits = true;
    if (session->authPlain) {
        size_t length = AuthPlainLine(line.bytes, sizeof line.bytes, id, password);
        fits = length != 0;
        if (fits)
            reply = CommandLine(session, line.bytes, length);
    } else {
        reply = Command(session, "AUTH LOGIN");
        for (const char* answer : {id, password}) {
            if (reply.code != 334)
                break;
            size_t length = AuthLoginLine(line.bytes, sizeof line.bytes, answer);
            fits = length != 0;
            if (!fits)
                break;
            reply = CommandLine(session, line.bytes, length);
        }
    }
    if (!fits) {
        session->lastReply = "the authentication ID or password is too long";
        return ERR_SMTP_AUTH;
    }
    if (reply.code == 235)
        return ERR_NONE;
    return AuthFailure(reply);
}

DWORD SmtpStartMail(SmtpSession* session, const std::string& from, const std::vector<std::string>& recipients)
{
    Reply reply = Command(session, "MAIL FROM:<" + from + ">");
    if (!Positive(reply))
        return AddressFailure(reply);
    for (const std::string& to : recipients) {
        reply = Command(session, "RCPT TO:<" + to + ">");
        if (!Positive(reply)) {
            DWORD code = AddressFailure(reply);
            std::string refused = session->lastReply;
            Command(session, "RSET");
            session->lastReply = refused;
            return code;
        }
    }
    reply = Command(session, "DATA");
    if (reply.code == 0)
        return ERR_SMTP_SERVER_NONE;
    if (reply.code != 354)
        return ERR_SMTP_SERVER_ERROR;
    session->inData = true;
    return ERR_NONE;
}

DWORD SmtpSendData(SmtpSession* session, const char* data, size_t size)
{
    if (SendBytes(session, data, size))
        return ERR_NONE;
    session->lastReply = "the connection failed while the mail was sent";
    return ERR_SMTP_PROTOCOL;
}

DWORD SmtpEndMail(SmtpSession* session)
{
    session->inData = false;
    Reply reply = ReadReply(session, session->dataEndTimeoutMs);
    if (reply.code == 0)
        return ERR_SMTP_PROTOCOL;
    return reply.code == 250 ? ERR_NONE : ERR_SMTP_SERVER_ERROR;
}

void SmtpClose(SmtpSession* session)
{
    if (session->socket == INVALID_SOCKET)
        return;
    static const char kQuit[] = "QUIT\r\n";
    if (!session->inData && SendBytes(session, kQuit, sizeof kQuit - 1))
        ReadReply(session, session->timeoutMs < kQuitWaitMs ? session->timeoutMs : kQuitWaitMs);
    closesocket(session->socket);
    session->socket = INVALID_SOCKET;
}
