// Sendmail.exe: the mailer that e-mail ports start for each job.
//
//   Sendmail.exe /A<spool file> /P<monitor name>
//
// It reads the parameter file beside the spool file (same path, ".bin" in
// place of the last four characters), reads the spool file and sends the job
// as one MIME message over SMTP to port 25 of the configured server: a text
// part (body and signature) and the spool file as a base64 attachment named
// after the job tag ("SMTP042.prn"). The monitor name is accepted and not
// needed: the parameter file holds every setting.
//
// Division (DivideFile 1): the spool file is cut into parts of DivideSize
// kilobytes (1024 bytes). Each part goes as a complete message of its own on
// the same connection, with " (n/N)" after the subject (markers included) and
// the attachment named "SMTP042_nofN.prn"; the receiver joins the decoded
// attachments in part order. A job that fits into one part is sent as an
// ordinary message. At most 99 parts: a job that needs more, or a DivideSize
// of 0, ends with exit code 40 before anything is sent.
//
// Character codes (CharCode): 0 US-ASCII (other bytes become "?"), 1
// ISO-2022-JP from the system's Shift_JIS text, 2 ISO-8859-1. Header texts
// that are not plain ASCII go as RFC 2047 encoded words.
//
// Time-outs: connecting, every reply and every send wait at most 60 s, or
// the milliseconds in the environment variable SENDMAIL_TIMEOUT_MS (the tests
// set a short one). The answer to the end of the mail data is awaited ten
// times as long (10 minutes by default, RFC 5321 4.5.3.2): a server that
// scans a large mail before it answers must not make the user send it again.
//
// EHLO (HELO) names this machine by its host name when that is a domain
// with a dot, else by the address literal of the connection, "[a.b.c.d]".
//
// Exit codes: 0 sent; 21 no answer from the server (refused, unreachable,
// time-out before the mail data); 22 the server answered with an error; 23
// the connection failed while the mail was sent or its acceptance was not
// confirmed; 24 a sender or recipient address was refused (or there is no
// recipient, or an address with spaces, control characters, angle brackets
// or bytes of 0x80 and above); 25 any other failure (files, memory); 30
// authentication failed (or the server offers no AUTH PLAIN/LOGIN while
// AuthType is 1); 40 too many parts; 100 started without a job (no /A
// argument). A reply of more than 512 lines or 64 KiB counts as no answer.
// Nothing it prints holds the password or the authentication exchange.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "codec/parse_number.h"
#include "codec/password_codec.h"
#include "mail/mail_params.h"
#include "sendmail/mail_encoding.h"
#include "sendmail/mime_message.h"
#include "sendmail/smtp_session.h"
#include "sendmail/text_charset.h"

namespace {

const WORD kSmtpPort = 25;
const DWORD kDefaultTimeoutMs = 60000;
const DWORD kDataEndTimeoutFactor = 10;
// Waits are measured with signed tick differences: none may exceed this.
const DWORD kMaxWaitMs = 0x7FFFFFFF;
const size_t kMaxParts = 99;
const uint32_t kAuthRequired = 1;

bool ReadWholeFile(const char* path, std::string* bytes)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
    if (ok) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = bytes->empty() || (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr) &&
                                got == bytes->size());
    }
    CloseHandle(file);
    return ok;
}

DWORD TimeoutMs()
{
    char text[32];
    DWORD length = GetEnvironmentVariableA("SENDMAIL_TIMEOUT_MS", text, sizeof text);
    if (length == 0 || length >= sizeof text)
        return kDefaultTimeoutMs;
    int32_t value = ParseNumber(text, 10);
    return value > 0 ? static_cast<DWORD>(value) : kDefaultTimeoutMs;
}

// This machine's host name; empty when it has none (the address literal then stands in).
std::string HostName()
{
    char name[256] = "";
    if (gethostname(name, sizeof name) != 0)
        return std::string();
    name[sizeof name - 1] = '\0';
    return name;
}

std::string DateNow()
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[64];
    snprintf(text, sizeof text, "%s, %02u %s %04u %02u:%02u:%02u +0000", days[now.wDayOfWeek % 7], now.wDay,
             months[(now.wMonth + 11) % 12], now.wYear, now.wHour, now.wMinute, now.wSecond);
    return text;
}

// One job as read from its files.
struct Job {
    MailParams params;
    std::string spool;
    std::vector<std::string> recipients;
    std::string password; // unscrambled, wiped at the end
};

DWORD ReadJob(const char* spoolPath, Job* job)
{
    char paramsPath[MAX_PATH + 8];
    std::string image;
    if (!MailParamsPath(spoolPath, paramsPath, sizeof paramsPath) || !ReadWholeFile(paramsPath, &image) ||
        !ReadMailParams(reinterpret_cast<const uint8_t*>(image.data()), image.size(), &job->params) ||
        !ReadWholeFile(spoolPath, &job->spool))
        return ERR_SMTP_OTHER;
    SecureZeroMemory(&image[0], image.size());
    job->recipients = SplitRecipients(job->params.toAddr);
    bool usable = !job->recipients.empty() && UsableAddress(job->params.fromAddr);
    for (const std::string& to : job->recipients)
        usable = usable && UsableAddress(to);
    if (!usable)
        return ERR_SMTP_ADDRESS;
    char password[sizeof job->params.authPass];
    memcpy(password, job->params.authPass, sizeof password);
    UnscramblePassword(password);
    job->password = password;
    SecureZeroMemory(password, sizeof password);
    SecureZeroMemory(job->params.authPass, sizeof job->params.authPass);
    return ERR_NONE;
}

// How many parts the job goes in; 0 when there would be too many.
size_t PartCount(const MailParams& params, size_t size, size_t* partBytes)
{
    *partBytes = size ? size : 1;
    if (!params.divideFile)
        return 1;
    if (params.divideSize == 0 || params.divideSize > 0x7FFFFFFF / 1024)
        return params.divideSize == 0 ? 0 : 1;
    *partBytes = static_cast<size_t>(params.divideSize) * 1024;
    size_t parts = size == 0 ? 1 : (size + *partBytes - 1) / *partBytes;
    return parts > kMaxParts ? 0 : parts;
}

std::string PartFileName(const char* jobTag, size_t part, size_t parts)
{
    std::string tag = jobTag[0] ? jobTag : "job";
    if (parts <= 1)
        return tag + ".prn";
    return tag + "_" + std::to_string(part) + "of" + std::to_string(parts) + ".prn";
}

std::string MessageId(const MailParams& params, size_t part)
{
    const char* at = strchr(params.fromAddr, '@');
    char text[160];
    snprintf(text, sizeof text, "%s.%08lX.%lu.%u@%s", params.jobTag[0] ? params.jobTag : "job",
             static_cast<unsigned long>(GetTickCount()), static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned>(part), at && at[1] ? at + 1 : "localhost");
    return text;
}

DWORD SendJob(const Job& job, DWORD timeoutMs)
{
    const MailParams& p = job.params;
    size_t partBytes = 0;
    size_t parts = PartCount(p, job.spool.size(), &partBytes);
    if (parts == 0)
        return ERR_SMTP_OVER_DIVISION;
    MimeInput input = {};
    input.charCode = p.charCode;
    input.fromName = SourceCharsetText(p.fromName, p.charCode);
    input.text = SourceCharsetText(std::string(p.body) + p.signature, p.charCode);
    input.fromAddr = p.fromAddr;
    input.recipients = job.recipients;
    std::string subject = SourceCharsetText(p.subject, p.charCode);

    SmtpSession session;
    session.timeoutMs = timeoutMs;
    session.dataEndTimeoutMs = timeoutMs <= kMaxWaitMs / kDataEndTimeoutFactor ? timeoutMs * kDataEndTimeoutFactor : kMaxWaitMs;
    DWORD code = SmtpOpen(&session, p.smtpServer, kSmtpPort, HostName().c_str());
    if (code == ERR_NONE && p.authType == kAuthRequired)
        code = SmtpAuthenticate(&session, p.authId, job.password);
    for (size_t part = 1; code == ERR_NONE && part <= parts; ++part) {
        size_t offset = (part - 1) * partBytes;
        input.subject = PartSubject(subject, part, parts);
        input.date = DateNow();
        input.messageId = MessageId(p, part);
        input.fileName = PartFileName(p.jobTag, part, parts);
        input.attachment = reinterpret_cast<const uint8_t*>(job.spool.data()) + offset;
        input.attachmentSize = job.spool.size() - offset < partBytes ? job.spool.size() - offset : partBytes;
        code = SmtpSendMail(&session, p.fromAddr, job.recipients, DotStuff(BuildMimeMessage(input)));
    }
    if (code != ERR_NONE)
        fprintf(stderr, "Sendmail: not sent (%lu): %s\n", static_cast<unsigned long>(code), session.lastReply.c_str());
    SmtpClose(&session);
    return code;
}

} // namespace

int main()
{
    char spoolPath[MAX_PATH + 1];
    char monitorName[512];
    if (!ParseMailerCommandLine(GetCommandLineA(), spoolPath, sizeof spoolPath, monitorName, sizeof monitorName))
        return ERR_UNREACHABLE;
    Job* job = new (std::nothrow) Job();
    if (!job)
        return ERR_SMTP_OTHER;
    DWORD code = ReadJob(spoolPath, job);
    WSADATA wsa;
    if (code == ERR_NONE && WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        code = ERR_SMTP_OTHER;
    else if (code == ERR_NONE) {
        code = SendJob(*job, TimeoutMs());
        WSACleanup();
    }
    if (!job->password.empty())
        SecureZeroMemory(&job->password[0], job->password.size());
    delete job;
    return static_cast<int>(code);
}
