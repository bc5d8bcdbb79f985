#include "monitor/email_job.h"

#include <cstdio>
#include <cstring>

#include "mail/mail_body.h"
#include "mail/mail_params.h"

static const char kPrintMarker[] = "%%DWLPRINT%%";
static const char kNoPrintMarker[] = "%%NOPRINT%%";

static void RemoveAll(char* text, const char* marker)
{
    size_t length = strlen(marker);
    char* found;
    while ((found = strstr(text, marker)) != nullptr)
        memmove(found, found + length, strlen(found + length) + 1);
}

// Cuts `text` to at most `limit` bytes without splitting a double-byte character.
static void CutText(char* text, size_t limit)
{
    size_t i = 0;
    while (text[i] && i < limit) {
        size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[i])) && text[i + 1] ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    text[i] = '\0';
}

void MarkSubject(char* subject, size_t size, bool noPrint)
{
    subject[size - 1] = '\0';
    RemoveAll(subject, kPrintMarker);
    RemoveAll(subject, kNoPrintMarker);
    size_t markers = strlen(kPrintMarker) + (noPrint ? strlen(kNoPrintMarker) : 0);
    if (markers + 1 > size)
        return;
    CutText(subject, size - 1 - markers);
    size_t length = strlen(subject);
    snprintf(subject + length, size - length, "%s%s", kPrintMarker, noPrint ? kNoPrintMarker : "");
}

void PrepareEmailJob(EmailSettings* mail, DWORD jobId)
{
    if (mail->noPrint == 0 && mail->editBody != 0 && EditMailBody(mail) == IDCANCEL)
        mail->noPrint = 1;
    MarkSubject(mail->subject, sizeof mail->subject, mail->noPrint != 0);
    FormatMailJobTag(jobId, mail->jobTag, sizeof mail->jobTag);
}
