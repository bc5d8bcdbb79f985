// The parameter file an e-mail job hands to the mailer, beside its spool
// file: 12011 bytes, little-endian, every field at its full width, texts
// followed by zero fill. Also the names and the command line that go with it.
// Pure code: no OS header; the monitor writes the file, the mailer reads it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "monitor/error_codes.h"

const size_t kMailParamsSize = 12011;

// Field offsets in the file.
enum MailParamsOffset : size_t {
    MAIL_AT_SMTP_SERVER = 0,
    MAIL_AT_FROM_ADDR = 33,
    MAIL_AT_FROM_NAME = 98,
    MAIL_AT_TO_ADDR = 354,
    MAIL_AT_SEPARATORS = 6854,
    MAIL_AT_SUBJECT = 7055,
    MAIL_AT_BODY = 7121,
    MAIL_AT_SIGNATURE = 8149,
    MAIL_AT_AUTH_ID = 8663,
    MAIL_AT_AUTH_PASS = 8920,
    MAIL_AT_RESERVED = 9177,
    MAIL_AT_AUTH_TYPE = 9189,
    MAIL_AT_CHAR_CODE = 9193,
    MAIL_AT_DIVIDE_SIZE = 9195,
    MAIL_AT_DIVIDE_FILE = 9199,
    MAIL_AT_RESERVED_2 = 9203,
    MAIL_AT_JOB_TAG = 9207,
    MAIL_AT_END = 9216,
};

// Most recipient separators the file holds (one "," per recipient).
const size_t kMailMaxSeparators = 200;

// Character codes of the mail texts.
enum MailCharCode : uint16_t {
    MAIL_US_ASCII = 0,
    MAIL_ISO_2022_JP = 1,
    MAIL_ISO_8859_1 = 2,
};

// The mailer's exit codes, which become the port's error code, are the
// e-mail codes of monitor/error_codes.h: ERR_NONE when sent, ERR_SMTP_* on
// failure, ERR_UNREACHABLE when started without a job.

// What the file holds. Texts are NUL-terminated within their fields.
struct MailParams {
    char smtpServer[33];
    char fromAddr[65];
    char fromName[256];
    char toAddr[6500];
    char separators[201];
    char subject[66];
    char body[1028];
    char signature[514];
    char authId[257];
    uint8_t authPass[257]; // scrambled, NUL-terminated
    uint32_t authType;
    uint16_t charCode;
    uint32_t divideSize; // kilobytes per part
    uint32_t divideFile;
    char jobTag[9];
};

// Writes the 12011-byte image of `params` (texts cut at their field's last
// byte, then zero fill).
void WriteMailParams(const MailParams& params, uint8_t* image);
// Reads an image back; false when `size` is not the file's size. Every text
// comes back NUL-terminated.
bool ReadMailParams(const uint8_t* image, size_t size, MailParams* params);

// Appends "," to the recipients unless they already end in one; false when
// the field has no room for it (the field is left as it was).
bool AppendRecipientComma(char* recipients, size_t size);
// One "," per comma of the recipients, at most 200, NUL-padded to `size`.
void BuildSeparators(const char* recipients, char* separators, size_t size);
// Appends "\r\n" to the body, cutting the text first when the field is too
// full; `isLeadByte` (may be NULL) keeps double-byte characters whole.
void AppendBodyBreak(char* body, size_t size, bool (*isLeadByte)(unsigned char));

// "SMTP%03d" of the job ID modulo 1000.
void FormatMailJobTag(uint32_t jobId, char* tag, size_t size);
// The parameter file's path: the spool file's path less its last four
// characters, followed by ".bin". False when it does not fit.
bool MailParamsPath(const char* spoolPath, char* path, size_t size);
// "Sendmail.exe /A<spool file> /P<monitor name>". False when it does not fit.
bool MailerCommandLine(const char* spoolPath, const char* monitorName, char* line, size_t size);
// Splits a mailer command line (as the mailer's process sees it) into the
// spool file path (after " /A") and the monitor name (after the last " /P").
// Either may contain spaces. False when there is no "/A" argument.
bool ParseMailerCommandLine(const char* line, char* spoolPath, size_t spoolSize, char* monitorName, size_t nameSize);

// The error code an exit code of the mailer becomes: itself when it is one of
// the mailer's codes, else ERR_SMTP_OTHER (a crash code must not be read as an
// error code of another protocol).
uint32_t MailerResultCode(uint32_t exitCode);
