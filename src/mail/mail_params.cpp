// The mailer's parameter file. Pure code: no OS header.
#include "mail/mail_params.h"

#include <cstdio>
#include <cstring>

namespace {

void PutText(uint8_t* image, size_t at, const char* text, size_t width)
{
    size_t length = strnlen(text, width - 1);
    memcpy(image + at, text, length);
    memset(image + at + length, 0, width - length);
}

void GetText(const uint8_t* image, size_t at, char* text, size_t width)
{
    memcpy(text, image + at, width);
    text[width - 1] = '\0';
}

void Put32(uint8_t* image, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Get32(const uint8_t* image, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | image[at + i];
    return value;
}

} // namespace

void WriteMailParams(const MailParams& p, uint8_t* image)
{
    memset(image, 0, kMailParamsSize);
    PutText(image, MAIL_AT_SMTP_SERVER, p.smtpServer, sizeof p.smtpServer);
    PutText(image, MAIL_AT_FROM_ADDR, p.fromAddr, sizeof p.fromAddr);
    PutText(image, MAIL_AT_FROM_NAME, p.fromName, sizeof p.fromName);
    PutText(image, MAIL_AT_TO_ADDR, p.toAddr, sizeof p.toAddr);
    PutText(image, MAIL_AT_SEPARATORS, p.separators, sizeof p.separators);
    PutText(image, MAIL_AT_SUBJECT, p.subject, sizeof p.subject);
    PutText(image, MAIL_AT_BODY, p.body, sizeof p.body);
    PutText(image, MAIL_AT_SIGNATURE, p.signature, sizeof p.signature);
    PutText(image, MAIL_AT_AUTH_ID, p.authId, sizeof p.authId);
    PutText(image, MAIL_AT_AUTH_PASS, reinterpret_cast<const char*>(p.authPass), sizeof p.authPass);
    Put32(image, MAIL_AT_AUTH_TYPE, p.authType);
    image[MAIL_AT_CHAR_CODE] = static_cast<uint8_t>(p.charCode);
    image[MAIL_AT_CHAR_CODE + 1] = static_cast<uint8_t>(p.charCode >> 8);
    Put32(image, MAIL_AT_DIVIDE_SIZE, p.divideSize);
    Put32(image, MAIL_AT_DIVIDE_FILE, p.divideFile);
    PutText(image, MAIL_AT_JOB_TAG, p.jobTag, sizeof p.jobTag);
}

bool ReadMailParams(const uint8_t* image, size_t size, MailParams* p)
{
    if (size != kMailParamsSize)
        return false;
    GetText(image, MAIL_AT_SMTP_SERVER, p->smtpServer, sizeof p->smtpServer);
    GetText(image, MAIL_AT_FROM_ADDR, p->fromAddr, sizeof p->fromAddr);
    GetText(image, MAIL_AT_FROM_NAME, p->fromName, sizeof p->fromName);
    GetText(image, MAIL_AT_TO_ADDR, p->toAddr, sizeof p->toAddr);
    GetText(image, MAIL_AT_SEPARATORS, p->separators, sizeof p->separators);
    GetText(image, MAIL_AT_SUBJECT, p->subject, sizeof p->subject);
    GetText(image, MAIL_AT_BODY, p->body, sizeof p->body);
    GetText(image, MAIL_AT_SIGNATURE, p->signature, sizeof p->signature);
    GetText(image, MAIL_AT_AUTH_ID, p->authId, sizeof p->authId);
    GetText(image, MAIL_AT_AUTH_PASS, reinterpret_cast<char*>(p->authPass), sizeof p->authPass);
    p->authType = Get32(image, MAIL_AT_AUTH_TYPE);
    p->charCode = static_cast<uint16_t>(image[MAIL_AT_CHAR_CODE] | (image[MAIL_AT_CHAR_CODE + 1] << 8));
    p->divideSize = Get32(image, MAIL_AT_DIVIDE_SIZE);
    p->divideFile = Get32(image, MAIL_AT_DIVIDE_FILE);
    GetText(image, MAIL_AT_JOB_TAG, p->jobTag, sizeof p->jobTag);
    return true;
}

bool AppendRecipientComma(char* recipients, size_t size)
{
    size_t length = strnlen(recipients, size);
    if (length == size)
        return false; // not terminated: nothing to append to
    if (length > 0 && recipients[length - 1] == ',')
        return true;
    if (length + 2 > size)
        return false;
    recipients[length] = ',';
    recipients[length + 1] = '\0';
    return true;
}

void BuildSeparators(const char* recipients, char* separators, size_t size)
{
    memset(separators, 0, size);
    size_t count = 0;
    for (const char* c = recipients; *c; ++c)
        if (*c == ',' && count < kMailMaxSeparators && count + 1 < size)
            separators[count++] = ',';
}

void AppendBodyBreak(char* body, size_t size, bool (*isLeadByte)(unsigned char))
{
    if (size < 3)
        return;
    size_t limit = size - 3; // room for "\r\n" and the terminator
    size_t i = 0;
    while (i < limit && body[i]) {
        size_t step = isLeadByte && isLeadByte(static_cast<unsigned char>(body[i])) && body[i + 1] ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    memcpy(body + i, "\r\n", 3);
}

void FormatMailJobTag(uint32_t jobId, char* tag, size_t size)
{
    snprintf(tag, size, "SMTP%03u", static_cast<unsigned>(jobId % 1000));
}

bool MailParamsPath(const char* spoolPath, char* path, size_t size)
{
    size_t length = strlen(spoolPath);
    if (length < 4 || length - 4 + 5 > size)
        return false;
    memcpy(path, spoolPath, length - 4);
    memcpy(path + length - 4, ".bin", 5);
    return true;
}

bool MailerCommandLine(const char* spoolPath, const char* monitorName, char* line, size_t size)
{
    int length = snprintf(line, size, "Sendmail.exe /A%s /P%s", spoolPath, monitorName);
    return length > 0 && static_cast<size_t>(length) < size;
}

bool ParseMailerCommandLine(const char* line, char* spoolPath, size_t spoolSize, char* monitorName, size_t nameSize)
{
    const char* a = strstr(line, "/A");
    while (a && a != line && a[-1] != ' ' && a[-1] != '\t' && a[-1] != '"')
        a = strstr(a + 2, "/A");
    if (!a || spoolSize == 0 || nameSize == 0)
        return false;
    a += 2;
    const char* p = nullptr;
    for (const char* at = strstr(a, " /P"); at; at = strstr(at + 1, " /P"))
        p = at;
    size_t pathLength = p ? static_cast<size_t>(p - a) : strlen(a);
    const char* name = p ? p + 3 : "";
    if (pathLength == 0 || pathLength >= spoolSize || strlen(name) >= nameSize)
        return false;
    memcpy(spoolPath, a, pathLength);
    spoolPath[pathLength] = '\0';
    strcpy(monitorName, name);
    return true;
}

uint32_t MailerResultCode(uint32_t exitCode)
{
    switch (exitCode) {
    case ERR_NONE:
    case ERR_SMTP_SERVER_NONE:
    case ERR_SMTP_SERVER_ERROR:
    case ERR_SMTP_PROTOCOL:
    case ERR_SMTP_ADDRESS:
    case ERR_SMTP_OTHER:
    case ERR_SMTP_AUTH:
    case ERR_SMTP_OVER_DIVISION:
    case ERR_UNREACHABLE:
        return exitCode;
    default:
        return ERR_SMTP_OTHER;
    }
}
