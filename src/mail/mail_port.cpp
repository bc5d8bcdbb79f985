// The e-mail port's sender. The parameter file holds the scrambled SMTP
// password, so it lives only while the mailer runs; the spool file stays.
#include "mail/mail_port.h"

#include <cstring>

#include "codec/base64.h"
#include "mail/mail_params.h"
#include "monitor/error_reporter.h"
#include "monitor/monitor.h"
#include "monitor/private_files.h"
#include "monitor/spool_file.h"
#include "text/catalogue.h"

const char kMailerProgram[] = "Sendmail.exe";

namespace {

const DWORD kMailerPollMs = 1000;
const DWORD kCommandLineSize = MAX_PATH + kMonitorNameSize + 32;

static_assert(sizeof(EmailSettings::smtpServer) == sizeof(MailParams::smtpServer), "field widths");
static_assert(sizeof(EmailSettings::toAddr) == sizeof(MailParams::toAddr), "field widths");
static_assert(sizeof(EmailSettings::subject) == sizeof(MailParams::subject), "field widths");
static_assert(sizeof(EmailSettings::body) == sizeof(MailParams::body), "field widths");
static_assert(sizeof(EmailSettings::authPass) == sizeof(MailParams::authPass), "field widths");
static_assert(sizeof(EmailSettings::jobTag) == sizeof(MailParams::jobTag), "field widths");

bool IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

// The job's parameters with the send-time additions; 0, or the error code.
DWORD FillParams(const EmailSettings* mail, MailParams* p)
{
    memcpy(p->smtpServer, mail->smtpServer, sizeof p->smtpServer);
    memcpy(p->fromAddr, mail->fromAddr, sizeof p->fromAddr);
    memcpy(p->fromName, mail->fromName, sizeof p->fromName);
    memcpy(p->toAddr, mail->toAddr, sizeof p->toAddr);
    memcpy(p->subject, mail->subject, sizeof p->subject);
    memcpy(p->body, mail->body, sizeof p->body);
    memcpy(p->signature, mail->signature, sizeof p->signature);
    memcpy(p->authId, mail->authId, sizeof p->authId);
    memcpy(p->authPass, mail->authPass, sizeof p->authPass);
    memcpy(p->jobTag, mail->jobTag, sizeof p->jobTag);
    p->authType = mail->authType;
    p->charCode = mail->charCode;
    p->divideSize = mail->divideSize;
    p->divideFile = mail->divideFile;
    p->toAddr[sizeof p->toAddr - 1] = '\0';
    p->body[sizeof p->body - 1] = '\0';
    if (!AppendRecipientComma(p->toAddr, sizeof p->toAddr))
        return ERR_SMTP_ADDRESS;
    BuildSeparators(p->toAddr, p->separators, sizeof p->separators);
    AppendBodyBreak(p->body, sizeof p->body, IsLeadByte);
    return 0;
}

// Writes the parameter file; 0, or the error code.
DWORD WriteParamsFile(const EmailSettings* mail, const char* path)
{
    MailParams* params = static_cast<MailParams*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(MailParams)));
    BYTE* image = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kMailParamsSize));
    DWORD code = params && image ? FillParams(mail, params) : static_cast<DWORD>(ERR_SMTP_OTHER);
    if (code == 0) {
        WriteMailParams(*params, image);
        HANDLE file = CreatePrivateFile(path, FILE_ATTRIBUTE_NORMAL);
        DWORD written = 0;
        BOOL ok = file != INVALID_HANDLE_VALUE && WriteFile(file, image, kMailParamsSize, &written, nullptr) &&
                  written == kMailParamsSize;
        if (file != INVALID_HANDLE_VALUE && !CloseHandle(file))
            ok = FALSE;
        if (!ok) {
            if (file != INVALID_HANDLE_VALUE)
                DeleteFileA(path);
            code = ERR_SMTP_OTHER;
        }
    }
    // Both hold the scrambled password, whichever way the write went.
    if (params) {
        WipeBytes(params, sizeof(MailParams));
        HeapFree(GetProcessHeap(), 0, params);
    }
    if (image) {
        WipeBytes(image, kMailParamsSize);
        HeapFree(GetProcessHeap(), 0, image);
    }
    return code;
}

// Runs the mailer from the installation directory and waits for it; the
// error code its exit code becomes.
DWORD RunMailer(const char* spoolPath)
{
    // Only the mailer of the installation directory: without a usable
    // InstallPath (missing, empty, the drive root) the job fails rather than
    // start whatever "Sendmail.exe" the search path or the root holds.
    char program[MAX_PATH + 32];
    if (InstallPathFile(kMailerProgram, program, sizeof program) != INSTALL_FILE_JOINED)
        return ERR_SMTP_OTHER;
    char* line = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kCommandLineSize));
    if (!line)
        return ERR_SMTP_OTHER;
    DWORD code = ERR_SMTP_OTHER;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (MailerCommandLine(spoolPath, g_monitor.monitorName, line, kCommandLineSize) &&
        CreateProcessA(program, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        // Waiting on the process (not polling for STILL_ACTIVE) also ends for
        // a mailer whose exit code happens to be 259.
        while (WaitForSingleObject(process.hProcess, kMailerPollMs) == WAIT_TIMEOUT) {
        }
        DWORD exitCode = ERR_SMTP_OTHER;
        if (GetExitCodeProcess(process.hProcess, &exitCode))
            code = MailerResultCode(exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    HeapFree(GetProcessHeap(), 0, line);
    return code;
}

} // namespace

BOOL MailSendJob(PortRecord* port, const BYTE*, DWORD length, DWORD* count)
{
    if (count)
        *count = length;
    EmailSettings* mail = EmailOf(port);
    char paramsPath[MAX_PATH + 8];
    DWORD code = ERR_SMTP_OTHER;
    if (mail && MailParamsPath(mail->spoolPath, paramsPath, sizeof paramsPath))
        code = WriteParamsFile(mail, paramsPath);
    // The mailer reads the spool file: close it here, once.
    CloseSpoolFile(port);
    if (code == 0) {
        code = RunMailer(mail->spoolPath);
        DeleteFileA(paramsPath);
    }
    // The mailer has ended (or never ran): nobody reads the job's file any more.
    if (mail)
        DeleteFileA(mail->spoolPath);
    port->errorCode = code;
    if (code == ERR_NONE)
        return TRUE;
    ReportTransmissionError(port);
    return FALSE;
}
