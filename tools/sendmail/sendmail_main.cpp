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
// A server that takes none of the mail data for the time-out fails it with 23.
// Nothing it prints holds the password or the authentication exchange, and
// every copy of the password (unscrambled, in the AUTH lines) is wiped before
// it ends, whatever the way out, running out of memory included (25).
//
// Memory: the spool file is read in blocks of kAttachmentBlockBytes and sent
// as base64 lines block by block; what the mailer holds does not grow with
// the job.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "codec/base64.h"
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
const uint64_t kMaxParts = 99;
const uint32_t kAuthRequired = 1;

// The parameter file into `image`; its size, or 0 when it cannot be read or
// is larger than the layout.
size_t ReadParamsFile(const char* path, uint8_t* image, size_t capacity)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD got = 0;
    DWORD extra = 0;
    BYTE probe = 0;
    bool ok = ReadFile(file, image, static_cast<DWORD>(capacity), &got, nullptr) &&
              ReadFile(file, &probe, 1, &extra, nullptr) && extra == 0;
    CloseHandle(file);
    return ok ? got : 0;
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
    MailParams params;  // the scrambled password wiped once it is read
    HANDLE spool = INVALID_HANDLE_VALUE;
    uint64_t spoolSize = 0;
    std::vector<std::string> recipients;
    char password[sizeof MailParams::authPass]; // unscrambled
};

// The spool file, open for reading in blocks while the mail is sent.
bool OpenSpool(const char* path, Job* job)
{
    job->spool = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER size;
    if (job->spool == INVALID_HANDLE_VALUE || !GetFileSizeEx(job->spool, &size) || size.QuadPart < 0)
        return false;
    job->spoolSize = static_cast<uint64_t>(size.QuadPart);
    return true;
}

DWORD ReadJob(const char* spoolPath, Job* job)
{
    char paramsPath[MAX_PATH + 8];
    SecretBuffer<kMailParamsSize> image;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(image.bytes);
    if (!MailParamsPath(spoolPath, paramsPath, sizeof paramsPath) ||
        !ReadMailParams(bytes, ReadParamsFile(paramsPath, bytes, sizeof image.bytes), &job->params) ||
        !OpenSpool(spoolPath, job))
        return ERR_SMTP_OTHER;
    memcpy(job->password, job->params.authPass, sizeof job->password);
    WipeBytes(job->params.authPass, sizeof job->params.authPass);
    UnscramblePassword(job->password);
    job->recipients = SplitRecipients(job->params.toAddr);
    bool usable = !job->recipients.empty() && UsableAddress(job->params.fromAddr);
    for (const std::string& to : job->recipients)
        usable = usable && UsableAddress(to);
    return usable ? ERR_NONE : ERR_SMTP_ADDRESS;
}

// Closes the spool file and wipes every copy of the password the job holds.
void EndJob(Job* job)
{
    if (job->spool != INVALID_HANDLE_VALUE)
        CloseHandle(job->spool);
    job->spool = INVALID_HANDLE_VALUE;
    WipeBytes(job->password, sizeof job->password);
    WipeBytes(job->params.authPass, sizeof job->params.authPass);
}

// How many parts the job goes in; 0 when there would be too many.
uint64_t PartCount(const MailParams& params, uint64_t size, uint64_t* partBytes)
{
    *partBytes = size ? size : 1;
    if (!params.divideFile)
        return 1;
    if (params.divideSize == 0 || params.divideSize > 0x7FFFFFFF / 1024)
        return params.divideSize == 0 ? 0 : 1;
    *partBytes = static_cast<uint64_t>(params.divideSize) * 1024;
    uint64_t parts = size == 0 ? 1 : (size + *partBytes - 1) / *partBytes;
    return parts > kMaxParts ? 0 : parts;
}

std::string PartFileName(const char* jobTag, uint64_t part, uint64_t parts)
{
    std::string tag = jobTag[0] ? jobTag : "job";
    if (parts <= 1)
        return tag + ".prn";
    return tag + "_" + std::to_string(part) + "of" + std::to_string(parts) + ".prn";
}

std::string MessageId(const MailParams& params, uint64_t part)
{
    const char* at = strchr(params.fromAddr, '@');
    char text[160];
    snprintf(text, sizeof text, "%s.%08lX.%lu.%u@%s", params.jobTag[0] ? params.jobTag : "job",
             static_cast<unsigned long>(GetTickCount()), static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned>(part), at && at[1] ? at + 1 : "localhost");
    return text;
}

// Buffers of one attachment block and its base64 lines, reused for every block.
struct BlockBuffers {
    std::vector<uint8_t> bytes;
    std::vector<char> lines;
};

// The attachment: `size` bytes of the spool file from `offset`, read in
// blocks and sent as base64 lines. A file that ends early fails with 25; the
// caller then closes the connection inside the mail data, and the server
// drops the unfinished mail.
DWORD SendAttachment(SmtpSession* session, const Job& job, uint64_t offset, uint64_t size, BlockBuffers* buffers)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(job.spool, at, nullptr, FILE_BEGIN))
        return ERR_SMTP_OTHER;
    DWORD code = ERR_NONE;
    for (uint64_t left = size; code == ERR_NONE && left > 0;) {
        DWORD want = static_cast<DWORD>(left < kAttachmentBlockBytes ? left : kAttachmentBlockBytes);
        DWORD got = 0;
        if (!ReadFile(job.spool, buffers->bytes.data(), want, &got, nullptr) || got != want)
            return ERR_SMTP_OTHER;
        size_t length = Base64LinesInto(buffers->lines.data(), buffers->lines.size(), buffers->bytes.data(), got);
        code = SmtpSendData(session, buffers->lines.data(), length);
        left -= got;
    }
    return code;
}

// One message: the envelope, the head, the attachment's lines, the tail.
DWORD SendMailPart(SmtpSession* session, const Job& job, const MimeInput& input, uint64_t offset, uint64_t size,
                  BlockBuffers* buffers)
{
    MimeFrame frame = BuildMimeFrame(input);
    DWORD code = SmtpStartMail(session, job.params.fromAddr, job.recipients);
    if (code == ERR_NONE)
        code = SmtpSendData(session, frame.head.data(), frame.head.size());
    if (code == ERR_NONE)
        code = SendAttachment(session, job, offset, size, buffers);
    if (code == ERR_NONE)
        code = SmtpSendData(session, frame.tail.data(), frame.tail.size());
    if (code == ERR_NONE)
        code = SmtpEndMail(session);
    return code;
}

DWORD SendJob(const Job& job, DWORD timeoutMs)
{
    const MailParams& p = job.params;
    uint64_t partBytes = 0;
    uint64_t parts = PartCount(p, job.spoolSize, &partBytes);
    if (parts == 0)
        return ERR_SMTP_OVER_DIVISION;
    MimeInput input = {};
    input.charCode = p.charCode;
    input.fromName = SourceCharsetText(p.fromName, p.charCode);
    input.text = SourceCharsetText(std::string(p.body) + p.signature, p.charCode);
    input.fromAddr = p.fromAddr;
    input.recipients = job.recipients;
    std::string subject = SourceCharsetText(p.subject, p.charCode);
    BlockBuffers buffers;
    buffers.bytes.resize(kAttachmentBlockBytes);
    buffers.lines.resize(Base64LinesSize(kAttachmentBlockBytes));

    SmtpSession session;
    session.timeoutMs = timeoutMs;
    session.dataEndTimeoutMs = timeoutMs <= kMaxWaitMs / kDataEndTimeoutFactor ? timeoutMs * kDataEndTimeoutFactor : kMaxWaitMs;
    DWORD code = SmtpOpen(&session, p.smtpServer, kSmtpPort, HostName().c_str());
    if (code == ERR_NONE && p.authType == kAuthRequired)
        code = SmtpAuthenticate(&session, p.authId, job.password);
    for (uint64_t part = 1; code == ERR_NONE && part <= parts; ++part) {
        uint64_t offset = (part - 1) * partBytes;
        input.subject = PartSubject(subject, static_cast<size_t>(part), static_cast<size_t>(parts));
        input.date = DateNow();
        input.messageId = MessageId(p, part);
        input.fileName = PartFileName(p.jobTag, part, parts);
        uint64_t size = job.spoolSize - offset < partBytes ? job.spoolSize - offset : partBytes;
        code = SendMailPart(&session, job, input, offset, size, &buffers);
    }
    if (code != ERR_NONE)
        fprintf(stderr, "Sendmail: not sent (%lu): %s\n", static_cast<unsigned long>(code), session.lastReply.c_str());
    SmtpClose(&session);
    return code;
}

DWORD RunJob(const char* spoolPath, Job* job)
{
    DWORD code = ReadJob(spoolPath, job);
    WSADATA wsa;
    if (code == ERR_NONE && WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        code = ERR_SMTP_OTHER;
    else if (code == ERR_NONE) {
        code = SendJob(*job, TimeoutMs());
        WSACleanup();
    }
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
    DWORD code = ERR_SMTP_OTHER;
    try {
        code = RunJob(spoolPath, job);
    } catch (const std::bad_alloc&) {
        // Out of memory anywhere in the job is a failure to send like any
        // other; the unwinding has wiped the secrets of the stack on its way.
        code = ERR_SMTP_OTHER;
    }
    EndJob(job);
    delete job;
    return static_cast<int>(code);
}
