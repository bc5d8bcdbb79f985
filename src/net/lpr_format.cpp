// The line printer daemon wire format. Pure code: no OS header.
#include "net/lpr_format.h"

#include <cstdio>
#include <cstring>

const char kLprStreamedLength[] = "125899906843000";

namespace {

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

// The result of a bounded snprintf: its length, or 0 when it did not fit.
size_t Fitted(int written, size_t outSize)
{
    if (written < 0 || static_cast<size_t>(written) >= outSize)
        return 0;
    return static_cast<size_t>(written);
}

// Cleans a name into a fixed buffer of the largest size any line takes.
struct CleanName {
    char text[kLprJobNameMax + 1];
};

CleanName Clean(const char* name, size_t limit, LprLeadByteTest isLead = nullptr)
{
    CleanName clean;
    LprCleanName(name, limit, clean.text, sizeof clean.text, isLead);
    return clean;
}

} // namespace

unsigned LprJobNumber(uint32_t jobId)
{
    return static_cast<unsigned>(jobId % 1000u);
}

size_t LprCleanName(const char* name, size_t limit, char* out, size_t outSize, LprLeadByteTest isLead)
{
    if (out == nullptr || outSize == 0)
        return 0;
    const size_t room = limit < outSize - 1 ? limit : outSize - 1;
    size_t length = 0;
    while (name != nullptr && length < room && name[length] != '\0') {
        const unsigned char c = static_cast<unsigned char>(name[length]);
        if (isLead != nullptr && isLead(c)) {
            // A double-byte character goes whole or not at all; a lead byte
            // without its trail byte ends the name, one before a control
            // character becomes a blank like it.
            const unsigned char trail = static_cast<unsigned char>(name[length + 1]);
            if (trail == '\0' || (length + 2 > room && !IsControl(trail)))
                break;
            if (IsControl(trail)) {
                out[length++] = ' ';
                continue;
            }
            out[length] = static_cast<char>(c);
            out[length + 1] = static_cast<char>(trail);
            length += 2;
            continue;
        }
        out[length++] = IsControl(c) ? ' ' : static_cast<char>(c);
    }
    out[length] = '\0';
    return length;
}

size_t LprFileName(const char* prefix, unsigned jobNumber, const char* host, char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0 || prefix == nullptr)
        return 0;
    const CleanName clean = Clean(host, kLprHostNameMax);
    const size_t length = Fitted(std::snprintf(out, outSize, "%s%03u%s", prefix, jobNumber % 1000u, clean.text), outSize);
    if (length == 0)
        out[0] = '\0';
    return length;
}

size_t LprReceiveJobCommand(const char* queue, char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return 0;
    out[0] = '\0';
    const char* name = queue != nullptr ? queue : "";
    for (const char* c = name; *c != '\0'; ++c)
        if (IsControl(static_cast<unsigned char>(*c)))
            return 0;
    const size_t length = Fitted(std::snprintf(out, outSize, "%c%s\n", kLprReceiveJob, name), outSize);
    if (length == 0)
        out[0] = '\0';
    return length;
}

// The shared form of both receive-file sub-commands: code, length text, SP, name, LF.
static size_t FileCommand(unsigned char code, const char* lengthText, const char* prefix, unsigned jobNumber,
                          const char* host, char* out, size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return 0;
    out[0] = '\0';
    char name[8 + kLprHostNameMax];
    if (LprFileName(prefix, jobNumber, host, name, sizeof name) == 0)
        return 0;
    const size_t length = Fitted(std::snprintf(out, outSize, "%c%s %s\n", code, lengthText, name), outSize);
    if (length == 0)
        out[0] = '\0';
    return length;
}

size_t LprControlFileCommand(uint32_t length, unsigned jobNumber, const char* host, char* out, size_t outSize)
{
    char number[16];
    std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(length));
    return FileCommand(kLprReceiveJob, number, "cfA", jobNumber, host, out, outSize);
}

size_t LprDataFileCommand(uint32_t size, bool streamed, unsigned jobNumber, const char* host, char* out, size_t outSize)
{
    char number[16];
    if (streamed)
        std::snprintf(number, sizeof number, "%s", kLprStreamedLength);
    else
        std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(size));
    return FileCommand(kLprReceiveDataFile, number, "dfA", jobNumber, host, out, outSize);
}

size_t LprBuildControlFile(const char* host, const char* user, const char* document, unsigned jobNumber, char* out,
                           size_t outSize, LprLeadByteTest isLead)
{
    if (out == nullptr || outSize == 0)
        return 0;
    const CleanName h = Clean(host, kLprHostNameMax);
    const CleanName p = Clean(user, kLprHostNameMax, isLead);
    const CleanName j = Clean(document, kLprJobNameMax, isLead);
    const unsigned number = jobNumber % 1000u;
    const int written = std::snprintf(out, outSize, "H%s\nP%s\nJ%s\nf%s%03u%s\nU%s%03u%s\nN%s\n", h.text, p.text, j.text,
                                      "dfA", number, h.text, "dfA", number, h.text, j.text);
    const size_t length = Fitted(written, outSize);
    if (length == 0)
        out[0] = '\0';
    return length;
}

bool LprAckPositive(const unsigned char* reply, size_t length)
{
    return reply != nullptr && length >= 1 && reply[0] == 0;
}
